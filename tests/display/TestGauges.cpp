#include "DisplayTestSupport.h"
#include "LogCapture.h"
#include "UnitBitmaps.h"

#include <QPainter>
#include <tuple>
#include <gtest/gtest.h>

using namespace kp;
using kptest::blankImage;
using kptest::countColour;
using kptest::countPixels;
using kptest::sameColour;

namespace {

const QColor kRed(255, 0, 0), kBlue(0, 0, 255), kBlack(0, 0, 0), kWhite(255, 255, 255);

// A designed dial: a white disc on a dark square.
TImage dialImage()
{
  TImage img;
  img.Width = img.Height = 134;
  img.Picture = QImage(134, 134, QImage::Format_RGB32);
  img.Picture.fill(QColor(10, 20, 30));
  QPainter p(&img.Picture);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawEllipse(QRect(0, 0, 134, 134));
  return img;
}

bool isDark(QRgb p)
{
  return qGray(p) < 128;
}

} // namespace

// ---------------------------------------------------------------- geometry

TEST(GaugeGeometry, SpeedNeedlePointsLeftUpRight)
{
  EXPECT_EQ(SpeedNeedle(0)[1], QPoint(7, 67));
  EXPECT_EQ(SpeedNeedle(90)[1], QPoint(67, 7));
  EXPECT_EQ(SpeedNeedle(180)[1], QPoint(127, 67));
  // The base is symmetric about the dial's centre.
  for (double s : {0.0, 37.0, 90.0, 222.0}) {
    const TTriangle t = SpeedNeedle(s);
    EXPECT_EQ(t[0] + t[2], QPoint(134, 134)) << s;
  }
  // A non-number speed never reaches an integer conversion.
  const TTriangle n = SpeedNeedle(std::nan(""));
  EXPECT_EQ(n[1], QPoint(67, 67));
}

TEST(GaugeGeometry, TripTextGroupsThousandsUpToSixCharacters)
{
  // British units: miles with three decimals and a point.
  const std::tuple<int, double, const char *> cases[] = {
      {0, 12345, "12 345"},    {0, 1234, "1 234"},     {0, 999, "999"}, {0, 999999.4, "999 999"},
      {0, 1234567, "1234567"}, {3, 12.3456, "12.346"}, {3, 0, "0.000"}};
  for (const auto &[decimals, value, text] : cases) EXPECT_EQ(TripText(decimals, value), text) << value;
  // Halves go to the even neighbour.
  EXPECT_EQ(RoundedText(2.5), "2");
  EXPECT_EQ(RoundedText(3.5), "4");
}

TEST(GaugeGeometry, CompassNeedleNorthUpAtZeroAndLeftAtNinety)
{
  const TCompassNeedle n0 = CompassNeedle(100, 100, 0);
  EXPECT_EQ(n0.North[1], QPoint(50, 1)); // r = 100, R1 = 49
  EXPECT_EQ(n0.South[1], QPoint(50, 99));
  EXPECT_EQ(n0.South[0], n0.North[0]);
  const TCompassNeedle n90 = CompassNeedle(100, 100, 90);
  EXPECT_EQ(n90.North[1], QPoint(1, 50));
  EXPECT_EQ(n90.South[1], QPoint(99, 50));
  // On an oval dial the needle follows the ellipse's radius.
  const TCompassNeedle tall = CompassNeedle(60, 100, 0);
  EXPECT_EQ(tall.North[1].y(), 50 - 49);
  const TCompassNeedle wide = CompassNeedle(60, 100, 90);
  EXPECT_EQ(wide.North[1].x(), 30 - 29);
}

TEST(GaugeGeometry, GSensorLayoutAndDots)
{
  const TGSensorLayout l = GSensorLayout(100, 100);
  const TGSensorDots zero = GSensorDots(l, 0, 0, 0);
  EXPECT_EQ(zero.X, QPoint(47, 95));
  EXPECT_EQ(zero.Y, QPoint(38, 38));
  EXPECT_EQ(zero.Z, QPoint(95, 47));

  const TGSensorDots one = GSensorDots(l, 1, 1, 1);
  EXPECT_EQ(one.X, QPoint(47 - 40, 95));      // positive X to the left
  EXPECT_EQ(one.Z, QPoint(95, 47 + 40));      // positive Z down
  EXPECT_EQ(one.Y, QPoint(38 - 29, 38 + 29)); // positive Y down and left, 40 / 1.4 on each axis

  // The reset reading puts every dot outside the picture; absurd readings
  // saturate instead of overflowing.
  const TGSensorDots reset = GSensorDots(l, 10, 10, 10);
  EXPECT_LT(reset.X.x(), 0);
  EXPECT_GT(reset.Z.y(), 100);
  EXPECT_LT(reset.Y.x(), 0);
  const TGSensorDots huge = GSensorDots(l, 1e300, -1e300, std::nan(""));
  EXPECT_LT(huge.X.x(), -1000000);
  EXPECT_GT(huge.Y.x(), 1000000);
  EXPECT_EQ(huge.Z, zero.Z);
}

TEST(GaugeGeometry, CoverageStripesOrderColoursAndOddEntries)
{
  const auto twoGaps = CoverageStripes(10, {0, 1, 20, 30}, {}, {});
  ASSERT_EQ(twoGaps.size(), 2u);
  EXPECT_TRUE(twoGaps[0].IsLine);
  EXPECT_EQ(twoGaps[0].X1, 10);
  EXPECT_EQ(twoGaps[0].Colour, QColor(100, 100, 100));
  EXPECT_FALSE(twoGaps[1].IsLine);
  EXPECT_EQ(twoGaps[1].X1, 30);
  EXPECT_EQ(twoGaps[1].X2, 40);
  EXPECT_EQ(twoGaps[1].Colour, QColor(200, 200, 200));

  // More than two intervals: boundary lines turn light grey.
  const auto threeGaps = CoverageStripes(0, {5, 5, 20, 30, 50, 51}, {}, {});
  ASSERT_EQ(threeGaps.size(), 3u);
  EXPECT_TRUE(threeGaps[0].IsLine); // to <= from counts as from + 1
  EXPECT_EQ(threeGaps[0].Colour, QColor(200, 200, 200));
  EXPECT_EQ(threeGaps[2].Colour, QColor(200, 200, 200));

  // Order: no-header, selection, gaps; a trailing odd element is ignored.
  const auto mixed = CoverageStripes(0, {1, 4, 99}, {10, 20, 7}, {30, 40});
  ASSERT_EQ(mixed.size(), 3u);
  EXPECT_EQ(mixed[0].Colour, QColor(255, 255, 0));
  EXPECT_EQ(mixed[1].Colour, SystemColour(TSystemColour::Highlight));
  EXPECT_EQ(mixed[2].X1, 1);
}

// ---------------------------------------------------------------- painters

TEST(GaugePainters, CoverageDrawsLinesAndStripesOnTheBackground)
{
  TImage img = blankImage(80, 20);
  TMyBitmap bmp(&img);
  bmp.FillBackground(kWhite);
  bmp.DrawCoverage(5, {0, 1, 20, 30}, {}, {});
  const QImage &bg = bmp.Background();
  EXPECT_TRUE(sameColour(bg.pixel(5, 0), QColor(100, 100, 100)));
  EXPECT_TRUE(sameColour(bg.pixel(5, 17), QColor(100, 100, 100)));
  EXPECT_TRUE(sameColour(bg.pixel(6, 10), kWhite));
  EXPECT_TRUE(sameColour(bg.pixel(25, 0), QColor(200, 200, 200)));
  EXPECT_TRUE(sameColour(bg.pixel(34, 19), QColor(200, 200, 200)));
  EXPECT_TRUE(sameColour(bg.pixel(35, 10), kWhite)); // the right edge is left out
  EXPECT_TRUE(sameColour(bg.pixel(24, 10), kWhite));
}

TEST(GaugePainters, PictureThatCannotBeMadeIsLogged)
{
  TImage img = blankImage(80, 20);
  TMyBitmap bmp(&img);
  kptest::TLogCapture log("kp.display");
  img.Width = img.Height = 1 << 20;
  bmp.Resize();
  EXPECT_FALSE(log.LinesWith(QStringLiteral("1048576 x 1048576")).isEmpty()) << log.Lines().join('\n').toStdString();
}

TEST(GaugePainters, SpeedometerCornersNeedleAndBoxes)
{
  TImage img = dialImage();
  const QColor back(240, 240, 240);
  TSpeedBitmap speed(&img, back);
  // The corners outside the dial take the window's colour, the disc stays.
  for (const QPoint p : {QPoint(0, 0), QPoint(133, 0), QPoint(0, 133), QPoint(133, 133)})
    EXPECT_TRUE(sameColour(speed.Background().pixel(p), back)) << p.x() << "," << p.y();
  EXPECT_TRUE(sameColour(speed.Background().pixel(67, 20), kWhite));

  speed.Draw(0, 0, 12345, 0);
  EXPECT_TRUE(sameColour(img.Picture.pixel(30, 67), kRed)); // needle left
  EXPECT_FALSE(sameColour(img.Picture.pixel(104, 67), kRed));
  speed.Draw(0, 180, 0, 0);
  EXPECT_TRUE(sameColour(img.Picture.pixel(104, 67), kRed)); // needle right
  EXPECT_FALSE(sameColour(img.Picture.pixel(30, 67), kRed));
  speed.Draw(0, 90, 0, 0);
  EXPECT_TRUE(sameColour(img.Picture.pixel(67, 30), kRed)); // needle up

  // The altitude box (x 50..83, y 60..71) holds text only for a non-zero altitude.
  auto altitudeInk = [&] { return countPixels(img.Picture, 52, 62, 82, 70, isDark); };
  speed.Draw(0, 50, 100, 0);
  EXPECT_EQ(altitudeInk(), 0);
  speed.Draw(0, 50, 100, 187);
  EXPECT_GT(altitudeInk(), 0);

  // The reset shows empty boxes and no needle.
  speed.Draw(0, -1, -1, 0);
  EXPECT_EQ(countColour(img.Picture, kRed), 0);
  // Inside the speed box (x 37..96, y 90..128) nothing but its background.
  EXPECT_EQ(countPixels(img.Picture, 42, 93, 92, 126, isDark), 0);
  speed.Draw(0, 88, -1, 0);
  EXPECT_GT(countPixels(img.Picture, 42, 93, 92, 126, isDark), 0);
}

TEST(GaugePainters, SpeedometerGolden)
{
  TImage img = dialImage();
  TSpeedBitmap speed(&img, QColor(240, 240, 240));
  speed.Draw(0, 63.4, 12345, 187);
  KP_EXPECT_GOLDEN(img.Picture, "speed", 150);
}

TEST(GaugePainters, CompassHalvesFollowTheBearing)
{
  TImage img = blankImage(100, 100);
  TAzimutBitmap compass(&img, QColor(240, 240, 240));
  EXPECT_TRUE(sameColour(compass.Background().pixel(50, 50), kWhite)); // the white dial
  EXPECT_TRUE(sameColour(compass.Background().pixel(0, 0), QColor(240, 240, 240)));

  compass.Draw(0);
  EXPECT_TRUE(sameColour(img.Picture.pixel(46, 35), kBlue)); // north up
  EXPECT_TRUE(sameColour(img.Picture.pixel(46, 65), kRed));
  compass.Draw(90);
  EXPECT_TRUE(sameColour(img.Picture.pixel(30, 53), kBlue)); // north to the left
  EXPECT_TRUE(sameColour(img.Picture.pixel(70, 53), kRed));

  // No heading: only the fixed arrow and dot, no needle, no number box.
  compass.Draw(-1);
  EXPECT_EQ(countColour(img.Picture, kRed), 0);
  EXPECT_EQ(countColour(img.Picture, kBlue), 0);
  EXPECT_TRUE(sameColour(img.Picture.pixel(50, 10), kBlack)); // the fixed line
  EXPECT_TRUE(sameColour(img.Picture.pixel(50, 50), kBlack)); // the dot
  EXPECT_EQ(countPixels(img.Picture, 53, 23, 68, 31, isDark), 0);
  compass.Draw(45);
  EXPECT_GT(countPixels(img.Picture, 53, 23, 68, 31, isDark), 0);
}

TEST(GaugePainters, CompassGolden)
{
  TImage img = blankImage(100, 100);
  TAzimutBitmap compass(&img, QColor(240, 240, 240));
  compass.Draw(135);
  KP_EXPECT_GOLDEN(img.Picture, "compass", 100);
}

TEST(GaugePainters, GSensorDotsOnCentresAndOffPicture)
{
  TImage img = blankImage(100, 100);
  TGSensorBitmap g(&img, kWhite);
  g.Draw(0, 0, 0, 1);
  const TGSensorLayout &l = g.Layout();
  // Each dot: white inside, black ring.
  for (const QPoint c : {l.XCentre, l.ZCentre, l.YCentre}) {
    EXPECT_TRUE(sameColour(img.Picture.pixel(c), kWhite)) << c.x() << "," << c.y();
    EXPECT_TRUE(sameColour(img.Picture.pixel(c.x(), c.y() - 2), kBlack)) << c.x() << "," << c.y();
  }
  g.Draw(1, 0, 0, 1);
  EXPECT_TRUE(sameColour(img.Picture.pixel(l.XCentre.x() - l.Radius, l.XCentre.y() - 2), kBlack));

  // The reset reading (10 g) and absurd readings leave just the axes.
  g.Draw(10, 10, 10, 17);
  EXPECT_EQ(img.Picture, g.Background());
  g.Draw(1e300, -1e300, std::nan(""), 0);
  EXPECT_TRUE(sameColour(img.Picture.pixel(l.ZCentre), kWhite));
}

TEST(GaugePainters, GSensorGolden)
{
  TImage img = blankImage(100, 100);
  TGSensorBitmap g(&img, QColor(240, 240, 240));
  g.Draw(0.3, -0.2, 0.5, 0);
  KP_EXPECT_GOLDEN(img.Picture, "gsensor", 60);
}
