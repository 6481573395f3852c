#pragma once
// The Samoon ".dat": a first line with the device number, then one line per
// G-sensor sample, X TAB Y TAB Z TAB in thousandths of g, optionally followed
// by an NMEA sentence. Every line after the first is stored with each
// character code raised by a per-device amount (the shift).

#include "UnitGpsConverters.h"

namespace kp {

class TGpsInfoConverterDatSamoon : public TGpsInfoConverter {
public:
  QString GetName() const override { return QStringLiteral("Samoon"); }
  QString GetExt() const override { return QStringLiteral("dat"); }
  QString GetId() const override { return QStringLiteral("datSM"); }
  bool CanRead(QByteArrayView head) const override;
  void AddLine(QByteArrayView line, TParseContext &ctx, TTrackInfo &info) const override;
  void GetSignatureChars(TCharSet &required, TCharSet &forbidden) const override;

  // The characters a de-shifted data line may use, and those it must hold;
  // the shift of an unknown device is found by trial against them.
  static const TCharSet &DataLineAllowed();
  static const TCharSet &DataLineRequired();
  // Shift of a known device number; 0 when unknown.
  static int DeviceShift(int deviceNumber);
};

} // namespace kp
