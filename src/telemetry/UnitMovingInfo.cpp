// Loading a track file into telemetry: copying the items, then the cleaning
// steps, the timing and centring of G-sensor samples and the derived values.

#include "UnitMovingInfo.h"

#include "UnitGpsConverters.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace kp {

namespace {

std::atomic<double> gTimeZoneShift{0.0};

} // namespace

double TimeZoneShift()
{
  return gTimeZoneShift.load(std::memory_order_relaxed);
}

void SetTimeZoneShift(double days)
{
  gTimeZoneShift.store(days, std::memory_order_relaxed);
}

TMovingPoint ZeroedPoint()
{
  TMovingPoint p;
  p.Course = 0;
  p.Speed = 0;
  return p;
}

double LonDelta(double from, double to)
{
  double d = std::fmod(to - from, 360.0);
  if (d > 180)
    d -= 360;
  else if (d < -180)
    d += 360;
  return d;
}

double NormalLon(double lon)
{
  return lon > 180 ? lon - 360 : (lon < -180 ? lon + 360 : lon);
}

bool ShortLonSpan(std::vector<double> lons, double &west, double &east)
{
  lons.erase(std::remove_if(lons.begin(), lons.end(), [](double v) { return !std::isfinite(v); }), lons.end());
  if (lons.empty()) return false;
  std::sort(lons.begin(), lons.end());
  // The widest gap between neighbours, the one across 180 included, is
  // where the span is open.
  size_t open = lons.size() - 1; // across 180: West = smallest, East = largest
  double widest = lons.front() + 360 - lons.back();
  for (size_t i = 0; i + 1 < lons.size(); ++i)
    if (lons[i + 1] - lons[i] > widest) {
      widest = lons[i + 1] - lons[i];
      open = i;
    }
  west = lons[(open + 1) % lons.size()];
  east = lons[open];
  return true;
}

double UtilMedian(std::vector<double> values, double fallback)
{
  if (values.empty()) return fallback;
  const auto mid = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
  std::nth_element(values.begin(), mid, values.end());
  return *mid;
}

std::unique_ptr<TMovingInfo> TMovingInfo::LoadFromFile(const QString &fileName, bool quick)
{
  const QByteArray text = LoadFileToString(fileName);
  TTrackInfo info;
  if (!GpsConvertersLoad(text, fileName, info)) return nullptr;
  return LoadFromTrackInfo(info, fileName, quick);
}

std::unique_ptr<TMovingInfo> TMovingInfo::LoadFromTrackInfo(const TTrackInfo &info, const QString &fileName, bool quick)
{
  size_t points = 0, samples = 0;
  for (const TTrackInfoItem &item : info.Items) {
    if (item.Kind == ikGps)
      ++points;
    else if (item.Kind == ikGSensor)
      ++samples;
  }
  if (points == 0 && samples == 0) return nullptr;

  auto result = std::make_unique<TMovingInfo>();
  result->Points.reserve(points);
  result->GSensor.reserve(samples);
  int32_t lastPoint = -1;
  for (size_t i = 0; i < info.Items.size(); ++i) {
    const TTrackInfoItem &item = info.Items[i];
    if (item.Kind == ikGps) {
      TMovingPoint p;
      static_cast<TFixBlock &>(p) = item.block();
      // About 10 cm per item keeps position-less fixes apart through
      // cleaning; they serve as time anchors and go away at the end.
      if (p.Lon == 0 && p.Lat == 0) p.Lat = double(i) * 10 * CoincidenceDegrees;
      lastPoint = static_cast<int32_t>(result->Points.size());
      result->Points.push_back(p);
    } else if (item.Kind == ikGSensor) {
      TGSensorSample s;
      s.Time = item.Time;
      s.X = item.Lon;
      s.Y = item.Lat;
      s.Z = item.Alt;
      if (s.Time == 0) s.GpsIndex = lastPoint;
      lastPoint = -1; // only the first untimed sample after a fix is tied to it
      result->GSensor.push_back(s);
    }
  }
  for (const size_t start : info.TripStarts) {
    const auto fix =
        std::find_if(info.Items.begin() + ptrdiff_t(std::min(start, info.Items.size())), info.Items.end(),
                     [](const TTrackInfoItem &item) {
                       return item.Kind == ikGps && item.Time > 0 && !item.NoFix && item.Lon != 0 && item.Lat != 0;
                     });
    if (fix != info.Items.end() && (result->PieceStarts.empty() || fix->Time > result->PieceStarts.back()))
      result->PieceStarts.push_back(fix->Time);
  }
  // A cut's fixes were cleaned when they were cut, and its times are the
  // movie's: the clock and position checks would take a slowed or sped-up
  // piece for faults.
  if (info.CutTrack)
    result->RemoveDuplicates();
  else
    result->Clean();
  result->AssignGSensorTimes(fileName);
  result->CenterGSensor();
  result->CalcDerived(quick);
  return result;
}

// ---------------------------------------------------------------- cleaning

void TMovingInfo::Clean()
{
  RemoveDuplicates();
  FixDayJumps();
  FixTimeSteps();
  MarkOutliers();
}

namespace {

constexpr double kDuplicateTime = 2.3148148148148148e-07; // 0.02 s
constexpr double kOneMs = 1.1574074074074074e-08;
constexpr double kMinStep = 1.0416666666666667e-06; // 0.09 s
constexpr double kOneSecond = 1.1574074074074073e-05;

bool SameFix(const TMovingPoint &a, const TMovingPoint &b)
{
  return std::fabs(a.Time - b.Time) < kDuplicateTime && std::fabs(LonDelta(a.Lon, b.Lon)) < CoincidenceDegrees &&
         std::fabs(a.Lat - b.Lat) < CoincidenceDegrees;
}

} // namespace

// One pass: each point is compared with the last point kept, which is what
// deleting a duplicate and comparing again with the new successor amounts to.
void TMovingInfo::RemoveDuplicates()
{
  const size_t n = Points.size();
  if (n < 2) return;
  std::vector<int32_t> newIndex(n, -1);
  size_t kept = 0;
  newIndex[0] = 0;
  for (size_t j = 1; j < n; ++j) {
    if (SameFix(Points[kept], Points[j])) continue;
    ++kept;
    if (kept != j) Points[kept] = Points[j];
    newIndex[j] = static_cast<int32_t>(kept);
  }
  if (kept + 1 == n) return;
  Points.resize(kept + 1);
  for (TGSensorSample &s : GSensor) {
    if (s.GpsIndex >= 0 && static_cast<size_t>(s.GpsIndex) < n) s.GpsIndex = newIndex[s.GpsIndex];
  }
}

void TMovingInfo::FixDayJumps()
{
  const size_t n = Points.size();
  if (n < 2) return;
  std::vector<double> times(n);
  for (size_t i = 0; i < n; ++i) times[i] = Points[i].Time;
  const double median = UtilMedian(std::move(times));
  TDateTime &last = Points[n - 1].Time;
  // Whole days to the nearest: a clock that fell back 1024 weeks at the
  // roll-over instant lands on the median's day, not a day beside it.
  if (std::fabs(last - median) > 1.0) last -= RoundF(last - median);
  for (size_t k = n - 1; k-- > 0;) {
    const double diff = Points[k + 1].Time - Points[k].Time;
    if (std::fabs(diff) > 0.5) Points[k].Time += RoundF(diff);
  }
  for (size_t i = 0; i + 2 < n; ++i) {
    if (Points[i].Time < Points[i + 2].Time && Points[i + 1].Time + kOneMs < Points[i].Time)
      Points[i + 1].Time = (Points[i].Time + Points[i + 2].Time) / 2;
  }
}

void TMovingInfo::FixTimeSteps()
{
  const size_t n = Points.size();
  if (n < 2) return;
  std::vector<double> steps(n - 1);
  for (size_t i = 0; i + 1 < n; ++i) steps[i] = Points[i + 1].Time - Points[i].Time;
  double step = UtilMedian(std::move(steps));
  if (step < kMinStep) step = kOneSecond;
  const double tol = step / 20;
  double shift = 0;
  for (size_t k = n - 1; k-- > 0;) {
    TDateTime &t = Points[k].Time;
    const TDateTime next = Points[k + 1].Time;
    if (t + tol > next) {
      t += shift;
      if (t + tol > next) {
        shift -= t - (next - step);
        t = next - step;
      }
    } else {
      shift = 0;
    }
  }
}

namespace {

constexpr double kSlow = 1.3888888888888888;    // 5 km/h in m/s
constexpr double kFast = 5.555555555555555;     // 20 km/h
constexpr double kJump = 13.88888888888889;     // 50 km/h
constexpr double kNear = 6.944444444444444e-05; // 6 s

// Metres per second between two fixes; equal times give an infinite speed
// for any distance, none for no distance.
double Speed(double metres, double days)
{
  const double secs = std::fabs(days) * SecsPerDay;
  if (secs > 0) return metres / secs;
  return metres > 0 ? std::numeric_limits<double>::infinity() : 0.0;
}

} // namespace

void TMovingInfo::MarkOutliers()
{
  // Records without a position (zero coordinates: a receiver without a
  // fix, or the time marks that bound the blocks of a cut's track) carry
  // only a time and end a run: the fixes on either side may lie far apart
  // by right (a cut joins fragments of different places), and as a
  // neighbour such a record would make the next fix look like a jump
  // across the globe.
  size_t from = 0;
  for (size_t i = 0; i <= Points.size(); ++i) {
    if (i < Points.size() && Points[i].Lon != 0 && Points[i].Lat != 0) continue;
    MarkOutliersIn(from, i);
    from = i + 1;
  }
}

void TMovingInfo::MarkOutliersIn(size_t from, size_t to)
{
  if (to < from + 3) return;
  const size_t n = to;
  auto dist = [this](size_t a, size_t b) {
    return GeoDistanceFast(Points[a].Lon, Points[a].Lat, Points[b].Lon, Points[b].Lat);
  };
  for (size_t i = from; i + 2 < n; ++i) {
    TMovingPoint &p0 = Points[i], &p1 = Points[i + 1], &p2 = Points[i + 2];
    const double d01 = dist(i, i + 1), d02 = dist(i, i + 2), d12 = dist(i + 1, i + 2);
    const double d23 = i + 3 < n ? dist(i + 2, i + 3) : 0.0;
    const double v01 = Speed(d01, p1.Time - p0.Time), v02 = Speed(d02, p2.Time - p0.Time),
                 v12 = Speed(d12, p2.Time - p1.Time);
    if (!(std::max({v01, v02, v12}) > kSlow)) continue;
    if (std::fabs(p0.Time - p2.Time) < kNear && d01 > 8 * d02) p1.NoFix = true;
    // Distance alone says little across a pause: the first fix after minutes
    // without one is far from the last by right.
    if (std::fabs(p2.Time - p1.Time) < kNear) {
      if (d01 > 8 * d12 && d23 > 8 * d12) p2.NoFix = true;
      if (d12 > 8 * d01 && d12 > 8 * d23) p2.NoFix = true;
    }
    if (d23 > 0 && !p1.NoFix && !p2.NoFix) {
      const double v23 = Speed(d23, p2.Time - Points[i + 3].Time);
      const double vm = std::max(v12, v01);
      if ((vm > kFast && std::fabs(v23 - v02) < 0.1 * v23 && vm > 2 * v02) ||
          (v12 > kFast && v12 > 2 * v01 && v12 > 2 * v23) || (v12 > v01 + kJump))
        p1.NoFix = true;
    }
  }
}

} // namespace kp
