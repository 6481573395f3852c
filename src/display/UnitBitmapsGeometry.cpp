// Pure geometry and texts of the gauges: no drawing here.

#include "UnitBitmaps.h"

#include <cmath>
#include <numbers>

namespace kp {

namespace {

constexpr double kDegToRad = std::numbers::pi / 180.0;

void appendStripes(std::vector<TCoverageStripe> &out, int margin, const TArrayInteger &a, const QColor &fill,
                   const QColor &line)
{
  // Pairs only: a trailing odd element has no end.
  for (size_t i = 0; i + 1 < a.size(); i += 2) {
    const int64_t from64 = int64_t(a[i]) + margin;
    int64_t to64 = int64_t(a[i + 1]) + margin;
    if (to64 <= from64) to64 = from64 + 1;
    TCoverageStripe s;
    s.X1 = static_cast<int>(Clamp<int64_t>(from64, INT32_MIN / 2, INT32_MAX / 2));
    s.X2 = static_cast<int>(Clamp<int64_t>(to64, INT32_MIN / 2, INT32_MAX / 2));
    s.IsLine = to64 == from64 + 1;
    s.Colour = s.IsLine ? line : fill;
    out.push_back(s);
  }
}

} // namespace

std::vector<TCoverageStripe> CoverageStripes(int margin, const TArrayInteger &gaps, const TArrayInteger &noHeader,
                                             const TArrayInteger &selection)
{
  std::vector<TCoverageStripe> out;
  const QColor yellow(255, 255, 0);
  appendStripes(out, margin, noHeader, yellow, yellow);
  const QColor highlight = SystemColour(TSystemColour::Highlight);
  appendStripes(out, margin, selection, highlight, highlight);
  // File boundaries stand out while there are few of them.
  const QColor gapLine = gaps.size() <= 4 ? QColor(100, 100, 100) : QColor(200, 200, 200);
  appendStripes(out, margin, gaps, QColor(200, 200, 200), gapLine);
  return out;
}

TTriangle SpeedNeedle(double speed)
{
  const double a = (180.0 + speed) * kDegToRad;
  const QPoint p0(67 - PixelRound(6 * std::sin(a)), 67 + PixelRound(6 * std::cos(a)));
  const QPoint p1(67 + PixelRound(60 * std::cos(a)), 67 + PixelRound(60 * std::sin(a)));
  return {p0, p1, QPoint(134 - p0.x(), 134 - p0.y())};
}

QString RoundedText(double value)
{
  return QString::number(Round(value));
}

QString TripText(int decimals, double trip)
{
  if (decimals >= 1) return FloatToStrDot(trip, decimals, true);
  QString s = RoundedText(trip);
  if (s.size() >= 4 && s.size() <= 6) s.insert(s.size() - 3, QLatin1Char(' '));
  return s;
}

TCompassNeedle CompassNeedle(int w, int h, double bearing)
{
  const double a = bearing * kDegToRad;
  const double r1 = EllipseRadius(w, h, bearing) / 2 - 1;
  const double r2 = EllipseRadius(w, h, bearing + 90) / 8;
  const int cx = w / 2, cy = h / 2;
  const QPoint p0(cx - PixelRound(r2 * std::cos(a)), cy + PixelRound(r2 * std::sin(a)));
  const QPoint p1(cx + PixelRound(r1 * std::sin(a)), cy + PixelRound(r1 * std::cos(a)));
  const QPoint p2(w - p0.x(), h - p0.y());
  TCompassNeedle n;
  n.South = {p0, p1, p2};
  n.North = {p0, QPoint(w - p1.x(), h - p1.y()), p2};
  return n;
}

TGSensorLayout GSensorLayout(int w, int h)
{
  TGSensorLayout l;
  l.Radius = w / 2 - 10;
  l.DiagonalRadius = PixelRound(l.Radius / 1.4);
  l.XCentre = QPoint(l.Radius + 7, h - 5);
  l.ZCentre = QPoint(w - 5, l.Radius + 7);
  l.YCentre = QPoint(l.DiagonalRadius + 9, l.DiagonalRadius + 9);
  return l;
}

TGSensorDots GSensorDots(const TGSensorLayout &l, double x, double y, double z)
{
  TGSensorDots d;
  d.X = QPoint(l.XCentre.x() - PixelRound(l.Radius * x), l.XCentre.y());
  d.Z = QPoint(l.ZCentre.x(), l.ZCentre.y() + PixelRound(l.Radius * z));
  const int dy = PixelRound(l.DiagonalRadius * y);
  d.Y = QPoint(l.YCentre.x() - dy, l.YCentre.y() + dy);
  return d;
}

} // namespace kp
