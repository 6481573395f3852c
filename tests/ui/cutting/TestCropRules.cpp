// The cutting list's rules without a window: speed choices and texts, list
// reordering and overlap trimming, output names and telemetry re-timing.
#include "CropRules.h"

#include <gtest/gtest.h>

using namespace kp;

namespace {

std::vector<long double> Slow(std::initializer_list<long double> more)
{
  std::vector<long double> v{1.0L / 8, 1.0L / 4, 1.0L / 2, 1};
  v.insert(v.end(), more);
  return v;
}

QString Repeat(const char *unit, int times, const char *tail = "")
{
  return QString::fromLatin1(unit).repeated(times) + QString::fromLatin1(tail);
}

TCropItem Fragment(TDateTime start, int64_t durationMs, long double p1, long double p2)
{
  TCropItem item;
  item.StartTime = start;
  item.DurationMs = durationMs;
  item.P1 = p1;
  item.P2 = p2;
  return item;
}

TTrackInfoItem At(uint8_t kind, double seconds)
{
  TTrackInfoItem item;
  item.Kind = kind;
  item.Time = 45000 + seconds / SecsPerDay;
  return item;
}

} // namespace

TEST(CropRules, SpeedListsFollowTheFrameTypePattern)
{
  const QString fifteen = Repeat("BBPBBPBBPBBPBBI", 3, "BBPBBPBBPBBPBB");
  ASSERT_EQ(fifteen.size(), 59);
  const std::tuple<QString, std::vector<long double>, int> cases[] = {
      {QStringLiteral("PPPP"), Slow({2, 5, 10, 20, 40, 80}), 5},
      {QString(), Slow({2, 3, 4, 8, 15, 30, 60, 120}), 0},
      {fifteen, Slow({2, 3, 8, 15, 30, 60, 120, 480, 1020}), 15},
      // Compared with the letter case: the same pattern in lower case is any pattern.
      {fifteen.toLower(), Slow({30, 60, 120, 240, 480, 960}), 60},
      {QStringLiteral("I"), Slow({1, 2, 4, 8, 16, 32}), 2},
  };
  for (const auto &[pattern, speeds, interval] : cases) {
    const TSpeedChoice c = SpeedsForFrameTypes(pattern);
    EXPECT_EQ(c.Speeds, speeds) << pattern.toStdString();
    EXPECT_EQ(c.KeyInterval, interval) << pattern.toStdString();
  }
}

TEST(CropRules, SpeedTextsAndTheirReadings)
{
  // Text, the editor's reading, the speed question's reading.
  const std::tuple<const char *, long double, long double> readings[] = {
      {"4", 4, 4},    {"1/4", 0.25L, 0.25L}, {"1/0", 0, 1}, {"abc", -1, 1}, {"5", 5, 5},  {"", -1, 1},
      {"2.5", -1, 1}, {"-3", -3, 1},         {"0", 0, 1},   {"1/x", -1, 1}, {" 8 ", 8, 8}};
  for (const auto &[text, editor, answer] : readings) {
    EXPECT_EQ(ReadEditorSpeed(QString::fromLatin1(text)), editor) << text;
    EXPECT_EQ(ReadSpeedAnswer(QString::fromLatin1(text)), answer) << text;
  }
  // Speed, its text, its list column with every frame kept and with key frames only.
  const std::tuple<long double, const char *, const char *, const char *> texts[] = {
      {1, "1", "1x", "1x"},
      {4, "4", "(fps) 4x", "(key) 4x"},
      {2.5L, "2", "(fps) 2x", "(key) 2x"},
      {3.5L, "4", "(fps) 4x", "(key) 4x"},
      {1.0L / 3, "1/3", "1/3x", "1/3x"}};
  for (const auto &[speed, text, fps, key] : texts) {
    EXPECT_EQ(SpeedText(speed), QLatin1String(text)) << double(speed);
    EXPECT_EQ(SpeedColumnText(speed, true), QLatin1String(fps)) << double(speed);
    EXPECT_EQ(SpeedColumnText(speed, false), QLatin1String(key)) << double(speed);
  }
  // The progress line and a row's limits.
  EXPECT_EQ(CropProgressText(30, 60), QStringLiteral("50% - 00:00:30"));
  EXPECT_EQ(CropProgressText(30, 0), QStringLiteral("00:00:30"));
  EXPECT_EQ(CropStartFinishText(Fragment(45000.5, 600000, 0.25L, 0.5L), 0), QStringLiteral("12:02:30 - 12:05:00"));
  EXPECT_EQ(CropStartFinishText(Fragment(45000.5, 600000, 0.25L, 0.5L), 10.0 / 24),
            QStringLiteral("22:02:30 - 22:05:00"))
      << "on the list's clock";
  // A row's length is what its limits' seconds make at its speed: 24.9 s
  // from 30.3 s on reads 25 s, at speed 4 6 s, at 1/2 50 s; crossed limits 0.
  const std::tuple<long double, long double, long double, int64_t> rows[] = {
      {0.0505L, 0.0920L, 1, 25}, {0.0505L, 0.0920L, 4, 6}, {0.0505L, 0.0920L, 0.5L, 50}, {0.5L, 0.25L, 1, 0}};
  for (const auto &[p1, p2, speed, seconds] : rows) {
    TCropItem item = Fragment(45000.5, 600000, p1, p2);
    item.Speed = speed;
    EXPECT_EQ(CropRowTimes(item, -5.0 / 24).Seconds, seconds) << double(p1) << " " << double(speed);
  }
  EXPECT_EQ(ReplaceMacro(QStringLiteral("a %FPS% b %fps% %Fps"), QStringLiteral("fps"), QStringLiteral("200")),
            QStringLiteral("a 200 b 200 %Fps"));
}

TEST(CropRules, SelectedBlocksStepPastTheirNeighbours)
{
  // Marks as letters (x selected), the list after Up and after Down.
  const std::tuple<const char *, std::vector<int>, const char *, std::vector<int>, const char *> cases[] = {
      {".xx.x", {1, 2, 0, 4, 3}, "xx.x.", {0, 3, 1, 2, 4}, "..xxx"},
      {"....x", {0, 1, 2, 4, 3}, "...x.", {0, 1, 2, 3, 4}, "....x"},
      {"x.x.x", {0, 2, 1, 4, 3}, "xx.x.", {1, 0, 3, 2, 4}, ".x.xx"},
  };
  auto marks = [](const char *m) {
    std::vector<bool> v;
    for (; *m; ++m) v.push_back(*m == 'x');
    return v;
  };
  for (const auto &[before, up, upMarks, down, downMarks] : cases) {
    std::vector<int> items{0, 1, 2, 3, 4};
    std::vector<bool> sel = marks(before);
    MoveSelectedUp(items, sel);
    EXPECT_EQ(items, up) << before;
    EXPECT_EQ(sel, marks(upMarks)) << before;
    items = {0, 1, 2, 3, 4};
    sel = marks(before);
    MoveSelectedDown(items, sel);
    EXPECT_EQ(items, down) << before;
    EXPECT_EQ(sel, marks(downMarks)) << before;
  }
}

TEST(CropRules, OverlapsAreCutFromTheEarlierItem)
{
  const double ten = 45000 + 10.0 / 24;
  const int64_t tenMinutes = 600000;
  const auto minute = [](double m) { return m / 1440; };
  // 10:00-10:05 and 10:04-10:08 (each a 10-minute file): the first ends at 10:04.
  std::vector<TCropItem> items{Fragment(ten, tenMinutes, 0, 0.5L), Fragment(ten + minute(4), tenMinutes, 0, 0.4L)};
  EXPECT_TRUE(RemoveIntersections(items).empty());
  ASSERT_EQ(items.size(), 2u);
  EXPECT_NEAR(double(items[0].P2), 0.4, 1e-9);
  EXPECT_EQ(items[1].P2, 0.4L);
  // A first item starting at or after the second's start goes; the one
  // before it is then compared with the item that followed it.
  items = {Fragment(ten, tenMinutes, 0, 0.8L), Fragment(ten + minute(5), tenMinutes, 0, 0.2L),
           Fragment(ten + minute(5), tenMinutes, 0, 0.3L)};
  EXPECT_EQ(RemoveIntersections(items), std::vector<size_t>{1});
  ASSERT_EQ(items.size(), 2u);
  EXPECT_NEAR(double(items[0].P2), 0.5, 1e-9);
  EXPECT_EQ(items[1].P2, 0.3L);
  // Items that meet exactly or have a zero length stay as they are.
  items = {Fragment(ten, 0, 0, 1), Fragment(ten, tenMinutes, 0, 1)};
  EXPECT_TRUE(RemoveIntersections(items).empty());
  EXPECT_EQ(items.size(), 2u);
}

TEST(CropRules, OutputAndSideFileNames)
{
  // Edited name, forced ".mov", movie, ".dat" beside it, folder stored.
  const std::tuple<const char *, bool, const char *, const char *, const char *> cases[] = {
      {"/v/a.mp4", true, "/v/a.mov", "/v/a.dat", "/v/"},
      {"/v/bigcut.MOV", true, "/v/bigcut.MOV", "/v/bigcut.dat", "/v/"},
      {"/v/b.Mov", false, "/v/b.Mov", "/v/b.dat", "/v/"},
      {"myvideo", true, "myvideo.mov", "myvideo.dat", ""},
      {"/d.x/clip", true, "/d.x/clip.mov", "/d.x/clip.dat", "/d.x/"},
      {"/d.x/clip", false, "/d.x/clip", "/d.x/clip.dat", "/d.x/"},
      {"/v:w/12:30.mp4", false, "/v:w/12_30.mp4", "/v:w/12_30.dat", "/v:w/"},
      {"", true, "", "", ""},
  };
  for (const auto &[edited, force, movie, dat, folder] : cases) {
    const QString name = CropOutputName(QString::fromLatin1(edited), force);
    EXPECT_EQ(name, QLatin1String(movie)) << edited;
    if (!name.isEmpty()) {
      EXPECT_EQ(CropSideFileName(name, QStringLiteral(".dat")), QLatin1String(dat)) << edited;
    }
    EXPECT_EQ(CropOutputFolder(name), QLatin1String(folder)) << edited;
  }
}

TEST(CropRules, RetimingMovesTowardsTheFragmentEndAndThinsPerKind)
{
  const double t1 = At(ikGps, 0).Time, t2 = At(ikGps, 100).Time;
  const auto seconds = [](double t) { return (t - 45000) * SecsPerDay; };
  // 1.005: the items keep their times, the start mark moves.
  TTrackInfo range;
  for (int s : {10, 50, 90}) range.Items.push_back(At(ikGps, s));
  EXPECT_NEAR(seconds(RetimeRange(range, t1, t2, 1.005L)), 100 - 100 / 1.005, 1e-6);
  EXPECT_NEAR(seconds(range.Items[0].Time), 10, 1e-6);
  // 0.5 stretches every time away from the end.
  EXPECT_NEAR(seconds(RetimeRange(range, t1, t2, 0.5L)), -100, 1e-6);
  EXPECT_NEAR(seconds(range.Items[0].Time), -80, 1e-6);
  EXPECT_NEAR(seconds(range.Items[2].Time), 80, 1e-6);
  // 3: the 3rd, 6th, 9th fix and, counted apart, the 3rd, 6th sensor sample.
  range.Items.clear();
  for (int i = 1; i <= 9; ++i) range.Items.push_back(At(ikGps, i * 10));
  for (int i = 1; i <= 7; ++i) range.Items.insert(range.Items.begin() + 2 * i - 1, At(ikGSensor, i * 10 + 5));
  EXPECT_NEAR(seconds(RetimeRange(range, t1, t2, 3)), 100 - 100 / 3.0, 1e-6);
  std::vector<std::pair<int, double>> kept;
  for (const TTrackInfoItem &i : range.Items) kept.emplace_back(i.Kind, std::round(seconds(i.Time) * 1000) / 1000);
  const auto later = [](double s) { return std::round((100 - (100 - s) / 3) * 1000) / 1000; };
  EXPECT_EQ(
      kept,
      (std::vector<std::pair<int, double>>{
          {ikGps, later(30)}, {ikGSensor, later(35)}, {ikGps, later(60)}, {ikGSensor, later(65)}, {ikGps, later(90)}}));
}
