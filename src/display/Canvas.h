#pragma once
// A small drawing layer over QPainter and QImage that keeps the conventions
// the painters were designed with, so their coordinates carry over unchanged:
// - rectangles, rounded rectangles and ellipses leave out their right and
//   bottom edges: (x1, y1)-(x2, y2) covers x1..x2-1 and y1..y2-1;
// - a line leaves out its end pixel, so polylines meet without overdraw;
// - text is placed by the top-left corner of its cell; with a solid brush
//   the cell is painted behind the text, with a clear brush it is not;
// - the not-merge pen mode paints NOT (pen OR screen), so a red cursor comes
//   out black on white and stays visible on any colour;
// - fonts are sized in points at a fixed 96 dpi (8 pt = 11 px), so drawings
//   do not depend on the screen.
// Everything is drawn aliased into a Format_RGB32 image.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPoint>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

namespace kp {

// Pixels of a font size given in points, at 96 dpi (rounded like the
// original's MulDiv: 8 -> 11, 6 -> 8, 22 -> 29).
int FontPointsToPixels(int points);
// "Arial" at Points; served by a metric-compatible face where Arial itself
// is not installed.
QFont MakeFont(const QString &family, int points);

// Rounds a derived pixel coordinate to an int that drawing can take: NaN
// gives 0, and values beyond any picture saturate far outside it instead of
// overflowing.
int PixelRound(double v);
int PixelRound(long double v);

enum class TPenMode { Copy, NotMerge };

// A colour in the original's layout (0x00BBGGRR) as a QColor.
QColor ToQColor(uint32_t bgr);

// The system colours the painters use (the desktop theme's).
enum class TSystemColour { Highlight, ButtonShadow, ButtonHighlight, ButtonFace, Window, WindowText };
QColor SystemColour(TSystemColour c);

// Colour by key of the translation tables (TranslateColor); tests may
// install another lookup.
using TColourLookup = std::function<QColor(const QString &key)>;
QColor DisplayColour(const QString &key);
void SetDisplayColourLookup(TColourLookup lookup); // empty = TranslateColor

class TCanvas {
public:
  explicit TCanvas(QImage *target) : FTarget(target) {}

  QImage *Target() const { return FTarget; }
  int Width() const { return FTarget->width(); }
  int Height() const { return FTarget->height(); }

  // Drawing state, kept between calls like a device context.
  QColor PenColor = Qt::black;
  int PenWidth = 1;
  TPenMode PenMode = TPenMode::Copy;
  QColor BrushColor = Qt::white;
  bool BrushClear = false;
  QColor FontColor = Qt::black;

  void SetFont(const QString &family, int points);
  void SetFont(const QFont &font) { FFont = font; }
  const QFont &Font() const { return FFont; }

  void MoveTo(int x, int y) { FPos = QPoint(x, y); }
  void LineTo(int x, int y);
  void Line(int x1, int y1, int x2, int y2)
  {
    MoveTo(x1, y1);
    LineTo(x2, y2);
  }
  void Polyline(const std::vector<QPoint> &points);
  void Polygon(const std::vector<QPoint> &points);
  void Rectangle(int x1, int y1, int x2, int y2);
  void RoundRect(int x1, int y1, int x2, int y2, int cornerW, int cornerH);
  void Ellipse(int x1, int y1, int x2, int y2);
  // Fills with the brush only, no outline.
  void FillRect(int x1, int y1, int x2, int y2);
  void SetPixel(int x, int y, const QColor &c);
  QColor Pixel(int x, int y) const;

  void TextOut(int x, int y, const QString &text);
  int TextWidth(const QString &text) const;
  int TextHeight(const QString &text) const;

  // Replaces the 4-connected area of colour Surface that holds (x, y) with
  // the brush colour; nothing when that pixel has another colour.
  void FloodFillSurface(int x, int y, const QColor &surface);

  // Copies Source over the target with its top-left corner at (x, y).
  void Draw(int x, int y, const QImage &source);

private:
  template <typename F>
  void Paint(F &&f);

  QImage *FTarget;
  QFont FFont = MakeFont(QStringLiteral("Arial"), 8);
  QPoint FPos;
};

} // namespace kp
