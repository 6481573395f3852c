// The seek bar: time scales over the visible window, coverage stripes, the
// play cursor, and pixel-to-position conversion.

#include "UnitBitmaps.h"

#include <cmath>

namespace kp {

namespace {

constexpr double kSecond = 1.0 / 86400.0;
constexpr double kMinute = 1.0 / 1440.0;

bool stepTooSmall(double span, double step, int64_t maxLabels)
{
  return std::floor(span / step) > static_cast<double>(maxLabels);
}

// Shared walk of both scales: first tick, step and spacing rule.
template <typename XOf, typename TextOf>
std::vector<TScaleTick> walkTicks(double first, double end, double step, int64_t maxLabels, XOf xOf, TextOf textOf,
                                  const TTextWidth &width)
{
  std::vector<TScaleTick> ticks;
  int lastX = -100;
  // The step keeps at most maxLabels + 1 ticks inside the window; the bound
  // also ends the walk when t + step == t for a far-off window.
  const int64_t limit = maxLabels + 2;
  double t = first;
  for (int64_t n = 0; t < end && n < limit; ++n, t += step) {
    TScaleTick tick;
    tick.X = xOf(t);
    tick.Text = textOf(t);
    tick.Drawn = width(tick.Text) < int64_t(tick.X) - lastX;
    if (tick.Drawn) lastX = tick.X;
    ticks.push_back(std::move(tick));
  }
  return ticks;
}

bool usableWindow(const TSeekScaleInput &in)
{
  return std::isfinite(in.T1) && std::isfinite(in.T2) && std::isfinite(in.StartTime) && in.T1 < in.T2;
}

} // namespace

double ScaleStep(double span, double base, int64_t maxLabels)
{
  if (!(span > 0) || !(base > 0) || !std::isfinite(span)) return base;
  maxLabels = std::max<int64_t>(0, maxLabels);
  // Floor(span / (k base)) <= N  <=>  k > span / (base (N + 1)).
  double k = std::max(1.0, std::floor(span / (base * (double(maxLabels) + 1))) + 1);
  // Settle rounding at the boundary against the condition itself.
  for (int i = 0; i < 4 && k > 1 && !stepTooSmall(span, (k - 1) * base, maxLabels); ++i) k -= 1;
  // Past 2^53 adding 1 no longer changes k: step to the next double instead.
  for (int i = 0; i < 8 && stepTooSmall(span, k * base, maxLabels); ++i)
    k = std::max(k + 1, std::nextafter(k, HUGE_VAL));
  return k * base;
}

double ScaleStepByGrowth(double span, double base, int64_t maxLabels, int64_t maxSteps)
{
  double s = base;
  for (int64_t i = 0; i < maxSteps && stepTooSmall(span, s, maxLabels); ++i) s += base;
  return s;
}

std::vector<TScaleTick> ElapsedTicks(const TSeekScaleInput &in, const TTextWidth &width)
{
  if (!usableWindow(in)) return {};
  const double span = in.T2 - in.T1;
  const bool isShort = std::fabs(span) < kShortWindow;
  const int labelWidth = width(isShort ? QStringLiteral("99:99") : QStringLiteral("99")) + 20;
  const int64_t maxLabels = in.Wd / std::max(1, labelWidth);
  const double step = ScaleStep(span, isShort ? kSecond : kMinute, maxLabels);
  const double from = in.T1 - in.StartTime;
  return walkTicks(
      std::ceil(from / step) * step, in.T2 - in.StartTime, step, maxLabels,
      [&](double t) { return in.Margin + PixelRound((t - from) * in.Wd / span); },
      [&](double t) { return DurationToStr(isShort, Round(t * MSecsPerDay)); }, width);
}

std::vector<TScaleTick> ClockTicks(const TSeekScaleInput &in, const TTextWidth &width)
{
  if (!usableWindow(in)) return {};
  const double span = in.T2 - in.T1;
  const bool isShort = std::fabs(span) < kShortWindow;
  const int labelWidth = width(QStringLiteral("99:99:99")) + 20;
  const int64_t maxLabels = in.Wd / std::max(1, labelWidth);
  const double step = ScaleStep(span, isShort ? kSecond : kMinute, maxLabels);
  // Aligned to midnight, so a step of 5 minutes lands on :00, :05, ...
  const double first = Int(in.T1) + std::ceil(Frac(in.T1) / step) * step;
  return walkTicks(
      first, in.T2, step, maxLabels, [&](double t) { return in.Margin + PixelRound((t - in.T1) * in.Wd / span); },
      [](double t) { return TimeToStr(t); }, width);
}

QString CursorElapsedText(int decimals, int64_t ms)
{
  QString s = DurationToStr(true, ms);
  const int64_t part = std::abs(ms % 1000);
  if (decimals == 1) s += QLatin1Char('.') + QString::number(part / 100);
  if (decimals == 2) s += QLatin1Char('.') + IntToStrZ(part / 10, 2);
  if (decimals == 3) s += QLatin1Char('.') + IntToStrZ(part, 3);
  return s;
}

// ---------------------------------------------------------------- TSeekBitmap

TSeekBitmap::TSeekBitmap(TImage *image) : TMyBitmap(image)
{
  BackCanvas.SetFont(QStringLiteral("Arial"), 8);
  ImageCanvas.SetFont(BackCanvas.Font());
  FMargin = BackCanvas.TextWidth(QStringLiteral("99:99:99")) / 2 + 4;
}

void TSeekBitmap::Draw(const QColor &backColour, const TArrayInteger &gaps, double startTime, double endTime,
                       long double windowStart, long double windowEnd, const TArrayInteger &noHeader,
                       const TArrayInteger &selection)
{
  Resize();
  FillBackground(backColour);
  DrawCoverage(FMargin, gaps, noHeader, selection);
  FLabelRects.clear();
  FStartTime = startTime;
  FEndTime = endTime;
  FWindowStart = windowStart;
  FWindowEnd = windowEnd;
  const long double length = static_cast<long double>(endTime) - startTime;
  const double t1 = static_cast<double>(startTime + length * windowStart);
  const double t2 = static_cast<double>(startTime + length * windowEnd);
  if (t1 < t2) DrawScales(t1, t2);
  DrawBar();
  ImageCanvas.SetFont(BackCanvas.Font());
  RestoreBackground();
  NotifyChanged();
}

void TSeekBitmap::DrawScales(double t1, double t2)
{
  TCanvas &c = BackCanvas;
  c.PenColor = Qt::black;
  c.PenMode = TPenMode::Copy;
  c.BrushClear = true;
  c.FontColor = Qt::black;
  const int mid = H() / 2, half = FBarHeight / 2;
  const TSeekScaleInput in{FStartTime, t1, t2, FMargin, Wd()};
  const TTextWidth width = [&c](const QString &s) { return c.TextWidth(s); };
  const auto label = [&](const TScaleTick &t, int top) {
    const int tw = c.TextWidth(t.Text);
    const QRect r(t.X - tw / 2, top, tw, c.TextHeight(t.Text));
    c.TextOut(r.x(), r.y(), t.Text);
    FLabelRects.push_back(r);
  };
  for (const TScaleTick &t : ElapsedTicks(in, width)) {
    if (!t.Drawn) continue;
    label(t, mid - half - c.TextHeight(t.Text));
    c.Line(t.X, mid, t.X, mid - half - 2);
  }
  for (const TScaleTick &t : ClockTicks(in, width)) {
    if (!t.Drawn) continue;
    label(t, mid + half + 1);
    c.Line(t.X, mid, t.X, mid + half + 1);
  }
}

void TSeekBitmap::DrawBar()
{
  TCanvas &c = BackCanvas;
  const int mid = H() / 2, half = FBarHeight / 2;
  c.PenColor = Qt::black;
  c.BrushColor = SystemColour(TSystemColour::ButtonShadow);
  c.BrushClear = false;
  c.RoundRect(FMargin - half, mid - half, W() - FMargin + half, mid + half, FBarHeight - 1, FBarHeight - 1);
}

void TSeekBitmap::DrawCursor(int decimals, long double position)
{
  const long double length = static_cast<long double>(FEndTime) - FStartTime;
  const int64_t ms = Round(length * position * static_cast<long double>(MSecsPerDay));
  const double clock = static_cast<double>(FStartTime + length * position);
  const long double f = FWindowEnd > FWindowStart ? (position - FWindowStart) / (FWindowEnd - FWindowStart) : -1.0L;
  const int x = FMargin + PixelRound(static_cast<long double>(Wd()) * f);
  const bool shown = x >= FMargin && x <= W() - FMargin;
  const QString elapsed = shown ? CursorElapsedText(decimals, ms) : QString();
  const QString clockText = shown ? TimeToStr(clock) : QString();
  // An unchanged cursor is not drawn again; a moved one repaints only the
  // strip it left and the strip it took.
  const QString key = shown ? QStringLiteral("%1|%2|%3").arg(x).arg(elapsed, clockText) : QString();
  if (SameAsDrawn(key)) return;
  const QRect before = PictureAsDrawn() ? FCursorRect : QRect(0, 0, W(), H());
  RestoreBackground();
  if (!shown) {
    // Nothing shown, so nothing to grab either.
    FCursorX = INT32_MIN / 2;
    FCursorRect = QRect();
    NotifyChanged(before.isEmpty() ? QRect(0, 0, 1, 1) : before);
    Drawn(key);
    return;
  }
  TCanvas &c = ImageCanvas;
  const int mid = H() / 2, half = FBarHeight / 2;
  c.PenMode = TPenMode::Copy;
  c.PenColor = Qt::black;
  c.Line(x, mid + half + 5, x, mid - half - 5);
  c.FontColor = Qt::black;
  int widest = FBarHeight;
  auto label = [&](const QString &text, int boxTop, int boxBottom, int textTop) {
    const int tw = c.TextWidth(text);
    widest = std::max(widest, tw + 10);
    c.PenColor = QColor(100, 100, 100);
    c.BrushColor = Qt::white;
    c.BrushClear = false;
    c.RoundRect(x - tw / 2 - 4, boxTop, x + tw / 2 + 5, boxBottom, 5, 5);
    c.BrushClear = true;
    c.TextOut(x - tw / 2, textTop, text);
  };
  label(elapsed, 0, mid - half - 2, mid - half - c.TextHeight(elapsed) - 2);
  label(clockText, mid + half + 2, H(), mid + half + 2);
  c.PenColor = Qt::black;
  c.BrushColor = SystemColour(TSystemColour::ButtonHighlight);
  c.BrushClear = false;
  c.Ellipse(x - half, mid - half, x + half, mid + half);
  FCursorX = x;
  // Text may reach a pixel or two past its measured width.
  FCursorRect = QRect(x - widest / 2 - 4, 0, widest + 8, H());
  NotifyChanged(before.united(FCursorRect));
  Drawn(key);
}

long double TSeekBitmap::XToPosition(int x, bool &onCursor) const
{
  const long double f = Clamp<long double>(static_cast<long double>(x - FMargin) / Wd(), 0.0L, 1.0L);
  onCursor = std::llabs(int64_t(x) - FCursorX) < FBarHeight / 2;
  return FWindowStart + (FWindowEnd - FWindowStart) * f;
}

} // namespace kp
