#pragma once
// One fragment's block of the cut's ".dat" side file. The program reads the
// file back as the cut's telemetry: each block moves so that it ends just
// before the next begins, and fixes whose times stand closer than the
// reader can tell apart are pushed a whole fix interval back, together with
// every fix before them. So a block holds each fix once (two adjacent
// fragments share the fix at their boundary), nothing from before the
// fragment's start (the range carries the fix before it for the
// subtitles), and its start and end marks keep clear of its fixes.

#include "UnitGpsConverters.h"

#include <utility>
#include <vector>

namespace kp {

// The items of Range for the block, in order: without the fixes before T1
// and without the fixes already in Previous (same time and position).
TTrackInfo DatBlockItems(const TTrackInfo &range, TDateTime t1, const std::vector<TTrackInfoItem> &previous);

// The fixes of a block, for the next fragment's DatBlockItems.
std::vector<TTrackInfoItem> DatBlockFixes(const TTrackInfo &block);

// The times of the block's start and end marks: Start and End, moved out
// where a fix lies at or beyond them or nearer than a tenth of the fixes'
// usual interval (a fifteenth, at least 0.06 s).
std::pair<TDateTime, TDateTime> DatMarkTimes(const TTrackInfo &block, TDateTime start, TDateTime end);

// The end mark of a block that another follows, whose start mark stands
// Lead before that fragment's start: the reader moves the block to end
// 0.1 s before that mark, so the mark stands Lead + 0.1 s before End and
// the block's fixes keep the distance to the next fragment's that the cut
// gives them; when a fix lies too near, the mark moves after it.
TDateTime DatEndMarkBefore(const TTrackInfo &block, TDateTime end, double lead);

} // namespace kp
