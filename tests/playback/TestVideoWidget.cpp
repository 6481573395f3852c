// The video window and the EVR wrapper over the fake renderer, painted
// offscreen: letterboxing, stretching, flips, snapshots and native size.

#include "DSPack.h"
#include "FakeMediaGraph.h"
#include "PlaybackTestSupport.h"
#include "UnitEVRWindow.h"

#include <QPainter>
#include <gtest/gtest.h>

using namespace kp;

namespace {

// Left half red, right half blue.
QImage halves(int w, int h)
{
  QImage image(w, h, QImage::Format_RGB32);
  QPainter p(&image);
  p.fillRect(0, 0, w / 2, h, Qt::red);
  p.fillRect(w / 2, 0, w - w / 2, h, Qt::blue);
  return image;
}

QColor at(const QImage &image, int x, int y)
{
  return image.pixelColor(x, y);
}

class VideoWidgetTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    kptest::ensureApplication();
    script = std::make_shared<TFakeScript>();
    graph = std::make_unique<TFilterGraph>(std::make_shared<TFakeGraphFactory>(script));
  }

  void TearDown() override
  {
    if (window) window->SetFilterGraph(nullptr);
  }

  std::shared_ptr<TFakeVideoRenderer> rendererOf(const IBaseFilterPtr &filter)
  {
    return std::dynamic_pointer_cast<TFakeVideoRenderer>(filter);
  }

  // A window of the given size on the graph (with the mixing renderer when
  // vmr), then the graph activated.
  TVideoWindow &activeWindow(int w, int h, bool vmr = true)
  {
    window = std::make_unique<TVideoWindow>();
    window->resize(w, h);
    window->SetFilterGraph(graph.get());
    if (vmr) window->SetMode(vmVMR);
    graph->SetActive(true);
    return *window;
  }
  void deliver(const QImage &image, int parN = 1, int parD = 1)
  {
    rendererOf(window->Renderer())->Deliver(image, parN, parD);
  }
  QImage shot() { return window->grab().toImage(); }

  TFakeScriptPtr script;
  std::unique_ptr<TFilterGraph> graph;
  std::unique_ptr<TVideoWindow> window;
};

} // namespace

TEST_F(VideoWidgetTest, MixingRendererLetterboxesWithBlackBars)
{
  TVideoWindow &window = activeWindow(100, 100);
  ASSERT_EQ(window.Mode(), vmVMR);
  ASSERT_NE(rendererOf(window.Renderer()), nullptr);
  deliver(halves(64, 32));

  const QImage letterboxed = shot();
  ASSERT_EQ(letterboxed.size(), QSize(100, 100));
  EXPECT_EQ(at(letterboxed, 50, 5), QColor(Qt::black)) << "bar above";
  EXPECT_EQ(at(letterboxed, 50, 94), QColor(Qt::black)) << "bar below";
  EXPECT_EQ(at(letterboxed, 10, 50), QColor(Qt::red));
  EXPECT_EQ(at(letterboxed, 90, 50), QColor(Qt::blue));

  window.VMROptions().SetKeepAspectRatio(false);
  EXPECT_EQ(at(shot(), 10, 5), QColor(Qt::red)) << "no bars when the aspect is not kept";
}

TEST_F(VideoWidgetTest, FlipsMirrorThePicture)
{
  TVideoWindow &window = activeWindow(80, 40);
  QImage pattern = halves(64, 32);
  QPainter(&pattern).fillRect(0, 0, 64, 8, Qt::green); // a green band on top
  deliver(pattern);
  QImage image = shot();
  EXPECT_EQ(at(image, 5, 20), QColor(Qt::red));
  EXPECT_EQ(at(image, 40, 2), QColor(Qt::green));

  window.SetOutputRect(MakeNormalizedRect(1, 0, 0, 1)); // left and right exchanged
  image = shot();
  EXPECT_EQ(at(image, 5, 20), QColor(Qt::blue));
  EXPECT_EQ(at(image, 75, 20), QColor(Qt::red));
  EXPECT_EQ(at(image, 40, 2), QColor(Qt::green));

  window.SetOutputRect(MakeNormalizedRect(0, 1, 1, 0)); // top and bottom exchanged
  image = shot();
  EXPECT_EQ(at(image, 5, 20), QColor(Qt::red));
  EXPECT_EQ(at(image, 40, 38), QColor(Qt::green));
  EXPECT_NE(at(image, 40, 2), QColor(Qt::green));
}

TEST_F(VideoWidgetTest, PlainRendererKeepsTheShapeUnlessStretchedPlacesThePictureButTakesNoSnapshot)
{
  TVideoWindow &window = activeWindow(100, 100, false);
  ASSERT_EQ(window.Mode(), vmNormal);
  deliver(halves(64, 32));
  // A 2:1 picture in a square window: bars above and below.
  EXPECT_EQ(at(shot(), 10, 2), QColor(Qt::black));
  EXPECT_EQ(at(shot(), 10, 28), QColor(Qt::red));
  EXPECT_EQ(at(shot(), 90, 72), QColor(Qt::blue));
  EXPECT_EQ(at(shot(), 90, 97), QColor(Qt::black));
  window.VMROptions().SetKeepAspectRatio(false);
  EXPECT_EQ(at(shot(), 10, 2), QColor(Qt::red));
  EXPECT_EQ(at(shot(), 90, 97), QColor(Qt::blue));
  QImage image;
  EXPECT_FALSE(window.VMRGetBitmap(image));
  window.SetOutputRect(MakeNormalizedRect(1, 0, 0, 1));
  EXPECT_EQ(at(shot(), 10, 50), QColor(Qt::red)) << "no flips on the plain renderer";
  // The fill and zoom views need the size and a part of the picture.
  int w, h, aw, ah;
  ASSERT_TRUE(window.GetNativeVideoSize(w, h, aw, ah));
  EXPECT_EQ(QSize(w, h), QSize(64, 32));
  EXPECT_EQ(QSize(aw, ah), QSize(2, 1));
  window.SetVideoPosition(QRect(32, 0, 32, 32), QRect());
  EXPECT_EQ(at(shot(), 10, 50), QColor(Qt::blue)) << "only the right half is shown";
  window.VMROptions().SetKeepAspectRatio(true);
  EXPECT_EQ(at(shot(), 10, 50), QColor(Qt::blue)) << "the place outlives a change of aspect mode";
}

namespace {

// Rows alternately black and white, one pixel each, the part right of
// Blue from blue.
QImage fineRows(int w, int h, int blue)
{
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.setPixel(x, y, x >= blue ? qRgb(0, 0, 255) : y % 2 ? qRgb(255, 255, 255) : 0);
  return image;
}

// Mean distance from mid-grey of a column: 127 for rows kept black and
// white (a nearest-pixel scaling), less the more the rows are blended.
double RowContrast(const QImage &image, int x, QRect rows)
{
  double sum = 0;
  for (int y = rows.top(); y <= rows.bottom(); ++y) sum += std::abs(qGray(image.pixel(x, y)) - 127.5);
  return sum / rows.height();
}

} // namespace

// Fine detail is blended, not dropped or doubled, at every scale: down to
// a third, just below half, a fraction above it, and up.
TEST_F(VideoWidgetTest, ScaledPictureIsFilteredAtEverySize)
{
  const struct {
    QSize Window;
    double MaxContrast;
  } cases[] = {
      {{60, 30}, 20},
      {{90, 45}, 40},
      {{140, 70}, 95},
      {{300, 150}, 95},
  };
  for (const auto &c : cases) {
    TVideoWindow &window = activeWindow(c.Window.width(), c.Window.height());
    window.VMROptions().SetKeepAspectRatio(false);
    deliver(fineRows(200, 100, 200));
    const QImage image = shot().convertToFormat(QImage::Format_RGB32);
    const QRect inner(0, 2, 1, c.Window.height() - 4); // clear of the clamped edges
    const double contrast = RowContrast(image, c.Window.width() / 2, inner);
    EXPECT_LT(contrast, c.MaxContrast) << c.Window.width() << "x" << c.Window.height();
    EXPECT_NEAR(qGray(image.pixel(c.Window.width() / 2, c.Window.height() / 2)), 127, 127 - 5)
        << "the rows are still there";
    window.SetFilterGraph(nullptr);
  }
}

// A small part of the picture shrunk strongly is the part asked for.
TEST_F(VideoWidgetTest, ShrunkPartOfThePictureIsThePartAskedFor)
{
  TVideoWindow &window = activeWindow(30, 30);
  window.VMROptions().SetKeepAspectRatio(false);
  deliver(fineRows(400, 200, 300));
  window.SetVideoPosition(QRect(300, 100, 100, 100), QRect());
  QImage image = shot().convertToFormat(QImage::Format_RGB32);
  EXPECT_EQ(image.pixelColor(15, 15), QColor(Qt::blue));
  EXPECT_EQ(image.pixelColor(1, 28), QColor(Qt::blue));
  window.SetVideoPosition(QRect(0, 0, 200, 200), QRect());
  image = shot().convertToFormat(QImage::Format_RGB32);
  EXPECT_LT(RowContrast(image, 15, QRect(0, 2, 1, 26)), 20);
}

TEST_F(VideoWidgetTest, SnapshotIsTheFullFrameAndSourceRectZooms)
{
  TVideoWindow window;
  window.resize(50, 50);
  window.SetFilterGraph(graph.get());
  window.SetMode(vmVMR);
  QImage image;
  EXPECT_FALSE(window.VMRGetBitmap(image)) << "no renderer before activation";
  graph->SetActive(true);
  EXPECT_FALSE(window.VMRGetBitmap(image)) << "no frame yet";
  rendererOf(window.Renderer())->Deliver(halves(64, 32), 1, 1);
  ASSERT_TRUE(window.VMRGetBitmap(image));
  EXPECT_EQ(image.size(), QSize(64, 32)) << "full resolution, not the window's size";
  EXPECT_EQ(at(image, 0, 0), QColor(Qt::red));
  int w, h, aw, ah;
  ASSERT_TRUE(window.GetNativeVideoSize(w, h, aw, ah));
  EXPECT_EQ(QSize(w, h), QSize(64, 32));
  EXPECT_EQ(QSize(aw, ah), QSize(2, 1));

  window.SetVideoPosition(QRect(32, 0, 32, 32), QRect());
  EXPECT_EQ(at(window.grab().toImage(), 25, 25), QColor(Qt::blue)) << "only the right half is shown";
  window.SetFilterGraph(nullptr);
}

TEST_F(VideoWidgetTest, MixingRendererFallsBackWhenItCannotBeMade)
{
  script->NoVideoRenderer = true;
  TVideoWindow window;
  window.SetFilterGraph(graph.get());
  window.SetMode(vmVMR);
  EXPECT_EQ(window.Mode(), vmNormal);
  window.SetFilterGraph(nullptr);
}

TEST_F(VideoWidgetTest, ModeChangeOnAnActiveGraphRebuildsTheRenderer)
{
  TVideoWindow window;
  window.setObjectName(QStringLiteral("VideoWindowWMR"));
  window.SetFilterGraph(graph.get());
  graph->SetActive(true);
  const IBaseFilterPtr first = window.Renderer();
  script->Log.clear();
  window.SetMode(vmVMR);
  EXPECT_NE(window.Renderer(), first);
  EXPECT_EQ(script->Log,
            (QStringList{"Filter.Stop VideoWindowWMR", "RemoveFilter VideoWindowWMR", "AddFilter VideoWindowWMR"}));
  graph->SetActive(false);
  EXPECT_EQ(window.Renderer(), nullptr);
  window.SetFilterGraph(nullptr);
}

TEST(EVRTest, NativeSizeAppliesTheAspectAndSurvivesAZeroSide)
{
  EXPECT_EQ(NativeVideoSizeFromAspect(QSize(1440, 1080), QSize(16, 9)), QSize(1920, 1080));
  EXPECT_EQ(NativeVideoSizeFromAspect(QSize(1440, 1080), QSize(0, 0)), QSize(1440, 1080));
  EXPECT_EQ(NativeVideoSizeFromAspect(QSize(0, 0), QSize(4, 3)), QSize(4, 3));
  EXPECT_EQ(NativeVideoSizeFromAspect(QSize(1440, 1080), QSize(16, 0)), QSize(1440, 1080)) << "no division by zero";
  EXPECT_EQ(NativeVideoSizeFromAspect(QSize(5, 3), QSize(3, 2)), QSize(4, 3)) << "4.5 rounds half to even";
}

TEST_F(VideoWidgetTest, EVRDrawsIntoTheGivenPanelAndAnswersOnlyWhenConnected)
{
  QWidget parent;
  QWidget panel(&parent);
  panel.resize(100, 100);
  TFilter filterEVR(QStringLiteral("FilterEVR"));
  filterEVR.BaseFilter().SetDescription(QStringLiteral("video-renderer"));
  {
    TEVR evr(&parent, &panel);
    EXPECT_FALSE(evr.OwnWindow());
    EXPECT_TRUE(parent.findChildren<QWidget *>(QStringLiteral("EVR")).isEmpty()) << "no window of its own";
    EXPECT_TRUE(evr.GetCurrentImage().isNull());
    EXPECT_EQ(evr.GetNativeVideoSize(), QSize(0, 0));

    filterEVR.SetFilterGraph(graph.get());
    graph->SetActive(true);
    EXPECT_TRUE(TEVR::IsEVRFilter(&filterEVR));
    evr.ConnectFilter(&filterEVR);

    rendererOf(filterEVR.MemberFilter())->Deliver(halves(48, 36), 4, 3); // 4:3 pixels: a 16:9 picture
    EXPECT_EQ(evr.GetNativeVideoSize(), QSize(64, 36));
    EXPECT_EQ(evr.GetCurrentImage().size(), QSize(48, 36));

    evr.SetAspectRatioMode(true, false);
    evr.SetVideoPosition(QRect(0, 0, 100, 100), MakeNormalizedRect(0, 0, 1, 1));
    QImage shot = panel.grab().toImage();
    EXPECT_EQ(at(shot, 50, 10), QColor(Qt::black)) << "letterbox bar of the 16:9 picture";
    EXPECT_EQ(at(shot, 10, 50), QColor(Qt::red));
    EXPECT_EQ(at(shot, 90, 50), QColor(Qt::blue));

    evr.SetVideoPosition(QRect(0, 0, 100, 100), MakeNormalizedRect(0.5f, 0, 1, 1));
    evr.SetAspectRatioMode(false, false);
    shot = panel.grab().toImage();
    EXPECT_EQ(at(shot, 10, 10), QColor(Qt::blue)) << "the source rectangle selects the right half";
  }
  // Destroyed: the panel is detached and paints as a plain panel again.
  const QImage after = panel.grab().toImage();
  EXPECT_NE(at(after, 10, 50), QColor(Qt::red));
  filterEVR.SetFilterGraph(nullptr);
}

TEST_F(VideoWidgetTest, EVRWithoutAWindowMakesItsOwnChild)
{
  QWidget parent;
  int doubleClicks = 0;
  auto evr = std::make_unique<TEVR>(&parent, nullptr, [&] { ++doubleClicks; });
  EXPECT_TRUE(evr->OwnWindow());
  ASSERT_NE(evr->VideoWindow(), nullptr);
  EXPECT_EQ(evr->VideoWindow()->parentWidget(), &parent);
  EXPECT_EQ(evr->VideoWindow()->size(), QSize(100, 100));
  evr->SetVideoPosition(QRect(10, 20, 30, 40), TNormalizedRect());
  EXPECT_EQ(evr->VideoWindow()->geometry(), QRect(10, 20, 30, 40));
  evr.reset();
  EXPECT_TRUE(parent.findChildren<QWidget *>().isEmpty());
}

TEST_F(VideoWidgetTest, RefreshPausedFrameRepaintsWithoutTouchingTheGraph)
{
  TVideoWindow &window = activeWindow(40, 40, false);
  int announced = 0;
  rendererOf(window.Renderer())->Frames()->Subscribe([&] { ++announced; });
  script->Log.clear();
  graph->RefreshPausedFrame();
  EXPECT_EQ(announced, 1);
  EXPECT_TRUE(script->Log.isEmpty()) << "no run and pause";
}

TEST_F(VideoWidgetTest, RenderlessModeWithoutAllocatorIsAConfigurationError)
{
  TVideoWindow window;
  window.SetFilterGraph(graph.get());
  window.SetMode(vmVMR);
  window.VMROptions().SetMode(vmrRenderless);
  try {
    graph->SetActive(true);
    FAIL() << "renderless mode has no allocator";
  } catch (const EDSPackException &e) {
    EXPECT_EQ(e.Message(), QStringLiteral("Allocator class not set."));
  }
  EXPECT_EQ(window.Renderer(), nullptr);
  EXPECT_NO_THROW(graph->SetActive(false));
  window.SetFilterGraph(nullptr);
}

TEST_F(VideoWidgetTest, NonLinearStretchFillsThePanelWithWiderSideStripes)
{
  QWidget panel;
  panel.resize(200, 50);
  TFilter filterEVR(QStringLiteral("FilterEVR"));
  filterEVR.BaseFilter().SetDescription(QStringLiteral("video-renderer"));
  filterEVR.SetFilterGraph(graph.get());
  graph->SetActive(true);
  TEVR evr(nullptr, &panel);
  evr.ConnectFilter(&filterEVR);
  evr.SetVideoPosition(QRect(0, 0, 200, 50), TNormalizedRect());
  evr.SetAspectRatioMode(false, true);
  QImage stripes(64, 32, QImage::Format_RGB32);
  for (int x = 0; x < 64; ++x)
    for (int y = 0; y < 32; ++y) stripes.setPixelColor(x, y, (x / 8) % 2 ? Qt::blue : Qt::red);
  rendererOf(filterEVR.MemberFilter())->Deliver(stripes);

  const QImage image = panel.grab().toImage();
  std::vector<int> runs{1};
  QString row = QStringLiteral("?");
  // A filtered edge blends its two stripes: each pixel counts for the
  // stripe it is nearer to.
  const auto side = [&](int x) {
    const QColor c = image.pixelColor(x, 25);
    return c.red() >= c.blue() ? 'r' : 'b';
  };
  for (int x = 1; x < image.width(); ++x) {
    row += side(x);
    if (side(x) == side(x - 1))
      ++runs.back();
    else
      runs.push_back(1);
  }
  ASSERT_EQ(runs.size(), 8u) << "every stripe shown once, no bars: " << row.toStdString();
  EXPECT_NE(image.pixelColor(0, 25), QColor(Qt::black));
  EXPECT_NE(image.pixelColor(199, 25), QColor(Qt::black));
  EXPECT_GT(runs.front(), runs[3] + 5) << "the sides are stretched more than the middle";
  EXPECT_GT(runs.back(), runs[4] + 5);
  filterEVR.SetFilterGraph(nullptr);
}
