#pragma once
// The ".log" of the DS103 and GPS100 recorders: one fix a line, NMEA-like
// comma-separated fields without a sentence name:
//   status,ddmmyy,hhmmss,lat,N/S,lon,E/W,speed(knots)...

#include "UnitGpsConverters.h"

namespace kp {

class TGpsInfoConverterLogDVR : public TGpsInfoConverter {
public:
  QString GetName() const override { return QStringLiteral("GPS Log (DVR DS103, GPS100)"); }
  QString GetExt() const override { return QStringLiteral("log"); }
  QString GetId() const override { return QStringLiteral("logDVR"); }
  bool ParseLine(QByteArrayView line, TParseContext &ctx, TTrackInfoItem &item, TTrackInfo &info) const override;
  void GetSignatureChars(TCharSet &required, TCharSet &forbidden) const override;
};

} // namespace kp
