// The periodic pass draws gauges and cursors ten times a second: a drawing
// that would show what is already shown must not touch the picture or ask
// for a repaint, and a moved cursor must ask for the strip it changed only,
// leaving the same pixels a full redraw leaves.
#include "DisplayTestSupport.h"
#include "UnitBitmaps.h"
#include "UnitGraphics.h"

#include <QPainter>
#include <functional>
#include <memory>
#include <gtest/gtest.h>

using namespace kp;

namespace {

constexpr double kSec = 1.0 / 86400.0;

// Counts the repaints a painter asks for and keeps the last dirty part.
struct TWatchedImage {
  TImage Image;
  int Changes = 0;
  QRect LastDirty;
  TWatchedImage(int w, int h)
  {
    Image.Width = w;
    Image.Height = h;
    Image.Changed = [this] {
      ++Changes;
      LastDirty = Image.Dirty.isEmpty() ? QRect(0, 0, Image.Width, Image.Height) : Image.Dirty;
    };
  }
  TWatchedImage(const TWatchedImage &) = delete;
};

// The bounding box of the pixels that differ; empty when none do.
QRect DiffBounds(const QImage &a, const QImage &b)
{
  QRect box;
  if (a.size() != b.size()) return QRect(QPoint(0, 0), a.size().expandedTo(b.size()));
  for (int y = 0; y < a.height(); ++y)
    for (int x = 0; x < a.width(); ++x)
      if (a.pixel(x, y) != b.pixel(x, y)) box |= QRect(x, y, 1, 1);
  return box;
}

TImage DialImage()
{
  TImage img;
  img.Width = img.Height = 134;
  img.Picture = QImage(134, 134, QImage::Format_RGB32);
  img.Picture.fill(Qt::white);
  return img;
}

TGraphicItems Series(int n)
{
  TGraphicItems s(n);
  for (int i = 0; i < n; ++i) s[i] = {double(i % 40), double(i % 40), 1, 45000.5 + i * kSec};
  return s;
}

// One painter kind: makes a fresh painter on an image and draws step I of
// the sequence on it.
struct TPainterCase {
  const char *Name;
  int W, H;
  std::function<std::shared_ptr<void>(TImage &)> Make;
  std::function<void(void *, int)> Draw;
  // Steps with the same Shows value show the same picture.
  std::vector<int> Shows;
};

std::vector<TPainterCase> Cases()
{
  const QColor back(240, 240, 240);
  std::vector<TPainterCase> cases;
  cases.push_back({"speedometer",
                   134,
                   134,
                   [back](TImage &img) {
                     img.Picture = DialImage().Picture;
                     return std::static_pointer_cast<void>(std::make_shared<TSpeedBitmap>(&img, back));
                   },
                   [](void *p, int i) {
                     const double speeds[] = {50, 50, 50.0001, 51, 51, -1, -1};
                     const double trips[] = {1000, 1000, 1000.01, 1000.01, 1200, 1200, 1200};
                     static_cast<TSpeedBitmap *>(p)->Draw(0, speeds[i], trips[i], 0);
                   },
                   {0, 0, 0, 1, 2, 3, 3}});
  cases.push_back({"compass",
                   60,
                   60,
                   [back](TImage &img) {
                     img.Picture = QImage(60, 60, QImage::Format_RGB32);
                     return std::static_pointer_cast<void>(std::make_shared<TAzimutBitmap>(&img, back));
                   },
                   [](void *p, int i) {
                     const double bearings[] = {90, 90, 90, 135, -1, -1};
                     static_cast<TAzimutBitmap *>(p)->Draw(bearings[i]);
                   },
                   {0, 0, 0, 1, 2, 2}});
  cases.push_back({"G-sensor",
                   140,
                   100,
                   [back](TImage &img) {
                     img.Picture = QImage(140, 100, QImage::Format_RGB32);
                     return std::static_pointer_cast<void>(std::make_shared<TGSensorBitmap>(&img, back));
                   },
                   [](void *p, int i) {
                     const double x[] = {0.1, 0.1, 0.1001, 0.5, 0.5};
                     static_cast<TGSensorBitmap *>(p)->Draw(x[i], 0.2, -0.3);
                   },
                   {0, 0, 0, 1, 1}});
  cases.push_back({"seek bar",
                   600,
                   40,
                   [back](TImage &img) {
                     auto bar = std::make_shared<TSeekBitmap>(&img);
                     bar->Draw(back, {}, 45000.5, 45000.5 + 600 * kSec, 0.0L, 1.0L, {}, {});
                     return std::static_pointer_cast<void>(bar);
                   },
                   [](void *p, int i) {
                     const long double at[] = {0.5L, 0.5L, 0.5L + 1e-7L, 0.52L, 0.53L, 2.0L, 2.0L, 0.1L};
                     static_cast<TSeekBitmap *>(p)->DrawCursor(0, at[i]);
                   },
                   {0, 0, 0, 1, 2, 3, 3, 4}});
  cases.push_back({"graph",
                   300,
                   100,
                   [](TImage &img) {
                     auto g = std::make_shared<TSpeedGraphic>(&img, 25);
                     g->Resize();
                     g->FillBackground(DisplayColour(QStringLiteral("colorGraphBG")));
                     TGraphicItems s = Series(250);
                     g->Draw(s, {}, {}, {}, 0.0L, 1.0L);
                     g->DrawBorder();
                     return std::static_pointer_cast<void>(g);
                   },
                   [](void *p, int i) {
                     const long double at[] = {0.5L, 0.5L, 0.5001L, 0.504L, 0.51L, -1.0L, -1.0L, 0.2L};
                     static_cast<TSpeedGraphic *>(p)->DrawCursor(at[i]);
                   },
                   {0, 0, 0, 1, 2, 3, 3, 4}});
  return cases;
}

} // namespace

TEST(RepaintChanged, SameShowingIsNotDrawnAndMovesRepaintTheirStripOnly)
{
  kptest::useEnglishColours();
  for (const TPainterCase &c : Cases()) {
    SCOPED_TRACE(c.Name);
    TWatchedImage watched(c.W, c.H);
    std::shared_ptr<void> painter = c.Make(watched.Image);
    for (size_t i = 0; i < c.Shows.size(); ++i) {
      SCOPED_TRACE(i);
      const QImage before = watched.Image.Picture;
      const qint64 key = before.cacheKey();
      const int changes = watched.Changes;
      c.Draw(painter.get(), static_cast<int>(i));
      // The picture a fresh painter draws for this step alone.
      TWatchedImage fresh(c.W, c.H);
      std::shared_ptr<void> other = c.Make(fresh.Image);
      c.Draw(other.get(), static_cast<int>(i));
      EXPECT_TRUE(DiffBounds(watched.Image.Picture, fresh.Image.Picture).isEmpty());
      if (i > 0 && c.Shows[i] == c.Shows[i - 1]) {
        EXPECT_EQ(watched.Changes, changes) << "an unchanged showing asked for a repaint";
        EXPECT_EQ(watched.Image.Picture.cacheKey(), key) << "an unchanged showing was drawn";
      } else {
        EXPECT_EQ(watched.Changes, changes + 1);
        const QRect changed = DiffBounds(before, watched.Image.Picture);
        EXPECT_TRUE(watched.LastDirty.contains(changed))
            << "changed " << changed.x() << "," << changed.width() << " outside the repaint";
      }
    }
  }
}

// A 300x100 speed graph drawn over a whole series, its cursor at the middle.
struct TDrawnGraph {
  TDrawnGraph()
  {
    kptest::useEnglishColours();
    Graph.Resize();
    Graph.FillBackground(DisplayColour(QStringLiteral("colorGraphBG")));
    Graph.Draw(Items, {}, {}, {}, 0.0L, 1.0L);
    Graph.DrawCursor(0.5L);
  }
  TWatchedImage Watched{300, 100};
  TSpeedGraphic Graph{&Watched.Image, 25};
  TGraphicItems Items = Series(250);
};

TEST(RepaintChanged, MovedGraphCursorRepaintsTwoColumnsNotTheGraph)
{
  TDrawnGraph drawn;
  TWatchedImage &watched = drawn.Watched;
  TSpeedGraphic &g = drawn.Graph;
  EXPECT_EQ(watched.LastDirty, QRect(0, 0, 300, 100)); // first drawing: whole
  g.DrawCursor(0.504L);                                // one pixel on
  EXPECT_LE(watched.LastDirty.width(), 5);
  EXPECT_EQ(watched.LastDirty.height(), 100);
  g.DrawCursor(0.9L); // far away: the two columns' span, never more than the graph
  EXPECT_LE(watched.LastDirty.width(), 300);
}

TEST(RepaintChanged, ChangedBackgroundOrPictureIsDrawnWhole)
{
  TDrawnGraph drawn;
  TWatchedImage &watched = drawn.Watched;
  TSpeedGraphic &g = drawn.Graph;
  const int changes = watched.Changes;
  // The owner redraws the graph (a new time window): the same cursor time
  // must draw again, over the new background.
  g.FillBackground(Qt::yellow);
  g.DrawCursor(0.5L);
  EXPECT_EQ(watched.Changes, changes + 1);
  EXPECT_EQ(watched.LastDirty, QRect(0, 0, 300, 100));
  EXPECT_EQ(QColor(watched.Image.Picture.pixel(100, 50)), QColor(Qt::yellow));
  // Someone else drew on the picture: drawn again as well.
  watched.Image.Picture.fill(Qt::blue);
  g.DrawCursor(0.5L);
  EXPECT_EQ(watched.Changes, changes + 2);
  EXPECT_EQ(QColor(watched.Image.Picture.pixel(100, 50)), QColor(Qt::yellow));
  // A resize makes new pictures.
  TSpeedBitmap speed(&watched.Image, Qt::white);
  watched.Image.Width = watched.Image.Height = 134;
  speed.Resize();
  speed.Draw(0, 50, 10, 0);
  const int after = watched.Changes;
  watched.Image.Width = watched.Image.Height = 120;
  speed.Resize();
  speed.Draw(0, 50, 10, 0);
  EXPECT_EQ(watched.Changes, after + 1);
}
