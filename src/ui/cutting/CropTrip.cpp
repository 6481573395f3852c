#include "CropTrip.h"

#include "UnitMovingInfo.h"

#include <cmath>

namespace kp {

namespace {

// A coordinate as the ".dat" keeps it (six decimals), so the way counted
// here is the way its reader counts.
double AsWritten(double degrees)
{
  return RoundF(degrees * 1e6) / 1e6;
}

double Between(const TTrackInfoItem &a, const TTrackInfoItem &b)
{
  return GeoDistance(AsWritten(a.Lon), AsWritten(a.Lat), AsWritten(b.Lon), AsWritten(b.Lat));
}

} // namespace

void TCropTrip::Fragment(TDateTime first, TDateTime last)
{
  if (!(first > 0)) return;
  const bool follows = FLastTaken > 0 && TMovingInfo::FollowsOn(FLastTaken, first);
  FChain = FChain && follows;
  FPending = FPending && follows;
  FLastTaken = last;
}

void TCropTrip::Count(TTrackInfo &range, TDateTime start, TDateTime end)
{
  bool counted = false;
  double firstShown = FTrip;
  for (TTrackInfoItem &item : range.Items) {
    if (item.Kind != ikGps || item.Time < start || item.Time >= end) continue;
    if (FHasLast && (counted || FChain)) FTrip += Between(FLast, item);
    if (!counted) firstShown = FTrip;
    counted = true;
    item.Trip = FTrip;
    FLast = item;
    FHasLast = true;
    FChain = true;
  }
  for (TTrackInfoItem &item : range.Items) {
    if (item.Kind != ikGps) continue;
    if (item.Time < start) item.Trip = firstShown;
    if (item.Time >= end) item.Trip = FTrip;
  }
}

bool TCropTrip::TakeFollowsOn()
{
  const bool follows = FPending;
  FPending = true;
  return follows;
}

} // namespace kp
