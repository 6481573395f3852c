#pragma once
// The way a cut shows, counted the one way its subtitles show it and its
// ".dat" reads back: along the fixes the cut keeps, from 0 at its first
// one, and from one fragment to the next only where the camera kept
// recording between them (TMovingInfo::FollowsOn). Fragments recorded apart
// add nothing between them.

#include "UnitUtils.h"

namespace kp {

class TCropTrip {
public:
  // A fragment whose fixes were taken from First to Last (camera time,
  // before any thinning; both 0 when it has none): whether it follows on
  // from the fixes before it is decided here.
  void Fragment(TDateTime first, TDateTime last);

  // Sets the Trip of the fixes of a fragment's re-timed range to the
  // metres shown at each: the fixes from Start to before End are the
  // fragment's; one before Start (shown from the fragment's start) shows
  // what the first of them shows, and one at End or later (never shown)
  // what the last one shows.
  void Count(TTrackInfo &range, TDateTime start, TDateTime end);

  // Whether the ".dat" block about to be written follows on from the last
  // one written: every fragment decided since then followed on.
  bool TakeFollowsOn();

private:
  double FTrip = 0;     // metres shown at the last fix counted
  TTrackInfoItem FLast; // that fix
  bool FHasLast = false;
  bool FChain = true;       // every fragment since that fix followed on
  bool FPending = true;     // every fragment since the last block followed on
  TDateTime FLastTaken = 0; // when the last fix of the fragments so far was taken
};

} // namespace kp
