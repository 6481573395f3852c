#include "DisplayTestSupport.h"
#include "UnitGraphics.h"

#include <QElapsedTimer>
#include <set>
#include <tuple>
#include <gtest/gtest.h>

using namespace kp;
using kptest::countPixels;
using kptest::sameColour;

namespace {

constexpr double kSec = 1.0 / 86400.0;

// A series of N columns, Count 1 and time one second apart from T0.
TGraphicItems flatSeries(int n, double value, double t0 = 45000.5)
{
  TGraphicItems s(n);
  for (int i = 0; i < n; ++i) s[i] = {value, value, 1, t0 + i * kSec};
  return s;
}

TGraphArea area100(double m, bool allPositive = true)
{
  TGraphArea a;
  a.W = 300;
  a.H = 100;
  a.Margin = 25;
  a.TopMargin = 12;
  a.BottomMargin = 7;
  a.BaseY = BaseLine(a.H, a.TopMargin, a.BottomMargin, allPositive);
  a.M = m;
  return a;
}

const TTextWidth kSixPerChar = [](const QString &s) { return int(s.size()) * 6; };

bool hasConnector(const std::vector<TCurveSegment> &segs, int x1, int x2)
{
  for (const auto &s : segs)
    if (s.What == TCurveSegment::Connector && s.From.x() == x1 && s.To.x() == x2) return true;
  return false;
}

TImage graphImage(int w = 300, int h = 100)
{
  return kptest::blankImage(w, h);
}

} // namespace

// ---------------------------------------------------------------- texts

TEST(GraphTexts, GeneralFloatText)
{
  const std::tuple<double, char, const char *> cases[] = {{0.1, '.', "0.1"},
                                                          {0.1 + 0.2, '.', "0.3"}, // 15 digits, not the round-trip text
                                                          {-0.0, '.', "0"},
                                                          {-10, '.', "-10"},
                                                          {2.5, ',', "2,5"},
                                                          {123456789012345.0, '.', "123456789012345"},
                                                          {1e15, '.', "1E15"},
                                                          {1e300, '.', "1E300"},
                                                          {0.00001, '.', "0.00001"},
                                                          {1.5e-7, '.', "1.5E-7"},
                                                          {-2.25e-6, ',', "-2,25E-6"},
                                                          {std::numeric_limits<double>::infinity(), '.', "INF"}};
  for (const auto &[value, point, text] : cases) EXPECT_EQ(GeneralFloatText(value, point), text) << value;
}

// ---------------------------------------------------------------- scale

TEST(GraphScale, SmallValuesDoNotFillTheGraph)
{
  TGraphicItems s = flatSeries(50, 5);
  const TGraphScale sc = PrepareSeries(s, 10, false);
  EXPECT_DOUBLE_EQ(sc.M, 10.5);
  EXPECT_TRUE(sc.AllPositive);
  // A larger value sets the scale itself.
  s[20].MaxValue = 37;
  EXPECT_DOUBLE_EQ(PrepareSeries(s, 10, false).M, 37);
}

TEST(GraphScale, NegativeValueMovesTheZeroLineToTheMiddle)
{
  TGraphicItems s = flatSeries(50, 0.3);
  s[10].MinValue = -0.5;
  const TGraphScale sc = PrepareSeries(s, 0.1, false);
  EXPECT_FALSE(sc.AllPositive);
  EXPECT_DOUBLE_EQ(sc.M, 0.5);
  EXPECT_EQ(BaseLine(100, 12, 7, sc.AllPositive), 52);
  EXPECT_EQ(BaseLine(100, 12, 7, true), 93);

  // Column 0 counts only towards the scale.
  TGraphicItems first = flatSeries(50, 0.3);
  first[0].MinValue = -0.8;
  const TGraphScale f = PrepareSeries(first, 0.1, false);
  EXPECT_TRUE(f.AllPositive);
  EXPECT_DOUBLE_EQ(f.M, 0.8);
}

TEST(GraphScale, AltitudeZeroMeansNoValue)
{
  TGraphicItems s = flatSeries(10, 120);
  s[3] = {0, 0, 2, s[3].Time};   // no altitude at all
  s[5] = {0, 130, 2, s[5].Time}; // one sample without altitude
  s[0] = {0, 0, 1, s[0].Time};   // the first column is left alone
  TGraphicItems speed = s;
  PrepareSeries(s, 5, true);
  EXPECT_EQ(s[3].Count, 0);
  EXPECT_EQ(s[5].Count, 2);
  EXPECT_EQ(s[5].MinValue, 130);
  EXPECT_EQ(s[0].Count, 1);
  // Other graphs keep zeros as values.
  PrepareSeries(speed, 10, false);
  EXPECT_EQ(speed[3].Count, 2);

  // Drawn: nothing at column 3, a single pixel at column 5's maximum.
  const TGraphArea a = area100(130);
  const auto segs = CurveSegments(s, a);
  for (const auto &seg : segs) EXPECT_NE(seg.From.x(), a.Margin + 3);
  bool pointAt5 = false;
  for (const auto &seg : segs)
    if (seg.From.x() == a.Margin + 5 && seg.What != TCurveSegment::Connector)
      pointAt5 = seg.What == TCurveSegment::Pixel && seg.From.y() == ValueToY(a, 130);
  EXPECT_TRUE(pointAt5);
}

// ---------------------------------------------------------------- grid

TEST(GraphGrid, LabelsOfAPositiveAndASignedScale)
{
  const TGraphArea a = area100(10.5);
  const auto labels = GridLabels(a, 10, 12);
  ASSERT_EQ(labels.size(), 3u);
  // Zero is labelled for both signs, and never as "-0".
  EXPECT_EQ(labels[0].Text, "0");
  EXPECT_EQ(labels[0].Y, 93);
  EXPECT_FALSE(labels[0].GridLine);
  EXPECT_EQ(labels[1].Text, "0");
  EXPECT_EQ(labels[2].Text, "10");
  EXPECT_EQ(labels[2].Y, 93 - 77); // Round(10 x 81 / 10.5)
  EXPECT_TRUE(labels[2].GridLine);

  const TGraphArea signedArea = area100(0.5, false);
  std::vector<QString> texts;
  for (const auto &l : GridLabels(signedArea, 0.1, 12)) texts.push_back(l.Text);
  // 40 px for 0.5: labels need 14.4 px, so a step of 0.2.
  EXPECT_EQ(texts, (std::vector<QString>{"0", "0", "-0.2", "0.2", "-0.4", "0.4"}));

  // A system locale with a decimal comma changes no label: the rest of the
  // window writes its numbers with a point.
  TFormatSettings comma = FormatSettings();
  const QChar point = comma.decimalSeparator;
  comma.decimalSeparator = QLatin1Char(',');
  SetFormatSettings(comma);
  std::vector<QString> underComma;
  for (const auto &l : GridLabels(signedArea, 0.1, 12)) underComma.push_back(l.Text);
  TGraphicItems s = flatSeries(100, 0.2);
  s[40] = {-0.83, 0.1, 1, s[40].Time};
  const TGraphScale sc = PrepareSeries(s, 0.1, false);
  const auto peaks = PickPeaks(s, area100(sc.M, sc.AllPositive), 0.1, kSixPerChar, 12);
  comma.decimalSeparator = point;
  SetFormatSettings(comma);
  EXPECT_EQ(underComma, texts);
  ASSERT_FALSE(peaks.empty());
  EXPECT_EQ(peaks[0].Text, "-0.83");
}

TEST(GraphGrid, AbsurdValuesGiveBoundedLabels)
{
  for (double m : {1e300, 1e20, std::numeric_limits<double>::infinity()}) {
    const TGraphArea a = area100(m, false);
    const auto labels = GridLabels(a, 5, 12);
    EXPECT_LE(labels.size(), size_t(2 * (a.H - a.BottomMargin - a.TopMargin + 2))) << m;
    for (const auto &l : labels) {
      EXPECT_GE(l.Y, a.TopMargin);
      EXPECT_LE(l.Y, a.H - a.BottomMargin);
    }
  }
  EXPECT_DOUBLE_EQ(GridLabelStep(area100(1e300), 5, 12), 5000); // capped at 1000 x GridStep
}

// ---------------------------------------------------------------- curve

TEST(GraphCurve, JoiningAcrossMissingColumns)
{
  const TGraphArea a = area100(10.5);
  TGraphicItems s(100);
  // A negative T stands for a column without time.
  auto put = [&](int i, double v, double t) { s[i] = {v, v, 1, t < 0 ? 0.0 : 45000.5 + t * kSec}; };
  put(10, 5, 0);
  put(14, 5, 10); // 4 columns and 10 s on: the line breaks
  put(17, 5, 20); // 3 columns on: joined, however far in time
  put(21, 5, 22); // 4 columns but only 2 s on: joined
  put(30, 5, -1); // no time, 9 columns: joined
  put(81, 5, -1); // no time, 51 columns: broken
  const auto segs = CurveSegments(s, a);
  EXPECT_FALSE(hasConnector(segs, 35, 39));
  EXPECT_TRUE(hasConnector(segs, 39, 42));
  EXPECT_TRUE(hasConnector(segs, 42, 46));
  EXPECT_TRUE(hasConnector(segs, 46, 55));
  EXPECT_FALSE(hasConnector(segs, 55, 106));
}

TEST(GraphCurve, ConnectorsJoinTheNearEnds)
{
  const TGraphArea a = area100(10.5);
  TGraphicItems s(10);
  s[0] = {2, 3, 1, 1};
  s[1] = {6, 8, 1, 1};     // wholly above: from the last top to this bottom
  s[2] = {1, 2, 1, 1};     // wholly below: from the last bottom to this top
  s[3] = {1.5, 2.5, 1, 1}; // overlapping, next column: no connector
  s[5] = {2, 2, 1, 1};     // overlapping, a column apart: top to top
  const auto segs = CurveSegments(s, a);
  auto connector = [&](int from) {
    for (const auto &seg : segs)
      if (seg.What == TCurveSegment::Connector && seg.From.x() == a.Margin + from) return seg;
    return TCurveSegment{};
  };
  auto ends = [&](int from) { return std::make_pair(connector(from).From.y(), connector(from).To.y()); };
  EXPECT_EQ(ends(0), std::make_pair(ValueToY(a, 3), ValueToY(a, 6)));
  EXPECT_EQ(ends(1), std::make_pair(ValueToY(a, 6), ValueToY(a, 2)));
  EXPECT_FALSE(hasConnector(segs, a.Margin + 2, a.Margin + 3));
  EXPECT_EQ(ends(3), std::make_pair(ValueToY(a, 2.5), ValueToY(a, 2)));
  // Columns: a vertical line that includes its bottom pixel.
  for (const auto &seg : segs)
    if (seg.What == TCurveSegment::Column && seg.From.x() == a.Margin + 1) {
      EXPECT_EQ(seg.From.y(), ValueToY(a, 8));
      EXPECT_EQ(seg.To.y(), ValueToY(a, 6) + 1);
    }
}

// ---------------------------------------------------------------- peaks

TEST(GraphPeaks, AtMostFiveAndNeverTwoOnOneHill)
{
  // Eight triangular hills 40 columns apart (peaks 10 to 17), and a broad
  // hill of 250 columns (peak 30) that falls far beyond its label's reach.
  TGraphicItems s(600);
  std::vector<std::pair<int, int>> hills; // first and last column of each
  for (int h = 0; h < 8; ++h) {
    const int centre = 15 + 40 * h;
    for (int d = -12; d <= 12; ++d) s[centre + d] = {0, 10.0 + h - std::abs(d) * 0.5, 1, 0};
    hills.push_back({centre - 14, centre + 14});
  }
  for (int i = 340; i < 590; ++i) s[i] = {0, 30 - std::abs(i - 465) * 0.2, 1, 0};
  hills.push_back({335, 595});
  const TGraphScale sc = PrepareSeries(s, 10, false);
  const TGraphArea a = area100(sc.M);
  const auto peaks = PickPeaks(s, a, 10, kSixPerChar, 12);
  ASSERT_EQ(peaks.size(), 5u);
  std::set<int> hillsSeen;
  for (const auto &p : peaks) {
    int hill = -1;
    for (size_t h = 0; h < hills.size(); ++h)
      if (p.Column >= hills[h].first && p.Column <= hills[h].second) hill = int(h);
    ASSERT_GE(hill, 0) << p.Column;
    EXPECT_TRUE(hillsSeen.insert(hill).second) << "second label on hill " << hill;
  }
  std::vector<int> columns;
  for (const auto &p : peaks) columns.push_back(p.Column);
  EXPECT_EQ(columns, (std::vector<int>{465, 295, 255, 215, 175}));
  EXPECT_EQ(peaks[0].Text, "30");
  EXPECT_EQ(peaks[1].Text, "17");
  EXPECT_EQ(peaks[0].Mark, QPoint(a.Margin + 465, a.TopMargin));
  EXPECT_EQ(peaks[0].TextTopLeft, QPoint(a.Margin + 467, 1)); // kept inside the picture
}

TEST(GraphPeaks, NegativePeaksAndLabelPlacement)
{
  TGraphicItems s = flatSeries(100, 0.2);
  s[40] = {-0.83, 0.1, 1, s[40].Time};
  TGraphicItems copy = s;
  const TGraphScale sc = PrepareSeries(copy, 0.1, false);
  TGraphArea a = area100(sc.M, sc.AllPositive);
  const auto peaks = PickPeaks(copy, a, 0.1, kSixPerChar, 12);
  ASSERT_FALSE(peaks.empty());
  EXPECT_EQ(peaks[0].Column, 40);
  EXPECT_EQ(peaks[0].Text, "-0.83");
  const int y = ValueToY(a, -0.83);
  EXPECT_EQ(peaks[0].TextTopLeft, QPoint(a.Margin + 42, std::min(y, a.H - 12)));
  // A small negative value rounds to a zero label without a sign.
  TGraphicItems tiny = flatSeries(10, -0.001);
  tiny[0] = {0, 0, 0, 0};
  const auto z = PickPeaks(tiny, area100(0.105), 0.1, kSixPerChar, 12);
  ASSERT_FALSE(z.empty());
  EXPECT_EQ(z[0].Text, "0");
}

// ---------------------------------------------------------------- cursor

TEST(GraphCursor, OnlyInsideTheWindow)
{
  EXPECT_EQ(GraphCursorX(300, 25, 0.5L, 0.0L, 1.0L), 150);
  EXPECT_EQ(GraphCursorX(300, 25, 0.25L, 0.25L, 0.75L), 25);
  EXPECT_EQ(GraphCursorX(300, 25, 0.75L, 0.25L, 0.75L), 275);
  EXPECT_FALSE(GraphCursorX(300, 25, 0.2L, 0.25L, 0.75L));
  EXPECT_FALSE(GraphCursorX(300, 25, 0.8L, 0.25L, 0.75L));
  EXPECT_FALSE(GraphCursorX(300, 25, -1.0L, 0.25L, 0.75L));
  EXPECT_FALSE(GraphCursorX(300, 25, 0.5L, 0.5L, 0.5L));
}

// ---------------------------------------------------------------- painters

namespace {

// The owner's drawing order.
template <typename G>
void drawGraph(G &g, TGraphicItems series, long double cursor)
{
  g.Resize();
  g.FillBackground(DisplayColour(QStringLiteral("colorGraphBG")));
  g.Draw(series, {}, {}, {}, 0.0L, 1.0L);
  g.DrawBorder();
  g.DrawCursor(cursor);
}

} // namespace

TEST(GraphPainters, CurveAndCursorPixels)
{
  TImage img = graphImage();
  TSpeedGraphic g(&img, 25);
  drawGraph(g, flatSeries(250, 5), 0.5L);
  const TGraphArea a{300, 100, 25, g.TopMargin(), g.BottomMargin(), g.BaseY(), 10.5};
  const QColor blue(0, 0, 255);
  EXPECT_EQ(g.BaseY(), 100 - g.BottomMargin());
  // The curve, away from the peak label at the left end.
  EXPECT_TRUE(sameColour(img.Picture.pixel(25 + 200, ValueToY(a, 5)), blue));
  EXPECT_TRUE(sameColour(img.Picture.pixel(25 + 200, ValueToY(a, 5) - 3), Qt::white));
  // The cursor at the middle: red not-merged comes out black on white, and
  // green over the blue curve.
  EXPECT_TRUE(sameColour(img.Picture.pixel(150, 40), Qt::black));
  EXPECT_TRUE(sameColour(img.Picture.pixel(150, ValueToY(a, 5)), QColor(0, 255, 0)));
  // The zero line and the axes in the axis colour.
  EXPECT_TRUE(sameColour(img.Picture.pixel(25, 50), Qt::black));
  EXPECT_TRUE(sameColour(img.Picture.pixel(275, 50), Qt::black));
  // Borders.
  EXPECT_TRUE(sameColour(img.Picture.pixel(100, 0), QColor(0x66, 0x66, 0x66)));
  EXPECT_TRUE(sameColour(img.Picture.pixel(100, 99), QColor(0xCC, 0xCC, 0xCC)));

  // No file current: the background alone.
  g.DrawCursor(-1);
  EXPECT_EQ(img.Picture, g.Background());
}

TEST(GraphPainters, EmptySeriesDrawsNothingMore)
{
  TImage img = graphImage();
  TGsensorXGraphic g(&img, 25);
  g.Resize();
  g.FillBackground(Qt::white);
  TGraphicItems empty;
  g.Draw(empty, {0, 10}, {}, {}, 0.1L, 0.9L);
  EXPECT_EQ(kptest::countColour(g.Background(), Qt::white), 300 * 100);
}

TEST(GraphPainters, HugeAltitudeDrawsInBoundedTime)
{
  TImage img = graphImage();
  TAltitudeGraphic g(&img, 25);
  TGraphicItems s = flatSeries(250, 150);
  s[100] = {1e300, 1e300, 1, s[100].Time};
  s[101] = {-1e300, 1e300, 1, s[101].Time};
  s[102] = {std::nan(""), std::numeric_limits<double>::infinity(), 1, s[102].Time};
  QElapsedTimer timer;
  timer.start();
  drawGraph(g, s, 0.3L);
  EXPECT_LT(timer.elapsed(), 2000);
  EXPECT_FALSE(g.AllPositive());
}

TEST(GraphPainters, Golden)
{
  TImage img = graphImage(300, 80);
  TSpeedGraphic g(&img, 25);
  TGraphicItems s(250);
  for (int i = 0; i < 250; ++i)
    if (i < 100 || i > 130)
      s[i] = {40 + 30 * std::sin(i / 20.0) - 2, 40 + 30 * std::sin(i / 20.0) + 2, 3, 45000.5 + i * kSec};
  drawGraph(g, s, 0.6L);
  KP_EXPECT_GOLDEN(img.Picture, "graph", 150);
}

TEST(GraphPainters, ValueGetterReadsTheGraphsOwnSeries)
{
  TMovingInfo info;
  for (int i = 0; i < 20; ++i) {
    TMovingPoint p;
    p.Time = 45000.5 + i * kSec;
    p.Speed = 10 + i;
    p.Alt = 200 - i;
    info.Points.push_back(p);
    TGSensorSample g;
    std::tie(g.Time, g.X, g.Y, g.Z, g.A) = std::make_tuple(p.Time, 0.01 * i, -0.02 * i, 0.03 * i, 0.04 * i);
    info.GSensor.push_back(g);
  }
  info.StartTime = info.Points.front().Time;
  info.EndTime = info.Points.back().Time;
  using Method = void (TMovingInfo::*)(TGraphicItems &, TDateTime, TDateTime) const;
  TImage img = graphImage();
  const std::vector<std::pair<TMyGraphicClass, Method>> table = {
      {&TSpeedGraphic::Create, &TMovingInfo::GetSpeedSeries},
      {&TAltitudeGraphic::Create, &TMovingInfo::GetAltitudeSeries},
      {&TGsensorAGraphic::Create, &TMovingInfo::GetGSensorASeries},
      {&TGsensorXGraphic::Create, &TMovingInfo::GetGSensorXSeries},
      {&TGsensorYGraphic::Create, &TMovingInfo::GetGSensorYSeries},
      {&TGsensorZGraphic::Create, &TMovingInfo::GetGSensorZSeries},
  };
  for (const auto &[create, method] : table) {
    const auto g = create(&img, 25);
    TGraphicItems viaGetter(40), direct(40);
    g->GetValueGetter(info)(viaGetter, info.StartTime, info.EndTime);
    (info.*method)(direct, info.StartTime, info.EndTime);
    int filled = 0;
    for (size_t i = 0; i < direct.size(); ++i) {
      EXPECT_EQ(viaGetter[i].Count, direct[i].Count) << g->GetLetter().toStdString() << i;
      EXPECT_EQ(viaGetter[i].MaxValue, direct[i].MaxValue) << g->GetLetter().toStdString() << i;
      filled += direct[i].Count > 0;
    }
    EXPECT_GT(filled, 0) << g->GetLetter().toStdString();
  }
}
