// The real main window under an X server, playing the demo card: full
// screen and its keys, the keypad zoom keys, a renderer switch while
// paused, the mirror of the mixing renderer and the drag of a zoomed picture.

#include "RealWindowSupport.h"

#include "DSPack.h"
#include "UnitFormFullScreen.h"
#include "Views.h"

#include <QTest>

using namespace kp;
using kptest::RealWindow;

namespace {

QWidget *Active()
{
  return QApplication::activeWindow();
}

} // namespace

TEST_F(RealWindow, FullScreenKeysAndKeypadZoomWhilePlaying)
{
  ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
  ASSERT_TRUE(Listed()) << Model().rowCount();
  const QRect row0 = w->ListView->visualRect(Model().index(0, 0));
  QTest::mouseDClick(w->ListView->viewport(), Qt::LeftButton, {}, row0.center());
  ASSERT_TRUE(
      kptest::waitUntil([&] { return Playing() && kptest::LitShare(w->PanelVideo->grab().toImage()) > 0.3; }, 10000));

  // Keypad "*" is the free zoom at 100 %, "/" switches the fit modes.
  QTest::keyClick(w.get(), Qt::Key_Asterisk, Qt::KeypadModifier);
  EXPECT_TRUE(w->Item("N_VideoZoom_Custom")->isChecked());
  EXPECT_EQ(w->State.VideoZoom, 1.0);
  for (const char *mode : {"N_VideoZoom_Letterbox", "N_VideoZoom_PanAndScan", "N_VideoZoom_Letterbox"}) {
    QTest::keyClick(w.get(), Qt::Key_Slash, Qt::KeypadModifier);
    EXPECT_TRUE(w->Item(mode)->isChecked()) << mode;
  }

  // Alt+Enter: the picture on the full screen; Esc leaves it, still playing.
  QTest::keyClick(w.get(), Qt::Key_Return, Qt::AltModifier);
  ASSERT_TRUE(w->Item("N_FullScreen")->isChecked());
  EXPECT_EQ(w->PanelVideo->window(), w->FullScreenForm.get());
  EXPECT_TRUE(kptest::waitUntil(
      [&] {
        return Active() == w->FullScreenForm.get() && w->PanelVideo->width() >= 1900 &&
               kptest::LitShare(kptest::ScreenOf(w->PanelVideo)) > 0.3;
      },
      10000));
  kptest::saveScreenshot(w->FullScreenForm.get(), QStringLiteral("realwindow_full_screen.png"));
  QTest::keyClick(Active(), Qt::Key_Escape);
  EXPECT_FALSE(w->Item("N_FullScreen")->isChecked());
  EXPECT_FALSE(w->FullScreenForm->isVisible());
  EXPECT_EQ(w->PanelVideo->window(), w.get());
  const double left = Seconds();
  EXPECT_TRUE(kptest::waitUntil(
      [&] { return Playing() && Seconds() > left + 0.3 && kptest::LitShare(kptest::ScreenOf(w->PanelVideo)) > 0.3; },
      10000));
  // Esc in the main window stops.
  ASSERT_TRUE(kptest::waitUntil([&] { return Active() == w.get(); }, 5000));
  QTest::keyClick(w.get(), Qt::Key_Escape);
  EXPECT_FALSE(w->ButtonPlay->isChecked());
}

TEST_F(RealWindow, RendererSwitchMirrorAndDragWhilePaused)
{
  ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
  ASSERT_TRUE(Listed()) << Model().rowCount();
  const QRect row0 = w->ListView->visualRect(Model().index(0, 0));
  QTest::mouseDClick(w->ListView->viewport(), Qt::LeftButton, {}, row0.center());
  ASSERT_TRUE(kptest::waitUntil([&] { return Playing() && Seconds() > 2; }, 10000));
  ASSERT_TRUE(PressPlay(false));
  const double paused = Seconds();
  const QString file = w->State.Recording.Summary.FileName;

  // The mixing renderer while paused: the recording reloads where it was.
  w->Item("N_Playback_Renderer_WMR")->trigger();
  ASSERT_NE(w->VideoWindowWMR, nullptr);
  EXPECT_EQ(w->EVR, nullptr);
  EXPECT_EQ(w->VideoWindowWMR->Mode(), vmVMR);
  EXPECT_EQ(w->State.Recording.Summary.FileName, file);
  EXPECT_FALSE(w->ButtonPlay->isChecked());
  EXPECT_NEAR(Seconds(), paused, 0.5);
  w->ButtonPlay->click();
  EXPECT_NEAR(Seconds(), paused, 0.5);
  ASSERT_TRUE(kptest::waitUntil([&] { return Playing() && Seconds() > paused + 0.3; }, 10000));
  ASSERT_TRUE(PressPlay(false));
  QWidget *video = w->VideoWindowWMR;
  ASSERT_TRUE(kptest::waitUntil([&] { return kptest::LitShare(video->grab().toImage()) > 0.3; }, 5000));

  // FlipH mirrors the picture.
  const QImage upright = video->grab().toImage();
  w->Item("N_VideoZoom_FlipH")->trigger();
  const QImage mirror = upright.mirrored(true, false);
  EXPECT_TRUE(kptest::waitUntil([&] { return kptest::MeanDifference(video->grab().toImage(), mirror) < 8; }, 3000))
      << kptest::MeanDifference(video->grab().toImage(), mirror) << " against "
      << kptest::MeanDifference(upright, mirror);
  kptest::saveScreenshot(w.get(), QStringLiteral("realwindow_mirrored.png"));
  w->Item("N_VideoZoom_FlipH")->trigger();

  // At 400 % a drag moves the picture with the pointer.
  w->Item("N_VideoZoom_400")->trigger();
  EXPECT_TRUE(w->Item("N_VideoZoom_Custom")->isChecked());
  const QRect picture = w->Views->View.PictureRect;
  EXPECT_EQ(picture.width(), 1280);
  kptest::spin(300);
  const QImage still = w->PanelVideo->grab().toImage();
  const QPoint from = w->PanelVideo->rect().center(), by(120, 40);
  QTest::mousePress(video, Qt::LeftButton, {}, video->mapFrom(w->PanelVideo, from));
  QTest::mouseMove(video, video->mapFrom(w->PanelVideo, from + by));
  QTest::mouseRelease(video, Qt::LeftButton, {}, video->mapFrom(w->PanelVideo, from + by));
  const QRect moved = w->Views->View.PictureRect;
  EXPECT_NEAR(moved.left() - picture.left(), by.x(), 2);
  EXPECT_NEAR(moved.top() - picture.top(), by.y(), 2);
  const QRect inner(200, 100, 300, 200);
  const auto shiftedDifference = [&] {
    const QImage now = w->PanelVideo->grab().toImage();
    return kptest::MeanDifference(still.copy(inner), now.copy(inner.translated(by)));
  };
  EXPECT_TRUE(kptest::waitUntil([&] { return shiftedDifference() < 8; }, 3000)) << shiftedDifference();
  kptest::saveScreenshot(w.get(), QStringLiteral("realwindow_dragged.png"));
}
