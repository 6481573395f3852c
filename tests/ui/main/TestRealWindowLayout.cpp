// The real main window under an X server, laid out as a user meets it: the
// gauges whole at the default window size, the bottom panel through full
// screen and a restart, the seek bar and graphs after a profile change or
// graphs hidden and shown, and the window snapshot taken in full screen.

#include "RealWindowSupport.h"

#include "PageScript.h"

#include "UnitFormFullScreen.h"
#include "UnitReg.h"
#include "UnitRegSettings.h"
#include "UnitUtilsDesktop.h"
#include "Views.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QSplitter>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <sys/stat.h>

using namespace kp;
using kptest::RealWindow;

namespace {

using kptest::Key;
using kptest::RunScript;

// The part of Widget its ancestors up to the window let show.
QRect Shown(const QWidget *widget)
{
  QRect r = widget->rect();
  for (const QWidget *a = widget->parentWidget(); a; a = a->isWindow() ? nullptr : a->parentWidget())
    r &= a->rect().translated(widget->mapFrom(a, QPoint(0, 0)));
  return r;
}

// The screen's picture of Widget once two pictures a moment apart agree.
QImage ScreenWhenPainted(const QWidget *widget)
{
  QImage last;
  kptest::waitUntil(
      [&] {
        const QImage now = kptest::ScreenOf(widget);
        const bool settled = kptest::MeanDifference(now, last) == 0;
        last = now;
        return settled;
      },
      3000);
  return last;
}

// The spread of grey levels in a picture: a caption on its background
// spreads far, a black caption on black not at all.
int Contrast(const QImage &image)
{
  int least = 255, most = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const int grey = qGray(image.pixel(x, y));
      least = std::min(least, grey);
      most = std::max(most, grey);
    }
  return most - least;
}

} // namespace

struct RealWindowLayout : RealWindow {
  // Whether the seek bar and every graph span their panel's width and the
  // graphs fill its height.
  bool BottomGraphicsFit() const
  {
    const int width = w->PanelBottomGraphics->width();
    if (w->ImageSeek->width() != width || w->SeekBitmap->Image()->Picture.width() != width) return false;
    for (TBS_Image *graph : w->GraphImages)
      if (graph->width() != width || graph->Image()->Picture.width() != width) return false;
    return w->GraphImages.empty() || w->GraphImages.back()->geometry().bottom() + 1 == w->PanelBottomGraphics->height();
  }
  // Whether each gauge the profile shows is on the screen whole.
  bool GaugesWhole() const
  {
    for (TBS_Image *g : {w->ImageSpeed, w->ImageGSensor, w->ImageAzimut})
      if (!g->isHidden() && (g->size() != g->Image()->Picture.size() || Shown(g) != g->rect())) return false;
    return true;
  }
  // The first row of the list loaded (one click), paused.
  void LoadFirstRow()
  {
    ASSERT_TRUE(kptest::waitUntil([&] { return Listed(); }, 10000)) << Model().rowCount();
    const QRect row0 = w->ListView->visualRect(Model().index(0, 0));
    QTest::mouseClick(w->ListView->viewport(), Qt::LeftButton, {}, row0.center());
    ASSERT_TRUE(kptest::waitUntil([&] { return w->ButtonPlay->isEnabled(); }, 10000));
  }
  // The seek bar keeps room to seek, and no two labels of the seek bar's
  // scales or of one graph overlap or leave their picture.
  void ExpectReadableTimeLine(const std::string &at)
  {
    w->FormResize();
    EXPECT_GE(w->SeekBitmap->Wd(), 180) << at;
    const auto readable = [&](const std::vector<QRect> &labels, const QSize &picture, const char *what) {
      EXPECT_FALSE(labels.empty()) << what << " at " << at;
      for (size_t i = 0; i < labels.size(); ++i) {
        EXPECT_TRUE(QRect(QPoint(0, 0), picture).contains(labels[i])) << what << " label " << i << " at " << at;
        for (size_t j = 0; j < i; ++j)
          EXPECT_FALSE(labels[i].intersects(labels[j])) << what << " labels " << j << " and " << i << " at " << at;
      }
    };
    readable(w->SeekBitmap->LabelRects(), w->ImageSeek->Image()->Picture.size(), "seek bar");
    for (size_t g = 0; g < w->Graphs.size(); ++g)
      readable(w->Graphs[g]->LabelRects(), w->GraphImages[g]->Image()->Picture.size(),
               w->Graphs[g]->GetLetter().toLatin1().constData());
  }
  void Restart(const QString &folder)
  {
    w->close();
    w.reset();
    Start(folder);
  }
};

TEST_F(RealWindowLayout, GaugesShowTheirPicturesWhole)
{
  ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
  const QImage dial = LoadResourceBitmap(QStringLiteral("Form_Main_speed.bmp"));
  ASSERT_FALSE(dial.isNull());
  for (const QSize size : {QSize(1400, 750), QSize(1800, 1000)}) {
    w->resize(size);
    ASSERT_TRUE(kptest::waitUntil([&] { return w->size() == size; }, 5000));
    QCoreApplication::processEvents();
    struct Gauge {
      const char *Name;
      TBS_Image *Image;
    } gauges[] = {{"speedometer", w->ImageSpeed}, {"G-sensor", w->ImageGSensor}, {"compass", w->ImageAzimut}};
    for (const Gauge &g : gauges) {
      const auto whole = [&] {
        return g.Image->isVisible() && g.Image->size() == g.Image->Image()->Picture.size() &&
               Shown(g.Image) == g.Image->rect();
      };
      EXPECT_TRUE(kptest::waitUntil(whole, 3000))
          << g.Name << " at " << size.width() << "x" << size.height() << ": widget " << g.Image->width() << "x"
          << g.Image->height() << ", picture " << g.Image->Image()->Picture.width() << "x"
          << g.Image->Image()->Picture.height() << ", shown " << Shown(g.Image).width() << "x"
          << Shown(g.Image).height();
    }
    EXPECT_EQ(w->ImageSpeed->size(), dial.size());
  }
  // The dial's face is on the screen: its tick marks and its rim are dark
  // on the light face.
  w->resize(1400, 750);
  QImage screen;
  EXPECT_TRUE(kptest::waitUntil(
      [&] {
        screen = kptest::ScreenOf(w->ImageSpeed).convertToFormat(QImage::Format_RGB32);
        const QRect face(20, 20, 94, 40); // inside the rim, above the value boxes
        return screen.size() == dial.size() && kptest::MeanDifference(screen.copy(face), dial.copy(face)) < 20;
      },
      3000));
  kptest::saveScreenshot(w.get(), QStringLiteral("realwindow_gauges.png"));
}

TEST_F(RealWindowLayout, BottomPanelKeepsItsHeightThroughFullScreenAndRestart)
{
  // A panel left collapsed by an earlier run is not brought back collapsed.
  settings::PanelBottom.Write(17);
  ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
  EXPECT_EQ(w->PanelBottom->height(), 185);
  // With a recording loaded, as the bar's controls are then enabled.
  ASSERT_NO_FATAL_FAILURE(LoadFirstRow());
  // The user's own height.
  const int height = 230;
  const QList<int> sizes = w->SplitterBottom->sizes();
  w->SplitterBottom->setSizes({sizes[0] + sizes[1] - height, height});
  w->SplitterMoved(false);
  ASSERT_EQ(w->PanelBottom->height(), height);
  EXPECT_EQ(settings::PanelBottom.Read(), height);

  w->ToggleFullScreen();
  ASSERT_TRUE(Activate(w->FullScreenForm.get()));
  ASSERT_TRUE(kptest::waitUntil([&] { return w->PanelVideo->height() > 500; }, 5000));
  // The pointer at the bottom edge brings the bar with the seek bar.
  const QPoint edge(w->PanelVideo->width() / 2, w->PanelVideo->height() - 1);
  QTest::mouseMove(w->PanelVideo, edge);
  ASSERT_TRUE(kptest::waitUntil([&] { return w->PanelBottom->window() == w->FullScreenForm.get(); }, 3000));
  EXPECT_TRUE(kptest::waitUntil(
      [&] {
        return w->PanelBottom->height() == height && w->ImageSeek->isVisible() &&
               Shown(w->ImageSeek) == w->ImageSeek->rect() && BottomGraphicsFit();
      },
      3000))
      << w->PanelBottom->height();
  kptest::saveScreenshot(w->FullScreenForm.get(), QStringLiteral("realwindow_full_screen_bar.png"));
  // Every caption of the bar stands out from what is behind it (of the
  // check box, the caption beside its box).
  for (QToolButton *speed : w->PlaySpeedButtons)
    EXPECT_GT(Contrast(ScreenWhenPainted(speed)), 100) << speed->objectName().toStdString();
  const QImage loop = ScreenWhenPainted(w->CheckBoxLoop);
  EXPECT_GT(Contrast(loop.copy(loop.width() / 3, 0, loop.width(), loop.height())), 100);
  // A layout pass meanwhile stores nothing of full screen.
  w->SplitterMoved(false);
  EXPECT_EQ(settings::PanelBottom.Read(), height);

  // Esc with the pointer still there: the panel goes home at its height.
  Key(Qt::Key_Escape);
  ASSERT_FALSE(w->Item("N_FullScreen")->isChecked());
  EXPECT_TRUE(kptest::waitUntil(
      [&] {
        return w->PanelBottom->window() == w.get() && w->PanelBottom->height() == height &&
               Shown(w->ImageSeek) == w->ImageSeek->rect() && BottomGraphicsFit() && GaugesWhole();
      },
      3000))
      << w->PanelBottom->height() << ", speedometer shown " << Shown(w->ImageSpeed).height();
  w->SplitterMoved(false);
  EXPECT_EQ(settings::PanelBottom.Read(), height);
  // What the screen shows (a grab of the widgets draws the video window
  // over the panel below it).
  ScreenWhenPainted(w.get()).save(kptest::artifactPath(QStringLiteral("realwindow_after_full_screen.png")));

  ASSERT_NO_FATAL_FAILURE(Restart(kptest::DemoCard()));
  EXPECT_EQ(w->PanelBottom->height(), height);

  // Graphs hidden in full screen: back in the window the panel has the
  // height hidden graphs give it, not the one it left with.
  ASSERT_NO_FATAL_FAILURE(LoadFirstRow());
  QAction *hide = w->Item("N_View_Graphics_Hide"), *show = w->Item("N_View_Graphics_Show");
  hide->trigger();
  const int compact = w->PanelBottom->height();
  show->trigger();
  ASSERT_GT(w->PanelBottom->height(), compact);
  w->ToggleFullScreen();
  ASSERT_TRUE(Activate(w->FullScreenForm.get()));
  hide->trigger();
  Key(Qt::Key_Escape);
  ASSERT_FALSE(w->Item("N_FullScreen")->isChecked());
  EXPECT_TRUE(kptest::waitUntil([&] { return w->PanelBottom->height() == compact; }, 3000))
      << w->PanelBottom->height() << " for " << compact;
  EXPECT_TRUE(w->SplitterBottom->handle(1)->isHidden());
}

TEST_F(RealWindowLayout, SeekBarAndGraphsFollowEveryRelayout)
{
  ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
  ASSERT_TRUE(kptest::waitUntil([&] { return BottomGraphicsFit(); }, 3000));
  const char *steps[] = {"N_View_Profile_GPS",   "N_View_Profile_GPS_G", "N_View_Profile_Video",
                         "N_View_Profile_GPS_G", "N_View_Graphics_Hide", "N_View_Graphics_Show",
                         "N_View_Graphics_Hide", "N_View_Profile_GPS",   "N_View_Graphics_Show"};
  for (const char *step : steps) {
    w->Item(step)->trigger();
    EXPECT_TRUE(kptest::waitUntil([&] { return BottomGraphicsFit(); }, 3000))
        << "after " << step << ": panel " << w->PanelBottomGraphics->width() << ", seek bar " << w->ImageSeek->width();
  }
  kptest::saveScreenshot(w.get(), QStringLiteral("realwindow_relayout.png"));
}

TEST_F(RealWindowLayout, WindowSnapshotInFullScreenLeavesFullScreenFirst)
{
  ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
  ASSERT_TRUE(kptest::waitUntil([&] { return Listed(); }, 10000)) << Model().rowCount();
  const QRect row0 = w->ListView->visualRect(Model().index(0, 0));
  QTest::mouseClick(w->ListView->viewport(), Qt::LeftButton, {}, row0.center());
  ASSERT_TRUE(kptest::waitUntil([&] { return w->ButtonPlay->isEnabled(); }, 10000));
  w->ToggleFullScreen();
  ASSERT_TRUE(Activate(w->FullScreenForm.get()));

  QTemporaryDir out;
  const QString path = out.filePath(QStringLiteral("window.jpg"));
  kptest::TDialogAnswerer answer(path);
  Key(Qt::Key_S, Qt::AltModifier);
  EXPECT_EQ(answer.FilesAnswered, 1);
  EXPECT_FALSE(w->Item("N_FullScreen")->isChecked());
  EXPECT_FALSE(w->FullScreenForm->isVisible());
  EXPECT_EQ(w->PanelVideo->window(), w.get());
  // The picture is the window as the screen shows it, not the video. The
  // list is compared: the map and the video may still be drawing meanwhile.
  const QImage saved(path);
  ASSERT_EQ(saved.size(), w->frameGeometry().size());
  const QImage shown = kptest::ScreenOf(w.get());
  const QRect list(w->ListView->mapTo(w.get(), QPoint(0, 0)), w->ListView->size());
  // The saved picture holds the frame too (2 pixels a side on the offscreen
  // platform, none on an X server without a window manager).
  const QPoint frame = w->geometry().topLeft() - w->frameGeometry().topLeft();
  EXPECT_LT(kptest::MeanDifference(saved.copy(list.translated(frame)), shown.copy(list)), 12);
}

// Every view command, with a recording loaded, paused and playing: the
// graphs are rebuilt, panels move and the window lays itself out again
// while the timer draws cursors.
TEST_F(RealWindowLayout, ViewCommandsWithARecordingLoadedKeepTheWindowDrawn)
{
  ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
  ASSERT_NO_FATAL_FAILURE(LoadFirstRow());
  struct Step {
    const char *Item; // a menu item, or null for the key
    Qt::Key Key;
  };
  const Step steps[] = {
      {nullptr, Qt::Key_F6},        {nullptr, Qt::Key_F7},        {nullptr, Qt::Key_S},
      {nullptr, Qt::Key_G},         {nullptr, Qt::Key_H},         {nullptr, Qt::Key_X},
      {nullptr, Qt::Key_F6},        {nullptr, Qt::Key_Y},         {nullptr, Qt::Key_Z},
      {nullptr, Qt::Key_Y},         {nullptr, Qt::Key_Z},         {"N_View_Profile_Video", {}},
      {"N_View_Profile_GPS", {}},   {"N_View_Profile_Video", {}}, {"N_View_Profile_GPS_G", {}},
      {nullptr, Qt::Key_G},         {nullptr, Qt::Key_S},         {nullptr, Qt::Key_S},
      {"N_View_Profile_GPS", {}},   {nullptr, Qt::Key_S},         {nullptr, Qt::Key_F7},
      {"N_View_Profile_GPS_G", {}},
  };
  for (const bool playing : {false, true}) {
    if (playing) {
      ASSERT_TRUE(PressPlay(true));
    }
    for (const Step &step : steps) {
      const std::string name = step.Item ? step.Item : QKeySequence(step.Key).toString().toStdString();
      const int passes = w->LayoutPasses();
      if (step.Item) {
        w->Item(step.Item)->trigger();
      } else {
        ASSERT_NO_FATAL_FAILURE(Key(step.Key));
      }
      const bool drawn = kptest::waitUntil(
          [&] {
            for (TBS_Image *graph : w->GraphImages)
              if (!graph->isVisible() || graph->Image()->Picture.isNull()) return false;
            // Below 1024 pixels (the offscreen platform's screen) the gauges
            // may share too little width.
            return BottomGraphicsFit() && (w->width() < 1024 || GaugesWhole()) && w->ImageSeek->isVisible();
          },
          3000);
      EXPECT_TRUE(drawn) << (playing ? "playing" : "paused") << ", after " << name << ": " << w->GraphImages.size()
                         << " graphs, bottom " << w->PanelBottom->height() << ", fit " << BottomGraphicsFit()
                         << ", gauges " << GaugesWhole() << ", window " << w->width() << "x" << w->height();
      EXPECT_EQ(w->GraphImages.size(), w->Graphs.size());
      // One command, one drawing of the graphs, also once what it posted ran.
      for (int i = 0; i < 3; ++i) QCoreApplication::processEvents();
      EXPECT_EQ(w->LayoutPasses() - passes, 1) << name;
    }
    EXPECT_EQ(Playing(), playing);
  }
  kptest::saveScreenshot(w.get(), QStringLiteral("realwindow_view_commands.png"));
}

// Small windows: every gauge whole and every button of the list's toolbar
// within reach; the right panel narrower than the toolbar on request.
TEST_F(RealWindowLayout, SmallWindowsShowEveryGaugeAndToolbarButton)
{
  ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
  ASSERT_NO_FATAL_FAILURE(LoadFirstRow());
  // 1120x540 and 896x576 are the default sizes on 1280x720 and 1024x768
  // screens.
  for (const QSize size : {QSize(1024, 768), QSize(1200, 800), QSize(1120, 540), QSize(896, 576)}) {
    w->resize(size);
    ASSERT_TRUE(kptest::waitUntil([&] { return w->size() == size; }, 5000));
    EXPECT_TRUE(kptest::waitUntil([&] { return GaugesWhole() && BottomGraphicsFit(); }, 3000))
        << size.width() << "x" << size.height() << ": speedometer shown " << Shown(w->ImageSpeed).width()
        << ", compass shown " << Shown(w->ImageAzimut).width();
    for (int right : {510, 300}) {
      const QList<int> sizes = w->SplitterRight->sizes();
      w->SplitterRight->setSizes({sizes[0] + sizes[1] - right, right});
      EXPECT_LE(w->PanelRight->width(), right);
      EXPECT_TRUE(kptest::waitUntil([&] { return GaugesWhole() && BottomGraphicsFit(); }, 3000))
          << size.width() << "x" << size.height() << ", panel " << right << ": speedometer shown "
          << Shown(w->ImageSpeed).width() << ", compass shown " << Shown(w->ImageAzimut).width();
      if (size.width() <= 1024)
        ExpectReadableTimeLine(std::to_string(size.width()) + "x" + std::to_string(size.height()) + ", panel " +
                               std::to_string(right));
      // Every button in reach without scrolling.
      for (QToolButton *button : w->FileListButtons) {
        if (button->isHidden() || button->width() == 0) continue; // not offered on the row
        EXPECT_TRUE(kptest::waitUntil([&] { return Shown(button) == button->rect(); }, 3000))
            << button->objectName().toStdString() << " at " << size.width() << "x" << size.height() << ", panel "
            << right;
      }
    }
    EXPECT_TRUE(kptest::waitUntil([&] { return GaugesWhole() && BottomGraphicsFit(); }, 3000));
    kptest::saveScreenshot(w.get(), QStringLiteral("realwindow_small_%1x%2.png").arg(size.width()).arg(size.height()));
  }
  // The video profile puts the control panel under the list: a narrow
  // panel wraps its controls rather than cut them off.
  w->Item("N_View_Profile_Video")->trigger();
  for (int right : {510, 300}) {
    const QList<int> sizes = w->SplitterRight->sizes();
    w->SplitterRight->setSizes({sizes[0] + sizes[1] - right, right});
    for (QWidget *block : {w->PanelControl_s1, w->PanelPlaySpeed, w->PanelControl_s2,
                           static_cast<QWidget *>(w->TrackBarVolume), static_cast<QWidget *>(w->CheckBoxLoop)})
      EXPECT_TRUE(kptest::waitUntil([&] { return Shown(block) == block->rect(); }, 3000))
          << block->objectName().toStdString() << " in a panel of " << right;
    EXPECT_TRUE(kptest::waitUntil([&] { return BottomGraphicsFit(); }, 3000)) << right;
  }
  kptest::saveScreenshot(w.get(), QStringLiteral("realwindow_small_video_profile.png"));
}

// Stored panel sizes that leave the video no room are refused at start.
TEST_F(RealWindowLayout, StoredPanelsLeavingTheVideoNoRoomAreRefused)
{
  struct Case {
    int Right, Bottom, ExpectedRight, ExpectedBottom;
  } cases[] = {{100000, 100000, 510, 185}, {1190, 790, 510, 185}, {400, 250, 400, 250}};
  for (const Case &c : cases) {
    settings::PanelRight.Write(c.Right);
    settings::PanelBottom.Write(c.Bottom);
    // The window as the test shows it, from the start.
    settings::PosWidth.Write(1200);
    settings::PosHeight.Write(800);
    settings::PosState.Write(0);
    ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
    EXPECT_TRUE(kptest::waitUntil(
        [&] {
          return w->PanelRight->width() == c.ExpectedRight && w->PanelBottom->height() == c.ExpectedBottom &&
                 GaugesWhole() && BottomGraphicsFit();
        },
        3000))
        << c.Right << ": right " << w->PanelRight->width() << ", bottom " << w->PanelBottom->height();
    EXPECT_GT(w->PanelVideo->width(), 160);
    EXPECT_GT(w->PanelVideo->height(), 160);
    w->close();
    w.reset();
  }
}

// The list's columns come back at their widths: through languages whose
// captions need other widths, and through a profile that hides the track
// columns; a width the user dragged is the one that comes back.
TEST_F(RealWindowLayout, ListColumnsComeBackAtTheirWidths)
{
  ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
  ASSERT_TRUE(kptest::waitUntil([&] { return Listed(); }, 10000));
  QHeaderView *header = w->ListView->horizontalHeader();
  const auto widths = [&] {
    std::vector<int> out;
    for (int c = 0; c < header->count(); ++c) out.push_back(header->sectionSize(c));
    return out;
  };
  // The distance column dragged wider by the user.
  const QPoint edge(header->sectionViewportPosition(3) + header->sectionSize(3) - 1, header->height() / 2);
  QTest::mousePress(header->viewport(), Qt::LeftButton, {}, edge);
  QTest::mouseMove(header->viewport(), edge + QPoint(24, 0));
  QTest::mouseRelease(header->viewport(), Qt::LeftButton, {}, edge + QPoint(24, 0));
  const std::vector<int> before = widths();
  ASSERT_GT(before[3], 70);

  for (const char *language : {"N_View_Language_ru", "N_View_Language_ua", "N_View_Language_en"})
    w->Item(language)->trigger();
  EXPECT_EQ(widths(), before) << "after a round of languages";
  for (const char *profile : {"N_View_Profile_Video", "N_View_Profile_GPS_G"}) w->Item(profile)->trigger();
  EXPECT_EQ(widths(), before) << "after the video profile and back";
  EXPECT_EQ(ReadSettingInt(settings::ColumnWidthName(3), -1), before[3]) << "the width the user gave it is kept";
}

// In the default window of a 1024x768 screen the list's notice and the tip
// under the list read whole: the notice over the rows' area whatever comes
// or goes beside it, the tip on as many lines as it needs.
TEST_F(RealWindowLayout, NoticeAndTipReadWholeInASmallWindow)
{
  QTemporaryDir card;
  ASSERT_EQ(::mkdir((QFile::encodeName(card.path()) + "/trip \xfc").constData(), 0755), 0);
  ASSERT_TRUE(kptest::writeFileBytes(card.filePath(QStringLiteral("GOOD.MOV")), "x"));
  ASSERT_NO_FATAL_FAILURE(Start(card.path()));
  w->resize(896, 576);
  auto *notice = w->ListView->findChild<QLabel *>(QStringLiteral("ListNotice"));
  ASSERT_TRUE(notice);
  QHeaderView *header = w->ListView->horizontalHeader();
  const auto whole = [&] {
    const QRect rows = w->ListView->viewport()->geometry();
    return notice->isVisible() && rows.contains(notice->geometry()) &&
           notice->height() >= notice->heightForWidth(notice->width());
  };
  // The rows narrow enough to need no scroll bar, then wide again.
  for (int width : {40, 600}) {
    header->resizeSection(0, width);
    EXPECT_TRUE(kptest::waitUntil(whole, 5000))
        << "column " << width << ": notice " << notice->geometry().y() << "+" << notice->height() << ", rows to "
        << w->ListView->viewport()->geometry().bottom();
  }

  auto *tip = qobject_cast<QWebEngineView *>(w->WebBrowserAds);
  ASSERT_NE(tip, nullptr);
  ASSERT_TRUE(kptest::waitUntil([&] { return !tip->isHidden() && tip->height() > 0; }, 20000));
  // Once the page has the strip's size: no part of the tip's text beyond
  // its right edge or below the strip.
  const QString fits =
      QStringLiteral("(function(){var t=document.getElementById('tip');var r=t.getBoundingClientRect();"
                     "return window.innerWidth+'x'+window.innerHeight+' '+(t.scrollWidth<=t.clientWidth"
                     "&&r.right<=window.innerWidth&&r.bottom<=window.innerHeight?'whole':'cut');})()");
  const QString expected = QStringLiteral("%1x%2 whole");
  QString said;
  EXPECT_TRUE(kptest::waitUntil(
      [&] { return (said = RunScript(tip->page(), fits)) == expected.arg(tip->width()).arg(tip->height()); }, 5000))
      << said.toStdString() << ", strip " << tip->width() << "x" << tip->height();
  kptest::saveScreenshot(w.get(), QStringLiteral("realwindow_small_notice_tip.png"));
}
