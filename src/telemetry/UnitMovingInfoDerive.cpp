// Timing and centring of G-sensor samples; trip, speed and course.

#include "UnitMovingInfo.h"

#include <algorithm>
#include <cmath>

namespace kp {

namespace {

constexpr double kDefaultInterval = 1.1747685185185185e-06; // 0.1015 s
constexpr double kMaxFileSpan = 0.16666666666666666;        // 4 hours
constexpr double kRealDate = 2.0;

// Samples without points: spread backwards from the file's last write.
void TimeFromFile(std::vector<TGSensorSample> &samples, const QString &fileName)
{
  TDateTime created = 0, modified = 0;
  GetFileTimes(fileName, created, modified);
  const size_t n = samples.size();
  double interval = kDefaultInterval;
  if (modified > created && modified - created < kMaxFileSpan) interval = (modified - created) / double(n);
  for (size_t k = 0; k < n; ++k) samples[n - 1 - k].Time = modified - double(k) * interval;
}

} // namespace

void TMovingInfo::AssignGSensorTimes(const QString &fileName)
{
  if (GSensor.empty() || GSensor[0].Time > 0) return;
  if (Points.empty()) {
    TimeFromFile(GSensor, fileName);
    return;
  }
  auto &s = GSensor;
  const size_t n = s.size();
  double sum = kDefaultInterval;
  double count = 1;
  TDateTime prevTime = 0;
  size_t prevIdx = 0;
  ptrdiff_t first = -1, last = -1;
  // Samples tied to a fix take its time; those between two such anchors are
  // spread evenly.
  for (size_t i = 0; i < n; ++i) {
    TDateTime t = 0;
    if (s[i].GpsIndex >= 0 && static_cast<size_t>(s[i].GpsIndex) < Points.size()) {
      t = Points[s[i].GpsIndex].Time;
      s[i].Time = t;
    }
    if (!(t > 0)) continue;
    if (prevTime > 0 && prevTime < t) {
      const size_t k = i - prevIdx;
      const double step = (t - prevTime) / double(k);
      for (size_t j = 0; j <= k; ++j) s[prevIdx + j].Time = prevTime + double(j) * step;
      sum += double(k) * step;
      count += double(k);
    }
    if (first < 0) first = static_cast<ptrdiff_t>(i);
    prevTime = t;
    last = static_cast<ptrdiff_t>(i);
    prevIdx = i;
  }
  SampleInterval = 0.99 * sum / count;
  for (ptrdiff_t j = first - 1; j >= 0 && first > 0; --j) s[j].Time = s[j + 1].Time - SampleInterval;
  if (last >= 0)
    for (size_t j = static_cast<size_t>(last) + 1; j < n; ++j) s[j].Time = s[j - 1].Time + SampleInterval;
  FillUntimedGaps();
}

// Runs of samples left untimed between anchors whose times did not increase
// are counted back from the next anchor; everything before such a run (and
// the points up to the anchor's fix) moves back to make room. Each run's
// shift is recorded at its anchor and applied once through running sums, so
// many runs cost one pass.
void TMovingInfo::FillUntimedGaps()
{
  auto &s = GSensor;
  const size_t n = s.size();
  if (n == 0 || !(s[0].Time > 0)) return;
  std::vector<double> sampleShift(n, 0.0), pointShift(Points.size(), 0.0);
  bool anyShift = false;
  size_t anchor = 0;
  for (size_t i = 0; i + 1 < n; ++i) {
    if (s[i].Time > 0) anchor = i;
    if (!(s[i].Time <= 0 && s[i + 1].Time > 0)) continue;
    for (size_t k = i; k > anchor; --k) s[k].Time = s[i + 1].Time - double(i + 1 - k) * SampleInterval;
    const double d = s[anchor].Time - (s[anchor + 1].Time - SampleInterval);
    sampleShift[anchor] += d;
    const int32_t gps = s[anchor].GpsIndex;
    if (gps >= 0 && static_cast<size_t>(gps) < Points.size()) pointShift[gps] += d;
    anyShift = true;
  }
  if (!anyShift) return;
  double acc = 0;
  for (size_t k = n; k-- > 0;) {
    acc += sampleShift[k];
    s[k].Time -= acc;
  }
  acc = 0;
  for (size_t k = Points.size(); k-- > 0;) {
    acc += pointShift[k];
    Points[k].Time -= acc;
  }
}

void TMovingInfo::CenterGSensor()
{
  const size_t n = GSensor.size();
  if (n == 0) return;
  if (n > 1) {
    std::vector<double> values(n);
    auto centre = [&](double TGSensorSample::*axis) {
      for (size_t i = 0; i < n; ++i) values[i] = GSensor[i].*axis;
      const double median = UtilMedian(values);
      for (TGSensorSample &s : GSensor) s.*axis -= median;
    };
    centre(&TGSensorSample::Z);
    centre(&TGSensorSample::Y);
    centre(&TGSensorSample::X);
  }
  for (TGSensorSample &s : GSensor) s.A = std::sqrt(s.X * s.X + s.Y * s.Y + s.Z * s.Z);
}

// ---------------------------------------------------------------- derived values

namespace {

void WidenWindow(TDateTime t, TDateTime &start, TDateTime &end)
{
  if (!(t > kRealDate)) return;
  if (start == 0 || t < start) start = t;
  if (t > end) end = t;
}

double CourseBetween(const TMovingPoint &a, const TMovingPoint &b)
{
  if (a.Lon == b.Lon && a.Lat == b.Lat) return -1;
  // A degree of longitude shrinks with the cosine of the latitude.
  const double east = LonDelta(a.Lon, b.Lon) * std::cos((a.Lat + b.Lat) / 2 * DegToRad);
  double c = std::atan2(east, b.Lat - a.Lat) / DegToRad;
  if (c < 0) c += 360;
  return c;
}

} // namespace

void TMovingInfo::CalcDerived(bool quick)
{
  for (size_t i = 0; i < GSensor.size(); ++i) {
    if (GSensor[i].Index == 0) GSensor[i].Index = static_cast<int32_t>(i);
    WidenWindow(GSensor[i].Time, StartTime, EndTime);
  }
  for (const TMovingPoint &p : Points) WidenWindow(p.Time, StartTime, EndTime);

  Points.erase(
      std::remove_if(Points.begin(), Points.end(), [](const TMovingPoint &p) { return p.Lon == 0 || p.Lat == 0; }),
      Points.end());
  CalcTrip();
  const size_t n = Points.size();
  if (n >= 2) {
    if (Points[0].Alt == 0 && Points[1].Alt != 0) Points[0].Alt = Points[1].Alt;
    if (Points[n - 1].Alt == 0 && Points[n - 2].Alt != 0) Points[n - 1].Alt = Points[n - 2].Alt;
  }
  if (quick || n < 2) return;
  for (size_t i = 0; i < n; ++i) {
    TMovingPoint &p = Points[i];
    if (p.NoFix) continue;
    if (p.Course < 0) p.Course = CourseBetween(Points[i == 0 ? 0 : i - 1], Points[std::min(n - 1, i + 1)]);
    if (p.Speed < 0) p.Speed = SpeedAround(i);
  }
  InterpolateBetweenGoodPoints();
  for (TMovingPoint &p : Points)
    if (p.Speed < 0) p.Speed = 0;
}

bool TMovingInfo::FollowsOn(TDateTime previous, TDateTime next)
{
  constexpr double kMaxGap = 6.944444444444444e-05;  // 6 s, the route's own break
  constexpr double kSameFix = 5.787037037037037e-06; // 0.5 s: one fix written twice
  const double gap = next - previous;
  return std::isfinite(gap) && gap >= -kSameFix && gap <= kMaxGap;
}

void TMovingInfo::CalcTrip()
{
  ptrdiff_t prev = -1;
  auto piece = PieceStarts.begin();
  for (size_t i = 0; i < Points.size(); ++i) {
    TMovingPoint &p = Points[i];
    if (p.Index == 0) p.Index = static_cast<int32_t>(i);
    // The first fix of a later piece adds nothing: the pictures never drove
    // the way from the piece before.
    bool joins = false;
    while (piece != PieceStarts.end() && *piece <= p.Time) {
      joins |= prev >= 0 && Points[prev].Time < *piece;
      ++piece;
    }
    if (p.Trip == 0) {
      if (prev < 0) {
        p.Trip = 0;
      } else {
        const TMovingPoint &q = Points[prev];
        p.Trip = q.Trip + (p.NoFix || joins ? 0.0 : GeoDistance(q.Lon, q.Lat, p.Lon, p.Lat));
      }
    }
    if (!p.NoFix) prev = static_cast<ptrdiff_t>(i);
  }
}

// Speed over the nearest pair of fixes around point I that brackets a time
// change, widening up to 10 points each way.
double TMovingInfo::SpeedAround(size_t i) const
{
  const size_t n = Points.size();
  size_t a = i, b = i;
  double dt = 0;
  for (size_t k = 1; k <= 10; ++k) {
    a = i >= k ? i - k : 0;
    b = std::min(n - 1, i + k);
    dt = Points[b].Time - Points[a].Time;
    if (Points[a].NoFix || Points[b].NoFix) {
      dt = 0;
      break;
    }
    const TDateTime t = Points[i].Time;
    if (a == 0 || b == n - 1 || (t != Points[a].Time && t != Points[b].Time && dt > 0)) break;
  }
  if (dt > 0 && !Points[a].NoFix && !Points[b].NoFix) return (Points[b].Trip - Points[a].Trip) / 1000 / (dt * 24);
  return -1;
}

void TMovingInfo::InterpolateBetweenGoodPoints()
{
  auto good = [](const TMovingPoint &p) { return !p.NoFix && p.Speed >= 0; };
  ptrdiff_t g1 = -1;
  for (size_t g2 = 0; g2 < Points.size(); ++g2) {
    if (!good(Points[g2])) continue;
    if (g1 >= 0) {
      const TMovingPoint &p1 = Points[g1], &p2 = Points[g2];
      const double span = double(ptrdiff_t(g2) - g1);
      for (size_t j = size_t(g1) + 1; j < g2; ++j) {
        const double f = double(ptrdiff_t(j) - g1) / span;
        TMovingPoint &p = Points[j];
        p.Course = -1;
        if (p.Speed < 0) p.Speed = f * p2.Speed + (1 - f) * p1.Speed;
        p.Trip = f * p2.Trip + (1 - f) * p1.Trip;
      }
    }
    g1 = static_cast<ptrdiff_t>(g2);
  }
}

} // namespace kp
