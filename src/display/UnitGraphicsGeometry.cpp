// Pure geometry of the time graphs: scale, grid labels, curve, peak labels.

#include "UnitGraphics.h"

#include <charconv>
#include <cmath>

namespace kp {

namespace {

constexpr double kSixSeconds = 6.0 / 86400.0;

// The value a column shows as its peak: the maximum, or the minimum when it
// reaches further below zero.
double peakValue(const TGraphicItem &c)
{
  return -c.MinValue > c.MaxValue ? c.MinValue : c.MaxValue;
}

} // namespace

QString GeneralFloatText(double value)
{
  // Every number on the screen (list, title, seek bar, details) carries a
  // point whatever the language; the graphs follow them, not the system's
  // locale, so one window never mixes two separators.
  return GeneralFloatText(value, QLatin1Char('.'));
}

QString GeneralFloatText(double value, QChar sep)
{
  if (std::isnan(value)) return QStringLiteral("NAN");
  if (std::isinf(value)) return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
  if (value == 0) return QStringLiteral("0"); // -0 as well
  // 15 significant digits: "d.dddddddddddddde+XX".
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  const std::string text(buf, res.ptr);
  const bool negative = text[0] == '-';
  const size_t digitsAt = negative ? 1 : 0;
  const size_t e = text.find('e');
  std::string digits = text.substr(digitsAt, 1) + text.substr(digitsAt + 2, e - digitsAt - 2);
  int exponent = std::stoi(text.substr(e + 1));
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  QString out = negative ? QStringLiteral("-") : QString();
  if (exponent >= 15 || exponent < -5) {
    out += QLatin1Char(digits[0]);
    if (digits.size() > 1) out += sep + QString::fromLatin1(digits.substr(1));
    out += QLatin1Char('E') + QString::number(exponent);
    return out;
  }
  if (exponent < 0) {
    out += QLatin1Char('0') + QString(sep) + QString(-exponent - 1, QLatin1Char('0')) + QString::fromLatin1(digits);
    return out;
  }
  const size_t intDigits = size_t(exponent) + 1;
  if (digits.size() <= intDigits) {
    out += QString::fromLatin1(digits) + QString(int(intDigits - digits.size()), QLatin1Char('0'));
  } else {
    out += QString::fromLatin1(digits.substr(0, intDigits)) + sep + QString::fromLatin1(digits.substr(intDigits));
  }
  return out;
}

TGraphScale PrepareSeries(TGraphicItems &series, double gridStep, bool zeroIsNoValue)
{
  TGraphScale s;
  if (series.empty()) return s;
  s.M = std::max(std::fabs(series[0].MinValue), std::fabs(series[0].MaxValue));
  for (size_t i = 1; i < series.size(); ++i) {
    TGraphicItem &c = series[i];
    if (zeroIsNoValue && c.Count > 0) {
      if (c.MinValue == 0) c.MinValue = c.MaxValue;
      if (c.MaxValue == 0) c.Count = 0;
    }
    s.M = std::max({s.M, std::fabs(c.MinValue), std::fabs(c.MaxValue)});
    if (c.MinValue < 0) s.AllPositive = false;
  }
  s.M = std::max(s.M, 1.05 * gridStep);
  return s;
}

int BaseLine(int h, int topMargin, int bottomMargin, bool allPositive)
{
  return allPositive ? h - bottomMargin : (h + topMargin - bottomMargin) / 2;
}

int ValueToY(const TGraphArea &a, double v)
{
  return a.BaseY - PixelRound(v / a.M * (a.BaseY - a.TopMargin));
}

double GridLabelStep(const TGraphArea &a, double gridStep, int textHeight)
{
  double s = gridStep;
  if (!(gridStep > 0)) return s;
  // At most 999 passes: the step stops growing at 1000 x GridStep.
  while (s < 1000 * gridStep && (a.BaseY - a.TopMargin) / (a.M / s) < 1.2 * textHeight) s += gridStep;
  return s;
}

std::vector<TGridLabel> GridLabels(const TGraphArea &a, double gridStep, int textHeight)
{
  std::vector<TGridLabel> out;
  const double step = GridLabelStep(a, gridStep, textHeight);
  if (!(step > 0)) return out;
  // Labels stand at least a row apart in any drawing of real data; the bound
  // ends the walk for absurd values, and when v + step == v.
  const int64_t rows = std::max(1, a.H - a.BottomMargin - a.TopMargin + 1);
  double v = 0;
  for (int64_t n = 0; v < a.M && n <= rows; ++n, v += step) {
    for (int sign : {-1, 1}) {
      const int y = a.BaseY - PixelRound(v * sign * (a.BaseY - a.TopMargin) / a.M);
      if (y < a.TopMargin || y > a.H - a.BottomMargin) continue;
      out.push_back({y, GeneralFloatText(v * sign), y != a.BaseY});
    }
  }
  return out;
}

std::vector<TCurveSegment> CurveSegments(const TGraphicItems &series, const TGraphArea &a)
{
  std::vector<TCurveSegment> out;
  bool joined = false;
  int p = -1, prevTop = 0, prevBottom = 0;
  for (int i = 0; i < int(series.size()); ++i) {
    const TGraphicItem &c = series[i];
    if (c.Count <= 0) continue;
    // A gap in the data breaks the line.
    if (joined && ((i - p > 3 && c.Time - series[p].Time > kSixSeconds) || (c.Time == 0 && i - p > 50))) joined = false;
    const int yT = ValueToY(a, c.MaxValue), yB = ValueToY(a, c.MinValue);
    const int x = a.Margin + i, px = a.Margin + p;
    if (joined) {
      if (yB <= prevTop)
        out.push_back({TCurveSegment::Connector, QPoint(px, prevTop), QPoint(x, yB)});
      else if (yT >= prevBottom)
        out.push_back({TCurveSegment::Connector, QPoint(px, prevBottom), QPoint(x, yT)});
      else if (p < i - 1)
        out.push_back({TCurveSegment::Connector, QPoint(px, prevTop), QPoint(x, yT)});
    } else {
      joined = true;
    }
    if (yT == yB)
      out.push_back({TCurveSegment::Pixel, QPoint(x, yT), QPoint(x, yT)});
    else
      out.push_back({TCurveSegment::Column, QPoint(x, yT), QPoint(x, yB + 1)});
    p = i;
    prevTop = yT;
    prevBottom = yB;
  }
  return out;
}

std::vector<TPeakLabel> PickPeaks(TGraphicItems &series, const TGraphArea &a, double gridStep, const TTextWidth &width,
                                  int textHeight)
{
  std::vector<TPeakLabel> out;
  const int n = int(series.size());
  const double tenth = gridStep / 10;
  for (int pass = 0; pass < 5; ++pass) {
    int k = -1;
    double best = -1, v = 0;
    for (int i = 0; i < n; ++i) {
      if (series[i].Count <= 0) continue;
      const double pv = peakValue(series[i]);
      if (std::fabs(pv) > best) {
        best = std::fabs(pv);
        k = i;
        v = pv;
      }
    }
    if (k < 0) break;
    TPeakLabel label;
    label.Column = k;
    label.Value = v;
    label.Mark = QPoint(a.Margin + k, ValueToY(a, v));
    label.Text = GeneralFloatText(RoundF(v / tenth) * tenth);
    const int y = label.Mark.y();
    // Right of its mark, or left of it where it would cross the right axis
    // into the letter's margin.
    const int textWidth = width(label.Text);
    int x = label.Mark.x() + 2;
    if (x + textWidth > a.W - a.Margin && label.Mark.x() <= a.W - a.Margin)
      x = std::max(a.Margin + 2, label.Mark.x() - 2 - textWidth);
    label.TextTopLeft = QPoint(x, v >= 0 ? std::max(y - textHeight, 1) : std::min(y, a.H - textHeight));
    out.push_back(label);

    // Empty the hill: the label's width on either side, then on while the
    // curve keeps falling away from the peak (or has no values).
    const int64_t reach = 2 * int64_t(width(label.Text)) + 10;
    for (int dir : {1, -1}) {
      int lastY = ValueToY(a, series[k].MaxValue);
      for (int j = k; j >= 0 && j < n; j += dir) {
        TGraphicItem &c = series[j];
        const bool near = std::llabs(int64_t(j) - k) < reach;
        const int yj = ValueToY(a, c.MaxValue);
        if (!near && c.Count > 0 && yj < lastY) break;
        if (c.Count > 0) lastY = yj;
        c.Count = 0;
      }
    }
  }
  return out;
}

std::optional<int> GraphCursorX(int w, int margin, long double time, long double timeStart, long double timeEnd)
{
  if (!(timeEnd > timeStart)) return std::nullopt;
  const int x =
      margin + PixelRound(static_cast<long double>(w - 2 * margin) * (time - timeStart) / (timeEnd - timeStart));
  if (x < margin || x > w - margin) return std::nullopt;
  return x;
}

} // namespace kp
