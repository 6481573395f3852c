// The view rules without a shown window: the video zoom engine, the time
// window, the marks, the seek keys, the wheel's notches and the small
// layout and settings rules.

#include "ViewsTestSupport.h"

#include "ColumnSaver.h"
#include "UnitRegSettings.h"
#include "ViewDialogs.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace kp;

namespace {

TVideoZoomInput Zoom(QSize native, QSize panel, TVideoZoomMode mode, double zoom, TVideoZoomCommand command,
                     double percent = 100)
{
  TVideoZoomInput in;
  in.Native = native;
  in.Panel = panel;
  in.Mode = mode;
  in.Zoom = zoom;
  in.Command = command;
  in.Percent = percent;
  return in;
}

bool Finite(const TNormalizedRect &r)
{
  return std::isfinite(r.left) && std::isfinite(r.top) && std::isfinite(r.right) && std::isfinite(r.bottom);
}

struct ViewsLogicTest : ::testing::Test {
  void SetUp() override { kptest::ensureApplication(); }
  kptest::ScopedSettings settings;
};

} // namespace

TEST(VideoZoomEngine, CommandsGiveZoomModeAndSuffix)
{
  using M = TVideoZoomMode;
  using K = TVideoZoomCommand;
  const QSize vga(640, 480), panel(800, 600), large(1300, 1000);
  struct Case {
    const char *What;
    TVideoZoomInput In;
    double Zoom;
    M Mode;
    QString Suffix;
  } cases[] = {
      {"percent item", Zoom(vga, panel, M::Letterbox, 1, K::Percent, 400), 4.0, M::Custom, "400%"},
      {"zoom in stops at 800 %", Zoom(vga, panel, M::Custom, 6, K::ZoomIn), 8.0, M::Custom, "800%"},
      {"zoom out stops at 2 %", Zoom(vga, panel, M::Custom, 0.03, K::ZoomOut), 0.02, M::Custom, "2%"},
      {"crossing the fit size", Zoom(vga, panel, M::Custom, 1, K::ZoomIn), 2.0, M::Letterbox, ""},
      {"zoom out from a fit mode", Zoom(vga, large, M::PanAndScan, 1, K::ZoomOut), 2.0, M::Custom, "200%"},
  };
  for (const Case &c : cases) {
    const TVideoZoomResult r = ComputeVideoZoom(c.In);
    EXPECT_DOUBLE_EQ(r.Zoom, c.Zoom) << c.What;
    EXPECT_EQ(r.Mode, c.Mode) << c.What;
    EXPECT_EQ(r.CustomSuffix, c.Suffix) << c.What;
  }
}

TEST(VideoZoomEngine, SmallAndDegenerateSizes)
{
  using M = TVideoZoomMode;
  using K = TVideoZoomCommand;
  TVideoZoomInput in = Zoom({100, 50}, {800, 600}, M::Custom, 1, K::None);
  in.PanX = 0.9;
  const TVideoZoomResult small = ComputeVideoZoom(in);
  EXPECT_EQ(small.PictureRect, QRect(350, 275, 100, 50));
  EXPECT_EQ(small.VideoRect, QRect(350, 275, 100, 50));
  const TVideoZoomResult onePixel = ComputeVideoZoom(Zoom({1, 1}, {800, 600}, M::Custom, 1, K::ZoomIn));
  EXPECT_TRUE(Finite(onePixel.Source));
  EXPECT_DOUBLE_EQ(onePixel.Zoom, 2.0);
  const TVideoZoomResult noSize = ComputeVideoZoom(Zoom({}, {800, 600}, M::Custom, 1, K::None));
  EXPECT_FALSE(noSize.HasSize);
  EXPECT_EQ(noSize.VideoRect, QRect(0, 0, 800, 600));
  EXPECT_DOUBLE_EQ(ComputeVideoZoom(Zoom({640, 480}, {800, 600}, M::Custom, NAN, K::None)).Zoom, 1.0);
}

TEST(TimeWindow, ZoomBarStaysInRangeForLongSpans)
{
  const long double ninetyDays = (1.0L / 86400 / 2) / (90 + 1.0L / 86400);
  const TZoomBar bar = ZoomBarFor(1000, 5, 0.5L, 0.5L + ninetyDays);
  EXPECT_TRUE(bar.Enabled);
  EXPECT_GT(bar.Range, bar.Page);
  EXPECT_GE(bar.Position, 0);
  EXPECT_LE(bar.Position, bar.Range);
  EXPECT_FALSE(ZoomBarFor(1000, 5, 0, 1).Enabled);
}

TEST_F(ViewsLogicTest, TenMinuteRecordingZoomsToHalfASecondAndBack)
{
  kptest::ViewsRig rig;
  rig.state.Recording.Summary.StartTime = 45000;
  rig.state.Recording.Summary.EndTime = 45000 + 600.0 / 86400;
  rig.state.LastPosition = 0.3L;
  TTimeWindow &time = rig.views->Time;
  for (int i = 0; i < 40; ++i) time.ButtonZoomInClick(rig.c.ButtonZoomIn);
  EXPECT_NEAR(double(rig.state.TimeWindowEnd - rig.state.TimeWindowStart), 0.5 / 601, 1e-9);
  EXPECT_TRUE(rig.c.ScrollBarZoom->isEnabled());
  // The bar at its end shows the end of the recording, not beyond it.
  const long double width = rig.state.TimeWindowEnd - rig.state.TimeWindowStart;
  rig.c.ScrollBarZoom->setValue(rig.c.ScrollBarZoom->maximum());
  EXPECT_EQ(rig.state.TimeWindowEnd, 1);
  EXPECT_NEAR(double(rig.state.TimeWindowEnd - rig.state.TimeWindowStart), double(width), 1e-12);
  for (int i = 0; i < 40; ++i) time.ButtonZoomInClick(rig.c.ButtonZoomOut);
  EXPECT_EQ(rig.state.TimeWindowStart, 0);
  EXPECT_EQ(rig.state.TimeWindowEnd, 1);
  EXPECT_FALSE(rig.c.ScrollBarZoom->isEnabled());
}

TEST_F(ViewsLogicTest, MarksKeepAbeforeBAndTheLoopWarns)
{
  kptest::ViewsRig rig;
  struct Case {
    long double A, B, Position;
    const char *Item;
    long double WantA, WantB;
  } cases[] = {
      {0.2L, 0.4L, 0.6L, "N_View_Time_SetA", 0.6L, 1},
      {0.5L, 0.8L, 0.3L, "N_View_Time_SetB", 0, 0.3L},
      {0.2L, 0.8L, 0.5L, "N_View_Time_SetA", 0.5L, 0.8L},
  };
  rig.state.Recording.Files.resize(1); // a recording is loaded
  for (const Case &c : cases) {
    rig.state.MarkA = c.A;
    rig.state.MarkB = c.B;
    rig.host.Position = c.Position;
    rig[c.Item]->trigger();
    EXPECT_EQ(rig.state.MarkA, c.WantA) << c.Item;
    EXPECT_EQ(rig.state.MarkB, c.WantB) << c.Item;
  }
  // Nothing loaded: nothing to mark.
  rig.state.Recording.Files.clear();
  rig.state.MarkA = rig.state.MarkB = 0;
  for (const char *item : {"N_View_Time_SetA", "N_View_Time_SetB"}) {
    rig[item]->trigger();
    EXPECT_EQ(rig.state.MarkA, 0) << item;
    EXPECT_EQ(rig.state.MarkB, 0) << item;
  }
  rig.c.CheckBoxLoop->click();
  EXPECT_TRUE(rig["N_View_Time_LoopAB"]->isChecked());
  EXPECT_EQ(rig.host.Messages, QStringList{Translate(u"Cropping_Info")});
  rig["N_View_Time_LoopAB"]->trigger();
  EXPECT_FALSE(rig.c.CheckBoxLoop->isChecked());
}

TEST_F(ViewsLogicTest, SeekKeysWaitUnlessThereIsNoTelemetry)
{
  kptest::ViewsRig rig;
  double now = 100;
  rig.views->Commands.Now = [&] { return now; };
  rig.state.Recording.Files.resize(1);
  rig.state.Recording.Files[0].Position = {0, 1};
  rig.state.CurrentFile = 0;
  struct Case {
    const char *What;
    double Telemetry;
    size_t Seeks;
  } cases[] = {{"with telemetry three keys act once", 45000.5, 1}, {"without telemetry every key acts", 0, 3}};
  for (const Case &c : cases) {
    rig.host.Seeks.clear();
    rig.views->View.SeekKeyTime = -1e9;
    rig.state.CurrentPoint.Time = c.Telemetry;
    for (int i = 0; i < 3; ++i, now += 0.3) rig["N_Playback_Right"]->trigger();
    EXPECT_EQ(rig.host.Seeks.size(), c.Seeks) << c.What;
    now += 5;
  }
  EXPECT_NEAR(double(rig.host.Seeks.front() - 0.5L), 8.312 / 600, 1e-9);
  EXPECT_EQ(SeekKeyTarget(0.999L, 8.312, 600LL * 10000000, 0, 1), 1);
  EXPECT_EQ(SeekKeyTarget(0.001L, -8.312, 600LL * 10000000, 0, 1), 0);
  EXPECT_TRUE(std::isfinite(double(SeekKeyTarget(0.5L, 8.312, 0, 0, 1))));
}

TEST(WheelAccumulator, ActsOncePerNotch)
{
  struct Case {
    std::vector<int> Deltas, Steps;
  } cases[] = {
      {{40, 40, 40, 40, 40, 40}, {0, 0, 1, 0, 0, 1}},
      {{240}, {2}},
      {{-120, -60, -60}, {-1, 0, -1}},
      {{60, -60, -60}, {0, 0, -1}},
  };
  for (const Case &c : cases) {
    TWheelAccumulator wheel;
    std::vector<int> steps;
    for (int d : c.Deltas) steps.push_back(wheel.Add(d));
    EXPECT_EQ(steps, c.Steps);
  }
}

TEST(ViewRules, SmallRulesOfLayoutAndSettings)
{
  EXPECT_DOUBLE_EQ(GmtShiftDays(0, 2.0 / 24) * 24, -2.0);
  EXPECT_EQ(AdsStripHeight(QStringLiteral("0"), 54), 0);
  EXPECT_EQ(AdsStripHeight(QString(), 54), std::nullopt);
  EXPECT_EQ(AdsStripHeight(QStringLiteral("50"), 0), 54);
  EXPECT_EQ(RightPanelWidth(true, 5), 510);
  EXPECT_EQ(RightPanelWidth(false, 300), 0);
  EXPECT_EQ(BottomPanelHeight(2, 40, 100), 185);
  EXPECT_EQ(BottomPanelHeight(6, 40, 185), 320);
  const QRect left(0, 0, 1920, 1080), desktop(0, 0, 3840, 1080);
  EXPECT_EQ(FullScreenBounds({1500, 100, 800, 600}, left, desktop, true), desktop);
  EXPECT_EQ(FullScreenBounds({100, 100, 800, 600}, left, desktop, true), left);
  EXPECT_DOUBLE_EQ(ParseCustomZoom(QStringLiteral("abc")), 1.0);
  EXPECT_EQ(ParseTimeShift(QStringLiteral("nonsense")), 0);
  EXPECT_NEAR(ParseTimeShift(QStringLiteral("-1:30:00")) * 24, -1.5, 1e-9);
}

TEST(ColumnSettings, DesignValuesAreDeleted)
{
  const std::vector<int> design{200, 60, 120};
  using S = TColumnSetting;
  const auto w = [](int c) { return settings::ColumnWidthName(c); };
  const auto i = [](int p) { return settings::ColumnIndexName(p); };
  EXPECT_EQ(ColumnSettings({0, 1, 2}, {200, 60, 120}, design),
            (std::vector<S>{{w(0), {}}, {i(0), {}}, {w(1), {}}, {i(1), {}}, {w(2), {}}, {i(2), {}}}));
  EXPECT_EQ(ColumnSettings({1, 0, 2}, {200, 0, 99}, design),
            (std::vector<S>{{w(1), 1}, {i(0), 1}, {w(0), {}}, {i(1), 0}, {w(2), 99}, {i(2), {}}}));
}
