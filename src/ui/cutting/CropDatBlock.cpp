#include "CropDatBlock.h"

#include <algorithm>

namespace kp {

namespace {

// The reader takes fixes nearer than a twentieth of their usual interval
// for one time; the marks keep a fifteenth, and never less than 0.06 s.
constexpr double kMinMarkGap = 0.06 / 86400.0; // days
constexpr double kBlockGap = 0.1 / 86400.0;    // the reader's gap between blocks

bool SameFix(const TTrackInfoItem &a, const TTrackInfoItem &b)
{
  return a.Time == b.Time && a.Lon == b.Lon && a.Lat == b.Lat;
}

// A fifteenth of the median interval between the fixes, at least 0.06 s.
double MarkGap(const TTrackInfo &block)
{
  std::vector<double> steps;
  double last = 0;
  for (const TTrackInfoItem &item : block.Items) {
    if (item.Kind != ikGps) continue;
    if (last > 0 && item.Time > last) steps.push_back(item.Time - last);
    last = item.Time;
  }
  if (steps.empty()) return kMinMarkGap;
  const auto middle = steps.begin() + std::ptrdiff_t(steps.size() / 2);
  std::nth_element(steps.begin(), middle, steps.end());
  return std::max(kMinMarkGap, *middle / 15);
}

// The times of the first and last fix, 0 without one.
std::pair<TDateTime, TDateTime> FixSpan(const TTrackInfo &block)
{
  TDateTime first = 0, last = 0;
  for (const TTrackInfoItem &item : block.Items) {
    if (item.Kind != ikGps || !(item.Time > 0)) continue;
    if (first == 0) first = item.Time;
    last = item.Time;
  }
  return {first, last};
}

} // namespace

TTrackInfo DatBlockItems(const TTrackInfo &range, TDateTime t1, const std::vector<TTrackInfoItem> &previous)
{
  TTrackInfo block;
  for (const TTrackInfoItem &item : range.Items) {
    if (item.Kind == ikGps) {
      if (item.Time < t1) continue;
      if (std::any_of(previous.begin(), previous.end(), [&](const TTrackInfoItem &p) { return SameFix(p, item); }))
        continue;
    }
    block.Items.push_back(item);
  }
  return block;
}

std::vector<TTrackInfoItem> DatBlockFixes(const TTrackInfo &block)
{
  std::vector<TTrackInfoItem> fixes;
  for (const TTrackInfoItem &item : block.Items)
    if (item.Kind == ikGps) fixes.push_back(item);
  return fixes;
}

TDateTime DatFirstStartMark(const TTrackInfo &block, TDateTime start)
{
  const auto [first, last] = FixSpan(block);
  return first > 0 ? std::min(start, first - MarkGap(block)) : start;
}

TDateTime DatLastEndMark(const TTrackInfo &block, TDateTime end)
{
  const auto [first, last] = FixSpan(block);
  return last > 0 ? std::max(end, last + MarkGap(block)) : end;
}

std::pair<TDateTime, TDateTime> DatBoundaryMarks(const TTrackInfo &block, TDateTime end, const TTrackInfo &next,
                                                 TDateTime nextStart)
{
  // The reader puts the end mark kBlockGap before the next start mark, so
  // the two marks stand that much further apart than the fragments' ends.
  const double apart = nextStart - end + kBlockGap;
  const TDateTime last = FixSpan(block).second, first = FixSpan(next).first;
  TDateTime endMark = last > 0 ? last + MarkGap(block) : end;
  TDateTime startMark = endMark + apart;
  if (first > 0 && startMark > first - MarkGap(next)) {
    // Fixes at both ends of the cut: as near as the reader allows.
    startMark = first - MarkGap(next);
    if (!(last > 0)) endMark = startMark - apart;
  }
  return {endMark, startMark};
}

TDateTime DatBlockShift(TDateTime endMark, TDateTime nextStartMark, double &readerMoves)
{
  readerMoves += nextStartMark - endMark - kBlockGap;
  return RoundF(readerMoves * SecsPerDay) / SecsPerDay;
}

} // namespace kp
