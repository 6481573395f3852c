#pragma once
// What the playback collaborators need of the map: the map bridge implements
// it, tests record it. Main thread only.

#include <QString>
#include <vector>

namespace kp {

class TMovingInfo;

class IMapPage {
public:
  virtual ~IMapPage() = default;
  // Runs one script text in the page. False when the gate refused it: the
  // call is dropped, never queued. Force passes the "inited" part of the gate.
  virtual bool ExecMapScript(const QString &script, bool force = false) = 0;
  // Pans to a point (longitude X, latitude Y); an azimuth of 0..360 places
  // the point ahead of a moving position, a negative one centres on it.
  virtual void SetMapCenter(double x, double y, double azimuth) = 0;
  // Takes copies of the tracks (null entries stand for files without one),
  // fits the map to them when asked and draws them.
  virtual void SetMapBounds(const std::vector<const TMovingInfo *> &tracks, const std::vector<bool> &highlight,
                            bool fit, bool drawGaps) = 0;
  // The map view exists and is shown.
  virtual bool MapVisible() const = 0;
  // The next track draw is sent in full even when it equals the last one.
  virtual void ForgetTrackScript() = 0;
};

} // namespace kp
