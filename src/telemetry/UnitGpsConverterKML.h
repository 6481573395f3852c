#pragma once
// KML 2.2 for a globe viewer: one placemark with a line of the track's fixes
// and a view of the whole track.

#include "UnitGpsConverters.h"

namespace kp {

class TGpsInfoConverterKML : public TGpsInfoConverter {
public:
  QString GetName() const override { return QStringLiteral("Google Earth"); }
  QString GetExt() const override { return QStringLiteral("kml"); }
  void WriteTrack(const TTrackInfo &info, TStringBuffer &output) const override;

  // Viewing distance in metres: the larger extent plus a fifth, at least 200.
  static int64_t ViewRange(const TTrackInfo &info);
};

} // namespace kp
