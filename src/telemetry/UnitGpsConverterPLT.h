#pragma once
// OziExplorer track point file, version 2.1: six header lines, then
//   lat,lon,new-segment,altitude(feet),days(UTC),date,time,speed,
// Altitude -777 means none.

#include "UnitGpsConverters.h"

namespace kp {

class TGpsInfoConverterPLT : public TGpsInfoConverter {
public:
  QString GetName() const override { return QStringLiteral("Ozi Explorer"); }
  QString GetExt() const override { return QStringLiteral("plt"); }
  bool CanRead(QByteArrayView head) const override;
  bool ParseLine(QByteArrayView line, TParseContext &ctx, TTrackInfoItem &item, TTrackInfo &info) const override;
  void WriteTrack(const TTrackInfo &info, TStringBuffer &output) const override;
  void GetSignatureChars(TCharSet &required, TCharSet &forbidden) const override;
};

// The days field of a UTC time: seven decimals at most, a little after the
// time itself, so readers that truncate keep its second even when they go
// through a double.
QByteArray PltDaysText(TDateTime utc);
// A days field read back, to the nearest 10 ms.
TDateTime PltDaysToTime(double days);

} // namespace kp
