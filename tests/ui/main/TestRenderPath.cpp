// Which scene graph the web views get, and that the real window looks the
// same on either: the gauges on the screen are the painters' pictures and
// the map page is drawn; the video is scaled with a filter.

#include "RealWindowSupport.h"
#include "PlaybackLoop.h"
#include "RenderPath.h"
#include "UnitFormFullScreen.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPaintEvent>
#include <QProcess>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineView>
#include <map>
#include <memory>
#include <tuple>

using namespace kp;
using kptest::RealWindow;

TEST(RenderPath, RendererStringsAndTheUsersChoice)
{
  const struct {
    const char *Renderer;
    bool Software;
  } renderers[] = {
      {"llvmpipe (LLVM 15.0.6, 256 bits)", true},
      {"softpipe", true},
      {"Software Rasterizer", true},
      {"Mesa X11 swrast", true},
      {"Google SwiftShader", true},
      {"ANGLE (Google, Vulkan 1.3.0 (SwiftShader Device (Subzero) (0x0000C0DE)), SwiftShader driver)", true},
      {"Microsoft Basic Render Driver", true},
      {"GDI Generic", true},
      {"", true},   // no OpenGL at all
      {"  ", true}, // nor a name
      {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", false},
      {"AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49, 6.1.0)", false}, // LLVM, yet a GPU
      {"NVIDIA GeForce GTX 1060 6GB/PCIe/SSE2", false},
      {"virgl (Intel(R) UHD Graphics 630)", false},
      {"Apple M1", false},
  };
  for (const auto &r : renderers) {
    EXPECT_EQ(IsSoftwareRenderer(QString::fromLatin1(r.Renderer)), r.Software) << r.Renderer;
    EXPECT_EQ(ChooseRenderPath({}, QString::fromLatin1(r.Renderer)),
              r.Software ? TRenderPath::Software : TRenderPath::OpenGL)
        << r.Renderer;
    // Whatever the renderer, the user's QT_QUICK_BACKEND wins.
    EXPECT_EQ(ChooseRenderPath(QStringLiteral("software"), QString::fromLatin1(r.Renderer)), TRenderPath::User);
    EXPECT_EQ(ChooseRenderPath(QStringLiteral("rhi"), QString::fromLatin1(r.Renderer)), TRenderPath::User);
  }
  EXPECT_EQ(ChooseRenderPath(QStringLiteral(" "), QStringLiteral("llvmpipe")), TRenderPath::Software);
}

namespace {

bool SoftwareSceneGraph()
{
  return QQuickWindow::sceneGraphBackend() == QLatin1String("software");
}

// The offscreen platform composes no window through OpenGL: Qt Quick draws
// there in software whichever path was chosen.
bool OffscreenPlatform()
{
  return QGuiApplication::platformName() == QLatin1String("offscreen");
}

// The window on Path: the gauges on the screen show the painters' pictures
// exactly, and the map page, once loaded, is drawn (not left black).
void ExpectWindowDrawn(RealWindow &t)
{
  ASSERT_NO_FATAL_FAILURE(t.Start(kptest::DemoCard()));
  auto *map = qobject_cast<QWebEngineView *>(t.w->MapWebView);
  ASSERT_NE(map, nullptr);
  ASSERT_TRUE(kptest::waitUntil([&] { return t.Listed(); }, 20000));
  if (!map->isVisible()) t.w->Item("N_View_GoogleMaps")->trigger();
  ASSERT_TRUE(map->isVisible());
  // Row 0 played a moment: the gauges carry a needle.
  const QRect row0 = t.w->ListView->visualRect(t.Model().index(0, 0));
  QTest::mouseClick(t.w->ListView->viewport(), Qt::LeftButton, {}, row0.center());
  QTest::mouseDClick(t.w->ListView->viewport(), Qt::LeftButton, {}, row0.center());
  ASSERT_TRUE(kptest::waitUntil([&] { return t.Playing() && t.Seconds() > 1; }, 15000));
  ASSERT_TRUE(t.PressPlay(false));
  // What the screen shows of the gauges and graphs is what their widgets
  // paint: the window's composing adds nothing and leaves nothing out.
  for (QWidget *panel : {t.w->PanelControl, t.w->PanelBottomGraphics}) {
    ASSERT_TRUE(panel->isVisible()) << panel->objectName().toStdString();
    QImage screen, painted;
    const bool same = kptest::waitUntil(
        [&] {
          screen = kptest::ScreenOf(panel).convertToFormat(QImage::Format_RGB32);
          painted = panel->grab().toImage().convertToFormat(QImage::Format_RGB32);
          return screen == painted;
        },
        5000);
    if (!same) {
      screen.save(kptest::artifactPath(panel->objectName() + QStringLiteral("-screen.png")));
      painted.save(kptest::artifactPath(panel->objectName() + QStringLiteral("-painted.png")));
    }
    EXPECT_TRUE(same) << panel->objectName().toStdString() << " differs on the screen, mean "
                      << kptest::MeanDifference(screen, painted);
  }
  EXPECT_TRUE(kptest::waitUntil([&] { return kptest::LitShare(kptest::ScreenOf(map)) > 0.5; }, 20000))
      << "the map page is not drawn";
  kptest::ScreenOf(t.w.get()).save(
      kptest::artifactPath(QStringLiteral("render-path-%1.png").arg(SoftwareSceneGraph() ? "software" : "opengl")));
}

} // namespace

TEST_F(RealWindow, OpenGLPathWhereTheMachineHasOpenGL)
{
  if (ProbeOpenGLRenderer().isEmpty()) GTEST_SKIP() << "no OpenGL here";
  if (OffscreenPlatform()) GTEST_SKIP() << "the offscreen platform has no OpenGL windows";
  if (!ForceRenderPath(TRenderPath::OpenGL)) GTEST_SKIP() << "a path was chosen before this test";
  ExpectWindowDrawn(*this);
  EXPECT_FALSE(SoftwareSceneGraph());
}

TEST_F(RealWindow, ProbedPathDrawsTheSameWindow)
{
  if (!qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND")) GTEST_SKIP() << "QT_QUICK_BACKEND is set";
  const bool software = IsSoftwareRenderer(ProbeOpenGLRenderer());
  // A process chooses once: a test before this one in the same process may
  // have forced the path, which the window then keeps.
  const std::optional<TRenderPath> earlier = AppliedRenderPath();
  ExpectWindowDrawn(*this);
  const TRenderPath applied = ApplyRenderPath();
  EXPECT_EQ(applied, earlier ? *earlier : software ? TRenderPath::Software : TRenderPath::OpenGL);
  EXPECT_EQ(SoftwareSceneGraph(), applied == TRenderPath::Software || OffscreenPlatform());
}

namespace {

// Paints of the watched widgets, and their pixels.
class TPaintCount : public QObject {
public:
  std::map<QObject *, int> Paints;
  std::map<QObject *, qint64> Pixels;
  bool eventFilter(QObject *watched, QEvent *event) override
  {
    if (event->type() == QEvent::Paint) {
      const QRect r = static_cast<QPaintEvent *>(event)->rect();
      ++Paints[watched];
      Pixels[watched] += qint64(r.width()) * r.height();
    }
    return false;
  }
};

} // namespace

TEST_F(RealWindow, PeriodicPassRepaintsOnlyWhatChanged)
{
  ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
  ASSERT_TRUE(kptest::waitUntil([&] { return Listed(); }, 20000));
  for (const char *name : {"N_View_ControlPanel", "N_View_Graphics_S", "N_View_Graphics_G"})
    if (QAction *a = w->Item(name); a && !a->isChecked()) a->trigger();
  const QRect row0 = w->ListView->visualRect(Model().index(0, 0));
  QTest::mouseClick(w->ListView->viewport(), Qt::LeftButton, {}, row0.center());
  QTest::mouseDClick(w->ListView->viewport(), Qt::LeftButton, {}, row0.center());
  ASSERT_TRUE(kptest::waitUntil([&] { return Playing() && Seconds() > 1; }, 15000));
  ASSERT_TRUE(PressPlay(false));
  ASSERT_TRUE(Activate(w.get()));
  std::vector<QWidget *> watched{w->ImageSpeed, w->ImageAzimut, w->ImageGSensor, w->ImageSeek};
  for (TBS_Image *graph : w->GraphImages)
    if (graph->isVisible()) watched.push_back(graph);
  ASSERT_GT(watched.size(), 5u);
  // Paused: the passes find every value as drawn and repaint nothing.
  const auto passes = [&](TPaintCount &count, int n) {
    for (QWidget *widget : watched) widget->installEventFilter(&count);
    for (int i = 0; i < n; ++i) {
      w->Loop->TimerTimer(TOrigin::Timer);
      QCoreApplication::processEvents();
    }
    kptest::waitUntil([] { return false; }, 300); // let pending repaints through
    for (QWidget *widget : watched) widget->removeEventFilter(&count);
  };
  passes(*std::make_unique<TPaintCount>(), 2); // whatever the pause left
  TPaintCount paused;
  passes(paused, 5);
  for (QWidget *widget : watched)
    EXPECT_EQ(paused.Paints[widget], 0) << widget->objectName().toStdString() << " repainted while nothing changed";
  // Playing: a graph's cursor repaints a strip of its graph, not the graph.
  ASSERT_TRUE(PressPlay(true));
  TPaintCount playing;
  passes(playing, 5);
  for (TBS_Image *graph : w->GraphImages) {
    if (!graph->isVisible() || !playing.Paints[graph]) continue;
    EXPECT_LT(playing.Pixels[graph], qint64(graph->width()) * graph->height() * playing.Paints[graph] / 4)
        << graph->objectName().toStdString();
  }
}

namespace {

// A card of one still 1280 x 720 clip of fine detail on grey: rows and
// columns two pixels wide and a camera's stamp in small and large type.
// Made once per run; the clip's path, empty when ffmpeg failed.
QString StampedClip(const QString &ffmpeg)
{
  static QTemporaryDir card;
  static const QString made = [&] {
    const QString folder = card.filePath(QStringLiteral("DCIM/100MEDIA"));
    const QString clip = folder + QStringLiteral("/FILE0001.MOV");
    const QString font = QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf");
    QString stamps;
    if (QFile::exists(font))
      for (const auto &[size, x, y, text] : {std::tuple{22, 100, 480, "244"}, std::tuple{44, 300, 470, "244"},
                                             std::tuple{22, 100, 580, "2025/03/01 12.44.44  244 km/h"}})
        stamps += QStringLiteral(",drawtext=fontfile=%1:text='%2':fontsize=%3:fontcolor=white:box=1:boxcolor=black:"
                                 "boxborderw=4:x=%4:y=%5")
                      .arg(font, QString::fromLatin1(text))
                      .arg(size)
                      .arg(x)
                      .arg(y);
    const QString detail =
        QStringLiteral("geq=lum='if(between(Y,100,399)*between(X,100,499),if(lt(mod(Y,4),2),235,16),"
                       "if(between(Y,100,399)*between(X,600,999),if(lt(mod(X,4),2),235,16),128))':cb=128:cr=128");
    QProcess p;
    if (QDir().mkpath(folder))
      p.start(ffmpeg, {"-nostdin",  "-loglevel",
                       "error",     "-y",
                       "-f",        "lavfi",
                       "-i",        "color=c=gray:s=1280x720:r=30:d=1",
                       "-vf",       detail + stamps + ",loop=-1:1,format=yuv420p",
                       "-t",        "30",
                       "-c:v",      "libx264",
                       "-preset",   "veryfast",
                       "-crf",      "1",
                       "-metadata", "creation_time=2011-11-11T11:11:11Z",
                       "-f",        "mov",
                       clip});
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) return QString();
    // Clips other tests made a moment ago lie in the program's folder, which
    // is searched too: a day of its own keeps this one out of their trip.
    QFile file(clip);
    const QDateTime day(QDate(2011, 11, 11), QTime(11, 11, 11), Qt::UTC);
    if (!file.open(QIODevice::ReadWrite) || !file.setFileTime(day, QFileDevice::FileModificationTime)) return QString();
    return clip;
  }();
  return made;
}

// The clip's first frame scaled by ffmpeg to Size with the scaler Flags.
QImage ScaledFrame(const QString &ffmpeg, const QString &clip, QSize size, const char *flags)
{
  QTemporaryDir dir;
  const QString out = dir.filePath(QStringLiteral("frame.png"));
  QProcess p;
  p.start(ffmpeg, {"-nostdin", "-loglevel", "error", "-y", "-i", clip, "-frames:v", "1", "-vf",
                   QStringLiteral("scale=%1:%2:flags=%3").arg(size.width()).arg(size.height()).arg(flags), out});
  p.waitForFinished(60000);
  return QImage(out).convertToFormat(QImage::Format_RGB32);
}

// The box of the lit pixels (the grey picture inside its black bars).
QRect LitBox(const QImage &image)
{
  QRect box;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (qGray(image.pixel(x, y)) > 40) box |= QRect(x, y, 1, 1);
  return box;
}

} // namespace

// The picture on the screen is the frame scaled with a filter, as a plain
// player shows it: close to ffmpeg's filtered scaling of the frame and far
// from a nearest-pixel one, paused and playing, fitted in the window, at
// 25 % and full screen. Playing, a shrunk picture comes scaled from the
// renderer's thread.
TEST_F(RealWindow, VideoIsScaledWithAFilterAtEveryZoom)
{
  KP_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  const QString clip = StampedClip(ffmpeg);
  ASSERT_FALSE(clip.isEmpty()) << "ffmpeg could not make the clip";
  ASSERT_NO_FATAL_FAILURE(Start(QFileInfo(clip).dir().filePath(QStringLiteral("../.."))));
  w->resize(1600, 1000);
  // The program's own folder is searched too, where other tests leave clips
  // of their own: the stamped clip is found by its name.
  int row = -1;
  ASSERT_TRUE(kptest::waitUntil(
      [&] {
        if (Model().rowCount() < 1 || Model().IsStatusRow(0)) return false;
        for (row = 0; row < Model().rowCount(); ++row)
          if (Model().Caption(row).startsWith(QStringLiteral("FILE0001"))) return true;
        return false;
      },
      20000));
  const QRect clipRow = w->ListView->visualRect(Model().index(row, 0));
  QTest::mouseClick(w->ListView->viewport(), Qt::LeftButton, {}, clipRow.center());
  w->Item("N_VideoZoom_Letterbox")->trigger();
  // Width: the picture's on the screen, or 0 for any fitted one.
  const auto compare = [&](const char *name, int width) {
    QImage screen, picture;
    ASSERT_TRUE(kptest::waitUntil(
        [&] {
          screen = kptest::ScreenOf(w->PanelVideo).convertToFormat(QImage::Format_RGB32);
          const QRect box = LitBox(screen);
          picture = screen.copy(box);
          return (width ? std::abs(box.width() - width) <= 2 : box.width() > 600) &&
                 std::abs(box.width() * 9 - box.height() * 16) < 40;
        },
        10000))
        << name << ": no picture, lit " << picture.width() << "x" << picture.height();
    const QImage filtered = ScaledFrame(ffmpeg, clip, picture.size(), "bicubic");
    const QImage nearest = ScaledFrame(ffmpeg, clip, picture.size(), "neighbor");
    picture.save(kptest::artifactPath(QStringLiteral("stamped-%1-window.png").arg(name)));
    filtered.save(kptest::artifactPath(QStringLiteral("stamped-%1-ffmpeg.png").arg(name)));
    const double toFiltered = kptest::MeanDifference(picture, filtered);
    const double toNearest = kptest::MeanDifference(picture, nearest);
    std::printf("%s %dx%d: %.2f from the filtered scaling, %.2f from the nearest-pixel one\n", name, picture.width(),
                picture.height(), toFiltered, toNearest);
    EXPECT_LT(toFiltered, 8) << name << " " << picture.width() << "x" << picture.height();
    EXPECT_LT(toFiltered, toNearest / 2) << name << " " << picture.width() << "x" << picture.height();
  };
  compare("paused", 0);
  ASSERT_TRUE(PressPlay(true));
  auto renderer = std::dynamic_pointer_cast<IVideoRenderer>(w->FilterEVR.MemberFilter());
  ASSERT_NE(renderer, nullptr);
  const auto scaledBy = [&](QSize size) {
    return kptest::waitUntil([&] { return renderer->Frames()->Latest().Shown.size() == size; }, 5000);
  };
  compare("fit", 0);
  EXPECT_TRUE(scaledBy(LitBox(kptest::ScreenOf(w->PanelVideo).convertToFormat(QImage::Format_RGB32)).size()));
  w->Item("N_VideoZoom_25")->trigger();
  compare("25", 320);
  EXPECT_TRUE(scaledBy(QSize(320, 180)));
  w->Item("N_VideoZoom_Letterbox")->trigger();
  ASSERT_TRUE(Activate(w.get()));
  kptest::Key(Qt::Key_Return, Qt::AltModifier);
  ASSERT_TRUE(w->Item("N_FullScreen")->isChecked());
  compare("full-screen", w->FullScreenForm->screen()->geometry().width());
  kptest::Key(Qt::Key_Escape);
}
