#pragma once
// The value texts of the details window, kept apart from the window so they
// are checked without one.

#include "UnitMovingInfo.h"

#include <QString>
#include <functional>

namespace kp {

// Unit words, taken from the translation tables by the language switch.
struct TDetailsWords {
  QString Meters, Miles, Feet, Kmh, Mph;
  static TDetailsWords Current();
};

struct TDetailsTexts {
  QString GPSIndex, GPSX, GPSY, GPSAltitude, GPSSpeed, GPSAzimut, GPSTrack;
  QString GSensorIndex, GSensorX, GSensorY, GSensorZ, GSensorG;
};

// GPS values when the point has a time, G-sensor values when the sample
// has one; "(?) " before each GPS value of a fix that is not valid.
TDetailsTexts FormatDetailsTexts(const TMovingPoint &point, const TGSensorSample &sample, bool valid,
                                 const TDetailsWords &words, bool british);

// Shortens Text in the middle with "..." while Fits says no; stops at "..."
// however narrow the room.
QString ShortenMiddle(const QString &text, const std::function<bool(const QString &)> &fits);

// Metres with a blank before the last three digits ("12 345").
QString GroupedMetres(double metres);

} // namespace kp
