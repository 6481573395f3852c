// The periodic pass and the selection with a recording host and map: the
// marker scripts, telemetry-less recordings, the A-B loop, the gauges only
// at a fix of the moment and in British units, a nested pass, files that
// cannot be opened met again, and reselection.

#include "FakeMediaGraph.h"
#include "PlayingTestSupport.h"
#include "UiTestSupport.h"

#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>
#include <map>

using namespace kp;

namespace {

using kptest::kDay;
using kptest::kSecond;
using kptest::kSecondRef;
constexpr double kLon = 30.5, kLat = 60.25;

QString Polar(double bearing, double distance)
{
  return MapPointJS(GeoDestination(kLon, kLat, -bearing, distance));
}

struct PlaybackPass : ::testing::Test {
  PlaybackPass()
  {
    kptest::ensureApplication();
    SetMapProvider(1);
    Script = std::make_shared<TFakeScript>();
    for (const char *name : {"/fake/a0.mp4", "/fake/a1.mp4", "/fake/b0.mp4"})
      Script->Files[QString::fromLatin1(name)] = TFakeFile{10 * kSecondRef, {TFakeStream{}}};
    Rig = std::make_unique<kptest::TPlayingRig>(std::make_shared<TFakeGraphFactory>(Script));
    Rig->MapState.MarkerSize = 20;
    Rig->Window.show();
    Rows = {kptest::MakeRecording(QStringLiteral("trip A"), kDay, 20 * kSecond,
                                  {{"/fake/a0.mp4", 0, 0.5L, 10000}, {"/fake/a1.mp4", 0.5L, 1, 10000}}),
            kptest::MakeRecording(QStringLiteral("trip B"), kDay + 1, 10 * kSecond, {{"/fake/b0.mp4", 0, 1, 10000}})};
  }
  ~PlaybackPass() override { SetUseBritishUnits(false); }

  // Loads a recording of one 10-s file whose telemetry is two points 2 s
  // apart around the middle, without a graph.
  void LoadTelemetry(double course, double speed, bool fix)
  {
    const double start = kDay, span = 10 * kSecond;
    Rig->State.Recording = kptest::MakeRecording(QStringLiteral("t"), start, span, {{"/fake/t.mp4", 0, 1, 10000}});
    Rig->State.CurrentFile = 0;
    auto info = std::make_unique<TMovingInfo>();
    info->SetTimeRange(start, start + span);
    for (double t : {4.0, 6.0}) {
      TMovingPoint p;
      p.Time = start + t * kSecond;
      p.Lon = kLon;
      p.Lat = kLat;
      p.Course = course;
      p.Speed = speed;
      p.Trip = 5000;
      p.Alt = 100;
      p.NoFix = !fix;
      info->Points.push_back(p);
    }
    Rig->State.MovingInfos.clear();
    Rig->State.MovingInfos.push_back(std::move(info));
    Rig->State.Position = 0.5L;
  }
  void Play(int row)
  {
    Rig->SetRows(Rows);
    Rig->SelectRows({row});
    Rig->Selection->ListViewDblClick(TOrigin::Control);
  }

  TFakeScriptPtr Script;
  std::unique_ptr<kptest::TPlayingRig> Rig;
  std::vector<TFileItem> Rows;
  kptest::ScopedSettings Settings;
};

TEST_F(PlaybackPass, MarkerScripts)
{
  struct Case {
    const char *What;
    const char *ArrowItem;
    double Course;
    bool Fix;
    QString Expected;
  };
  const QString at = MapLatLngJS(kLon, kLat);
  const Case cases[] = {
      {"no fix: a dot 1.8 x the size", "N_View_Arrow_Big", 90, false, "PlaceMarkerD(" + at + ",36)"},
      {"big arrow at 60 km/h", "N_View_Arrow_Big", 90, true,
       "PlaceMarker([" + Polar(90, 24) + "," + Polar(230, 20) + "," + at + "," + Polar(310, 20) + "])"},
      {"small arrow", "N_View_Arrow_Small", 90, true,
       "PlaceMarker([" + Polar(90, 10) + "," + Polar(210, 5) + "," + at + "," + Polar(330, 5) + "])"},
      {"no heading: a hexagon", "N_View_Arrow_Big", -1, true,
       "PlaceMarker([" +
           QStringList{Polar(30, 10), Polar(90, 10), Polar(150, 10), Polar(210, 10), Polar(270, 10), Polar(330, 10)}
               .join(',') +
           "])"},
  };
  for (const Case &c : cases) {
    for (const char *item : {"N_View_Arrow_Small", "N_View_Arrow_Normal", "N_View_Arrow_Big"})
      Rig->Item(item)->setChecked(qstrcmp(item, c.ArrowItem) == 0);
    LoadTelemetry(c.Course, 60, c.Fix);
    Rig->Map.Scripts.clear();
    Rig->Loop->TimerTimer(TOrigin::None);
    EXPECT_EQ(Rig->Map.Scripts, QStringList{c.Expected}) << c.What;
  }
}

TEST_F(PlaybackPass, TheTimerMovesTheMarkerEveryOtherPassACommandAtOnce)
{
  LoadTelemetry(90, 60, true);
  Rig->Map.Scripts.clear();
  int passes = 0;
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 420) {
    Rig->Loop->TimerTimer(TOrigin::Timer);
    ++passes;
    QTest::qWait(10);
  }
  const auto markers = [&] { return Rig->Map.Scripts.filter(QStringLiteral("PlaceMarker(")).size(); };
  // Placed at 0, 150, 300 ms (and 450 ms on a slow pass), never on every pass.
  EXPECT_GE(markers(), 3);
  EXPECT_LE(markers(), 4);
  EXPECT_GT(passes, 8);
  const qsizetype before = markers();
  Rig->Loop->TimerTimer(TOrigin::Window);
  EXPECT_EQ(markers(), before + 1);
}

TEST_F(PlaybackPass, WithoutTelemetryMarkersClearAndOnlyTheCursorMoves)
{
  Rig->SetRows(Rows);
  Rig->SelectRows({0});
  ASSERT_TRUE(kptest::waitUntil([&] { return Rig->ImageSeek->Image()->Width > 0; }, 5000));
  ASSERT_TRUE(Rig->PanelControl->isVisible());
  const QImage speed = Rig->SpeedImage.Picture.copy();
  std::vector<int> cursors;
  for (long double g : {0.2L, 0.7L}) {
    Rig->Map.Scripts.clear();
    Rig->State.Position = g;
    Rig->Loop->TimerTimer(TOrigin::Timer);
    EXPECT_EQ(Rig->Map.Scripts, QStringList{"ClearMarkers()"});
    cursors.push_back(Rig->SeekBitmap->CursorX());
  }
  EXPECT_EQ(Rig->SpeedImage.Picture, speed);
  EXPECT_LT(cursors[0], cursors[1]);
}

TEST_F(PlaybackPass, TheABLoopJumpsBackWithinItsFile)
{
  Play(0);
  Rig->State.MarkA = 0.1L;
  Rig->State.MarkB = 0.2L;
  Rig->CheckBoxLoop.setChecked(true);
  Script->AdvanceClock(4100);
  Rig->Loop->TimerTimer(TOrigin::Timer);
  EXPECT_EQ(Rig->State.Position, 0.1L);
  EXPECT_EQ(Rig->State.CurrentFile, 0);
  EXPECT_EQ(Script->Log.count("AddSourceFilter /fake/a0.mp4"), 1);
  EXPECT_EQ(Rig->Graph->GetState(), psPlaying);
}

TEST_F(PlaybackPass, GaugesInMetricAndBritishUnits)
{
  struct Case {
    bool British;
    int Format;
    double Speed, Trip, Altitude;
  } cases[] = {{false, 0, 60, 5000, 100}, {true, 3, 60 / 1.609344, 5 / 1.609344, 100 / 0.3048}};
  for (const Case &c : cases) {
    SetUseBritishUnits(c.British);
    LoadTelemetry(90, 60, true);
    Rig->Loop->TimerTimer(TOrigin::None);
    TImage expected{Rig->SpeedImage.Width, Rig->SpeedImage.Height, {}, {}, {}};
    TSpeedBitmap reference(&expected, Qt::white);
    reference.Resize();
    reference.Draw(c.Format, c.Speed, c.Trip, c.Altitude);
    EXPECT_EQ(Rig->SpeedImage.Picture, expected.Picture) << "British " << c.British;
  }
}

// Two 10-s fragments: the first with fixes at 1 and 8 s, an unfixed point
// at 8.5 s and a fix at 9.6 s; the second's first fix 0.8 s after its first
// frame. The gauges show only a fix of the moment: idle before the first,
// across a long gap and beside the unfixed point (the map shows its dot for
// a guess); the first fragment's last fix holds over the switch.
TEST_F(PlaybackPass, GaugesShowOnlyAFixOfTheMoment)
{
  const double start = kDay, span = 20 * kSecond;
  Rig->State.Recording = kptest::MakeRecording(QStringLiteral("t"), start, span,
                                               {{"/fake/a0.mp4", 0, 0.5L, 10000}, {"/fake/a1.mp4", 0.5L, 1, 10000}});
  Rig->State.CurrentFile = 0;
  Rig->State.MovingInfos.clear();
  const std::vector<std::vector<std::pair<double, double>>> fixes = {{{1, 30}, {8, 35}, {8.5, -1}, {9.6, 40}},
                                                                     {{10.8, 60}, {11.8, 62}}};
  for (const auto &file : fixes) {
    auto info = std::make_unique<TMovingInfo>();
    info->SetTimeRange(start + file.front().first * kSecond - 1 * kSecond, start + 20 * kSecond);
    for (const auto &[second, speed] : file) {
      TMovingPoint p;
      p.Time = start + second * kSecond;
      p.Lon = kLon;
      p.Lat = kLat;
      p.Course = 90;
      p.Speed = speed < 0 ? 0 : speed;
      p.Trip = 5000;
      p.Alt = 100;
      p.NoFix = speed < 0;
      info->Points.push_back(p);
    }
    Rig->State.MovingInfos.push_back(std::move(info));
  }
  const struct {
    double Second;
    double Speed; // -1: idle
    const char *Marker;
  } cases[] = {{0.5, -1, "ClearMarkers()"}, {4.5, -1, "PlaceMarkerD("},  {8.3, -1, "PlaceMarkerD("},
               {9.2, -1, "PlaceMarkerD("},  {10.3, 40, "PlaceMarker(["}, {11.3, 61, "PlaceMarker(["}};
  for (const auto &c : cases) {
    Rig->State.Position = c.Second / 20;
    Rig->Map.Scripts.clear();
    Rig->Loop->TimerTimer(TOrigin::None);
    TImage expected{Rig->SpeedImage.Width, Rig->SpeedImage.Height, {}, {}, {}};
    TSpeedBitmap reference(&expected, Qt::white);
    reference.Resize();
    if (c.Speed < 0)
      reference.Draw(0, -1, -1, 0);
    else
      reference.Draw(0, c.Speed, 5000, 100);
    EXPECT_EQ(Rig->SpeedImage.Picture, expected.Picture) << c.Second << " s";
    ASSERT_EQ(Rig->Map.Scripts.size(), 1) << c.Second << " s";
    EXPECT_TRUE(Rig->Map.Scripts[0].startsWith(QLatin1String(c.Marker))) << Rig->Map.Scripts[0].toStdString();
  }
}

TEST_F(PlaybackPass, APassFiredInsideAMessageReturnsAtOnce)
{
  Script->Files.erase(QStringLiteral("/fake/a1.mp4"));
  Play(0);
  // Met while playing, the missing file is only noted: the trip goes on.
  Script->AdvanceClock(10500);
  Rig->Loop->TimerTimer(TOrigin::Timer);
  EXPECT_TRUE(Rig->Host.Messages.isEmpty()) << Rig->Host.Messages.join(QLatin1Char('|')).toStdString();
  ASSERT_EQ(Rig->Host.Notes.size(), 1);
  EXPECT_TRUE(Rig->Host.Notes[0].contains(QStringLiteral("/fake/a1.mp4")));
  EXPECT_EQ(Rig->State.CurrentFile, 1);

  // Met at the end of a file paused there, it is a message box.
  Rig->Model->SeekTo(0.25L, false, false);
  ASSERT_EQ(Rig->State.CurrentFile, 0);
  Script->AdvanceClock(5500);
  Rig->ButtonPlay.setChecked(false);
  Rig->Loop->ButtonPlayClick(TOrigin::Control);
  ASSERT_EQ(Rig->Graph->GetState(), psPaused);
  int nested = 0;
  Rig->Host.OnMessage = [&](const QString &) {
    const qsizetype scripts = Rig->Map.Scripts.size();
    Rig->Loop->TimerTimer(TOrigin::Timer);
    EXPECT_EQ(Rig->Map.Scripts.size(), scripts);
    ++nested;
  };
  Rig->Loop->TimerTimer(TOrigin::Timer);
  EXPECT_EQ(nested, 1);
  EXPECT_EQ(Rig->State.CurrentFile, 1);
}

// Files that cannot be opened, met again and again by the A-B loop and by
// play-next round the list: each is tried and told once, and a list of
// nothing but such files comes to rest on the row that failed last.
TEST_F(PlaybackPass, AFileThatFailedIsToldOnceAndNotTriedAgain)
{
  Script->Files.erase(QStringLiteral("/fake/a1.mp4"));
  Play(0);
  Rig->State.MarkA = 0.45L;
  Rig->State.MarkB = 0.55L;
  Rig->CheckBoxLoop.setChecked(true);
  Rig->Model->SeekTo(0.45L, false, false);
  for (int round = 0; round < 3; ++round) {
    Script->AdvanceClock(1500); // from A over into the missing file
    for (int pass = 0; pass < 3; ++pass) Rig->Loop->TimerTimer(TOrigin::Timer);
  }
  EXPECT_EQ(Rig->State.Recording.Summary.Name, QStringLiteral("trip A"));
  EXPECT_EQ(Script->Log.count("AddSourceFilter /fake/a1.mp4"), 1);
  EXPECT_EQ(Rig->Host.Notes.size(), 1);

  Rig->CheckBoxLoop.setChecked(false);
  Script->Files.clear();
  Script->Log.clear();
  Rig->Host.Notes.clear();
  Rig->Item("N_Playback_PlayNext")->setChecked(true);
  Play(1); // picked by the user: tried again
  for (int pass = 0; pass < 10; ++pass) Rig->Loop->TimerTimer(TOrigin::Timer);
  for (const char *file : {"/fake/a0.mp4", "/fake/a1.mp4", "/fake/b0.mp4"})
    EXPECT_EQ(Script->Log.count(QStringLiteral("AddSourceFilter ") + file), 1) << file;
  EXPECT_EQ(Rig->Host.Messages.size() + Rig->Host.Notes.size(), 3);
  EXPECT_FALSE(Rig->Graph->Active());
  EXPECT_FALSE(Rig->Timer.isActive());
  const QModelIndexList selected = Rig->ListView->selectionModel()->selectedRows();
  ASSERT_EQ(selected.size(), 1);
  EXPECT_EQ(selected[0].row(), 0);
}

TEST_F(PlaybackPass, ReselectingTheLoadedRowKeepsPlayingAndTwoRowsStop)
{
  Play(0);
  ASSERT_EQ(Rig->Graph->GetState(), psPlaying);
  Rig->ListView->clearSelection();
  Rig->SelectRows({0});
  EXPECT_EQ(Rig->Graph->GetState(), psPlaying);
  EXPECT_EQ(Rig->State.Recording.Summary.Name, QStringLiteral("trip A"));
  EXPECT_TRUE(Rig->Item("N_FileList_Open")->isEnabled());
  Rig->SelectRows({0, 1});
  EXPECT_FALSE(Rig->Graph->Active());
  EXPECT_EQ(Rig->State.CurrentFile, -1);
  EXPECT_FALSE(Rig->Item("N_FileList_Open")->isEnabled());
  EXPECT_FALSE(Rig->ButtonPlay.isEnabled());
}

TEST_F(PlaybackPass, ASharedLogIsReadOnceAndAnUntimedTrackTakesTheFileWindow)
{
  std::map<QString, int> reads;
  Rig->Selection->LoadTrack = [&](const QString &name) -> std::unique_ptr<TMovingInfo> {
    ++reads[name];
    return name.endsWith(QLatin1String(".missing")) ? nullptr : std::make_unique<TMovingInfo>();
  };
  TFileItem row = kptest::MakeRecording(QStringLiteral("logged"), kDay, 30 * kSecond,
                                        {{"/v/0.mp4", 0, 0.3L}, {"/v/1.mp4", 0.3L, 0.6L}, {"/v/2.mp4", 0.6L, 1}});
  for (int i : {0, 1}) {
    row.Files[i].TrackFileName = QStringLiteral("/v/%1.missing").arg(i);
    row.Files[i].Log.FileName = QStringLiteral("/logs/shared.nmea");
  }
  row.Files[2].TrackFileName = QStringLiteral("/v/2.dat");
  Rig->SetRows({row});
  Rig->SelectRows({0});
  EXPECT_EQ(reads["/logs/shared.nmea"], 1);
  EXPECT_EQ(reads["/v/2.dat"], 1);
  ASSERT_EQ(Rig->State.MovingInfos.size(), 3u);
  EXPECT_EQ(Rig->State.MovingInfos[2]->GetStartTime(), row.Files[2].StartTime);
  EXPECT_TRUE(Rig->Map.Calls.contains("SetMapBounds 3 1 1"));
  Rig->SelectRows({});
  Rig->SelectRows({0});
  EXPECT_EQ(reads["/logs/shared.nmea"], 2) << "once per selection";
}

TEST_F(PlaybackPass, AClickWithCtrlOrShiftOnlySelects)
{
  Rig->SetRows(Rows);
  const QPoint row0 = Rig->ListView->visualRect(Rig->ListModel.index(0, 0)).center();
  for (Qt::KeyboardModifier held : {Qt::ControlModifier, Qt::ShiftModifier}) {
    QTest::mouseClick(Rig->ListView->viewport(), Qt::LeftButton, held, row0);
    EXPECT_EQ(Rig->State.Recording.Summary.Name, QStringLiteral("trip A"));
    EXPECT_FALSE(Rig->Graph->Active());
  }
  QTest::mouseClick(Rig->ListView->viewport(), Qt::LeftButton, {}, row0);
  EXPECT_EQ(Rig->Graph->GetState(), psPaused);
}

} // namespace
