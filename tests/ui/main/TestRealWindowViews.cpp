// The real main window under an X server, playing the demo card: full
// screen and its keys, the keypad zoom keys, a renderer switch while
// paused, the mirror of the mixing renderer, the drag of a zoomed picture
// and the time window zoomed while paused.

#include "RealWindowSupport.h"

#include "Canvas.h"
#include "DSPack.h"
#include "UnitBitmaps.h"
#include "UnitFormFullScreen.h"
#include "UnitUtilsDesktop.h"
#include "Views.h"

#include <QElapsedTimer>
#include <QSet>
#include <QTest>
#include <algorithm>
#include <utility>
#include <vector>

using namespace kp;
using kptest::RealWindow;

namespace {

QWidget *Active()
{
  return QApplication::activeWindow();
}

using kptest::Key;

// The demo card's GPS fixes come once a second.
constexpr double kFixSeconds = 1.0;

// The speedometer and the compass as painters of their own draw the
// telemetry at a position: what the window's gauges must show there.
class TGaugeReference {
public:
  explicit TGaugeReference(const TFormMain &window)
  {
    FSpeed.Width = window.ImageSpeed->width();
    FSpeed.Height = window.ImageSpeed->height();
    FSpeed.Picture = LoadResourceBitmap(QStringLiteral("Form_Main_speed.bmp")).convertToFormat(QImage::Format_RGB32);
    FCompass.Width = window.ImageAzimut->width();
    FCompass.Height = window.ImageAzimut->height();
    FCompass.Picture = QImage(FCompass.Width, FCompass.Height, QImage::Format_RGB32);
    const QColor back = DisplayColour(QStringLiteral("colorMainBG"));
    FSpeedPainter = std::make_unique<TSpeedBitmap>(&FSpeed, back);
    FCompassPainter = std::make_unique<TAzimutBitmap>(&FCompass, back);
  }
  // How far each picture is from the nearest drawn for the positions
  // From..To (seconds): the larger of the two smallest differences. Each
  // gauge is judged alone: one pass draws both, but a drawn needle stands
  // for a span of positions, and the spans of the two need not meet on
  // any grid of moments.
  double Distance(const TFormMain &window, double from, double to, const QImage &speed, const QImage &compass)
  {
    const TFileItemSubitem &s = window.State.Recording.Summary;
    const double span = double((s.EndTime - s.StartTime) * 86400);
    double bestSpeed = 255, bestCompass = 255;
    qint64 speedDrawn = 0, compassDrawn = 0;
    for (double t = std::max(0.0, from); t <= to; t += 0.005) {
      TMovingPoint p;
      TGSensorSample sample;
      bool valid = false;
      window.Model->GetTelemetryAt(t / span, p, sample, valid);
      FSpeedPainter->Draw(0, p.Speed, p.Trip, p.Alt);
      FCompassPainter->Draw(p.Course);
      // A painter leaves an unchanged dial alone: only new pictures count.
      if (std::exchange(speedDrawn, FSpeed.Picture.cacheKey()) != FSpeed.Picture.cacheKey())
        bestSpeed = std::min(bestSpeed, kptest::MeanDifference(speed, FSpeed.Picture));
      if (std::exchange(compassDrawn, FCompass.Picture.cacheKey()) != FCompass.Picture.cacheKey())
        bestCompass = std::min(bestCompass, kptest::MeanDifference(compass, FCompass.Picture));
    }
    return std::max(bestSpeed, bestCompass);
  }

private:
  TImage FSpeed, FCompass;
  std::unique_ptr<TSpeedBitmap> FSpeedPainter;
  std::unique_ptr<TAzimutBitmap> FCompassPainter;
};

} // namespace

// Full screen with its bottom bar up: the speedometer and the compass show
// the moment the picture shows while it plays through a turn that speeds
// up, for a movie named on the command line and for a trip of the list.
TEST_F(RealWindow, FullScreenGaugesFollowThePlayingVideo)
{
  const QString movie = kptest::DemoCard() + QStringLiteral("/DCIM/100MEDIA/FILE0001.MOV");
  for (const bool commandLine : {true, false}) {
    SCOPED_TRACE(commandLine ? "named on the command line" : "played from the list");
    if (w) w->close();
    if (commandLine) {
      ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard(), {movie}));
    } else {
      ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
      ASSERT_TRUE(kptest::waitUntil([&] { return Listed() && Model().FileManager()->IndexOfFile(movie) >= 0; }, 10000));
      const QRect row = w->ListView->visualRect(Model().index(Model().FileManager()->IndexOfFile(movie), 0));
      QTest::mouseClick(w->ListView->viewport(), Qt::LeftButton, {}, row.center());
      QTest::mouseDClick(w->ListView->viewport(), Qt::LeftButton, {}, row.center());
    }
    ASSERT_TRUE(kptest::waitUntil([&] { return Playing() && Seconds() > 0.3; }, 10000));
    ASSERT_TRUE(Activate(w.get()));
    Key(Qt::Key_Return, Qt::AltModifier);
    ASSERT_TRUE(Activate(w->FullScreenForm.get()));
    QTest::mouseMove(w->PanelVideo, QPoint(w->PanelVideo->width() / 2, w->PanelVideo->height() - 1));
    ASSERT_TRUE(kptest::waitUntil([&] { return w->ImageSpeed->window() == w->FullScreenForm.get(); }, 3000));
    // From the first fix: the car pulls away and turns right.
    const TFileItemSubitem &s = w->State.Recording.Summary;
    w->Model->SeekTo(3.0L / ((s.EndTime - s.StartTime) * 86400), true, false);
    // Taken while it plays, judged afterwards: judging draws many reference
    // dials, which would hold up the window's own passes.
    struct TShot {
      double From, To;
      QImage Speed, Compass;
    };
    std::vector<TShot> shots;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 4000) {
      kptest::waitUntil([] { return false; }, 400);
      // The last pass read the position at most one fix (a second) before
      // this read, however late a loaded machine runs the window's timer.
      TShot shot{Seconds() - kFixSeconds, 0, {}, {}};
      // Both gauges from one picture of the screen: the window reaches the
      // screen by its own way, so two pictures could straddle an update.
      const QRect speedAt(w->ImageSpeed->mapToGlobal(QPoint()), w->ImageSpeed->size());
      const QRect compassAt(w->ImageAzimut->mapToGlobal(QPoint()), w->ImageAzimut->size());
      const QRect both = speedAt.united(compassAt);
      const QImage screen = QGuiApplication::primaryScreen()
                                ->grabWindow(0, both.x(), both.y(), both.width(), both.height())
                                .toImage()
                                .convertToFormat(QImage::Format_RGB32);
      shot.Speed = screen.copy(speedAt.translated(-both.topLeft()));
      shot.Compass = screen.copy(compassAt.translated(-both.topLeft()));
      shot.To = Seconds();
      ASSERT_TRUE(Playing());
      shots.push_back(shot);
    }
    TGaugeReference reference(*w);
    QSet<QByteArray> speeds, compasses;
    for (const TShot &shot : shots) {
      speeds << QByteArray(reinterpret_cast<const char *>(shot.Speed.constBits()), int(shot.Speed.sizeInBytes()));
      compasses << QByteArray(reinterpret_cast<const char *>(shot.Compass.constBits()),
                              int(shot.Compass.sizeInBytes()));
      EXPECT_LT(reference.Distance(*w, shot.From, shot.To, shot.Speed, shot.Compass), 0.5) << "at " << shot.To << " s";
    }
    EXPECT_GE(speeds.size(), 4);
    EXPECT_GE(compasses.size(), 4);
    kptest::saveScreenshot(w->FullScreenForm.get(), commandLine
                                                        ? QStringLiteral("realwindow_full_screen_gauges_args.png")
                                                        : QStringLiteral("realwindow_full_screen_gauges.png"));
  }
}

TEST_F(RealWindow, FullScreenKeysAndKeypadZoomWhilePlaying)
{
  ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
  ASSERT_TRUE(kptest::waitUntil([&] { return Listed(); }, 10000)) << Model().rowCount();
  const QRect row0 = w->ListView->visualRect(Model().index(0, 0));
  QTest::mouseClick(w->ListView->viewport(), Qt::LeftButton, {}, row0.center());
  QTest::mouseDClick(w->ListView->viewport(), Qt::LeftButton, {}, row0.center());
  ASSERT_TRUE(
      kptest::waitUntil([&] { return Playing() && kptest::LitShare(w->PanelVideo->grab().toImage()) > 0.3; }, 10000));

  // Keypad "*" is the free zoom at 100 %, "/" switches the fit modes.
  Key(Qt::Key_Asterisk, Qt::KeypadModifier);
  EXPECT_TRUE(w->Item("N_VideoZoom_Custom")->isChecked());
  EXPECT_EQ(w->State.VideoZoom, 1.0);
  for (const char *mode : {"N_VideoZoom_Letterbox", "N_VideoZoom_PanAndScan", "N_VideoZoom_Letterbox"}) {
    Key(Qt::Key_Slash, Qt::KeypadModifier);
    EXPECT_TRUE(w->Item(mode)->isChecked()) << mode;
  }

  // Alt+Enter: the picture on the full screen; Esc leaves it, still playing.
  Key(Qt::Key_Return, Qt::AltModifier);
  ASSERT_TRUE(w->Item("N_FullScreen")->isChecked());
  EXPECT_EQ(w->PanelVideo->window(), w->FullScreenForm.get());
  EXPECT_TRUE(kptest::waitUntil(
      [&] {
        return Active() == w->FullScreenForm.get() &&
               w->PanelVideo->width() == w->FullScreenForm->screen()->geometry().width() &&
               kptest::LitShare(kptest::ScreenOf(w->PanelVideo)) > 0.3;
      },
      10000));
  kptest::saveScreenshot(w->FullScreenForm.get(), QStringLiteral("realwindow_full_screen.png"));
  Key(Qt::Key_Escape);
  EXPECT_FALSE(w->Item("N_FullScreen")->isChecked());
  EXPECT_FALSE(w->FullScreenForm->isVisible());
  EXPECT_EQ(w->PanelVideo->window(), w.get());
  const double left = Seconds();
  EXPECT_TRUE(kptest::waitUntil(
      [&] { return Playing() && Seconds() > left + 0.3 && kptest::LitShare(kptest::ScreenOf(w->PanelVideo)) > 0.3; },
      10000));
  // Esc in the main window stops.
  ASSERT_TRUE(Activate(w.get()));
  Key(Qt::Key_Escape);
  EXPECT_FALSE(w->ButtonPlay->isChecked());
}

TEST_F(RealWindow, RendererSwitchMirrorAndDragWhilePaused)
{
  ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
  ASSERT_TRUE(kptest::waitUntil([&] { return Listed(); }, 10000)) << Model().rowCount();
  const QRect row0 = w->ListView->visualRect(Model().index(0, 0));
  QTest::mouseClick(w->ListView->viewport(), Qt::LeftButton, {}, row0.center());
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
  EXPECT_TRUE(w->ButtonPlay->isEnabled());
  EXPECT_FALSE(w->ButtonPlay->isChecked());
  EXPECT_NEAR(Seconds(), paused, 0.5);
  w->ButtonPlay->click();
  EXPECT_NEAR(Seconds(), paused, 0.5);
  ASSERT_TRUE(kptest::waitUntil([&] { return Playing() && Seconds() > paused + 0.3; }, 10000));
  ASSERT_TRUE(PressPlay(false));
  QWidget *video = w->VideoWindowWMR;
  ASSERT_TRUE(kptest::waitUntil([&] { return kptest::LitShare(video->grab().toImage()) > 0.3; }, 5000));

  // FlipH mirrors the picture; the caption strip at the bottom tells left
  // from right. The picture's own rows, without the bars a widget of another
  // shape (a smaller screen) puts above and below it.
  const auto strip = [&] {
    const QImage all = video->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int top = all.height(), bottom = -1;
    for (int y = 0; y < all.height(); ++y)
      for (int x = 0; x < all.width(); x += 4)
        if (qGray(all.pixel(x, y)) > 24) {
          top = std::min(top, y);
          bottom = y;
          break;
        }
    const int h = std::max(bottom - top + 1, 4);
    return all.copy(0, top + h * 3 / 4, all.width(), h / 4);
  };
  const QImage upright = strip();
  w->Item("N_VideoZoom_FlipH")->trigger();
  const QImage mirror = upright.mirrored(true, false);
  ASSERT_GT(kptest::MeanDifference(upright, mirror), 4); // the strip is not symmetric
  EXPECT_TRUE(kptest::waitUntil([&] { return kptest::MeanDifference(strip(), mirror) < 2; }, 3000))
      << kptest::MeanDifference(strip(), mirror);
  kptest::saveScreenshot(w.get(), QStringLiteral("realwindow_mirrored.png"));
  w->Item("N_VideoZoom_FlipH")->trigger();

  // At 400 % a drag moves the picture with the pointer.
  w->Item("N_VideoZoom_400")->trigger();
  EXPECT_TRUE(w->Item("N_VideoZoom_Custom")->isChecked());
  const QRect picture = w->Views->View.PictureRect;
  EXPECT_EQ(picture.width(), 1280);
  QImage still; // once the zoomed picture is painted
  ASSERT_TRUE(kptest::waitUntil(
      [&] {
        const QImage now = w->PanelVideo->grab().toImage();
        const bool settled = kptest::MeanDifference(now, still) == 0;
        still = now;
        return settled;
      },
      3000));
  const QPoint from = w->PanelVideo->rect().center(), by(120, 40);
  QTest::mousePress(video, Qt::LeftButton, {}, video->mapFrom(w->PanelVideo, from));
  QTest::mouseMove(video, video->mapFrom(w->PanelVideo, from + by));
  QTest::mouseRelease(video, Qt::LeftButton, {}, video->mapFrom(w->PanelVideo, from + by));
  const QRect moved = w->Views->View.PictureRect;
  EXPECT_NEAR(moved.left() - picture.left(), by.x(), 2);
  EXPECT_NEAR(moved.top() - picture.top(), by.y(), 2);
  // Rows of the picture above its caption strip, inside the panel and the
  // picture both before and after the drag, whatever the panel's size.
  const QRect upper(0, 0, w->PanelVideo->width(), w->PanelVideo->height() * 3 / 4);
  const QRect inner = upper.intersected(picture)
                          .intersected(upper.translated(-by))
                          .intersected(moved.translated(-by))
                          .adjusted(8, 8, -8, -8);
  ASSERT_GT(inner.width() * inner.height(), 10000);
  const auto shiftedDifference = [&] {
    const QImage now = w->PanelVideo->grab().toImage();
    return kptest::MeanDifference(still.copy(inner), now.copy(inner.translated(by)));
  };
  EXPECT_TRUE(kptest::waitUntil([&] { return shiftedDifference() < 2; }, 3000)) << shiftedDifference();
  EXPECT_GT(kptest::MeanDifference(still.copy(inner), w->PanelVideo->grab().toImage().copy(inner)), 4);
  kptest::saveScreenshot(w.get(), QStringLiteral("realwindow_dragged.png"));

  // The time window zoomed while paused: the cursor comes back at the
  // position in the new window.
  for (int i = 0; i < 2; ++i) w->ButtonZoomIn->click();
  const long double ws = w->State.TimeWindowStart, we = w->State.TimeWindowEnd;
  const TSeekBitmap &bar = *w->SeekBitmap;
  const auto expected = [&] { return double(bar.Margin() + (w->State.LastPosition - ws) / (we - ws) * bar.Wd()); };
  // Once the window's layout pass that follows the command drew the bar.
  EXPECT_TRUE(kptest::waitUntil([&] { return std::abs(bar.CursorX() - expected()) <= 2; }, 3000))
      << bar.CursorX() << " vs " << expected();
}
