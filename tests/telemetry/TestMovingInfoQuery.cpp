// Queries of loaded telemetry: values at a play time, route, series, map
// click, summaries, export record, join, altitude merge, ranges and crops.

#include "TelemetryTestSupport.h"

#include <QElapsedTimer>
#include <QPointF>
#include <random>

using namespace kp;
using namespace kptest;

namespace {

TMovingPoint Pt(TDateTime t, double lon, double lat, double speed = 0, double course = 0, double alt = 0)
{
  return {{t, lon, lat, alt, course, speed, 0, false}, 0};
}

TGSensorSample Smp(TDateTime t, double x)
{
  TGSensorSample s;
  s.Time = t;
  s.X = x;
  s.A = std::fabs(x);
  return s;
}

TMovingInfo Track(std::vector<TMovingPoint> points, std::vector<TGSensorSample> samples = {})
{
  TMovingInfo m;
  m.Points = std::move(points);
  m.GSensor = std::move(samples);
  m.StartTime = kT0 - 1.0;
  m.EndTime = kT0 + 1.0;
  for (size_t i = 0; i < m.Points.size(); ++i) m.Points[i].Index = int32_t(i);
  for (size_t i = 0; i < m.GSensor.size(); ++i) m.GSensor[i].Index = int32_t(i);
  return m;
}

// N fixes 1 s apart going north, Spacing metres apart.
TMovingInfo Line(int n, double spacing, TDateTime start = kT0)
{
  std::vector<TMovingPoint> p;
  for (int i = 0; i < n; ++i) p.push_back(Pt(start + i * kSec, 37.6, 55.7 + i * spacing * kDeg));
  return Track(p);
}

struct TAt {
  TMovingPoint P;
  TGSensorSample S;
  bool Valid = false;
};

TAt DataAt(const TMovingInfo &m, TDateTime t)
{
  TAt r;
  m.GetDataAtTime(t, r.P, r.S, r.Valid);
  return r;
}

// A series as "count:min..max" per column, "-" for an empty one.
std::string Columns(const TGraphicItems &series)
{
  std::string out;
  for (const TGraphicItem &c : series)
    out += (out.empty() ? "" : " ") +
           (c.Count == 0 ? std::string("-")
                         : QStringLiteral("%1:%2..%3").arg(c.Count).arg(c.MinValue).arg(c.MaxValue).toStdString());
  return out;
}

// Degrees apart on the circle.
double AngleApart(double a, double b)
{
  const double d = std::fmod(std::fabs(a - b), 360.0);
  return std::min(d, 360 - d);
}

} // namespace

// ---------------------------------------------------------------- data at a time

// Whether a play time shows a position: up to 3 s after the last fix (as
// it is), never before the first (that fix is of a later moment), between
// fixes under 6 s apart, and within 1.5 s of a fix across a longer gap
// (values are interpolated all the same). Samples lead in by 3 s.
TEST(MovingInfoAtTime, ValidityAndValues)
{
  const TMovingInfo close = Track({Pt(kT0, 37.6, 55.7, 40), Pt(kT0 + kSec, 37.6, 55.70001, 42)}, {Smp(kT0, 0.5)});
  const TMovingInfo gap = Track({Pt(kT0, 37.6, 55.7, 40), Pt(kT0 + 10 * kSec, 37.6, 55.71, 60)});
  const TMovingInfo five = Track({Pt(kT0, 37.6, 55.7, 40), Pt(kT0 + 5 * kSec, 37.6, 55.71, 60)});
  const struct {
    const TMovingInfo *m;
    double sec;
    bool valid;
    double speed;
  } cases[] = {{&close, -2, false, 0},  {&close, -4, false, 0},  {&close, 3.5, true, 42}, {&close, 4.5, false, 0},
               {&gap, 1.4, true, 42.8}, {&gap, 8.6, true, 57.2}, {&gap, 5, false, 50},    {&five, 2.5, true, 50}};
  for (const auto &c : cases) {
    const TAt r = DataAt(*c.m, kT0 + c.sec * kSec);
    EXPECT_EQ(r.Valid, c.valid) << c.sec;
    EXPECT_NEAR(r.P.Speed, c.speed, 1e-5) << c.sec;
  }
  EXPECT_EQ(DataAt(close, kT0 - 2 * kSec).S.X, 0.5);
  const TAt outside = DataAt(close, kT0 - 4 * kSec);
  EXPECT_EQ(QPointF(outside.P.Time, outside.S.Time), QPointF(0, 0)) << "a zeroed record";
  TMovingInfo m = close;
  m.Points[1].NoFix = true;
  const TAt r = DataAt(m, kT0 + 3 * kSec);
  EXPECT_FALSE(r.Valid);
  EXPECT_EQ(r.P.Time, kT0 + kSec);
}

TEST(MovingInfoAtTime, CourseWrapsAndMissingValuesTakeTheOtherSide)
{
  TMovingInfo m = Track({Pt(kT0, 37.6, 55.7, 0, 350, 0), Pt(kT0 + kSec, 37.6, 55.7001, 0, 10, 120)});
  TAt r = DataAt(m, kT0 + 0.5 * kSec);
  EXPECT_LT(AngleApart(r.P.Course, 0), 1e-3) << "not 180";
  EXPECT_LT(r.P.Course, 360);
  EXPECT_EQ(r.P.Alt, 120) << "altitude 0 is unknown";
  r = DataAt(m, kT0 + 0.25 * kSec);
  EXPECT_NEAR(r.P.Course, 355, 1e-3);
  EXPECT_EQ(r.P.Alt, 120);
  m.Points[0].Course = -1;
  EXPECT_NEAR(DataAt(m, kT0 + 0.5 * kSec).P.Course, 10, 1e-3);
  m.Points[0].Course = 20;
  m.Points[1].Course = 40;
  m.Points[0].Alt = 100;
  r = DataAt(m, kT0 + 0.5 * kSec);
  EXPECT_NEAR(r.P.Course, 30, 1e-3);
  EXPECT_NEAR(r.P.Alt, 110, 1e-3);
  EXPECT_EQ(r.P.Index, 0);
}

TEST(MovingInfoAtTime, WindowAndEmptyArrays)
{
  TMovingInfo m = Track({Pt(kT0, 37.6, 55.7)}, {Smp(kT0, 1), Smp(kT0 + kSec, 3)});
  m.SetTimeRange(kT0, kT0);
  TAt r = DataAt(m, kT0);
  EXPECT_FALSE(r.Valid) << "no recording window";
  EXPECT_EQ(r.S.Time, 0);
  m.SetTimeRange(kT0, kT0 + kSec);
  m.Points.clear();
  r = DataAt(m, kT0 + 0.5 * kSec);
  EXPECT_FALSE(r.Valid);
  EXPECT_NEAR(r.S.X, 2, 1e-4) << "samples without points";
  m.Points = {Pt(kT0, 37.6, 55.7)};
  m.GSensor.clear();
  r = DataAt(m, kT0 + 0.5 * kSec);
  EXPECT_TRUE(r.Valid) << "points without samples";
  EXPECT_EQ(r.S.Time, 0);
}

// ---------------------------------------------------------------- route

TEST(MovingInfoRoute, DefaultToleranceGrowsWithTheTrack)
{
  // 1.01 m apart: every k-th point is taken for a tolerance of k metres.
  for (auto [count, tolerance] : {std::pair{500, 5}, std::pair{3000, 6}, std::pair{20000, 20}}) {
    const TMovingInfo m = Line(count, 1.01);
    TTrack route;
    m.GetRoute(route, -1);
    ASSERT_EQ(route.size(), 1u);
    size_t expected = 2; // first and last
    for (int j = 1; j <= count - 2; ++j) expected += j % tolerance == 0 ? 1 : 0;
    EXPECT_EQ(route[0].Points.size(), expected) << count;
    EXPECT_EQ(int(expected), m.CountRoutePointsInBounds(-180, 90, 180, -90, -1));
  }
}

TEST(MovingInfoRoute, PointsWithoutFixEndSegmentsAndAreNotDrawn)
{
  std::vector<TMovingPoint> p;
  for (int i = 0; i < 8; ++i) p.push_back(Pt(kT0 + i * kSec, 37.6, 55.7 + i * 10 * kDeg));
  p[4].NoFix = true;
  p[7].NoFix = true; // an outlier at the very end
  TTrack route;
  Track(p).GetRoute(route, 5);
  ASSERT_EQ(route.size(), 2u);
  EXPECT_EQ(route[0].Points.size(), 4u);
  EXPECT_EQ(route[1].Points.size(), 2u);
  for (const TTrackItem &item : route)
    for (const TTrackPoint &q : item.Points) EXPECT_NE(q.Time, kT0 + 7 * kSec);
  EXPECT_EQ(Track(p).CountRoutePointsInBounds(-180, 90, 180, -90, 5), 6);
  // A bounds box around the first two points only.
  EXPECT_EQ(Track(p).CountRoutePointsInBounds(37, 55.7 + 15 * kDeg, 38, 55.69, 5), 2);
}

// Route joining as written: each segment compared with every earlier one.
void LiteralRoute(const TMovingInfo &m, TTrack &track, double tolerance)
{
  track.clear();
  const auto &p = m.Points;
  size_t i = 0;
  while (i < p.size()) {
    if (p[i].NoFix) {
      ++i;
      continue;
    }
    size_t end = i;
    while (end + 1 < p.size() && !p[end + 1].NoFix && !(p[end].Time + 6 * kSec < p[end + 1].Time)) ++end;
    TTrackItem *segment = nullptr;
    for (TTrackItem &item : track)
      if (GeoDistance(item.Points.back().Lon, item.Points.back().Lat, p[i].Lon, p[i].Lat) < tolerance) {
        segment = &item;
        break;
      }
    if (!segment) segment = &track.emplace_back();
    segment->Points.push_back({p[i].Lon, p[i].Lat, p[i].Time});
    size_t last = i;
    for (size_t j = i + 1; j < end; ++j)
      if (GeoDistance(p[last].Lon, p[last].Lat, p[j].Lon, p[j].Lat) >= tolerance) {
        segment->Points.push_back({p[j].Lon, p[j].Lat, p[j].Time});
        last = j;
      }
    if (end > i) segment->Points.push_back({p[end].Lon, p[end].Lat, p[end].Time});
    i = end + 1;
  }
}

// A logger's track with 7 s between fixes (every fix starts a segment),
// wandering over a town or along a road and crossing its own path.
TMovingInfo Wander(int n, std::mt19937 &random, double lon, double spread, double latSpread)
{
  std::vector<TMovingPoint> p;
  for (int i = 0; i < n; ++i) {
    const double u = double(random() % 100000) / 100000, v = double(random() % 100000) / 100000;
    p.push_back(Pt(kT0 + i * 7 * kSec, NormalLon(lon + (u - 0.5) * spread), 55.7 + (v - 0.5) * latSpread));
    if (random() % 4 == 0 && i > 0) p.back().Time = p[size_t(i) - 1].Time + kSec; // some fixes stay joined
    if (random() % 9 == 0) p.back().NoFix = true;
  }
  return Track(p);
}

TEST(MovingInfoRoute, AgreesWithJoiningEverySegmentToEveryEarlierOne)
{
  std::mt19937 random(17);
  for (int trial = 0; trial < 200; ++trial) {
    const double spread = trial % 3 == 0 ? 0.0005 : 0.002;
    const TMovingInfo m = Wander(20 + int(random() % 200), random, trial % 2 ? 179.9995 : 37.6, spread, spread);
    const double tolerance = double(1 + random() % 40);
    TTrack ours, theirs;
    m.GetRoute(ours, tolerance);
    LiteralRoute(m, theirs, tolerance);
    ASSERT_EQ(ours.size(), theirs.size()) << trial;
    for (size_t k = 0; k < ours.size(); ++k) {
      ASSERT_EQ(ours[k].Points.size(), theirs[k].Points.size()) << trial << " " << k;
      for (size_t j = 0; j < ours[k].Points.size(); ++j) ASSERT_EQ(ours[k].Points[j].Time, theirs[k].Points[j].Time);
    }
  }
}

TEST(MovingInfoRoute, SegmentsOfALoggerTrackJoinInLinearTime)
{
  std::mt19937 random(5);
  const TMovingInfo m = Wander(20000, random, 37.6, 1, 0.0001); // 60 km of road
  TTrack route;
  QElapsedTimer timer;
  timer.start();
  m.GetRoute(route, -1);
  EXPECT_LT(timer.elapsed(), kBudgetMs);
  EXPECT_GT(route.size(), 1000u);
}

// ---------------------------------------------------------------- series

TEST(MovingInfoSeries, ColumnsCollectMinMaxCountAndFirstTime)
{
  std::vector<TMovingPoint> p;
  for (int i = 0; i <= 10; ++i) p.push_back(Pt(kT0 + i * kSec, 37.6, 55.7, 10 * i, 0, 100 + i));
  const TMovingInfo m = Track(p);
  TGraphicItems series(3), alt(3); // 5 s per column
  m.GetSpeedSeries(series, kT0, kT0 + 10 * kSec);
  m.GetAltitudeSeries(alt, kT0, kT0 + 10 * kSec);
  EXPECT_EQ(Columns(series), "3:0..20 5:30..70 3:80..100");
  EXPECT_EQ(series[1].Time, kT0 + 3 * kSec);
  EXPECT_EQ(Columns(alt), "3:100..102 5:103..107 3:108..110");
}

TEST(MovingInfoSeries, WindowBetweenTwoFixesShowsInterpolatedEnds)
{
  const TMovingInfo m = Track({Pt(kT0, 37.6, 55.7, 0), Pt(kT0 + 10 * kSec, 37.6, 55.7, 100)});
  TGraphicItems series(5), later(5);
  m.GetSpeedSeries(series, kT0 + 2 * kSec, kT0 + 6 * kSec);
  EXPECT_EQ(Columns(series), "1:20..20 - - - 1:60..60");
  // A window starting between fixes takes the value at its start; no record
  // comes after the window.
  m.GetSpeedSeries(later, kT0 + 8 * kSec, kT0 + 12 * kSec);
  EXPECT_EQ(Columns(later), "1:80..80 - 1:100..100 - -");
}

TEST(MovingInfoSeries, SampleMagnitudeAndDegenerateWindows)
{
  const TMovingInfo m = Track({}, {Smp(kT0, -1), Smp(kT0 + kSec, 2)});
  TGraphicItems a(3), one(1), empty;
  m.GetGSensorASeries(a, kT0, kT0 + kSec);
  m.GetGSensorXSeries(one, kT0, kT0 + kSec);
  m.GetGSensorXSeries(empty, kT0, kT0 + kSec);
  EXPECT_EQ(Columns(a), "1:1..1 - 1:2..2");
  EXPECT_EQ(Columns(one), "2:-1..2") << "one column holds the whole window";
  EXPECT_TRUE(empty.empty());
  // An empty or reversed window gives an empty series.
  for (const auto &[from, to] : {std::pair{kT0 + kSec, kT0 + kSec}, std::pair{kT0 + kSec, kT0}}) {
    TGraphicItems x(3, TGraphicItem{1, 2, 3, 4});
    m.GetGSensorYSeries(x, from, to);
    EXPECT_EQ(Columns(x), "- - -");
  }
}

// ---------------------------------------------------------------- map click and summaries

TEST(MovingInfoMapClick, NearestPointAndHalfSecondNudges)
{
  TMovingInfo m = Track({Pt(kT0, 37.6, 55.7), Pt(kT0 + kSec, 37.61, 55.7), Pt(kT0 + 20 * kSec, 37.62, 55.7),
                         Pt(kT0 + 40 * kSec, 37.63, 55.7)});
  m.SetTimeRange(kT0, kT0 + 100 * kSec);
  double d2 = 999999;
  EXPECT_NEAR(m.FindPositionByCoord(d2, 55.7, 37.6101), 0.015, 1e-6) << "0.5 s after the point";
  EXPECT_NEAR(d2, 0.0001 * 0.0001, 1e-15);
  d2 = 999999;
  EXPECT_NEAR(m.FindPositionByCoord(d2, 55.7, 37.62), 0.195, 1e-6) << "isolated point: 0.5 s before";
  d2 = 1e-12;
  EXPECT_EQ(m.FindPositionByCoord(d2, 55.7, 37.65), -1) << "nothing nearer than the bound";
  m.SetTimeRange(kT0, kT0);
  d2 = 999999;
  EXPECT_EQ(m.FindPositionByCoord(d2, 55.7, 37.6), -1);
  EXPECT_EQ(d2, 999999) << "an empty window leaves the bound alone";
}

// Guards of the summaries: no division by an empty span, an index outside
// the points gives a zeroed point, the span counts the indexes skipped.
TEST(MovingInfoSummary, EdgesAndBounds)
{
  TMovingInfo m = Track({Pt(kT0, 37.6, 55.7), Pt(kT0, 37.6, 55.8)}, {Smp(kT0, 1)});
  EXPECT_EQ(m.GetAvgSpeed(), -1);
  EXPECT_EQ(TMovingInfo().GetAvgSpeed(), -1);
  m.Points[1].Index = 9;
  EXPECT_EQ(m.GetPointSpan(), 10);
  TMovingPoint p;
  m.GetPoint(2, p);
  EXPECT_EQ(QPointF(p.Time, p.Speed), QPointF(0, 0));
  // Bounds widen the caller's corners rather than replace them.
  TGeoPoint nw{30, 55.6}, se{37.7, 50};
  m.GetBounds(nw, se);
  EXPECT_EQ(QPointF(nw.X, nw.Y), QPointF(30, 55.8));
  EXPECT_EQ(QPointF(se.X, se.Y), QPointF(37.7, 50));
}

// ---------------------------------------------------------------- export record

TEST(MovingInfoTrackInfo, MergeOrderBoundsAndTexts)
{
  TFormatSettings fs;
  SetFormatSettings(fs);
  TMovingInfo m =
      Track({Pt(kT0, 37.6, 55.7), Pt(kT0 + 2 * kSec, 37.7, 55.8)},
            {Smp(kT0 - kSec, 1), Smp(kT0, 2), Smp(kT0 + 0.5 * kMsDays, 3), Smp(kT0 + kSec, 4), Smp(kT0 + 3 * kSec, 5)});
  m.Points[1].Trip = 1234.4;
  m.SetTimeRange(kT0, kT0 + 3600 * kSec);
  TTrackInfo info;
  m.ToTrackInfo(info);
  ASSERT_EQ(info.Items.size(), 7u);
  const std::vector<int> kinds = {2, 1, 2, 2, 2, 1, 2};
  for (size_t i = 0; i < kinds.size(); ++i) EXPECT_EQ(info.Items[i].Kind, kinds[i]) << i;
  EXPECT_EQ(info.Items[2].Lon, 2) << "a sample at a fix's time follows the fix";
  EXPECT_EQ(info.MinLon, 37.6);
  EXPECT_EQ(info.MaxLat, 55.8);
  EXPECT_NEAR(info.CentreLon, 37.65, 1e-12);
  EXPECT_GT(info.Width, 6000);
  EXPECT_NEAR(info.Height, GeoDistance(37.65, 55.8, 37.65, 55.7), 1e-6);
  EXPECT_NEAR(info.Length, 1234.4, 1e-9);
  // The list's average: over the 2 s between the fixes, not the hour.
  EXPECT_NEAR(info.AvgSpeed, 2221.92, 1e-3);
  EXPECT_EQ(info.Name, QStringLiteral("Track 2012.05.01 10:00:00"));
  EXPECT_EQ(info.Description, QStringLiteral("Duration: 01:00:00. Length: 1234m. AvgSpeed: 2221.9km/h."));

  SetTimeZoneShift(3.0 / 24);
  fs.decimalSeparator = QLatin1Char(',');
  SetFormatSettings(fs);
  m.ToTrackInfo(info);
  SetTimeZoneShift(0);
  SetFormatSettings(TFormatSettings{});
  EXPECT_EQ(info.Name, QStringLiteral("Track 2012.05.01 13:00:00")) << "the name shows the chosen zone";
  EXPECT_EQ(info.Description, QStringLiteral("Duration: 01:00:00. Length: 1234m. AvgSpeed: 2221,9km/h."));
}

// The recording's window opens 67 ms before its first fix, the first
// point has no position yet: the name is the first fix's second on the
// chosen zone's clock, never the second before it.
TEST(MovingInfoTrackInfo, NameTakesTheFirstFixOnTheChosenClock)
{
  SetFormatSettings(TFormatSettings{});
  TMovingInfo m = Track({Pt(kT0 + 2 * kSec, 0, 0), Pt(kT0 + 5 * kSec, 37.6, 55.7), Pt(kT0 + 6 * kSec, 37.6, 55.8)});
  m.Points[0].NoFix = true;
  m.SetTimeRange(kT0 + 2 * kSec - 67 * kMsDays, kT0 + 10 * kSec);
  SetTimeZoneShift(10.0 / 24);
  TTrackInfo info;
  m.ToTrackInfo(info);
  SetTimeZoneShift(0);
  EXPECT_EQ(info.Name, QStringLiteral("Track 2012.05.01 20:00:05"));
}

TEST(MovingInfoTrackInfo, AppendAccumulatesAndHugeTimesEnd)
{
  TMovingInfo a = Track({Pt(kT0, 37.6, 55.7)});
  a.Points[0].Trip = 0;
  TMovingInfo b = Track({Pt(2e7, 37.6, 55.7), Pt(2e7 + kSec, 37.6, 55.8)}, {Smp(2e7, 1), Smp(2e7 + 2 * kSec, 2)});
  b.Points[1].Trip = 500;
  a.SetTimeRange(kT0, kT0 + 10 * kSec);
  b.SetTimeRange(2e7, 2e7 + 10 * kSec);
  TTrackInfo info;
  a.ToTrackInfo(info);
  b.AppendToTrackInfo(info);
  EXPECT_EQ(info.Items.size(), 5u) << "times beyond 1e7 days still end the merge";
  EXPECT_EQ(std::tuple(info.StartTime, info.EndTime, info.Length), std::tuple(kT0, 2e7 + 10 * kSec, 500.0));
}

// Files of one trip: the fix two tracks share at their boundary is written
// once, and the average is the list's, the length over each file's time
// from its first to its last fix (the 80 s gap does not count).
TEST(MovingInfoTrackInfo, AppendWritesASharedFixOnceAndAveragesAsTheList)
{
  TMovingInfo a = Track({Pt(kT0, 37.6, 55.7), Pt(kT0 + 10 * kSec, 37.6, 55.701)});
  TMovingInfo b = Track({Pt(kT0 + 10 * kSec, 37.6, 55.701), Pt(kT0 + 20 * kSec, 37.6, 55.702)});
  TMovingInfo c = Track({Pt(kT0 + 100 * kSec, 37.6, 55.71), Pt(kT0 + 120 * kSec, 37.6, 55.711)});
  a.Points[1].Trip = b.Points[1].Trip = 100;
  c.Points[1].Trip = 400;
  a.SetTimeRange(kT0 - 5 * kSec, kT0 + 15 * kSec);
  c.SetTimeRange(kT0 + 95 * kSec, kT0 + 125 * kSec);
  TTrackInfo info;
  a.ToTrackInfo(info);
  b.AppendToTrackInfo(info);
  c.AppendToTrackInfo(info);
  std::vector<double> seconds;
  for (const TTrackInfoItem &item : info.Items) seconds.push_back(Round((item.Time - kT0) * SecsPerDay));
  EXPECT_EQ(seconds, std::vector<double>({0, 10, 20, 100, 120}));
  EXPECT_NEAR(info.Length, 600, 1e-9);
  EXPECT_NEAR(info.AvgSpeed, 600.0 / 40 * 3.6, 1e-3);
}

// A drive east across 180 degrees: bounds on the short side (west beyond
// east), the view centred on them, positions in between on the short way.
TEST(MovingInfoTrackInfo, ADriveAcross180)
{
  std::vector<TMovingPoint> p;
  for (int i = 0; i < 5; ++i) p.push_back(Pt(kT0 + i * kSec, NormalLon(179.9998 + i * 20 * kDeg), -16.5));
  TMovingInfo m = Track(p);
  TTrackInfo info;
  m.ToTrackInfo(info);
  EXPECT_NEAR(info.MinLon, 179.9998, 1e-9);
  EXPECT_NEAR(info.MaxLon, NormalLon(179.9998 + 80 * kDeg), 1e-9);
  EXPECT_NEAR(info.CentreLon, NormalLon(179.9998 + 40 * kDeg), 1e-9);
  EXPECT_NEAR(info.Width, GeoDistance(p[0].Lon, -16.5, p[4].Lon, -16.5), 1e-6);
  EXPECT_LT(info.Width, 100);
  TGeoPoint nw{1000, -1000}, se{-1000, 1000};
  m.GetBounds(nw, se);
  EXPECT_EQ(QPointF(nw.X, se.X), QPointF(info.MinLon, info.MaxLon));
  const TAt at = DataAt(m, kT0 + 0.5 * kSec);
  EXPECT_NEAR(at.P.Lon, NormalLon(179.9998 + 10 * kDeg), 1e-9);
  // Exports: the KML view looks at 180 from 200 m; the GPX bounds read west
  // to east.
  info.Items[0].NoFix = false;
  QByteArray kml, gpx;
  ASSERT_TRUE(GpsExportConverters()[0]->ExportToText(info, kml));
  ASSERT_TRUE(GpsExportConverters()[2]->ExportToText(info, gpx));
  EXPECT_TRUE(kml.contains("<longitude>179.99") || kml.contains("<longitude>-179.99")) << kml.constData();
  EXPECT_TRUE(kml.contains("<range>200</range>"));
  EXPECT_TRUE(gpx.contains("minlon=\"179.999800\"")) << gpx.constData();
}

// ---------------------------------------------------------------- join, merge

TEST(MovingInfoJoin, IndexesAndTripContinueAcrossAnEmptyFile)
{
  TMovingInfo a = Track({Pt(kT0, 37.6, 55.7), Pt(kT0 + kSec, 37.6, 55.71)}, {Smp(kT0, 1), Smp(kT0, 1), Smp(kT0, 1)});
  a.Points[1].Trip = 100;
  TMovingInfo empty;
  TMovingInfo c = Track({Pt(kT0 + 60 * kSec, 37.6, 55.72), Pt(kT0 + 61 * kSec, 37.6, 55.73)}, {Smp(kT0, 1)});
  c.Points[1].Trip = 20;
  TMovingInfo *infos[] = {&a, &empty, &c};
  TMovingInfo::Join(infos);
  EXPECT_EQ(std::tuple(c.Points[0].Index, c.Points[1].Index, c.GSensor[0].Index), std::tuple(2, 3, 3));
  EXPECT_EQ(std::pair(c.Points[0].Trip, c.Points[1].Trip), std::pair(100.0, 120.0));
  EXPECT_EQ(a.Points[1].Index, 1) << "the first file stays";
}

// Files of one trip that follow on (1 s from one file's last fix to the
// next one's first, 10 m) count the road between them, in the trip counter
// the player and the subtitles read and in the export's length and
// average; a file recorded 19 s later, and the next trip of an export,
// add nothing.
TEST(MovingInfoJoin, TheRoadBetweenFilesThatFollowOnCountsOnce)
{
  const auto piece = [](double fromSecond, double fromMetres) {
    TMovingInfo m = Track({Pt(kT0 + fromSecond * kSec, 37.6, 55.7 + fromMetres * kDeg),
                           Pt(kT0 + (fromSecond + 10) * kSec, 37.6, 55.7 + (fromMetres + 100) * kDeg)});
    m.Points[1].Trip = GeoDistance(37.6, m.Points[0].Lat, 37.6, m.Points[1].Lat);
    m.SetTimeRange(m.Points[0].Time, m.Points[1].Time);
    return m;
  };
  TMovingInfo a = piece(0, 0), b = piece(11, 110), c = piece(40, 400), d = piece(51, 510);
  TMovingInfo *trip[] = {&a, &b, &c};
  TMovingInfo::Join(trip);
  EXPECT_NEAR(b.Points[0].Trip, 110, 0.01);
  EXPECT_NEAR(c.Points[0].Trip, 210, 0.01);
  TTrackInfo info;
  a.ToTrackInfo(info);
  b.AppendToTrackInfo(info);
  c.AppendToTrackInfo(info);
  EXPECT_NEAR(info.Length, 310, 0.01);
  EXPECT_NEAR(info.Items.back().Trip, info.Length, 0.01);
  EXPECT_NEAR(info.AvgSpeed, 310.0 / 31 * 3.6, 0.01);
  info.TripStarts.push_back(info.Items.size());
  d.AppendToTrackInfo(info);
  EXPECT_NEAR(info.Length, 410, 0.01);
}

TEST(MovingInfoMerge, AltitudeByTimeWithInterpolationAndGuards)
{
  std::vector<TMovingPoint> own;
  for (int i = 0; i < 5; ++i) own.push_back(Pt(kT0 + i * kSec, 37.6, 55.7));
  own[3].Time = kT0 + 3.5 * kSec; // uneven: interpolation goes by time
  TMovingInfo m = Track(own);
  const TMovingInfo other = Track(
      {Pt(kT0 - kSec, 0, 0, 0, 0, 1), Pt(kT0 + 0.5 * kSec, 0, 0, 0, 0, 100), Pt(kT0 + 4 * kSec, 0, 0, 0, 0, 400)});
  m.MergeAltitude(&other);
  // Before the other's first point at or after ours: the other's altitude
  // at its time, between that point and the one before.
  EXPECT_NEAR(m.Points[0].Alt, 67, 1e-3);
  EXPECT_EQ(m.Points[1].Alt, 100);
  EXPECT_NEAR(m.Points[2].Alt, 200, 1e-3);
  EXPECT_NEAR(m.Points[3].Alt, 350, 1e-3);
  EXPECT_EQ(m.Points[4].Alt, 400);

  // A fragment's last fix between two of the other's points, and fixes up
  // to 3 s after the other's last point, take its altitude; one further out
  // keeps its own.
  const TMovingInfo log = Track({Pt(kT0 + 10 * kSec, 0, 0, 0, 0, 10), Pt(kT0 + 12 * kSec, 0, 0, 0, 0, 20)});
  const struct {
    std::vector<double> Seconds, Alts;
  } tails[] = {{{10, 11}, {10, 15}}, {{13, 14, 16}, {20, 20, 5}}};
  for (const auto &t : tails) {
    std::vector<TMovingPoint> points;
    for (double sec : t.Seconds) points.push_back(Pt(kT0 + sec * kSec, 37.6, 55.7, 0, 0, 5));
    TMovingInfo tail = Track(points);
    tail.MergeAltitude(&log);
    std::vector<double> alts;
    for (const TMovingPoint &p : tail.Points) alts.push_back(p.Alt);
    EXPECT_EQ(alts, t.Alts);
  }

  const TMovingInfo early = Track({Pt(kT0 - 10 * kSec, 0, 0, 0, 0, 7)});
  m.MergeAltitude(&early); // no point of the other at or after ours
  m.MergeAltitude(nullptr);
  EXPECT_EQ(m.Points[4].Alt, 400);
}

// ---------------------------------------------------------------- ranges and crops

TEST(MovingInfoRange, ShortRangesIncludeTheFixJustBefore)
{
  std::vector<TMovingPoint> p;
  for (int i = 0; i < 60; i += 5) p.push_back(Pt(kT0 + i * kSec, 37.6, 55.7 + i * kDeg));
  std::vector<TGSensorSample> s;
  for (int i = 0; i < 60; ++i) s.push_back(Smp(kT0 + i * kSec, i));
  TMovingInfo m = Track(p, s);
  m.Points[4].NoFix = true; // 20 s: left out
  TTrackInfo info;
  info.Name = QStringLiteral("kept");
  m.ExtractRange(info, kT0 + 12 * kSec, kT0 + 22 * kSec);
  ASSERT_FALSE(info.Items.empty());
  EXPECT_EQ(info.Items[0].Kind, ikGps);
  EXPECT_EQ(info.Items[0].Time, kT0 + 10 * kSec) << "10 s range: the fix before";
  int fixes = 0, samples = 0;
  for (const TTrackInfoItem &it : info.Items) (it.Kind == ikGps ? fixes : samples)++;
  EXPECT_EQ(fixes, 2);    // 10 and 15 (20 has no fix)
  EXPECT_EQ(samples, 10); // 12 .. 21
  EXPECT_EQ(info.Name, QStringLiteral("kept"));
  m.ExtractRange(info, kT0 + 12 * kSec, kT0 + 42 * kSec);
  EXPECT_EQ(info.Items[0].Kind, ikGSensor) << "30 s range: no fix before";
  EXPECT_EQ(info.Items[0].Time, kT0 + 12 * kSec);
  m.ExtractRange(info, kT0 + 56 * kSec, kT0 + 58 * kSec); // after the last fix
  EXPECT_EQ(info.Items.size(), 2u);
}

// A side file whose clock stepped back leaves samples out of time order; the
// range starts at the first sample in array order that is not before it.
TEST(MovingInfoRange, StartsAtTheFirstSampleInArrayOrder)
{
  std::vector<TMovingPoint> p;
  for (int i = 0; i <= 40; i += 5) p.push_back(Pt(kT0 + i * kSec, 37.6, 55.7 + i * 1e-4));
  std::vector<TGSensorSample> s;
  for (int sec : {1, 2, 8, 3, 12, 14}) s.push_back(Smp(kT0 + sec * kSec, sec));
  TTrackInfo info;
  Track(p, s).ExtractRange(info, kT0 + 7 * kSec, kT0 + 37 * kSec);
  ASSERT_GE(info.Items.size(), 3u);
  EXPECT_EQ(info.Items[0].Lon, 8) << "the sample at 8 s is the first at or after the start";
  EXPECT_EQ(info.Items[1].Lon, 3) << "and the one after it comes before the next fix";
  EXPECT_EQ(info.Items[2].Time, kT0 + 10 * kSec);
}

TEST(MovingInfoCrop, CutsRebasesAndSetsTheWindow)
{
  std::vector<TMovingPoint> p;
  for (int i = 0; i < 10; ++i) {
    p.push_back(Pt(kT0 + i * kSec, 37.6, 55.7));
    p.back().Trip = 10 * i;
  }
  std::vector<TGSensorSample> s;
  for (int i = 0; i < 10; ++i) s.push_back(Smp(kT0 + i * kSec + 0.5 * kSec, i));
  TMovingInfo m = Track(p, s);
  EXPECT_FALSE(m.Crop(kT0 - kSec, kT0 + 20 * kSec));
  ASSERT_TRUE(m.Crop(kT0 + 2 * kSec, kT0 + 5.2 * kSec));
  ASSERT_EQ(m.Points.size(), 4u);
  EXPECT_EQ(std::tuple(m.Points[0].Trip, m.Points[3].Trip, m.Points[3].Index), std::tuple(0.0, 30.0, 3));
  ASSERT_EQ(m.GSensor.size(), 3u);
  EXPECT_EQ(m.GSensor[0].Index, 0);
  EXPECT_EQ(std::pair(m.StartTime, m.EndTime), std::pair(kT0 + 2 * kSec, kT0 + 5.2 * kSec));

  // Cutting every point must not read a first point.
  TMovingInfo all = Track(p, s);
  ASSERT_TRUE(all.Crop(kT0 + 9.7 * kSec, kT0 + 20 * kSec));
  EXPECT_TRUE(all.Points.empty());
  EXPECT_EQ(all.GSensor.size(), 0u);
  EXPECT_EQ(all.StartTime, kT0 + 9.7 * kSec);
}
