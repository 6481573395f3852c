#include "Canvas.h"

#include "Numbers.h"
#include "UnitTranslate.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <mutex>

namespace kp {

namespace {

// Far outside any picture, yet small enough for the raster engine.
constexpr int kPixelLimit = 1 << 24;

std::mutex g_lookupMutex;
TColourLookup g_lookup;

bool outside(int lo, int hi, int size)
{
  return hi < 0 || lo >= size;
}

} // namespace

int FontPointsToPixels(int points)
{
  return (points * 96 + 36) / 72;
}

QFont MakeFont(const QString &family, int points)
{
  static std::once_flag once;
  std::call_once(once, [] { QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans")); });
  QFont f(family);
  f.setPixelSize(std::max(1, FontPointsToPixels(points)));
  f.setStyleStrategy(QFont::NoSubpixelAntialias);
  return f;
}

int PixelRound(double v)
{
  return static_cast<int>(Clamp<int64_t>(Round(v), -kPixelLimit, kPixelLimit));
}
int PixelRound(long double v)
{
  return static_cast<int>(Clamp<int64_t>(Round(v), -kPixelLimit, kPixelLimit));
}

QColor ToQColor(uint32_t bgr)
{
  return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

QColor SystemColour(TSystemColour c)
{
  // Through the theme resolver, so the desktop's palette applies.
  switch (c) {
  case TSystemColour::Highlight: return ToQColor(ColorFromText(u"clHighlight"));
  case TSystemColour::ButtonShadow: return ToQColor(ColorFromText(u"clBtnShadow"));
  case TSystemColour::ButtonHighlight: return ToQColor(ColorFromText(u"clBtnHighlight"));
  case TSystemColour::ButtonFace: return ToQColor(ColorFromText(u"clBtnFace"));
  case TSystemColour::Window: return ToQColor(ColorFromText(u"clWindow"));
  case TSystemColour::WindowText: return ToQColor(ColorFromText(u"clWindowText"));
  }
  return QColor(0, 0, 0);
}

QColor DisplayColour(const QString &key)
{
  TColourLookup lookup;
  {
    std::lock_guard<std::mutex> lock(g_lookupMutex);
    lookup = g_lookup;
  }
  return lookup ? lookup(key) : ToQColor(TranslateColor(key));
}

void SetDisplayColourLookup(TColourLookup lookup)
{
  std::lock_guard<std::mutex> lock(g_lookupMutex);
  g_lookup = std::move(lookup);
}

// ---------------------------------------------------------------- TCanvas

template <typename F>
void TCanvas::Paint(F &&f)
{
  if (FTarget->isNull()) return;
  QPainter p(FTarget);
  p.setRenderHint(QPainter::Antialiasing, false);
  if (PenMode == TPenMode::NotMerge) p.setCompositionMode(QPainter::RasterOp_NotSourceAndNotDestination);
  f(p);
}

void TCanvas::SetFont(const QString &family, int points)
{
  FFont = MakeFont(family, points);
}

void TCanvas::LineTo(int x, int y)
{
  const QPoint from = FPos;
  FPos = QPoint(x, y);
  if (outside(std::min(from.x(), x), std::max(from.x(), x), Width()) ||
      outside(std::min(from.y(), y), std::max(from.y(), y), Height()))
    return;
  Paint([&](QPainter &p) {
    // A flat cap leaves the end pixel out.
    QPen pen(PenColor, PenWidth <= 1 ? 0 : PenWidth);
    pen.setCapStyle(Qt::FlatCap);
    p.setPen(pen);
    p.drawLine(from, QPoint(x, y));
  });
}

void TCanvas::Polyline(const std::vector<QPoint> &points)
{
  if (points.empty()) return;
  MoveTo(points[0].x(), points[0].y());
  for (size_t i = 1; i < points.size(); ++i) LineTo(points[i].x(), points[i].y());
}

void TCanvas::Polygon(const std::vector<QPoint> &points)
{
  if (points.size() < 2) return;
  Paint([&](QPainter &p) {
    p.setPen(QPen(PenColor, PenWidth <= 1 ? 0 : PenWidth));
    p.setBrush(BrushClear ? QBrush(Qt::NoBrush) : QBrush(BrushColor));
    p.drawPolygon(points.data(), static_cast<int>(points.size()));
  });
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2)
{
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  if (x2 - x1 < 1 || y2 - y1 < 1 || outside(x1, x2 - 1, Width()) || outside(y1, y2 - 1, Height())) return;
  Paint([&](QPainter &p) {
    if (!BrushClear) p.fillRect(QRect(x1, y1, x2 - x1, y2 - y1), BrushColor);
    p.setPen(QPen(PenColor, 0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1));
  });
}

void TCanvas::RoundRect(int x1, int y1, int x2, int y2, int cornerW, int cornerH)
{
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  if (x2 - x1 < 1 || y2 - y1 < 1 || outside(x1, x2 - 1, Width()) || outside(y1, y2 - 1, Height())) return;
  Paint([&](QPainter &p) {
    p.setPen(QPen(PenColor, 0));
    p.setBrush(BrushClear ? QBrush(Qt::NoBrush) : QBrush(BrushColor));
    p.drawRoundedRect(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1), cornerW / 2.0, cornerH / 2.0);
  });
}

void TCanvas::Ellipse(int x1, int y1, int x2, int y2)
{
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  if (x2 - x1 < 1 || y2 - y1 < 1 || outside(x1, x2 - 1, Width()) || outside(y1, y2 - 1, Height())) return;
  Paint([&](QPainter &p) {
    p.setPen(QPen(PenColor, PenWidth <= 1 ? 0 : PenWidth));
    p.setBrush(BrushClear ? QBrush(Qt::NoBrush) : QBrush(BrushColor));
    p.drawEllipse(QRect(x1, y1, x2 - x1 - 1, y2 - y1 - 1));
  });
}

void TCanvas::FillRect(int x1, int y1, int x2, int y2)
{
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  if (outside(x1, x2 - 1, Width()) || outside(y1, y2 - 1, Height())) return;
  Paint([&](QPainter &p) { p.fillRect(QRect(x1, y1, x2 - x1, y2 - y1), BrushColor); });
}

void TCanvas::SetPixel(int x, int y, const QColor &c)
{
  if (x < 0 || y < 0 || x >= Width() || y >= Height()) return;
  if (PenMode == TPenMode::NotMerge) {
    const QRgb d = FTarget->pixel(x, y);
    FTarget->setPixel(x, y, 0xFF000000u | (~(d | c.rgb()) & 0xFFFFFFu));
  } else {
    FTarget->setPixel(x, y, c.rgb());
  }
}

QColor TCanvas::Pixel(int x, int y) const
{
  if (x < 0 || y < 0 || x >= Width() || y >= Height()) return QColor();
  return QColor::fromRgb(FTarget->pixel(x, y));
}

void TCanvas::TextOut(int x, int y, const QString &text)
{
  if (text.isEmpty()) return;
  const QFontMetrics fm(FFont);
  const int w = fm.horizontalAdvance(text);
  if (outside(x, x + w, Width()) || outside(y, y + fm.height(), Height())) return;
  Paint([&](QPainter &p) {
    if (!BrushClear) p.fillRect(QRect(x, y, w, fm.height()), BrushColor);
    p.setFont(FFont);
    p.setPen(FontColor);
    p.drawText(QPoint(x, y + fm.ascent()), text);
  });
}

int TCanvas::TextWidth(const QString &text) const
{
  return QFontMetrics(FFont).horizontalAdvance(text);
}

int TCanvas::TextHeight(const QString &text) const
{
  Q_UNUSED(text);
  return QFontMetrics(FFont).height();
}

void TCanvas::FloodFillSurface(int x, int y, const QColor &surface)
{
  const int w = Width(), h = Height();
  if (x < 0 || y < 0 || x >= w || y >= h) return;
  if (FTarget->format() != QImage::Format_RGB32) *FTarget = FTarget->convertToFormat(QImage::Format_RGB32);
  const QRgb from = surface.rgb() | 0xFF000000u;
  const QRgb to = BrushColor.rgb() | 0xFF000000u;
  auto row = [&](int yy) { return reinterpret_cast<QRgb *>(FTarget->scanLine(yy)); };
  if (from == to || row(y)[x] != from) return;
  // Scanline fill: each popped seed fills its whole run, then seeds the runs
  // above and below that touch it.
  std::vector<QPoint> seeds{QPoint(x, y)};
  while (!seeds.empty()) {
    const QPoint s = seeds.back();
    seeds.pop_back();
    QRgb *line = row(s.y());
    if (line[s.x()] != from) continue;
    int l = s.x(), r = s.x();
    while (l > 0 && line[l - 1] == from) --l;
    while (r + 1 < w && line[r + 1] == from) ++r;
    std::fill(line + l, line + r + 1, to);
    for (int ny : {s.y() - 1, s.y() + 1}) {
      if (ny < 0 || ny >= h) continue;
      const QRgb *next = row(ny);
      bool inRun = false;
      for (int i = l; i <= r; ++i) {
        const bool match = next[i] == from;
        if (match && !inRun) seeds.emplace_back(i, ny);
        inRun = match;
      }
    }
  }
}

void TCanvas::Draw(int x, int y, const QImage &source)
{
  if (x == 0 && y == 0 && source.size() == FTarget->size() && source.format() == FTarget->format()) {
    *FTarget = source; // shared until the next drawing detaches it
    return;
  }
  Paint([&](QPainter &p) {
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(QPoint(x, y), source);
  });
}

} // namespace kp
