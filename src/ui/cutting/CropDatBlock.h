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

// The start mark of the first block: the fragment's start, or just before
// its first fix where that lies nearer (a fifteenth of the fixes' interval, at
// least 0.06 s, keeps them apart for the reader).
TDateTime DatFirstStartMark(const TTrackInfo &block, TDateTime start);

// The end mark of the last block: the fragment's end, or just after its
// last fix.
TDateTime DatLastEndMark(const TTrackInfo &block, TDateTime end);

// The end mark of Block (its fragment ending at End) and the start mark of
// Next (its fragment starting at NextStart), so that once the reader has
// moved Block to end just before Next, the fixes of both stand as far apart
// as in the cut. Only fixes at both ends, nearer than the reader can keep
// apart, end up a little further.
std::pair<TDateTime, TDateTime> DatBoundaryMarks(const TTrackInfo &block, TDateTime end, const TTrackInfo &next,
                                                 TDateTime nextStart);

// How much earlier (in days, whole seconds) the block starting at
// NextStartMark is written than its fixes were taken. One time axis runs
// through the file, and the reader moves every block before a "[B]" to end
// just before the next begins; pieces that do not touch in the camera's
// time would so move the first piece late by the gaps. Writing each later
// block back by the gaps before it (to the second the file keeps fixes in)
// keeps the first piece on the camera's time, to within half a second,
// while every fix keeps its place in the cut. ReaderMoves (days) adds up
// the reader's moves at the boundaries so far, from 0.
TDateTime DatBlockShift(TDateTime endMark, TDateTime nextStartMark, double &readerMoves);

} // namespace kp
