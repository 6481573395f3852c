#pragma once
// The ".log" of the GS600 and Q3 cameras: one fix a line, TAB-separated:
//   time  N/S latitude  E/W longitude  [altitude  [speed  [course]]]

#include "UnitGpsConverters.h"

namespace kp {

class TGpsInfoConverterLogDOD : public TGpsInfoConverter {
public:
  QString GetName() const override { return QStringLiteral("GPS Log (DOD GS600, Carcam Q3)"); }
  QString GetExt() const override { return QStringLiteral("log"); }
  QString GetId() const override { return QStringLiteral("log600"); }
  bool ParseLine(QByteArrayView line, TParseContext &ctx, TTrackInfoItem &item, TTrackInfo &info) const override;
  void GetSignatureChars(TCharSet &required, TCharSet &forbidden) const override;
};

} // namespace kp
