// The recording position model: its arithmetic on a made-up recording, and
// seeking, file crossing, rate and failures on the fake media graph.

#include "FakeMediaGraph.h"
#include "PlayingTestSupport.h"
#include "UiTestSupport.h"
#include "UnitTranslate.h"

#include <gtest/gtest.h>
#include <cmath>
#include <limits>

using namespace kp;
using kptest::TTestFile;

namespace {

using kptest::kDay;
using kptest::kSecond;
using kptest::kSecondRef;

// ---------------------------------------------------------------- arithmetic

struct PositionArithmetic : ::testing::Test {
  PositionArithmetic()
  {
    kptest::ensureApplication();
    Model = std::make_unique<TPositionModel>(State, Controls, Host);
  }
  void Load(const std::vector<TTestFile> &files, double spanDays = 100 * kSecond)
  {
    State.Recording = kptest::MakeRecording(QStringLiteral("trip"), kDay, spanDays, files);
    State.CurrentFile = 0;
  }
  TPlaybackState State;
  TPlaybackControls Controls;
  kptest::TRecordingHost Host;
  std::unique_ptr<TPositionModel> Model;
};

TEST_F(PositionArithmetic, FindFileAt)
{
  struct Case {
    const char *What;
    std::vector<TTestFile> Files;
    long double G;
    int Expected;
  };
  const std::vector<TTestFile> three = {{"a", 0.1L, 0.4L}, {"b", 0.5L, 0.8L}, {"c", 0.8L, 1}};
  const Case cases[] = {
      {"in a gap belongs to the later file", three, 0.45L, 1},
      {"a shared boundary belongs to the later file", three, 0.8L, 2},
      {"before the first file", three, 0.05L, 0},
      {"after the last file", three, 1.5L, 2},
      {"no files", {}, 0.5L, 0},
  };
  for (const Case &c : cases) {
    Load(c.Files);
    EXPECT_EQ(Model->FindFileAt(c.G), c.Expected) << c.What;
  }
}

TEST_F(PositionArithmetic, PositionToMs)
{
  Load({{"/v/a.mp4", 0, 0.5L}, {"/v/b.mp4", 0.5L, 1}}, 600 * kSecond);
  EXPECT_EQ(Model->PositionToMs(0.5L), 300000);
  State.CurrentFile = -1;
  EXPECT_EQ(Model->PositionToMs(0.5L), 0);
  EXPECT_EQ(Model->PositionToDateTime(0.5L), 0);
}

TEST_F(PositionArithmetic, SeekBarSpans)
{
  struct Case {
    const char *What;
    std::vector<TTestFile> Files;
    long double From, To, MarkA, MarkB;
    TArrayInteger Gaps, NoHeader, AB;
  };
  const std::vector<TTestFile> gapped = {{"a", 0, 0.4L}, {"b", 0.5L, 1, 0, dsNoHeader}};
  // 2^32 - 50 pixels left of a 1e-9 window: kept on the bar, not wrapped.
  const long double farA = 0.45L - 0.04294967246L;
  const Case cases[] = {
      {"one file inside the window", {{"a", 0.2L, 0.7L}}, 0, 1, 0, 0, {0, 20, 70, 100}, {}, {}},
      {"one file covers the window", {{"a", 0, 1}}, 0.2L, 0.6L, 0, 0, {}, {}, {}},
      {"a gap between files, the later without header", gapped, 0, 1, 0, 0, {40, 50}, {50, 100}, {}},
      {"a window wholly inside a gap", gapped, 0.42L, 0.48L, 0, 0, {0, 100}, {}, {}},
      {"A-B marks", {{"a", 0, 1}}, 0, 1, 0.25L, 0.5L, {}, {}, {25, 50}},
      {"A = B gives no span", {{"a", 0, 1}}, 0, 1, 0.5L, 0.5L, {}, {}, {}},
      {"a 1e-9 window far from the marks", gapped, 0.45L, 0.45L + 1e-9L, farA, 0.9L, {0, 100}, {}, {0, 100}},
      {"an empty window", {{"a", 0, 1}}, 0.5L, 0.5L, 0.1L, 0.9L, {}, {}, {}},
  };
  for (const Case &c : cases) {
    Load(c.Files);
    State.MarkA = c.MarkA;
    State.MarkB = c.MarkB;
    TArrayInteger gaps, noHeader, ab;
    Model->GetSeekBarSpans(100, gaps, noHeader, ab, c.From, c.To);
    EXPECT_EQ(gaps, c.Gaps) << c.What;
    EXPECT_EQ(noHeader, c.NoHeader) << c.What;
    EXPECT_EQ(ab, c.AB) << c.What;
  }
}

// ---------------------------------------------------------------- on the fake graph

struct PositionModelOnFake : ::testing::Test {
  PositionModelOnFake()
  {
    kptest::ensureApplication();
    InitLanguages();
    Script = std::make_shared<TFakeScript>();
    for (auto [name, seconds] :
         {std::pair{"/fake/a0.mp4", 40}, {"/fake/a1.mp4", 25}, {"/fake/a2.mp4", 25}, {"/fake/b0.mp4", 10}})
      Script->Files[QString::fromLatin1(name)] = TFakeFile{seconds * kSecondRef, {TFakeStream{}}};
    Rig = std::make_unique<kptest::TPlayingRig>(std::make_shared<TFakeGraphFactory>(Script));
    Rows = {kptest::MakeRecording(QStringLiteral("trip A"), kDay, 100 * kSecond,
                                  {{"/fake/a0.mp4", 0, 0.4L, 40000},
                                   {"/fake/a1.mp4", 0.5L, 0.75L, 25000},
                                   {"/fake/a2.mp4", 0.75L, 1, 25000}}),
            kptest::MakeRecording(QStringLiteral("trip B"), kDay + 1, 10 * kSecond, {{"/fake/b0.mp4", 0, 1, 10000}})};
  }
  // Selects a row, then a click opens it paused or a double-click plays it.
  void Open(int row, bool play)
  {
    Rig->SetRows(Rows);
    Rig->SelectRows({row});
    if (play)
      Rig->Selection->ListViewDblClick(TOrigin::Control);
    else
      Rig->Selection->ListViewClick(Qt::NoModifier);
  }
  int Opened(const QString &file) const
  {
    return static_cast<int>(Script->Log.count(QStringLiteral("AddSourceFilter ") + file));
  }

  kptest::ScopedSettings Settings;
  TFakeScriptPtr Script;
  std::unique_ptr<kptest::TPlayingRig> Rig;
  std::vector<TFileItem> Rows;
};

TEST_F(PositionModelOnFake, SeekIntoAGapOpensTheNextFileAtItsStart)
{
  Open(0, false);
  ASSERT_EQ(Rig->Graph->GetState(), psPaused);
  Rig->Model->SeekTo(0.45L, false, false);
  EXPECT_EQ(Rig->State.CurrentFile, 1);
  EXPECT_EQ(Rig->State.Position, 0.5L);
  EXPECT_EQ(Opened(QStringLiteral("/fake/a1.mp4")), 1);
  REFERENCE_TIME now = -1;
  Rig->State.MediaSeeking->GetCurrentPosition(now);
  EXPECT_EQ(now, 0);
  EXPECT_EQ(Rig->Graph->GetState(), psPaused);
}

TEST_F(PositionModelOnFake, FractionsOutsideTheRecordingOnlyStore)
{
  Open(0, false);
  const int seeks = static_cast<int>(Script->Log.filter(QStringLiteral("SetPositions")).size());
  struct Case {
    long double G, Stored;
  } cases[] = {{1.5L, 1.5L},
               {-0.25L, -0.25L},
               {std::numeric_limits<long double>::quiet_NaN(), -0.25L},
               {std::numeric_limits<long double>::infinity(), -0.25L}};
  for (const Case &c : cases) {
    Rig->Model->SeekTo(c.G, false, false);
    EXPECT_EQ(Rig->State.Position, c.Stored);
    EXPECT_EQ(Rig->State.CurrentFile, 0);
  }
  EXPECT_EQ(Script->Log.filter(QStringLiteral("SetPositions")).size(), seeks);
}

TEST_F(PositionModelOnFake, TheEndOfAFileContinuesInTheNextInTheSamePlayState)
{
  Open(0, true);
  ASSERT_EQ(Rig->Graph->GetState(), psPlaying);
  Script->AdvanceClock(41000);
  EXPECT_EQ(Rig->Model->GetPosition(), 0.5L);
  EXPECT_EQ(Rig->State.CurrentFile, 1);
  EXPECT_EQ(Rig->Graph->GetState(), psPlaying);
  EXPECT_TRUE(Rig->ButtonPlay.isChecked());
}

TEST_F(PositionModelOnFake, AtDoubleRateThePositionIsMediaTime)
{
  Open(0, true);
  Rig->SpeedDouble.setChecked(true);
  Rig->Loop->TrackBarPlaySpeedChange(TOrigin::Control);
  EXPECT_EQ(Rig->Graph->Rate(), 2.0);
  ASSERT_EQ(Rig->Graph->GetState(), psPlaying);
  Script->AdvanceClock(5000); // 10 s of the 40-s first file
  EXPECT_NEAR(static_cast<double>(Rig->Model->GetPosition()), 0.1, 1e-12);
}

TEST_F(PositionModelOnFake, TheEndOfTheLastFileIsOneAndPlayNextWraps)
{
  Rig->Item("N_Playback_PlayNext")->setChecked(true);
  Open(0, true);
  Rig->Model->SeekTo(0.99L, false, false);
  Script->AdvanceClock(2000);
  EXPECT_EQ(Rig->Model->GetPosition(), 1.0L);
  Rig->Loop->TimerTimer(TOrigin::Timer);
  EXPECT_EQ(Rig->State.Recording.Summary.Name, QStringLiteral("trip B"));
  EXPECT_EQ(Rig->Graph->GetState(), psPlaying);
  Script->AdvanceClock(11000);
  Rig->Loop->TimerTimer(TOrigin::Timer);
  EXPECT_EQ(Rig->State.Recording.Summary.Name, QStringLiteral("trip A"));
  EXPECT_EQ(Rig->Graph->GetState(), psPlaying);
  EXPECT_TRUE(Rig->ButtonPlay.isChecked());
}

TEST_F(PositionModelOnFake, ASplitterFailureOfTheMiddleFileIsShownAndPlaybackMovesOn)
{
  Script->Files.erase(QStringLiteral("/fake/a1.mp4"));
  Open(0, true);
  Rig->Model->SeekTo(0.6L, false, false);
  ASSERT_EQ(Rig->Host.Messages.size(), 1);
  EXPECT_NE(Translate(u"Mes_CannotOpen_Splitter"), QStringLiteral("Mes_CannotOpen_Splitter"));
  EXPECT_EQ(Rig->Host.Messages[0], Translate(u"Mes_CannotOpen_Video") + "\r\n/fake/a1.mp4\r\n" +
                                       Translate(u"Mes_CannotOpen_Splitter") + "\r\n\r\n" +
                                       Translate(u"Mes_CannotOpen_SysCodec") + "?");
  Rig->Loop->TimerTimer(TOrigin::Timer);
  EXPECT_EQ(Rig->State.CurrentFile, 2);
  EXPECT_EQ(Rig->State.Position, 0.75L);
  EXPECT_EQ(Rig->Graph->GetState(), psPlaying);
  EXPECT_EQ(Rig->Host.Messages.size(), 1);
}

// An unreadable last file is the end of its recording: play-next goes on
// instead of leaving the player playing nothing with the cursor stuck.
TEST_F(PositionModelOnFake, AnUnreadableLastFileEndsTheRecordingAndPlayNextGoesOn)
{
  Script->Files.erase(QStringLiteral("/fake/a2.mp4"));
  Rig->Item("N_Playback_PlayNext")->setChecked(true);
  Open(0, true);
  Rig->Model->SeekTo(0.9L, false, false);
  ASSERT_EQ(Rig->Host.Messages.size(), 1);
  EXPECT_EQ(Rig->Model->GetPosition(), 1.0L);
  Rig->Loop->TimerTimer(TOrigin::Timer);
  EXPECT_EQ(Rig->State.Recording.Summary.Name, QStringLiteral("trip B"));
  EXPECT_EQ(Rig->Graph->GetState(), psPlaying);
}

TEST_F(PositionModelOnFake, AFailedRunLeavesNoFileOpenAndNothingReadsPastTheFiles)
{
  Script->FailNext[QStringLiteral("Run")] = E_FAIL;
  Open(0, true);
  EXPECT_EQ(Rig->State.CurrentFile, kForceOpenFile);
  EXPECT_TRUE(Rig->ButtonStop.isEnabled());
  Rig->State.Position = 0.3L;
  EXPECT_EQ(Rig->Model->GetPosition(), 0.3L);
  Rig->Loop->TimerTimer(TOrigin::Timer);
  Rig->Loop->ButtonStopClick(TOrigin::Control);
  EXPECT_EQ(Rig->State.CurrentFile, -1);
  EXPECT_FALSE(Rig->Graph->Active());
}

TEST_F(PositionModelOnFake, AFileWithoutHeaderTakesItsDurationFromTheGraph)
{
  Rows[0].Files[1].DurationSource = dsNoHeader;
  Rows[0].Files[1].DurationMs = -1;
  Open(0, false);
  Rig->Model->SeekTo(0.6L, false, false);
  EXPECT_EQ(Rig->State.Recording.Files[1].DurationSource, dsHeader);
  EXPECT_EQ(Rig->State.Recording.Files[1].DurationMs, 25000);
  EXPECT_EQ(Rig->Catalogue.GetGroup(0).Files[1].DurationMs, 25000);
  EXPECT_EQ(Rig->Catalogue.GetGroup(0).Files[1].DurationSource, dsHeader);
}

} // namespace
