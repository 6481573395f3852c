#include "DisplayTestSupport.h"
#include "UnitBitmaps.h"

#include <QFontMetrics>
#include <gtest/gtest.h>

using namespace kp;
using kptest::countPixels;
using kptest::sameColour;

namespace {

constexpr double kSec = 1.0 / 86400.0;
constexpr double kMin = 1.0 / 1440.0;
const TTextWidth kSixPerChar = [](const QString &s) { return int(s.size()) * 6; };

// The step loop exactly as designed, counting its passes.
int64_t growthMultiple(double span, double base, int64_t n)
{
  int64_t k = 1;
  double s = base;
  while (std::floor(span / s) > double(n)) {
    s += base;
    ++k;
  }
  return k;
}

std::vector<QString> drawnTexts(const std::vector<TScaleTick> &ticks)
{
  std::vector<QString> out;
  for (const TScaleTick &t : ticks)
    if (t.Drawn) out.push_back(t.Text);
  return out;
}

} // namespace

TEST(SeekBarScale, DirectStepMatchesTheGrowingLoop)
{
  for (double base : {kSec, kMin})
    for (int64_t n : {0, 1, 3, 7, 12, 18, 40})
      for (double span = base / 3; span < base * 2000; span *= 1.37) {
        const int64_t k = growthMultiple(span, base, n);
        const double direct = ScaleStep(span, base, n);
        EXPECT_NEAR(direct / base, double(k), 1e-6) << "span " << span << " n " << n;
        EXPECT_NEAR(ScaleStepByGrowth(span, base, n, 1000000) / base, double(k), 1e-6);
      }
  // Exact multiples sit on the boundary: 120 s over 12 labels is 10 s.
  EXPECT_NEAR(ScaleStep(120 * kSec, kSec, 12) / kSec, 10.0, 1e-9);
  EXPECT_NEAR(ScaleStep(30 * kMin, kMin, 18) / kMin, 2.0, 1e-9);
}

TEST(SeekBarScale, HostileSpansStayBounded)
{
  // Days of recording and absurd spans need no loop of their own.
  EXPECT_NEAR(ScaleStep(3.0, kMin, 10) / kMin, std::floor(3.0 * 1440 / 11) + 1, 1e-6);
  const double huge = ScaleStep(1e300, kSec, 10);
  EXPECT_TRUE(std::isfinite(huge));
  EXPECT_LE(std::floor(1e300 / huge), 10.0);
  EXPECT_EQ(ScaleStep(0, kSec, 10), kSec);
  EXPECT_EQ(ScaleStep(std::nan(""), kSec, 10), kSec);

  TSeekScaleInput in{0, 0, 1e300, 25, 550};
  EXPECT_LE(ElapsedTicks(in, kSixPerChar).size(), 550u);
  EXPECT_LE(ClockTicks(in, kSixPerChar).size(), 550u);
  // A window far out where t + step == t.
  TSeekScaleInput far{0, 1e18, 1e18 + 1e5, 25, 550};
  EXPECT_LE(ElapsedTicks(far, kSixPerChar).size(), 550u);
}

TEST(SeekBarScale, TwoMinuteWindowLabelsSecondsEveryTen)
{
  const double start = 0.5; // noon
  // Label width 6 x 5 + 20 = 50; 600 / 50 = 12 labels fit: 10 s steps.
  const TSeekScaleInput in{start, start, start + 119.5 * kSec, 25, 600};
  const auto ticks = ElapsedTicks(in, kSixPerChar);
  ASSERT_EQ(ticks.size(), 12u);
  EXPECT_EQ(drawnTexts(ticks).size(), 12u);
  EXPECT_EQ(std::tie(ticks[0].Text, ticks[0].X), std::make_tuple(QString("0:00"), 25));
  EXPECT_EQ(std::tie(ticks[1].Text, ticks[1].X), std::make_tuple(QString("0:10"), 75)); // 25 + Round(10 x 600 / 119.5)
  EXPECT_EQ(ticks[11].Text, "1:50");
  // The clock scale: 8-character labels (68 px) allow 8, so 14 s steps,
  // aligned to midnight rather than to the window.
  const auto clock = ClockTicks(in, kSixPerChar);
  ASSERT_GE(clock.size(), 2u);
  EXPECT_EQ(std::tie(clock[0].Text, clock[0].X), std::make_tuple(QString("12:00:04"), 25 + 20));
  EXPECT_EQ(clock[1].Text, "12:00:18");
}

TEST(SeekBarScale, ThirtyMinuteWindowLabelsWholeMinutes)
{
  const double start = 0.25;
  // Window from minute 11 to minute 41 of the recording.
  const TSeekScaleInput in{start, start + 11 * kMin, start + 41 * kMin, 25, 600};
  // "99" + 20 = 32 px: 18 labels fit, so 2-minute steps.
  const auto ticks = ElapsedTicks(in, kSixPerChar);
  ASSERT_EQ(ticks.size(), 15u);
  EXPECT_EQ(std::tie(ticks[0].Text, ticks[0].X), std::make_tuple(QString("12"), 45));
  EXPECT_EQ(std::tie(ticks[1].Text, ticks[1].X), std::make_tuple(QString("14"), 85));
  EXPECT_EQ(ticks.back().Text, "40");
  // An hour on: hours and minutes.
  const TSeekScaleInput later{start, start + 71 * kMin, start + 101 * kMin, 25, 600};
  EXPECT_EQ(ElapsedTicks(later, kSixPerChar)[0].Text, "1:12");
}

TEST(SeekBarScale, LabelsThatWouldTouchAreSkipped)
{
  const double start = 0.5;
  const TSeekScaleInput in{start, start, start + 119.5 * kSec, 25, 600};
  // Labels 60 px wide, about 50 px apart: every second one is left out.
  const TTextWidth wide = [](const QString &s) { return s.size() == 5 ? 30 : 60; };
  const auto ticks = ElapsedTicks(in, wide);
  ASSERT_EQ(ticks.size(), 12u);
  for (size_t i = 0; i < ticks.size(); ++i) EXPECT_EQ(ticks[i].Drawn, i % 2 == 0) << i;
}

TEST(SeekBarScale, MidnightGetsALabel)
{
  const double day = 45000;
  // 700 px hold 10 clock labels: 6 s steps, which divide the day.
  const TSeekScaleInput in{day + (86400 - 30) * kSec, day + (86400 - 30) * kSec, day + 1 + 30 * kSec, 25, 700};
  const auto texts = drawnTexts(ClockTicks(in, kSixPerChar));
  EXPECT_NE(std::find(texts.begin(), texts.end(), QStringLiteral("00:00:00")), texts.end());
  EXPECT_NE(std::find(texts.begin(), texts.end(), QStringLiteral("23:59:54")), texts.end());
}

TEST(SeekBarScale, EmptyWindowHasNoTicks)
{
  const TSeekScaleInput in{45000, 45000.1, 45000.1, 25, 600};
  EXPECT_TRUE(ElapsedTicks(in, kSixPerChar).empty());
  EXPECT_TRUE(ClockTicks(in, kSixPerChar).empty());
}

TEST(SeekBarScale, CursorLabels)
{
  EXPECT_EQ(CursorElapsedText(0, 125500), "2:05");
  EXPECT_EQ(CursorElapsedText(1, 125500), "2:05.5");
  EXPECT_EQ(CursorElapsedText(2, 125567), "2:05.56");
  EXPECT_EQ(CursorElapsedText(3, 125007), "2:05.007");
  EXPECT_EQ(CursorElapsedText(3, 3725000), "1:02:05.000");
}

// ---------------------------------------------------------------- painter

class SeekBarPainter : public ::testing::Test {
protected:
  TImage img = kptest::blankImage(600, 40);
  TSeekBitmap bar{&img};
  const QColor back{240, 240, 240};
  const double start = 45000.5;
  const double end = 45000.5 + 10 * kMin; // a 10-minute recording
};

TEST_F(SeekBarPainter, BarScalesAndEmptyWindow)
{
  bar.Draw(back, {}, start, end, 0.0L, 1.0L, {}, {});
  const int mid = 20, m = bar.Margin();
  // The bar itself in the button-shadow colour, scales above and below.
  EXPECT_TRUE(sameColour(img.Picture.pixel(300, mid), SystemColour(TSystemColour::ButtonShadow)));
  EXPECT_TRUE(sameColour(img.Picture.pixel(m, mid - 6), Qt::black)); // first elapsed tick
  EXPECT_TRUE(sameColour(img.Picture.pixel(m, mid + 5), Qt::black)); // first clock tick
  auto dark = [](QRgb p) { return qGray(p) < 128; };
  auto ink = [&](int y1, int y2) { return countPixels(img.Picture, 0, y1, 600, y2, dark); };
  EXPECT_GT(ink(0, mid - 5), 0);
  EXPECT_GT(ink(mid + 6, 40), 0);
  // The first labels sit centred on the first ticks: "0" with its bottom on
  // the bar's top, the clock time just under the bar.
  const QFontMetrics fm(MakeFont(QStringLiteral("Arial"), 8));
  const int th = fm.height(), zero = fm.horizontalAdvance(QStringLiteral("0"));
  const int clock = fm.horizontalAdvance(QStringLiteral("12:00:00"));
  EXPECT_GT(countPixels(img.Picture, m - zero / 2, mid - 5 - th, m - zero / 2 + zero, mid - 6, dark), 0);
  EXPECT_EQ(countPixels(img.Picture, m - zero / 2 - 8, mid - 5 - th, m - zero / 2 - 1, mid - 5, dark), 0);
  EXPECT_GT(countPixels(img.Picture, m - clock / 2, mid + 6, m - clock / 4, mid + 6 + th, dark), 0);
  EXPECT_EQ(countPixels(img.Picture, m - clock / 2 - 8, mid + 6, m - clock / 2 - 1, mid + 6 + th, dark), 0);

  // A window of no length draws the bar alone.
  bar.Draw(back, {}, start, end, 0.5L, 0.5L, {}, {});
  EXPECT_EQ(ink(0, mid - 5), 0);
  EXPECT_EQ(ink(mid + 6, 40), 0);
  bool onCursor = true;
  bar.DrawCursor(0, 0.5L);
  EXPECT_EQ(img.Picture, bar.Background());
  EXPECT_EQ(bar.XToPosition(300, onCursor), 0.5L);
  EXPECT_FALSE(onCursor);
}

TEST_F(SeekBarPainter, CursorInsideAndOutsideTheWindow)
{
  bar.Draw(back, {0, 1}, start, end, 0.25L, 0.75L, {}, {});
  // Position 0.5 is the window's middle.
  bar.DrawCursor(1, 0.5L);
  const int x = bar.Margin() + PixelRound(bar.Wd() * 0.5);
  EXPECT_EQ(bar.CursorX(), x);
  EXPECT_TRUE(sameColour(img.Picture.pixel(x, 20), SystemColour(TSystemColour::ButtonHighlight))); // the knob
  EXPECT_TRUE(sameColour(img.Picture.pixel(x, 20 - 5), Qt::black));                                // its ring
  bool onCursor = false;
  bar.XToPosition(x + 4, onCursor);
  EXPECT_TRUE(onCursor);
  bar.XToPosition(x + 5, onCursor);
  EXPECT_FALSE(onCursor);

  // Outside the window: only the restored bar, and nothing to grab.
  bar.DrawCursor(1, 0.1L);
  EXPECT_EQ(img.Picture, bar.Background());
  bar.XToPosition(x, onCursor);
  EXPECT_FALSE(onCursor);
}

TEST_F(SeekBarPainter, XToPositionClampsToTheWindow)
{
  bar.Draw(back, {}, start, end, 0.2L, 0.6L, {}, {});
  bool onCursor = false;
  EXPECT_DOUBLE_EQ(double(bar.XToPosition(0, onCursor)), 0.2);
  EXPECT_DOUBLE_EQ(double(bar.XToPosition(-5000, onCursor)), 0.2);
  EXPECT_DOUBLE_EQ(double(bar.XToPosition(600, onCursor)), 0.6);
  EXPECT_DOUBLE_EQ(double(bar.XToPosition(INT32_MAX, onCursor)), 0.6);
  const int x = bar.Margin() + bar.Wd() / 2;
  EXPECT_NEAR(double(bar.XToPosition(x, onCursor)), 0.2 + 0.4 * (x - bar.Margin()) / double(bar.Wd()), 1e-12);
}

TEST_F(SeekBarPainter, Golden)
{
  bar.Draw(back, {0, 1, 300, 320}, start, end, 0.0L, 1.0L, {100, 140}, {200, 260});
  bar.DrawCursor(1, 0.4L);
  KP_EXPECT_GOLDEN(img.Picture, "seekbar", 300);
}
