#include "PanelSplitters.h"
#include "WindowLayout.h"

#include <gtest/gtest.h>

using namespace kp;

namespace {

// The blocks of a default control panel: the play buttons, five speed
// buttons, the frame buttons, the volume bar, the loop box and three gauges.
TControlPanelInput BottomPanel(int width, bool speedometer)
{
  TControlPanelInput in;
  in.PanelWidth = width;
  in.SpeedometerShown = speedometer;
  in.FirstBlockHeight = 28;
  in.Blocks = {{120, 28}, {150, 22}, {90, 28}, {100, 22}, {90, 20}};
  in.VolumeBlock = 3;
  if (speedometer) in.Blocks.insert(in.Blocks.end(), {{100, 52}, {52, 52}, {52, 52}});
  return in;
}

} // namespace

TEST(WindowLayout, ControlPanelHeightFollowsWidthAndBlocksDoNotOverlap)
{
  EXPECT_EQ(LayoutControlPanel(BottomPanel(700, false)).PanelHeight, 36);
  // Narrower than its one row, the panel wraps instead of cutting blocks
  // off at its edge.
  for (int width : {400, 300}) {
    const TControlPanelInput in = BottomPanel(width, false);
    const TControlPanelLayout out = LayoutControlPanel(in);
    EXPECT_GT(out.PanelHeight, 36) << width;
    EXPECT_LE(out.PanelHeight, 135) << width;
    for (size_t i = 0; i < in.Blocks.size(); ++i) {
      const QRect r(out.Positions[i], in.Blocks[i]);
      EXPECT_TRUE(QRect(0, 0, width, out.PanelHeight).contains(r)) << width << " block " << i;
    }
  }
  for (auto [width, height] : {std::pair{700, 60}, {500, 106}, {400, 135}}) {
    const TControlPanelInput in = BottomPanel(width, true);
    const TControlPanelLayout out = LayoutControlPanel(in);
    EXPECT_EQ(out.PanelHeight, height);
    ASSERT_EQ(out.Positions.size(), in.Blocks.size());
    for (size_t i = 0; i < in.Blocks.size(); ++i) {
      const QRect r(out.Positions[i], in.Blocks[i]);
      EXPECT_LE(r.y() + r.height(), out.PanelHeight) << width << " block " << i;
      for (size_t j = 0; j < i; ++j) {
        if (int(i) == in.VolumeBlock || int(j) == in.VolumeBlock) continue;
        EXPECT_FALSE(r.intersects(QRect(out.Positions[j], in.Blocks[j]))) << width << " blocks " << j << ", " << i;
      }
    }
  }
}

TEST(WindowLayout, SidePanelWidthIsItsColumnsAtMostHalfTheBottom)
{
  TControlPanelInput in = BottomPanel(200, true);
  in.AlongTopOrBottom = false;
  in.PanelHeight = 1000;
  in.VolumeBlock = -1;
  in.BottomPanelWidth = 1000;
  // One column: the widest block and its right-hand neighbours.
  const TControlPanelLayout tall = LayoutControlPanel(in);
  EXPECT_EQ(tall.Positions[0], QPoint(4, 0));
  EXPECT_GT(tall.PanelWidth, 150);
  EXPECT_LE(tall.PanelWidth, 500);
  in.BottomPanelWidth = 200;
  EXPECT_EQ(LayoutControlPanel(in).PanelWidth, 100);
}

TEST(WindowLayout, SavedPositionIsPulledBackOntoTheWorkArea)
{
  const QRect area(0, 0, 1920, 1040);
  struct Case {
    QRect saved;
    QPoint expected;
  } cases[] = {
      {{100, 100, 800, 600}, {100, 100}},   // inside: unchanged
      {{1850, 100, 800, 600}, {0, 100}},    // left edge within 100 px of the right
      {{-750, 100, 800, 600}, {0, 100}},    // right edge within 100 px of the left
      {{-600, 100, 800, 600}, {-600, 100}}, // 200 px still on screen
      {{100, 980, 800, 600}, {100, 0}},     // top within 100 px of the bottom
      {{100, -5, 800, 600}, {100, 0}},      // above the top
  };
  for (const Case &c : cases) EXPECT_EQ(PullBackOntoScreen(c.saved, area).topLeft(), c.expected) << c.saved.x();
}

TEST(WindowLayout, ColumnsRestoreWidthsAndOrder)
{
  const std::vector<int> design{200, 80, 120, 60, 50, 1, 40, 70};
  const auto widths = [](int i) { return i == 1 ? 80 : i == 2 ? 150 : -1; };
  const auto indexes = [](int i) { return i == 0 ? 2 : i == 3 ? 99 : -1; };
  const TColumnRestore r = RestoreColumns(design, widths, indexes);
  EXPECT_EQ(r.Widths[2], 150);
  EXPECT_EQ(r.Widths[1], 80);
  EXPECT_EQ(r.DeleteWidthOf, std::vector<int>{1}); // the design width deletes its setting
  EXPECT_EQ(r.Order, (std::vector<int>{2, 0, 1, 3, 4, 5, 6, 7}));
}

TEST(WindowLayout, GrayBitmapLightensTheGlyphAndKeepsItsSurroundTransparent)
{
  QImage image(3, 1, QImage::Format_ARGB32);
  image.setPixel(0, 0, qRgb(0, 0, 0));
  image.setPixel(1, 0, qRgb(40, 100, 200)); // g = (40 + 200 + 200) / 4 = 110
  image.setPixel(2, 0, qRgba(0, 0, 0, 0));
  const QImage grey = GrayBitmap(image, 2.0);
  EXPECT_EQ(grey.pixel(0, 0), qRgb(127, 127, 127)); // 255 - Round(127.5), halves to even
  EXPECT_EQ(grey.pixel(1, 0), qRgb(183, 183, 183)); // 255 - Round(72.5)
  EXPECT_EQ(qAlpha(grey.pixel(2, 0)), 0);
}

TEST(WindowLayout, GaugesBesideTheGraphsStayWholeInTheDesignedBottomPanel)
{
  // The window's own blocks: play buttons, speeds, zoom buttons, volume,
  // loop box, then the dial, the G-sensor and the compass.
  TControlPanelInput in;
  in.AlongTopOrBottom = false;
  in.PanelHeight = 185;
  in.BottomPanelWidth = 880;
  in.FirstBlockHeight = 28;
  in.Blocks = {{112, 28}, {150, 22}, {56, 28}, {100, 24}, {90, 20}, {134, 134}, {52, 52}, {52, 52}};
  in.VolumeBlock = 3;
  // 880: a wide window; 690 and 500: the bottom panels of 1200- and
  // 1024-pixel windows beside the list, where half of them cut the gauges.
  for (int bottomWidth : {880, 690, 500}) {
    in.BottomPanelWidth = bottomWidth;
    const TControlPanelLayout out = LayoutControlPanel(in);
    const QRect panel(0, 0, out.PanelWidth, in.PanelHeight);
    for (size_t i = 5; i < in.Blocks.size(); ++i)
      EXPECT_TRUE(panel.contains(QRect(out.Positions[i], in.Blocks[i]))) << "gauge " << i << " in " << bottomWidth;
    EXPECT_GE(bottomWidth - out.PanelWidth, 100) << bottomWidth; // the graphs' room
  }
}

TEST(WindowLayout, StoredBottomPanelBelowTheSeekBarIsRefused)
{
  const int minimum = BottomPanelMinimum(38, 17);
  EXPECT_EQ(minimum, 55);
  struct Case {
    int Stored, Expected;
  } cases[] = {{17, 185}, {0, 185}, {-40, 185}, {54, 185}, {55, 55}, {320, 320}};
  for (const Case &c : cases) EXPECT_EQ(RestoredPanelSize(c.Stored, minimum, 185), c.Expected) << c.Stored;
}

TEST(WindowLayout, StoredPanelLeavingTheVideoNoRoomIsRefused)
{
  // A 1200-pixel window: the panel beside the video takes at most 1040.
  const int maximum = PanelRoomBeside(1200);
  EXPECT_EQ(maximum, 1040);
  struct Case {
    int Stored, Design, Maximum, Expected;
  } cases[] = {
      {100000, 510, maximum, 510},
      {1041, 510, maximum, 510},
      {1040, 510, maximum, 1040},
      {400, 510, maximum, 400},
      {900, 510, 300, 300}, // the design itself kept to the room
      {900, 510, 0, 5},     // never below the least size
  };
  for (const Case &c : cases) EXPECT_EQ(RestoredPanelSize(c.Stored, 5, c.Design, c.Maximum), c.Expected) << c.Stored;
  EXPECT_EQ(PanelRoomBeside(100), 0);
}
