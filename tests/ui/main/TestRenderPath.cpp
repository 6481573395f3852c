// Which scene graph the web views get, and that the real window looks the
// same on either: the gauges on the screen are the painters' pictures and
// the map page is drawn.

#include "RealWindowSupport.h"
#include "PlaybackLoop.h"
#include "RenderPath.h"

#include <QGuiApplication>
#include <QPaintEvent>
#include <QQuickWindow>
#include <QTest>
#include <QWebEngineView>
#include <map>
#include <memory>

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
