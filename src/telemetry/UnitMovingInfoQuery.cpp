// What the player, the map and the graphs ask of loaded telemetry.

#include "UnitMovingInfo.h"
#include "UnitSegmentEnds.h"

#include <algorithm>
#include <cmath>

namespace kp {

namespace {

constexpr double kEdge = 3.472222222222222e-05;      // 3 s
constexpr double kValidGap = 6.944444444444444e-05;  // 6 s
constexpr double kValidNear = 1.736111111111111e-05; // 1.5 s
constexpr double kHalfSecond = 5.787037037037037e-06;

enum class TLocate { None, Edge, Inside };

// Where Time falls among records in time order: beside the first or last
// record (within 3 s), between Lo and Hi, or nowhere.
template <typename TRecord>
TLocate Locate(const std::vector<TRecord> &r, TDateTime time, size_t &lo, size_t &hi)
{
  if (r.empty() || std::isnan(time)) return TLocate::None;
  const size_t h = r.size() - 1;
  if (time < r[0].Time) {
    lo = hi = 0;
    return time > r[0].Time - kEdge ? TLocate::Edge : TLocate::None;
  }
  if (time > r[h].Time) {
    lo = hi = h;
    return time < r[h].Time + kEdge ? TLocate::Edge : TLocate::None;
  }
  lo = 0;
  hi = h;
  while (lo + 1 < hi) {
    const size_t mid = (lo + hi) / 2;
    if (time < r[mid].Time)
      hi = mid;
    else
      lo = mid;
  }
  return TLocate::Inside;
}

double Lerp(double a, double b, double f)
{
  return a + (b - a) * f;
}

double InterpolateCourse(double c1, double c2, double f)
{
  if (c1 < 0) c1 = c2;
  if (c2 < 0) c2 = c1;
  if (std::fabs(c1 - c2) > 180) {
    if (c1 < c2)
      c1 += 360;
    else
      c2 += 360;
  }
  double c = Lerp(c1, c2, f);
  if (c >= 360) c -= 360;
  return c;
}

void SampleAt(const std::vector<TGSensorSample> &r, TDateTime time, TGSensorSample &sample)
{
  size_t lo = 0, hi = 0;
  const TLocate where = Locate(r, time, lo, hi);
  if (where == TLocate::None) return;
  sample = r[lo];
  if (where == TLocate::Edge) return;
  const double dt = r[hi].Time - r[lo].Time;
  if (!(dt > 0)) return;
  const double f = (time - r[lo].Time) / dt;
  sample.Time = time;
  sample.X = Lerp(r[lo].X, r[hi].X, f);
  sample.Y = Lerp(r[lo].Y, r[hi].Y, f);
  sample.Z = Lerp(r[lo].Z, r[hi].Z, f);
  sample.A = Lerp(r[lo].A, r[hi].A, f);
}

void PointAt(const std::vector<TMovingPoint> &r, TDateTime time, TMovingPoint &point, bool &valid)
{
  size_t lo = 0, hi = 0;
  const TLocate where = Locate(r, time, lo, hi);
  // Before the first fix the receiver had none: its first one belongs to a
  // later moment, and the gauges and the map must not show that one here.
  if (where == TLocate::None || time < r[0].Time) return;
  point = r[lo];
  if (where == TLocate::Edge) {
    valid = !r[lo].NoFix;
    return;
  }
  const TMovingPoint &a = r[lo], &b = r[hi];
  const double dt = b.Time - a.Time;
  if (!(dt > 0)) return;
  const double f = (time - a.Time) / dt;
  point.Time = time;
  point.Lon = NormalLon(a.Lon + LonDelta(a.Lon, b.Lon) * f);
  point.Lat = Lerp(a.Lat, b.Lat, f);
  point.Speed = Lerp(a.Speed, b.Speed, f);
  point.Trip = Lerp(a.Trip, b.Trip, f);
  point.Alt = a.Alt == 0 ? b.Alt : (b.Alt == 0 ? a.Alt : Lerp(a.Alt, b.Alt, f));
  point.Course = InterpolateCourse(a.Course, b.Course, f);
  valid = !a.NoFix && !b.NoFix && (dt < kValidGap || std::min(b.Time - time, time - a.Time) < kValidNear);
}

} // namespace

void TMovingInfo::GetDataAtTime(TDateTime time, TMovingPoint &point, TGSensorSample &sample, bool &valid) const
{
  valid = false;
  point = ZeroedPoint();
  sample = TGSensorSample{};
  if (!(0 < StartTime && StartTime < EndTime)) return;
  SampleAt(GSensor, time, sample);
  PointAt(Points, time, point, valid);
}

void TMovingInfo::SetTimeRange(TDateTime startTime, TDateTime endTime)
{
  StartTime = startTime;
  EndTime = endTime;
}

// ---------------------------------------------------------------- route

// Calls Visit(Start, End) for every segment of the route: runs of points with
// a fix and without a gap of more than 6 s. The last point is judged like
// every other: an outlier there is left out and a lone point after a gap
// forms its own segment.
template <typename TVisit>
void TMovingInfo::WalkRoute(double, TVisit &&visit) const
{
  const size_t n = Points.size();
  ptrdiff_t start = -1;
  for (size_t i = 0; i < n; ++i) {
    const TMovingPoint &p = Points[i];
    if (p.NoFix) {
      if (start >= 0 && i > 0) visit(size_t(start), i - 1);
      start = -1;
      continue;
    }
    if (start < 0) start = ptrdiff_t(i);
    if (i + 1 < n && p.Time + kValidGap < Points[i + 1].Time) {
      visit(size_t(start), i);
      start = -1;
    }
  }
  if (start >= 0) visit(size_t(start), n - 1);
}

namespace {

double DefaultTolerance(size_t count)
{
  return std::max(5.0, std::min(20.0, double(count) / 500));
}

double PointDistance(double lon1, double lat1, double lon2, double lat2)
{
  return GeoDistance(lon1, lat1, lon2, lat2);
}

// Indexes taken from a segment: its ends always, points between only when
// at least Tolerance metres from the last one taken.
template <typename TTake>
void ThinSegment(const std::vector<TMovingPoint> &p, size_t start, size_t end, double tolerance, TTake &&take)
{
  take(start);
  size_t last = start;
  for (size_t j = start + 1; j < end; ++j) {
    if (PointDistance(p[last].Lon, p[last].Lat, p[j].Lon, p[j].Lat) >= tolerance) {
      take(j);
      last = j;
    }
  }
  if (end > start) take(end);
}

} // namespace

void TMovingInfo::GetRoute(TTrack &track, double tolerance) const
{
  if (tolerance < 0) tolerance = DefaultTolerance(Points.size());
  track.clear();
  TSegmentEnds ends(tolerance);
  WalkRoute(tolerance, [&](size_t start, size_t end) {
    std::ptrdiff_t index = ends.FindNear(Points[start].Lon, Points[start].Lat);
    if (index < 0) {
      index = std::ptrdiff_t(track.size());
      track.emplace_back();
    }
    TTrackItem &segment = track[size_t(index)];
    ThinSegment(Points, start, end, tolerance, [&](size_t j) {
      segment.Points.push_back(TTrackPoint{Points[j].Lon, Points[j].Lat, Points[j].Time});
    });
    ends.SetEnd(size_t(index), segment.Points.back().Lon, segment.Points.back().Lat);
  });
}

int TMovingInfo::CountRoutePointsInBounds(double west, double north, double east, double south, double tolerance) const
{
  if (tolerance < 0) tolerance = DefaultTolerance(Points.size());
  int count = 0;
  WalkRoute(tolerance, [&](size_t start, size_t end) {
    ThinSegment(Points, start, end, tolerance, [&](size_t j) {
      const TMovingPoint &p = Points[j];
      if (west <= p.Lon && p.Lon <= east && south <= p.Lat && p.Lat <= north) ++count;
    });
  });
  return count;
}

void TMovingInfo::GetBounds(TGeoPoint &northWest, TGeoPoint &southEast) const
{
  std::vector<double> lons;
  lons.reserve(Points.size());
  for (const TMovingPoint &p : Points) {
    lons.push_back(p.Lon);
    northWest.Y = std::max(northWest.Y, p.Lat);
    southEast.Y = std::min(southEast.Y, p.Lat);
  }
  double west = 0, east = 0;
  if (!ShortLonSpan(lons, west, east)) return;
  if (west > east) {
    // Across 180 the track's own short span stands for the longitudes.
    northWest.X = west;
    southEast.X = east;
  } else {
    northWest.X = std::min(northWest.X, west);
    southEast.X = std::max(southEast.X, east);
  }
}

// ---------------------------------------------------------------- graph series

namespace {

void AddToColumn(TGraphicItem &column, double value, TDateTime time)
{
  if (column.Count == 0) {
    column.Time = time;
    column.MinValue = column.MaxValue = value;
  } else {
    column.MaxValue = std::max(column.MaxValue, value);
    column.MinValue = std::min(column.MinValue, value);
  }
  ++column.Count;
}

double ValueAt(TDateTime pt, double pv, TDateTime t, double v, TDateTime at)
{
  const double span = t - pt;
  if (!(span != 0)) return v;
  return pv + (v - pv) * (at - pt) / span;
}

// One pass over records in time order into caller-sized pixel columns.
template <typename TRecord, typename TValue>
void FillSeries(const std::vector<TRecord> &records, TValue &&value, TGraphicItems &series, TDateTime fromTime,
                TDateTime toTime)
{
  if (series.empty()) return;
  if (!(toTime > fromTime)) {
    std::fill(series.begin(), series.end(), TGraphicItem{});
    return;
  }
  const size_t w = series.size();
  const double width = w > 1 ? (toTime - fromTime) / double(w - 1) : (toTime - fromTime) * 4;
  bool first = true;
  TDateTime pt = 0;
  double pv = 0;
  for (const TRecord &r : records) {
    const TDateTime t = r.Time;
    const double v = value(r);
    if (t > toTime) {
      if (!first && series[w - 1].Count == 0) {
        AddToColumn(series[w - 1], ValueAt(pt, pv, t, v, toTime), toTime);
        // The window lies wholly between two records.
        if (pt < fromTime) AddToColumn(series[0], ValueAt(pt, pv, t, v, fromTime), fromTime);
      }
      break;
    }
    if (t >= fromTime) {
      const int64_t c = Round((t - fromTime) / width);
      if (!first && c > 0 && fromTime > pt && pt > 0) AddToColumn(series[0], ValueAt(pt, pv, t, v, fromTime), fromTime);
      if (c >= 0 && c < int64_t(w)) AddToColumn(series[size_t(c)], v, t);
    }
    first = false;
    pt = t;
    pv = v;
  }
}

} // namespace

void TMovingInfo::GetSpeedSeries(TGraphicItems &series, TDateTime fromTime, TDateTime toTime) const
{
  FillSeries(
      Points, [](const TMovingPoint &p) { return p.Speed; }, series, fromTime, toTime);
}

void TMovingInfo::GetAltitudeSeries(TGraphicItems &series, TDateTime fromTime, TDateTime toTime) const
{
  FillSeries(
      Points, [](const TMovingPoint &p) { return p.Alt; }, series, fromTime, toTime);
}

void TMovingInfo::GetGSensorASeries(TGraphicItems &series, TDateTime fromTime, TDateTime toTime) const
{
  FillSeries(
      GSensor, [](const TGSensorSample &s) { return s.A; }, series, fromTime, toTime);
}

void TMovingInfo::GetGSensorXSeries(TGraphicItems &series, TDateTime fromTime, TDateTime toTime) const
{
  FillSeries(
      GSensor, [](const TGSensorSample &s) { return s.X; }, series, fromTime, toTime);
}

void TMovingInfo::GetGSensorYSeries(TGraphicItems &series, TDateTime fromTime, TDateTime toTime) const
{
  FillSeries(
      GSensor, [](const TGSensorSample &s) { return s.Y; }, series, fromTime, toTime);
}

void TMovingInfo::GetGSensorZSeries(TGraphicItems &series, TDateTime fromTime, TDateTime toTime) const
{
  FillSeries(
      GSensor, [](const TGSensorSample &s) { return s.Z; }, series, fromTime, toTime);
}

// ---------------------------------------------------------------- map click, summaries

double TMovingInfo::FindPositionByCoord(double &maxDist2, double lat, double lon) const
{
  const double window = EndTime - StartTime;
  if (!(window != 0)) return -1;
  double result = -1;
  const size_t n = Points.size();
  for (size_t i = 0; i < n; ++i) {
    const TMovingPoint &p = Points[i];
    const double d = (p.Lon - lon) * (p.Lon - lon) + (p.Lat - lat) * (p.Lat - lat);
    if (!(d < maxDist2)) continue;
    maxDist2 = d;
    TDateTime t = p.Time;
    const bool gapBefore = i > 0 && p.Time - Points[i - 1].Time > kValidGap;
    if (gapBefore) {
      // An isolated point: show it from just before.
      if (i == n - 1 || Points[i + 1].Time - p.Time > kValidGap) t -= kHalfSecond;
    } else {
      t += kHalfSecond;
    }
    result = (t - StartTime) / window;
  }
  return result;
}

double TMovingInfo::GetTrackLength() const
{
  if (Points.empty()) return 0;
  return Points.back().Trip - Points.front().Trip;
}

double TMovingInfo::GetAvgSpeed() const
{
  if (Points.size() < 2) return -1;
  const double hours = (Points.back().Time - Points.front().Time) * 24;
  if (!(hours > 0)) return -1;
  return GetTrackLength() / 1000 / hours;
}

int TMovingInfo::GetPointSpan() const
{
  if (Points.empty()) return 0;
  const int64_t span = int64_t(Points.back().Index) - Points.front().Index + 1;
  return int(std::max<int64_t>(int64_t(Points.size()), span));
}

int TMovingInfo::GetGSensorSpan() const
{
  return GSensor.empty() ? 0 : GSensor.back().Index + 1;
}

void TMovingInfo::GetPoint(int i, TMovingPoint &point) const
{
  if (i < 0 || size_t(i) >= Points.size()) {
    point = ZeroedPoint();
    return;
  }
  point = Points[size_t(i)];
}

} // namespace kp
