// The playback collaborators on real components, offscreen: a table view,
// the picture widget as seek bar and a video window on GStreamer, driven by
// mouse events, over two 8-s clips made by ffmpeg (red, then blue).

#include "GstMediaGraph.h"
#include "PlayingTestSupport.h"
#include "UiTestSupport.h"
#include "VideoFrameSlot.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>

using namespace kp;

namespace {

constexpr int kWaitMs = 20000; // a loaded CI machine can starve the pipeline
using kptest::kDay;
using kptest::kSecond;

// An 8-s 64 x 48 clip of one colour, 25 fps, a key frame every second;
// made once and kept in the build folder.
QString Clip(const QString &ffmpeg, const QString &name, const QString &colour)
{
  const QString dir = QString::fromUtf8(KP_PLAYING_FIXTURES);
  QDir().mkpath(dir);
  const QString path = dir + '/' + name;
  if (QFile::exists(path)) return path;
  // Parallel test processes each write their own file; the first rename wins.
  const QString temp = path + QStringLiteral(".part%1.mp4").arg(QCoreApplication::applicationPid());
  QProcess process;
  process.start(ffmpeg, {"-hide_banner", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                         "color=c=" + colour + ":s=64x48:r=25:d=8", "-c:v", "libx264", "-preset", "ultrafast", "-g",
                         "25", "-bf", "0", "-pix_fmt", "yuv420p", temp});
  const bool made = process.waitForFinished(60000) && process.exitCode() == 0 && QFile::rename(temp, path);
  QFile::remove(temp);
  return made || QFile::exists(path) ? path : QString();
}

struct PlayingRealComponents : ::testing::Test {
  void SetUp() override
  {
    kptest::ensureApplication();
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    ASSERT_FALSE(ffmpeg.isEmpty()) << "ffmpeg is needed to make the clips";
    const QString red = Clip(ffmpeg, QStringLiteral("red.mp4"), QStringLiteral("red"));
    const QString blue = Clip(ffmpeg, QStringLiteral("blue.mp4"), QStringLiteral("blue"));
    ASSERT_FALSE(red.isEmpty() || blue.isEmpty()) << "ffmpeg could not make the clips";
    TGstGraphOptions options;
    options.AudioSink = QStringLiteral("fakesink sync=true");
    auto factory = CreateGstGraphFactory(options);
    ASSERT_TRUE(factory) << "GStreamer could not be initialised";
    Rig = std::make_unique<kptest::TPlayingRig>(factory);
    Rig->SetRows({kptest::MakeRecording(QStringLiteral("two clips"), kDay, 16 * kSecond,
                                        {{red, 0, 0.5L, 8000}, {blue, 0.5L, 1, 8000}})});
    Rig->Window.show();
    ASSERT_TRUE(kptest::waitUntil([&] { return Rig->ImageSeek->Image()->Width > 0; }, kWaitMs));
  }
  void TearDown() override
  {
    if (HasFailure()) kptest::saveScreenshot(&Rig->Window, QStringLiteral("playing-failure.png"));
  }

  QPoint RowCentre(int row) const { return Rig->ListView->visualRect(Rig->ListModel.index(row, 0)).center(); }
  TVideoFrame Frame() const
  {
    auto renderer = std::dynamic_pointer_cast<IVideoRenderer>(Rig->Video->Renderer());
    return renderer ? renderer->Frames()->Latest() : TVideoFrame();
  }
  // Blue is the second clip, red the first; -1 before any frame.
  int ShownClip() const
  {
    const TVideoFrame frame = Frame();
    if (!frame.IsValid()) return -1;
    const QColor c = frame.Image.pixelColor(frame.Image.width() / 2, frame.Image.height() / 2);
    return c.blue() > c.red() ? 1 : 0;
  }
  void DoubleClickRow()
  {
    // A real double-click: press and release, then the double-click event
    // and its release (QTest's double-click sends only the latter two).
    QTest::mouseClick(Rig->ListView->viewport(), Qt::LeftButton, {}, RowCentre(0));
    QTest::mouseDClick(Rig->ListView->viewport(), Qt::LeftButton, {}, RowCentre(0));
    ASSERT_TRUE(kptest::waitUntil([&] { return Rig->Graph->GetState() == psPlaying; }, kWaitMs));
  }

  std::unique_ptr<kptest::TPlayingRig> Rig;
  kptest::ScopedSettings Settings;
};

TEST_F(PlayingRealComponents, AClickOnTheRowShowsTheFirstFramePaused)
{
  QTest::mouseClick(Rig->ListView->viewport(), Qt::LeftButton, {}, RowCentre(0));
  ASSERT_TRUE(kptest::waitUntil([&] { return Frame().IsValid(); }, kWaitMs));
  EXPECT_EQ(Rig->Graph->GetState(), psPaused);
  EXPECT_FALSE(Rig->ButtonPlay.isChecked());
  EXPECT_EQ(Rig->State.CurrentFile, 0);
  EXPECT_EQ(Frame().Time, 0);
  EXPECT_EQ(ShownClip(), 0);
}

TEST_F(PlayingRealComponents, ADoubleClickPlays)
{
  DoubleClickRow();
  EXPECT_TRUE(Rig->ButtonPlay.isChecked());
  EXPECT_TRUE(Rig->Timer.isActive());
  EXPECT_TRUE(kptest::waitUntil([&] { return Rig->State.LastPosition > 0.02L; }, kWaitMs));
}

TEST_F(PlayingRealComponents, PlayingPastTheFirstClipCrossesIntoTheSecond)
{
  DoubleClickRow();
  Rig->Model->SeekTo(0.49L, false, false);
  ASSERT_TRUE(kptest::waitUntil([&] { return Rig->State.CurrentFile == 1; }, kWaitMs));
  EXPECT_TRUE(kptest::waitUntil([&] { return ShownClip() == 1 && Rig->State.LastPosition > 0.5L; }, kWaitMs));
  EXPECT_EQ(Rig->Graph->GetState(), psPlaying);
}

TEST_F(PlayingRealComponents, AtDoubleSpeedTwoSecondsPlayAboutFourOfMedia)
{
  DoubleClickRow();
  Rig->SpeedDouble.setChecked(true);
  Rig->Loop->TrackBarPlaySpeedChange(TOrigin::Control);
  ASSERT_EQ(Rig->Graph->GetState(), psPlaying);
  // Two seconds from the start of the first clip, measured once the
  // pipeline runs again; a machine busy enough to starve the pipeline gets
  // a second try.
  double media = 0, wallSeconds = 0;
  for (int attempt = 0; attempt < 2; ++attempt) {
    Rig->Model->SeekTo(0, false, false);
    ASSERT_TRUE(kptest::waitUntil([&] { return Rig->Model->GetPosition() > 0; }, kWaitMs));
    const long double from = Rig->Model->GetPosition();
    QElapsedTimer wall;
    wall.start();
    kptest::spin(2000);
    media = static_cast<double>((Rig->Model->GetPosition() - from) * 16);
    wallSeconds = wall.elapsed() / 1000.0;
    if (std::abs(media - 2 * wallSeconds) < 1.0) break;
  }
  EXPECT_NEAR(media, 2 * wallSeconds, 1.0) << "wall seconds " << wallSeconds;
}

TEST_F(PlayingRealComponents, DraggingTheKnobAndReleasingSeeks)
{
  DoubleClickRow();
  Rig->ButtonPlay.setChecked(false);
  Rig->Loop->ButtonPlayClick(TOrigin::Control);
  ASSERT_EQ(Rig->Graph->GetState(), psPaused);
  Rig->Loop->TimerTimer(TOrigin::Timer); // draws the cursor where playback stands
  const int y = Rig->ImageSeek->height() / 2;
  const int from = Rig->SeekBitmap->CursorX();
  const int to = Rig->SeekBitmap->Margin() + Rig->SeekBitmap->Wd() * 3 / 4;
  QTest::mousePress(Rig->ImageSeek, Qt::LeftButton, {}, QPoint(from, y));
  ASSERT_TRUE(Rig->State.Dragging);
  QTest::mouseMove(Rig->ImageSeek, QPoint(to, y));
  bool onCursor = false;
  const long double target = Rig->SeekBitmap->XToPosition(to, onCursor);
  EXPECT_EQ(Rig->State.DragPosition, target);
  QTest::mouseRelease(Rig->ImageSeek, Qt::LeftButton, {}, QPoint(to, y));
  EXPECT_FALSE(Rig->State.Dragging);
  EXPECT_EQ(Rig->State.CurrentFile, 1);
  EXPECT_NEAR(static_cast<double>(Rig->Model->GetPosition()), static_cast<double>(target), 1.0 / 16);
  EXPECT_TRUE(kptest::waitUntil([&] { return ShownClip() == 1; }, kWaitMs));
}

} // namespace
