#pragma once
// Semicolon-separated values for spreadsheets, in three flavours: fixes and
// G-sensor samples (each row tagged with its kind), fixes only, or samples
// only. Date and time columns are UTC.

#include "UnitGpsConverters.h"

namespace kp {

class TGpsInfoConverterCSV : public TGpsInfoConverter {
public:
  TGpsInfoConverterCSV(bool withGps, bool withGSensor);
  QString GetName() const override { return FName; }
  QString GetExt() const override { return QStringLiteral("csv"); }
  // The flavour with both kinds keeps the plain name; the others are marked.
  QString GetFileSuffix() const override;
  void WriteTrack(const TTrackInfo &info, TStringBuffer &output) const override;

private:
  QString FName;
  bool FWithGps;
  bool FWithGSensor;
};

// Time of day in the user's time format, "." and three digits of milliseconds.
QString CsvFormatTime(TDateTime time);

} // namespace kp
