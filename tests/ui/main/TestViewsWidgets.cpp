// The view collaborators on real widgets (offscreen): profiles, keys,
// the wheel's regions, renderer-dependent items and full screen.

#include "ViewsTestSupport.h"

#include "DateTime.h"
#include "UnitMovingInfo.h"
#include "UnitRegSettings.h"
#include "WrappingStrip.h"

#include <QAction>
#include <QApplication>
#include <QMouseEvent>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace kp;

namespace {

struct ViewsWidgetsTest : ::testing::Test {
  void SetUp() override { kptest::ensureApplication(); }
  kptest::ScopedSettings settings;
};

QPoint Centre(const QWidget *w)
{
  return w->mapToGlobal(w->rect().center());
}

} // namespace

TEST_F(ViewsWidgetsTest, VideoOnlyProfileHidesGaugesAndMovesTheControlPanel)
{
  kptest::ViewsRig rig;
  rig.window.show();
  rig["N_View_Profile_Video"]->trigger();
  EXPECT_TRUE(rig.c.ImageGSensor->isHidden());
  EXPECT_TRUE(rig.c.ImageSpeed->isHidden());
  EXPECT_EQ(rig.c.ListView->horizontalHeader()->sectionSize(3), 1);
  EXPECT_EQ(rig.c.ListView->horizontalHeader()->sectionSize(4), 1);
  EXPECT_EQ(rig.c.PanelControl->parentWidget(), rig.c.PanelRight);
  rig.c.PanelControl->setFixedHeight(30); // its rows along the bottom
  rig["N_View_Profile_GPS_G"]->trigger();
  EXPECT_FALSE(rig.c.ImageGSensor->isHidden());
  EXPECT_EQ(rig.c.PanelControl->parentWidget(), rig.c.PanelGraphicsAddon);
  EXPECT_EQ(rig.c.PanelControl->maximumHeight(), QWIDGETSIZE_MAX); // the whole column again
  EXPECT_EQ(rig.graphs.size(), 2u);                                // speed and total acceleration
}

TEST_F(ViewsWidgetsTest, KeypadStarAndSlashPickZoomModes)
{
  kptest::ViewsRig rig;
  rig.state.VideoZoom = 3;
  EXPECT_FALSE(rig.views->Events.ShortcutKey(Qt::Key_Asterisk, Qt::KeypadModifier));
  EXPECT_TRUE(rig["N_VideoZoom_Custom"]->isChecked());
  EXPECT_DOUBLE_EQ(rig.state.VideoZoom, 1.0);
  const char *expected[] = {"N_VideoZoom_Letterbox", "N_VideoZoom_PanAndScan", "N_VideoZoom_Letterbox"};
  for (const char *name : expected) {
    rig.views->Events.ShortcutKey(Qt::Key_Slash, Qt::KeypadModifier);
    EXPECT_TRUE(rig[name]->isChecked()) << name;
  }
  EXPECT_FALSE(rig["N_VideoZoom_Custom"]->text().contains(QLatin1Char('%')));
}

TEST_F(ViewsWidgetsTest, WheelActsByRegionAndNotch)
{
  kptest::ViewsRig rig;
  rig.window.show();
  ASSERT_TRUE(kptest::waitUntil([&] { return rig.c.PanelVideo->isVisible() && rig.c.PanelVideo->height() > 0; }, 2000));
  rig["N_VideoZoom_Custom"]->trigger();
  rig.state.VideoZoom = 1;
  TWindowEvents &events = rig.views->Events;
  EXPECT_TRUE(events.FormMouseWheel(Centre(rig.c.PanelVideo), 240));
  EXPECT_DOUBLE_EQ(rig.state.VideoZoom, 1.2);
  rig.c.ButtonVideoZoomIn->click();
  EXPECT_DOUBLE_EQ(rig.state.VideoZoom, 2.4);

  // The control panel: nothing loaded, then paused.
  rig.c.ButtonPlay->setEnabled(false);
  EXPECT_TRUE(events.FormMouseWheel(Centre(rig.c.PanelControl), -120));
  EXPECT_EQ(rig.host.Frames + rig.host.BackJumps, 0);
  rig.c.ButtonPlay->setEnabled(true);
  for (int delta : {-40, -40, -40, 120}) events.FormMouseWheel(Centre(rig.c.PanelControl), delta);
  EXPECT_EQ(rig.host.Frames, 1);
  EXPECT_EQ(rig.host.BackJumps, 1);
  EXPECT_FALSE(events.FormMouseWheel(Centre(rig.c.ListView), 120));
}

TEST_F(ViewsWidgetsTest, RendererDecidesNonLinearAndFlips)
{
  kptest::ViewsRig rig;
  struct Case {
    const char *Renderer;
    bool NotLinear, Flips;
  } cases[] = {{"N_Playback_Renderer_EVR", true, false},
               {"N_Playback_Renderer_WMR", false, true},
               {"N_Playback_Renderer_NUL", false, false}};
  rig["N_VideoZoom_NotLinear"]->trigger();
  for (const Case &c : cases) {
    rig[c.Renderer]->trigger();
    EXPECT_EQ(rig["N_VideoZoom_NotLinear"]->isEnabled(), c.NotLinear) << c.Renderer;
    EXPECT_EQ(rig["N_VideoZoom_FlipH"]->isEnabled(), c.Flips) << c.Renderer;
    EXPECT_EQ(rig["N_VideoZoom_FlipV"]->isEnabled(), c.Flips) << c.Renderer;
    // The mark survives: under the mixing renderer it shows as letterbox.
    EXPECT_TRUE(rig["N_VideoZoom_NotLinear"]->isChecked()) << c.Renderer;
  }
  EXPECT_EQ(rig.host.Builds, 3);
  EXPECT_EQ(rig.host.Stops, 0);
}

TEST_F(ViewsWidgetsTest, RendererSwitchWhilePausedReloadsAtTheOldPosition)
{
  kptest::ViewsRig rig;
  rig.host.State = 2;
  rig.state.LastPosition = 0.42L;
  rig["N_Playback_Renderer_WMR"]->trigger();
  EXPECT_EQ(rig.host.Stops, 1);
  EXPECT_EQ(rig.host.Reloads, 1);
  EXPECT_EQ(rig.state.Position, 0.42L);
  EXPECT_EQ(rig.state.LastPosition, 0.42L);
}

TEST_F(ViewsWidgetsTest, EscInFullScreenLeavesItWithoutStopping)
{
  kptest::ViewsRig rig;
  rig.window.show();
  rig["N_FullScreen"]->trigger();
  EXPECT_TRUE(rig.fullScreen.isVisible());
  EXPECT_EQ(rig.c.PanelVideo->parentWidget(), &rig.fullScreen);
  rig.views->FullScreen.VideoWindowWMRMouseMove({0, rig.c.PanelVideo->height() - 1}, {});
  EXPECT_EQ(rig.c.PanelBottom->parentWidget(), &rig.fullScreen);
  rig.host.Active = TActiveWindow::FullScreen;
  rig["N_Playback_Stop"]->trigger();
  EXPECT_FALSE(rig["N_FullScreen"]->isChecked());
  EXPECT_FALSE(rig.fullScreen.isVisible());
  EXPECT_EQ(rig.c.PanelVideo->parentWidget(), rig.c.SplitterBottom);
  EXPECT_EQ(rig.c.PanelBottom->parentWidget(), rig.c.SplitterBottom);
  EXPECT_EQ(rig.host.Stops, 0);
  EXPECT_EQ(ReadSetting(QStringLiteral("N_FullScreen"), QStringLiteral("<none>")), "<none>");
  rig.host.Active = TActiveWindow::Main;
  rig["N_Playback_Stop"]->trigger();
  EXPECT_EQ(rig.host.Stops, 1);
}

TEST_F(ViewsWidgetsTest, ACommandsExceptionIsShownAndTheProgramGoesOn)
{
  QString shown;
  const auto keep = ShowExceptionBox;
  ShowExceptionBox = [&](const QString &text) { shown = text; };
  EXPECT_FALSE(RunCommand([] { throw std::runtime_error("broken step"); }));
  ShowExceptionBox = keep;
  EXPECT_TRUE(shown.startsWith(QLatin1String("Exception\r\n\r\nbroken step\r\n\r\n"))) << shown.toStdString();
}

TEST_F(ViewsWidgetsTest, ZoneItemsShiftByTheirOwnOffset)
{
  kptest::ViewsRig rig;
  struct Case {
    const char *Item;
    double Hours; // added to the computer's own offset
  } cases[] = {{"N_View_TimeZone_GMT24", 0}, {"N_View_TimeZone_GMT27", 3}, {"N_View_TimeZone_GMT19", -5}};
  for (const Case &c : cases) {
    rig[c.Item]->trigger();
    EXPECT_NEAR(TimeZoneShift(), c.Hours / 24 - LocalTimeOffset(), 1e-12) << c.Item;
  }
  rig["N_View_TimeZone_Local"]->trigger();
  EXPECT_EQ(TimeZoneShift(), 0);
}

TEST_F(ViewsWidgetsTest, ColumnsAreSavedWhenMovedAndWhenAResizeEnds)
{
  kptest::ViewsRig rig;
  rig.window.show();
  QHeaderView *header = rig.c.ListView->horizontalHeader();
  for (int i = 0; i < header->count(); ++i) header->resizeSection(i, rig.designWidths[size_t(i)]);
  const auto stored = [](const QString &name) { return ReadSetting(name, QStringLiteral("<none>")); };
  // A drag of a column's edge: the press, the resize, the release.
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(header->viewport(), &press);
  header->resizeSection(1, 77);
  EXPECT_EQ(stored(settings::ColumnWidthName(1)), "<none>"); // not while dragging the edge
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(header->viewport(), &release);
  EXPECT_EQ(stored(settings::ColumnWidthName(1)), "77");
  header->moveSection(0, 2);
  EXPECT_EQ(stored(settings::ColumnIndexName(0)), "1");
  header->moveSection(2, 0);
  QApplication::sendEvent(header->viewport(), &press);
  header->resizeSection(1, 60);
  QApplication::sendEvent(header->viewport(), &release);
  EXPECT_EQ(stored(settings::ColumnIndexName(0)), "<none>");
  EXPECT_EQ(stored(settings::ColumnWidthName(1)), "<none>");
}

// The list's toolbar wraps: buttons whole on as many rows as the width
// needs, a hidden one taking no room, no gap opening a row.
TEST_F(ViewsWidgetsTest, ToolbarWrapsItsButtonsOntoRows)
{
  QWidget panel;
  auto *strip = new TWrappingStrip(&panel);
  std::vector<QToolButton *> buttons;
  for (int i = 0; i < 5; ++i) {
    buttons.push_back(new QToolButton(&panel));
    buttons.back()->setFixedSize(24, 24);
    strip->addWidget(buttons.back());
    if (i == 1) strip->AddGap(4);
  }
  buttons[2]->hide();
  // Width, then the rows' height and each button's place (hidden skipped).
  const std::tuple<int, int, std::vector<QPoint>> cases[] = {
      {200, 24, {{0, 0}, {24, 0}, {52, 0}, {76, 0}}},
      {60, 48, {{0, 0}, {24, 0}, {0, 24}, {24, 24}}},
      {50, 48, {{0, 0}, {24, 0}, {0, 24}, {24, 24}}},
      {24, 96, {{0, 0}, {0, 24}, {0, 48}, {0, 72}}},
  };
  for (const auto &[width, height, places] : cases) {
    EXPECT_EQ(strip->heightForWidth(width), height) << width;
    strip->setGeometry(QRect(0, 0, width, height));
    std::vector<QPoint> placed;
    for (QToolButton *b : buttons)
      if (!b->isHidden()) placed.push_back(b->pos());
    EXPECT_EQ(placed, places) << width;
  }
  EXPECT_EQ(strip->minimumSize(), QSize(24, 24));
}
