#pragma once
// The cut's ".dat" side file. It has one time axis, the cut movie's: each
// fix stands at the moment of the movie its subtitle shows it, one block
// per fragment between two marks (fixes without a position) that hold the
// fragment's part of the movie, "[B]" between blocks.
//
// Its readers move every block before a "[B]" to end 0.1 s before the next
// begins; the marks are placed so that this move puts each block where the
// movie has it. The file keeps a fix's time to the second: each block is
// written a fraction of a second early or late, so that its fixes fall on
// whole seconds, and the readers' move takes that back.
//
// Two lines tell this program's reader what the times cannot (other
// readers count them as lines without a fix): "[C]" first, the file is a
// cut's track, its times the movie's and its fixes cleaned when they were
// cut; "[F]" before a "[B]", the camera kept recording from the block
// before to the next, so the way between them was driven on the pictures.

#include "UnitGpsConverters.h"

#include <vector>

namespace kp {

struct TDatPiece {
  TTrackInfo Items;       // fixes and samples; times in days from the movie's start
  double Start = 0;       // where the fragment starts in the movie, days
  bool FollowsOn = false; // from the piece before (see above)
};

// The text of a cut's ".dat"; empty without pieces. Origin is the time
// written for the movie's start, MovieEnd its length (days).
QByteArray DatCutText(const std::vector<TDatPiece> &pieces, TDateTime origin, double movieEnd);

} // namespace kp
