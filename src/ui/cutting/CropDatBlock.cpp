#include "CropDatBlock.h"

#include "UnitGpsConverterDatDOD.h"

#include <algorithm>
#include <limits>

namespace kp {

namespace {

constexpr double kBlockGap = 0.1 / SecsPerDay;   // the readers' gap between blocks
constexpr double kMarkRoom = 0.001 / SecsPerDay; // a mark never shares a fix's time

struct TFixSpan {
  double First = 0, Last = 0;
  bool Any = false;
};

// Where a block is written (Origin moved so that its first fix falls on a
// whole second) and the first and last fix as written, from the movie's
// start.
TFixSpan FixSpan(const TTrackInfo &items, TDateTime origin, TDateTime &at)
{
  TFixSpan span;
  at = origin;
  for (const TTrackInfoItem &item : items.Items) {
    if (item.Kind != ikGps || item.NoFix) continue;
    if (!span.Any) at = RoundToSecond(origin + item.Time) - item.Time;
    const double written = RoundToSecond(at + item.Time) - at;
    if (!span.Any) span.First = written;
    span.Last = std::max(span.Last, written);
    span.Any = true;
  }
  return span;
}

// A one-fix track at Time with every value 0: a block's mark.
TTrackInfo TimeMark(TDateTime time)
{
  TTrackInfoItem mark;
  mark.Kind = ikGps;
  mark.Time = time;
  mark.Course = 0;
  mark.Speed = 0;
  TTrackInfo info;
  info.Items.push_back(mark);
  return info;
}

QByteArray DatText(const TTrackInfo &info)
{
  QByteArray text;
  GpsDefaultConverter().ExportToText(info, text);
  return text;
}

// The blocks' marks, in days from the movie's start: the first block
// starts with the movie and the last ends with it; in between, each start
// mark stands at its fragment's start (or as near as its own first fix and
// the last fix before it allow) and each end mark 0.1 s before the next
// start mark. Where the fixes either side of a boundary stand nearer than
// that, the marks keep to the fixes and the readers' move costs the blocks
// before the difference.
void PlaceMarks(const std::vector<TDatPiece> &pieces, const std::vector<TFixSpan> &spans, double movieEnd,
                std::vector<double> &starts, std::vector<double> &ends)
{
  const size_t n = pieces.size();
  constexpr double inf = std::numeric_limits<double>::infinity();
  starts.assign(n, 0);
  ends.assign(n, 0);
  if (spans[0].Any) starts[0] = std::min(0.0, spans[0].First - kMarkRoom);
  for (size_t j = 1; j < n; ++j) {
    const double lo = spans[j - 1].Any ? spans[j - 1].Last + kBlockGap + kMarkRoom : -inf;
    const double hi = spans[j].Any ? spans[j].First - kMarkRoom : inf;
    starts[j] = lo <= hi ? std::clamp(pieces[j].Start, lo, hi) : hi;
    ends[j - 1] = lo <= hi ? starts[j] - kBlockGap : spans[j - 1].Last + kMarkRoom;
    ends[j - 1] = std::max(ends[j - 1], starts[j - 1] + kMarkRoom);
  }
  ends[n - 1] = std::max({movieEnd, starts[n - 1] + kMarkRoom, spans[n - 1].Any ? spans[n - 1].Last + kMarkRoom : 0});
}

} // namespace

QByteArray DatCutText(const std::vector<TDatPiece> &pieces, TDateTime origin, double movieEnd)
{
  if (pieces.empty()) return {};
  std::vector<TFixSpan> spans(pieces.size());
  std::vector<TDateTime> at(pieces.size());
  for (size_t j = 0; j < pieces.size(); ++j) spans[j] = FixSpan(pieces[j].Items, origin, at[j]);
  std::vector<double> starts, ends;
  PlaceMarks(pieces, spans, movieEnd, starts, ends);
  QByteArray text = "[C]\r\n";
  for (size_t j = 0; j < pieces.size(); ++j) {
    if (j > 0) text += pieces[j].FollowsOn ? "[F]\r\n[B]\r\n" : "[B]\r\n";
    TTrackInfo block = pieces[j].Items;
    for (TTrackInfoItem &item : block.Items)
      if (item.Kind == ikGps) item.Time += at[j];
    text += DatText(TimeMark(at[j] + starts[j])) + DatText(block) + DatText(TimeMark(at[j] + ends[j]));
  }
  return text;
}

} // namespace kp
