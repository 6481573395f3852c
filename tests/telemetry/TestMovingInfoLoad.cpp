// Loading and cleaning: duplicates, day jumps, clock steps, spikes, sample
// timing and centring, derived values, and the fast steps against literal
// implementations of the same rules on random inputs.

#include "TelemetryTestSupport.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <random>
#include <thread>

using namespace kp;
using namespace kptest;

namespace {

// A fix as the loader gets it (no position: no fix) and an untimed sample.
TTrackInfoItem At(TDateTime t, double lon, double lat)
{
  TTrackInfoItem item = Fix(t, lat, lon);
  item.NoFix = lon == 0 || lat == 0;
  return item;
}

TTrackInfoItem Acc(double x, double y, double z)
{
  return Sample(0, x, y, z);
}

std::unique_ptr<TMovingInfo> Load(const std::vector<TTrackInfoItem> &items, bool quick = false,
                                  const QString &fileName = QStringLiteral("/nonexistent/track.dat"))
{
  TTrackInfo info;
  info.Items = items;
  return TMovingInfo::LoadFromTrackInfo(info, fileName, quick);
}

TMovingInfo PointsAt(const std::vector<TDateTime> &times)
{
  TMovingInfo m;
  for (size_t i = 0; i < times.size(); ++i) {
    TMovingPoint p;
    p.Time = times[i];
    p.Lon = 37.6;
    p.Lat = 55.7 + double(i) * 10 * kDeg;
    m.Points.push_back(p);
  }
  return m;
}

// ---------------------------------------------------------------- literal rules

// Sample timing with the untimed runs filled one run at a time, every run
// moving the whole prefix at once.
int LiteralAssignGSensorTimes(TMovingInfo &m)
{
  int runs = 0;
  auto &s = m.GSensor;
  auto &p = m.Points;
  const size_t n = s.size();
  double sum = 1.1747685185185185e-06, count = 1;
  TDateTime prevTime = 0;
  size_t prevIdx = 0;
  ptrdiff_t first = -1, last = -1;
  for (size_t i = 0; i < n; ++i) {
    TDateTime t = 0;
    if (s[i].GpsIndex >= 0) {
      t = p[size_t(s[i].GpsIndex)].Time;
      s[i].Time = t;
    }
    if (t > 0) {
      if (prevTime > 0 && prevTime < t) {
        const size_t k = i - prevIdx;
        const double st = (t - prevTime) / double(k);
        for (size_t j = 0; j <= k; ++j) s[prevIdx + j].Time = prevTime + double(j) * st;
        sum += double(k) * st;
        count += double(k);
      }
      if (first < 0) first = ptrdiff_t(i);
      prevTime = t;
      last = ptrdiff_t(i);
      prevIdx = i;
    }
  }
  const double si = 0.99 * sum / count;
  m.SampleInterval = si;
  if (first > 0)
    for (ptrdiff_t j = first - 1; j >= 0; --j) s[size_t(j)].Time = s[size_t(j) + 1].Time - si;
  if (last >= 0)
    for (size_t j = size_t(last) + 1; j < n; ++j) s[j].Time = s[j - 1].Time + si;
  if (n == 0 || !(s[0].Time > 0)) return 0;
  size_t anchor = 0;
  for (size_t i = 0; i + 1 < n; ++i) {
    if (s[i].Time <= 0 && s[i + 1].Time > 0) {
      for (size_t k = i; k > anchor; --k) s[k].Time = s[i + 1].Time - double(i + 1 - k) * si;
      const double d = s[anchor].Time - (s[anchor + 1].Time - si);
      for (size_t k = anchor + 1; k-- > 0;) s[k].Time -= d;
      if (s[anchor].GpsIndex >= 0)
        for (size_t k = size_t(s[anchor].GpsIndex) + 1; k-- > 0;) p[k].Time -= d;
      ++runs;
    }
    if (s[i].Time > 0) anchor = i;
  }
  return runs;
}

} // namespace

// ---------------------------------------------------------------- fast steps = literal steps

TEST(MovingInfoFastSteps, SampleTimingMatchesTheLiteralRunByRunShifts)
{
  std::mt19937 rng(5);
  int runsSeen = 0;
  for (int trial = 0; trial < 300; ++trial) {
    TMovingInfo m;
    std::uniform_int_distribution<int> pts(1, 12), step(-1, 2), samples(1, 80), tie(0, 4);
    const int np = pts(rng);
    TDateTime t = kT0;
    for (int i = 0; i < np; ++i) {
      TMovingPoint p;
      t += step(rng) * kSec; // equal and backward steps leave runs untimed
      p.Time = t;
      p.Lon = 37.6;
      p.Lat = 55.7;
      m.Points.push_back(p);
    }
    const int ns = samples(rng);
    for (int k = 0; k < ns; ++k) {
      TGSensorSample s;
      s.GpsIndex = tie(rng) == 0 ? std::uniform_int_distribution<int>(0, np - 1)(rng) : -1;
      m.GSensor.push_back(s);
    }
    TMovingInfo literal = m;
    m.AssignGSensorTimes(QString());
    runsSeen += LiteralAssignGSensorTimes(literal);
    EXPECT_EQ(m.SampleInterval, literal.SampleInterval);
    for (size_t k = 0; k < m.GSensor.size(); ++k)
      ASSERT_NEAR(m.GSensor[k].Time, literal.GSensor[k].Time, 1e-10) << "trial " << trial << " sample " << k;
    for (size_t i = 0; i < m.Points.size(); ++i)
      ASSERT_NEAR(m.Points[i].Time, literal.Points[i].Time, 1e-10) << "trial " << trial << " point " << i;
  }
  EXPECT_GT(runsSeen, 100) << "the inputs must exercise the untimed-run rule";
}

// ---------------------------------------------------------------- cleaning

TEST(MovingInfoCleaning, DuplicateRunsCollapseOntoTheFixKeptAndSamplesFollow)
{
  // Fixes 5 ms apart at one place are each compared with the fix kept, so
  // the run collapses until 20 ms have passed.
  TMovingInfo m =
      PointsAt({kT0, kT0 + 0.005 * kSec, kT0 + 0.01 * kSec, kT0 + 0.015 * kSec, kT0 + 0.025 * kSec, kT0 + kSec});
  for (TMovingPoint &p : m.Points) p.Lat = 55.7;
  for (int32_t tie : {0, 1, 2, 3, 4, 5, -1}) m.GSensor.push_back(TGSensorSample{0, 0, 0, 0, 0, tie, 0});
  m.RemoveDuplicates();
  std::vector<TDateTime> times;
  for (const TMovingPoint &p : m.Points) times.push_back(p.Time);
  EXPECT_EQ(times, std::vector<TDateTime>({kT0, kT0 + 0.025 * kSec, kT0 + kSec}));
  std::vector<int32_t> ties;
  for (const TGSensorSample &g : m.GSensor) ties.push_back(g.GpsIndex);
  EXPECT_EQ(ties, std::vector<int32_t>({0, -1, -1, -1, 1, 2, -1}));
}

TEST(MovingInfoCleaning, LastFixOneDayLateComesBack)
{
  TMovingInfo m = PointsAt({kT0, kT0 + kSec, kT0 + 2 * kSec, kT0 + 1.0 + 3 * kSec + 0.2});
  m.FixDayJumps();
  EXPECT_NEAR(m.Points[3].Time, kT0 + 3 * kSec + 0.2, 1e-9);
  // A day jump inside: the earlier part moves by whole days to its successor.
  m = PointsAt({kT0 - 1.0, kT0 - 1.0 + kSec, kT0 + 2 * kSec, kT0 + 3 * kSec});
  m.FixDayJumps();
  EXPECT_NEAR(m.Points[0].Time, kT0, 1e-9);
  EXPECT_NEAR(m.Points[1].Time, kT0 + kSec, 1e-9);
  // A single fix stepping back between two good ones is put in the middle.
  m = PointsAt({kT0, kT0 - 10 * kSec, kT0 + 2 * kSec});
  m.FixDayJumps();
  EXPECT_NEAR(m.Points[1].Time, kT0 + kSec, 1e-9);
  // A receiver's date falling back 1024 weeks at the roll-over instant: the
  // last fix comes back by the nearest number of days (whole days cut
  // towards zero left it, and then the whole track, a day early).
  m = PointsAt({kT0, kT0 + kSec, kT0 + 2 * kSec, kT0 + 3 * kSec - 7168});
  m.FixDayJumps();
  for (size_t i = 0; i < m.Points.size(); ++i) EXPECT_NEAR(m.Points[i].Time, kT0 + double(i) * kSec, 1e-9) << i;
}

TEST(MovingInfoCleaning, EqualStampsMoveApartBackwards)
{
  TMovingInfo m = PointsAt({kT0, kT0 + kSec, kT0 + 2 * kSec, kT0 + 2 * kSec, kT0 + 3 * kSec});
  m.FixTimeSteps();
  EXPECT_NEAR(m.Points[3].Time, kT0 + 2 * kSec, 1e-10);
  EXPECT_NEAR(m.Points[2].Time, kT0 + kSec, 1e-10) << "one median interval before its successor";
  EXPECT_NEAR(m.Points[1].Time, kT0, 1e-10) << "earlier points move back with it";
  EXPECT_NEAR(m.Points[0].Time, kT0 - kSec, 1e-10);
  for (size_t i = 1; i < m.Points.size(); ++i) EXPECT_GE(m.Points[i].Time - m.Points[i - 1].Time, kSec / 20 - 1e-15);

  // With a clear gap before, the shift stops there.
  m = PointsAt({kT0 - 10 * kSec, kT0, kT0 + kSec, kT0 + kSec, kT0 + 2 * kSec});
  m.FixTimeSteps();
  EXPECT_NEAR(m.Points[0].Time, kT0 - 10 * kSec, 1e-10);
  // Sub-0.09 s medians mean the receiver stamps whole seconds: 1 s steps.
  m = PointsAt({kT0, kT0, kT0, kT0 + kSec});
  m.FixTimeSteps();
  EXPECT_NEAR(m.Points[0].Time, kT0 - 2 * kSec, 1e-10);
}

TEST(MovingInfoCleaning, SpikeOf5KmIsMarkedAndKept)
{
  // 50 km/h is 13.9 m/s; one fix 5 km east of the road (the fast distance
  // scales longitude linearly by latitude).
  const double step = 13.9 * kDeg;
  const double fiveKmEast = 5000 * kDeg * 90 / (90 - 55.7);
  auto m = Load({At(kT0, 37.6, 55.7), At(kT0 + kSec, 37.6 + fiveKmEast, 55.7 + step),
                 At(kT0 + 2 * kSec, 37.6, 55.7 + 2 * step), At(kT0 + 3 * kSec, 37.6, 55.7 + 3 * step)});
  ASSERT_EQ(m->Points.size(), 4u);
  EXPECT_FALSE(m->Points[0].NoFix);
  EXPECT_TRUE(m->Points[1].NoFix);
  EXPECT_FALSE(m->Points[2].NoFix);
  EXPECT_FALSE(m->Points[3].NoFix);
  // Standing still: no rule applies.
  m = Load({At(kT0, 37.6, 55.7), At(kT0 + kSec, 37.6, 55.7 + 0.5 * kDeg), At(kT0 + 2 * kSec, 37.6, 55.7)});
  for (const TMovingPoint &p : m->Points) EXPECT_FALSE(p.NoFix);
}

// Tracks that are sound and must stay whole: driving on after a pause of
// five minutes 3 km further on (the distance-only rules need fixes less than
// 6 s apart), and driving east across 180 degrees.
TEST(MovingInfoCleaning, SoundTracksKeepEveryFix)
{
  std::vector<TTrackInfoItem> pause, dateLine;
  for (int i = 0; i < 5; ++i) pause.push_back(At(kT0 + i * kSec, 37.6, 55.7 + i * 10 * kDeg));
  for (int i = 0; i < 5; ++i) pause.push_back(At(kT0 + (304 + i) * kSec, 37.6, 55.7 + (3040 + i * 10) * kDeg));
  for (int i = 0; i < 8; ++i) dateLine.push_back(At(kT0 + i * kSec, NormalLon(179.9997 + i * 10 * kDeg), 0.5));
  // A joined track (a cut of two places): records without a position stand
  // between the parts, and the first fix after them is no jump.
  std::vector<TTrackInfoItem> joined;
  for (int i = 0; i < 4; ++i) joined.push_back(At(kT0 + i * kSec, 37.6, 55.7 + i * 14 * kDeg));
  joined.push_back(At(kT0 + 3.2 * kSec, 0, 0));
  joined.push_back(At(kT0 + 3.3 * kSec, 0, 0));
  for (int i = 0; i < 4; ++i) joined.push_back(At(kT0 + (3.4 + i) * kSec, 37.7, 55.8 + i * 14 * kDeg));
  for (const auto &items : {pause, dateLine, joined}) {
    const auto m = Load(items);
    const size_t positionless =
        size_t(std::count_if(items.begin(), items.end(), [](const TTrackInfoItem &i) { return i.Lon == 0; }));
    ASSERT_EQ(m->Points.size(), items.size() - positionless);
    for (const TMovingPoint &p : m->Points) EXPECT_FALSE(p.NoFix) << p.Lon << " " << p.Lat;
  }
}

// ---------------------------------------------------------------- G-sensor timing

TEST(MovingInfoGSensor, TenSamplesPerFixAreSpreadAndTheTailContinues)
{
  std::vector<TTrackInfoItem> items;
  for (int f = 0; f < 3; ++f) {
    items.push_back(At(kT0 + f * kSec, 37.6, 55.7 + f * 10 * kDeg));
    for (int k = 0; k < 10; ++k) items.push_back(Acc(0, 0, 1));
  }
  auto m = Load(items);
  ASSERT_EQ(m->GSensor.size(), 30u);
  for (int k = 0; k < 20; ++k) EXPECT_NEAR(m->GSensor[size_t(k)].Time, kT0 + k * 0.1 * kSec, 1e-10) << k;
  // Mean interval: (0.1015 s + 20 x 0.1 s) / 21, times 0.99.
  const double si = 0.99 * (0.1015 + 2.0) / 21 * kSec;
  EXPECT_NEAR(m->SampleInterval, si, 1e-12);
  EXPECT_NEAR(m->GSensor[20].Time, kT0 + 2 * kSec, 1e-10);
  for (int k = 21; k < 30; ++k) EXPECT_NEAR(m->GSensor[size_t(k)].Time, kT0 + 2 * kSec + (k - 20) * si, 1e-10);
  EXPECT_EQ(m->GSensor[5].Index, 5);
  EXPECT_NEAR(m->GSensor[0].Z, 0, 1e-12) << "centred per axis";
}

TEST(MovingInfoGSensor, SamplesOnlyAreTimedFromTheFile)
{
  TTrackFolder dir;
  const QString file = dir.Write("park.dat", "x");
  const TDateTime written = Dt(2012, 5, 1, 12);
  std::vector<TTrackInfoItem> items(100, Acc(0.1, 0.2, 1.0));
  items[50] = Acc(0.5, 0.2, 1.0);

  dir.SetTimes("park.dat", written - 10 * kSec, written); // under 4 hours: spread over it
  auto m = Load(items, false, file);
  ASSERT_TRUE(m);
  EXPECT_NEAR(m->GSensor.back().Time, written, 1e-12);
  EXPECT_NEAR(m->GSensor[1].Time - m->GSensor[0].Time, 0.1 * kSec, 1e-12);
  EXPECT_EQ(m->SampleInterval, 0);
  EXPECT_NEAR(m->StartTime, written - 9.9 * kSec, 1e-9);
  EXPECT_EQ(m->EndTime, written);
  EXPECT_NEAR(m->GSensor[50].X, 0.4, 1e-12);
  EXPECT_NEAR(m->GSensor[50].A, 0.4, 1e-12);

  dir.SetTimes("park.dat", 0, written); // creation unknown
  m = Load(items, false, file);
  EXPECT_NEAR(m->GSensor[1].Time - m->GSensor[0].Time, 0.1015 * kSec, 1e-12);
  dir.SetTimes("park.dat", written - 0.2, written); // 4.8 hours
  m = Load(items, false, file);
  EXPECT_NEAR(m->GSensor[1].Time - m->GSensor[0].Time, 0.1015 * kSec, 1e-12);
}

// ---------------------------------------------------------------- derived values

TEST(MovingInfoDerived, PositionlessFixIsATimeAnchorAndThenRemoved)
{
  auto m = Load({At(kT0, 37.6, 55.7), Acc(0, 0, 1), At(kT0 + kSec, 0, 0), Acc(0, 0, 1),
                 At(kT0 + 2 * kSec, 37.6, 55.7 + 20 * kDeg), Acc(0, 0, 1)});
  ASSERT_EQ(m->Points.size(), 2u);
  EXPECT_NEAR(m->GSensor[1].Time, kT0 + kSec, 1e-12);
  for (const TMovingPoint &p : m->Points) EXPECT_NE(p.Lon, 0);
}

TEST(MovingInfoDerived, QuickLeavesCourseAndSpeedFullFillsThem)
{
  std::vector<TTrackInfoItem> items;
  // Northwards at 10 m/s, then eastwards.
  for (int i = 0; i < 5; ++i) items.push_back(At(kT0 + i * kSec, 37.6, 55.7 + i * 10 * kDeg));
  auto quick = Load(items, true);
  for (const TMovingPoint &p : quick->Points) {
    EXPECT_EQ(p.Speed, -1);
    EXPECT_EQ(p.Course, -1);
  }
  EXPECT_NEAR(quick->Points[4].Trip, 40, 0.01);
  auto full = Load(items, false);
  for (const TMovingPoint &p : full->Points) {
    EXPECT_NEAR(p.Speed, 36, 0.05);
    EXPECT_NEAR(p.Course, 0, 1e-9);
  }
  EXPECT_EQ(full->Points[3].Index, 3);
}

// The derived course counts a degree of longitude at the cosine of the
// latitude, also across 180.
TEST(MovingInfoDerived, CourseFollowsTheGroundAwayFromTheEquator)
{
  const struct {
    double lon, lat, dLon, dLat, course;
  } cases[] = {
      {37.6, 60, 20 * kDeg, 10 * kDeg, 45}, {37.6, -60, -20 * kDeg, -10 * kDeg, 225},
      {179.9998, 0.001, 10 * kDeg, 0, 90},  {-179.9998, 70, -10 * kDeg, 0, 270},
      {37.6, 35, 0, 10 * kDeg, 0},
  };
  for (const auto &c : cases) {
    std::vector<TTrackInfoItem> items;
    for (int i = 0; i < 3; ++i) items.push_back(At(kT0 + i * kSec, NormalLon(c.lon + i * c.dLon), c.lat + i * c.dLat));
    const auto m = Load(items);
    ASSERT_EQ(m->Points.size(), 3u);
    EXPECT_NEAR(m->Points[1].Course, c.course, 0.05) << c.lon << " " << c.lat;
  }
}

TEST(MovingInfoDerived, PointsWithoutFixTakeInterpolatedSpeedAndTrip)
{
  std::vector<TTrackInfoItem> items;
  for (int i = 0; i < 7; ++i) items.push_back(At(kT0 + i * kSec, 37.6, 55.7 + i * 10 * kDeg));
  items[3].NoFix = true; // the receiver's own invalid status
  auto m = Load(items);
  const TMovingPoint &p = m->Points[3];
  EXPECT_EQ(p.Course, -1);
  EXPECT_NEAR(p.Trip, (m->Points[2].Trip + m->Points[4].Trip) / 2, 1e-9);
  EXPECT_GT(p.Speed, 0);
}

TEST(MovingInfoDerived, AltitudeAtTheEndsIsCompleted)
{
  std::vector<TTrackInfoItem> items;
  for (int i = 0; i < 4; ++i) {
    items.push_back(At(kT0 + i * kSec, 37.6, 55.7 + i * 10 * kDeg));
    items.back().Alt = (i == 0 || i == 3) ? 0 : 100 + i;
  }
  auto m = Load(items);
  EXPECT_EQ(m->Points[0].Alt, 101);
  EXPECT_EQ(m->Points[3].Alt, 102);
}

TEST(MovingInfoDerived, NothingToLoadGivesNull)
{
  EXPECT_FALSE(Load({}));
  EXPECT_FALSE(TMovingInfo::LoadFromFile(QStringLiteral("/nonexistent/none.dat"), true));
}

// ---------------------------------------------------------------- invariants

TEST(MovingInfoInvariants, MessyTracksComeOutOrderedAndPositioned)
{
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> len(2, 120), kind(0, 19), samples(0, 12);
  std::normal_distribution<double> jitter(0, 3e-5);
  for (int trial = 0; trial < 200; ++trial) {
    std::vector<TTrackInfoItem> items;
    TDateTime t = kT0;
    double lat = 55.7;
    const int n = len(rng);
    for (int i = 0; i < n; ++i) {
      const int k = kind(rng);
      t += k == 0 ? 0 : (k == 1 ? 0.01 * kSec : (k == 2 ? -3 * kSec : kSec));
      lat += 10 * kDeg;
      TTrackInfoItem f = At(t + (k == 3 ? 1.0 : 0), 37.6 + jitter(rng), lat);
      if (k == 4) f = At(t, 0, 0);
      if (k == 5) f.Lat += 0.05; // a spike
      items.push_back(f);
      for (int s = samples(rng); s > 0; --s) items.push_back(Acc(0.01 * s, 0, 1));
    }
    for (bool quick : {true, false}) {
      auto m = Load(items, quick);
      ASSERT_TRUE(m);
      for (size_t i = 0; i < m->Points.size(); ++i) {
        const TMovingPoint &p = m->Points[i];
        EXPECT_NE(p.Lon, 0);
        EXPECT_NE(p.Lat, 0);
        if (i == 0) continue;
        EXPECT_GT(p.Time, m->Points[i - 1].Time) << "trial " << trial << " point " << i;
        EXPECT_GE(p.Trip, m->Points[i - 1].Trip) << "trial " << trial << " point " << i;
      }
      if (!quick && m->Points.size() >= 2) {
        for (const TMovingPoint &p : m->Points) EXPECT_GE(p.Speed, 0);
      }
    }
  }
}

// ---------------------------------------------------------------- threads

TEST(MovingInfoThreads, ConcurrentLoadsGiveTheSameTelemetry)
{
  TFormatCapture formats;
  TTrackFolder dir;
  QByteArray text;
  for (int i = 0; i < 300; ++i) {
    text += DatFix(kT0 + i * kSec, 55.7 + i * 1e-4, 37.6, 40, 0);
    for (int k = 0; k < 10; ++k) text += DatSample(k, -k, 1000 + k);
  }
  const QString path = dir.Write("FILE0001.dat", text);
  dir.Write("FILE0002.3gf", QByteArray("\0\0\0\0\0\x80\0\0\0\0", 10).repeated(50));
  const QString side = dir.Write("FILE0002.dat", "");
  const auto reference = TMovingInfo::LoadFromFile(path, false);
  ASSERT_TRUE(reference);
  std::atomic<int> mismatches{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int r = 0; r < 10; ++r) {
        const auto m = TMovingInfo::LoadFromFile(path, t % 2 == 1);
        const auto s = TMovingInfo::LoadFromFile(side, true);
        if (!m || m->Points.size() != reference->Points.size() || m->GSensor.size() != reference->GSensor.size() ||
            m->Points.back().Time != reference->Points.back().Time || !s || s->GSensor.size() != 50)
          ++mismatches;
      }
    });
  for (auto &th : threads) th.join();
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_EQ(GpsFormats(), QStringLiteral("dat600"));
}

// ---------------------------------------------------------------- hostile values

TEST(MovingInfoHostile, NonFiniteAndHugeValuesNeitherCrashNorHang)
{
  std::mt19937 rng(17);
  const double specials[] = {std::numeric_limits<double>::quiet_NaN(),
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             1e300,
                             -1e300,
                             0.0,
                             1e7,
                             2e7,
                             -1.0};
  std::uniform_int_distribution<int> pick(0, 8), len(0, 40), coin(0, 2);
  for (int trial = 0; trial < 200; ++trial) {
    std::vector<TTrackInfoItem> items;
    for (int i = len(rng); i > 0; --i) {
      TTrackInfoItem it = coin(rng) ? At(kT0 + i * kSec, 37.6, 55.7) : Acc(0, 0, 1);
      if (coin(rng) == 0) it.Time = specials[pick(rng)];
      if (coin(rng) == 0) it.Lon = specials[pick(rng)];
      if (coin(rng) == 0) it.Lat = specials[pick(rng)];
      if (coin(rng) == 0) it.Speed = specials[pick(rng)];
      if (coin(rng) == 0) it.Course = specials[pick(rng)];
      items.push_back(it);
    }
    auto m = Load(items, coin(rng) == 0);
    if (!m) continue;
    TMovingPoint p;
    TGSensorSample s;
    bool valid = false;
    m->SetTimeRange(kT0 - 1, kT0 + 1);
    m->GetDataAtTime(kT0 + 3 * kSec, p, s, valid);
    TTrack route;
    m->GetRoute(route, -1);
    TGraphicItems series(50);
    m->GetSpeedSeries(series, kT0, kT0 + 60 * kSec);
    m->GetGSensorASeries(series, kT0, kT0 + 60 * kSec);
    double d2 = 1e9;
    m->FindPositionByCoord(d2, 55.7, 37.6);
    TTrackInfo info;
    m->ToTrackInfo(info);
    m->ExtractRange(info, kT0, kT0 + 10 * kSec);
    QByteArray text;
    EXPECT_TRUE(GpsDefaultConverter().ExportToText(info, text));
    m->Crop(kT0 + kSec, kT0 + 5 * kSec);
  }
}
