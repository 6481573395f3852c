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

TDateTime DatEndMarkBefore(const TTrackInfo &block, TDateTime end, double lead)
{
  const double gap = MarkGap(block);
  const TDateTime mark = end - lead - kBlockGap;
  // The file keeps fixes to the second: a fragment that ends on a fix ends
  // its block a little late.
  TDateTime after = mark;
  for (const TTrackInfoItem &item : block.Items)
    if (item.Kind == ikGps && item.Time > 0) after = std::max(after, item.Time + gap);
  return after;
}

std::pair<TDateTime, TDateTime> DatMarkTimes(const TTrackInfo &block, TDateTime start, TDateTime end)
{
  const double gap = MarkGap(block);
  for (const TTrackInfoItem &item : block.Items) {
    if (item.Kind != ikGps || !(item.Time > 0)) continue;
    start = std::min(start, item.Time - gap);
    end = std::max(end, item.Time + gap);
  }
  return {start, end};
}

} // namespace kp
