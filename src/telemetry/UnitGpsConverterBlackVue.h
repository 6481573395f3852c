#pragma once
// The BlackVue DR400G ".gps" file: NMEA sentences, each behind the camera's
// clock in milliseconds since 1970:  [1300000000000]$GPRMC,...

#include "UnitGpsConverters.h"

namespace kp {

class TGpsInfoConverterBlackVue : public TGpsInfoConverter {
public:
  QString GetName() const override { return QStringLiteral("BlackVue DR400G"); }
  QString GetExt() const override { return QStringLiteral("gps"); }
  QString GetId() const override { return QStringLiteral("gpsBV"); }
  bool ParseText(QByteArrayView text, TTrackInfo &info, TParseContext &ctx) const override;
  bool ParseLine(QByteArrayView line, TParseContext &ctx, TTrackInfoItem &item, TTrackInfo &info) const override;
  void GetSignatureChars(TCharSet &required, TCharSet &forbidden) const override;
};

} // namespace kp
