#pragma once
// One fragment of the cutting list: a part of a source movie with its speed
// in the output. A plain record copied by value; the telemetry is shared and
// never changed, so copies cost nothing and the list may be reordered freely.

#include "DateTime.h"
#include "UnitMovingInfo.h"

#include <QString>
#include <cmath>
#include <cstdint>
#include <memory>

namespace kp {

struct TCropItem {
  QString FileName;
  int64_t DurationMs = 0;  // of the source movie, from its header
  long double P1 = 0;      // start, fraction of the source; the job moves it to the key frame before
  long double P2 = 1;      // finish, fraction of the source
  TDateTime StartTime = 0; // local time of the source's first frame
  long double Speed = 1;   // 1 unchanged, N faster, 1/N slower
  bool BigFPS = true;      // speed-up keeps every frame (else key frames only)
  double FPS = 0;
  std::shared_ptr<const TMovingInfo> Info; // telemetry of the source, or null
  QString FrameTypes;                      // frame letters of the first key-frame interval
  int32_t Width = 0, Height = 0;
  bool HasPCMAudio = false;
};

// Whether the fragment has telemetry to write: a track with a fix or a
// G-sensor sample.
inline bool CropItemHasTrack(const TCropItem &item)
{
  return item.Info && (!item.Info->Points.empty() || !item.Info->GSensor.empty());
}

// Output length of the fragment in milliseconds: DurationMs x (P2 - P1) /
// Speed; 0 when the limits are crossed or the speed is no positive number,
// so the output clock never runs backwards.
inline long double CropItemOutputMs(const TCropItem &item)
{
  if (!(item.Speed > 0) || !(item.P2 > item.P1)) return 0;
  const long double ms = item.DurationMs * (item.P2 - item.P1) / item.Speed;
  return std::isfinite(ms) ? ms : 0;
}

} // namespace kp
