#pragma once
// The camera's own ".dat" track: one record a line, TAB-separated.
//   [S] X Y Z            G-sensor sample in thousandths of g, untimed
//   [G] time lat lon speed course   GPS fix
//   [B]                  a further fragment starts (cut movies)
//   [F]                  before a [B]: the camera kept recording from the
//                        last fragment to the next (cut movies)
//   [C]                  first: the track of a cut movie, on its time axis

#include "UnitGpsConverters.h"

namespace kp {

class TGpsInfoConverterDatDOD : public TGpsInfoConverter {
public:
  QString GetName() const override { return QStringLiteral("GS600, Q3"); }
  QString GetExt() const override { return QStringLiteral("dat"); }
  QString GetId() const override { return QStringLiteral("dat600"); }
  bool ParseLine(QByteArrayView line, TParseContext &ctx, TTrackInfoItem &item, TTrackInfo &info) const override;
  void WriteTrack(const TTrackInfo &info, TStringBuffer &output) const override;
  void GetSignatureChars(TCharSet &required, TCharSet &forbidden) const override;
};

// "yyyy-mm-dd hh:nn:ss", with ".zzz" appended when WithMs; rounded to the
// nearest second or millisecond it shows, never cut.
QByteArray DatTimeText(TDateTime t, bool withMs);
// T on its nearest whole second (halves to even).
TDateTime RoundToSecond(TDateTime t);

} // namespace kp
