#include "UnitBitmaps.h"
#include "DisplayLog.h"

#include <QPainter>

namespace kp {

namespace {

QString TriangleKey(const TTriangle &t)
{
  return QStringLiteral("%1,%2 %3,%4 %5,%6;")
      .arg(t[0].x())
      .arg(t[0].y())
      .arg(t[1].x())
      .arg(t[1].y())
      .arg(t[2].x())
      .arg(t[2].y());
}

QImage resized(const QImage &old, int w, int h)
{
  QImage img(std::max(0, w), std::max(0, h), QImage::Format_RGB32);
  if (img.isNull()) {
    if (w > 0 && h > 0) qCWarning(lcKpDisplay) << "cannot make a picture of" << w << "x" << h << "pixels";
    return img;
  }
  img.fill(Qt::white);
  if (!old.isNull()) {
    QPainter p(&img);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, old);
  }
  return img;
}

std::vector<QPoint> points(const TTriangle &t)
{
  return {t[0], t[1], t[2]};
}

// Text placed with its vertical middle at Y.
void textMiddleAt(TCanvas &c, int x, int y, const QString &text)
{
  c.TextOut(x, y - c.TextHeight(text) / 2, text);
}

} // namespace

// ---------------------------------------------------------------- TMyBitmap

TMyBitmap::TMyBitmap(TImage *image) : FImage(image), BackCanvas(&FBackground), ImageCanvas(&image->Picture)
{
  // The picture as designed (a dial face, say) is the starting background.
  FBackground = resized(image->Picture, image->Width, image->Height);
  image->Picture = FBackground;
}

void TMyBitmap::Resize()
{
  FImage->Picture = resized(FImage->Picture, W(), H());
  FBackground = resized(FBackground, W(), H());
}

void TMyBitmap::FillBackground(const QColor &colour)
{
  BackCanvas.PenColor = colour;
  BackCanvas.BrushColor = colour;
  BackCanvas.BrushClear = false;
  BackCanvas.FillRect(0, 0, FBackground.width(), FBackground.height());
}

void TMyBitmap::BackgroundLine(int x1, int y1, int x2, int y2, const QColor &colour)
{
  BackCanvas.PenMode = TPenMode::Copy;
  BackCanvas.PenWidth = 1;
  BackCanvas.PenColor = colour;
  BackCanvas.Line(x1, y1, x2, y2);
}

void TMyBitmap::DrawCoverage(int margin, const TArrayInteger &gaps, const TArrayInteger &noHeader,
                             const TArrayInteger &selection)
{
  const int h = FBackground.height();
  const TPenMode mode = BackCanvas.PenMode;
  BackCanvas.PenMode = TPenMode::Copy;
  BackCanvas.BrushClear = false;
  for (const TCoverageStripe &s : CoverageStripes(margin, gaps, noHeader, selection)) {
    BackCanvas.PenColor = s.Colour;
    BackCanvas.BrushColor = s.Colour;
    if (s.IsLine)
      BackCanvas.Line(s.X1, 0, s.X1, h - 1);
    else
      BackCanvas.Rectangle(s.X1, 0, s.X2, h);
  }
  BackCanvas.PenMode = mode;
}

void TMyBitmap::RestoreBackground()
{
  ImageCanvas.Draw(0, 0, FBackground);
}

void TMyBitmap::NotifyChanged(const QRect &dirty)
{
  FImage->Dirty = dirty;
  if (FImage->Changed) FImage->Changed();
}

bool TMyBitmap::PictureAsDrawn() const
{
  // An image's cache key changes with every drawing on it and every
  // assignment, so equal keys mean untouched pictures.
  return FDrawnPicture != 0 && FBackground.cacheKey() == FDrawnBackground &&
         FImage->Picture.cacheKey() == FDrawnPicture && FImage->Picture.width() == W() &&
         FImage->Picture.height() == H();
}

bool TMyBitmap::SameAsDrawn(const QString &key) const
{
  return key == FDrawnKey && PictureAsDrawn();
}

void TMyBitmap::Drawn(const QString &key)
{
  FDrawnKey = key;
  FDrawnBackground = FBackground.cacheKey();
  FDrawnPicture = FImage->Picture.cacheKey();
}

// ---------------------------------------------------------------- speedometer

TSpeedBitmap::TSpeedBitmap(TImage *image, const QColor &backColour) : TMyBitmap(image)
{
  ImageCanvas.SetFont(QStringLiteral("Arial"), 22);
  if (FBackground.isNull()) return;
  // The corners outside the round dial take the window's colour.
  const QColor surface = BackCanvas.Pixel(0, 0);
  const int w = FBackground.width(), h = FBackground.height();
  BackCanvas.BrushColor = backColour;
  BackCanvas.BrushClear = false;
  for (const QPoint p : {QPoint(w - 1, h - 1), QPoint(w - 1, 0), QPoint(0, h - 1), QPoint(0, 0)})
    BackCanvas.FloodFillSurface(p.x(), p.y(), surface);
}

void TSpeedBitmap::Draw(int decimals, double speed, double trip, double altitude)
{
  // What the dial would show: an unchanged dial is not drawn or repainted.
  const QString key =
      QStringLiteral("%1|%2|%3|%4|%5")
          .arg(speed >= 0 ? TriangleKey(SpeedNeedle(speed)) + RoundedText(speed) : QString(),
               trip >= 0 ? TripText(decimals, trip) : QString(), altitude != 0 ? RoundedText(altitude) : QString())
          .arg(DisplayColour(QStringLiteral("colorSpeedArrow")).rgba())
          .arg(DisplayColour(QStringLiteral("colorSpeedText")).rgba());
  if (SameAsDrawn(key)) return;
  RestoreBackground();
  TCanvas &c = ImageCanvas;
  c.PenMode = TPenMode::Copy;
  c.PenWidth = 1;
  if (speed >= 0) {
    const QColor arrow = DisplayColour(QStringLiteral("colorSpeedArrow"));
    c.PenColor = arrow;
    c.BrushColor = arrow;
    c.BrushClear = false;
    c.Polygon(points(SpeedNeedle(speed)));
  }
  const int w = W(), h = H(), cx = w / 2;
  const QColor text = DisplayColour(QStringLiteral("colorSpeedText"));
  c.PenColor = text;
  c.FontColor = text;
  c.BrushColor = DisplayColour(QStringLiteral("colorSpeedBG"));
  c.BrushClear = false;
  c.RoundRect(cx - 30, h - 44, cx + 30, h - 5, 10, 10);
  c.RoundRect(cx - 25, h - 60, cx + 25, h - 46, 5, 5);
  c.RoundRect(cx - 17, h - 74, cx + 17, h - 62, 5, 5);
  c.BrushClear = true;
  if (speed >= 0) {
    c.SetFont(QStringLiteral("Arial"), 22);
    const QString s = RoundedText(speed);
    textMiddleAt(c, (w - c.TextWidth(s)) / 2, h - 24, s);
  }
  c.SetFont(QStringLiteral("Arial"), 8);
  if (trip >= 0) {
    const QString s = TripText(decimals, trip);
    textMiddleAt(c, cx + 25 - c.TextWidth(s) - 4, h - 53, s);
  }
  if (altitude != 0) {
    const QString s = RoundedText(altitude);
    textMiddleAt(c, (w - c.TextWidth(s)) / 2, h - 68, s);
  }
  c.SetFont(QStringLiteral("Arial"), 22);
  NotifyChanged();
  Drawn(key);
}

// ---------------------------------------------------------------- compass

TAzimutBitmap::TAzimutBitmap(TImage *image, const QColor &backColour) : TMyBitmap(image)
{
  FillBackground(backColour);
  TCanvas &c = BackCanvas;
  const int w = FBackground.width(), h = FBackground.height();
  c.BrushColor = Qt::white;
  c.BrushClear = false;
  c.PenColor = QColor(150, 150, 150);
  c.PenWidth = 2;
  c.Ellipse(0, 0, w, h);
  c.BrushClear = true;
  c.PenColor = Qt::black;
  c.PenWidth = 1;
  c.Ellipse(0, 0, w, h);
  c.Line(0, h / 2, 4, h / 2);
  c.Line(w - 1, h / 2, w - 5, h / 2);
  c.Line(w / 2, h - 1, w / 2, h - 5);
  ImageCanvas.SetFont(QStringLiteral("Arial"), 6);
}

void TAzimutBitmap::Draw(double bearing)
{
  const int w = W(), h = H();
  QString key;
  if (bearing >= 0) {
    const TCompassNeedle n = CompassNeedle(w, h, bearing);
    key = TriangleKey(n.South) + TriangleKey(n.North) + RoundedText(bearing);
  }
  if (SameAsDrawn(key)) return;
  RestoreBackground();
  TCanvas &c = ImageCanvas;
  c.PenMode = TPenMode::Copy;
  c.PenWidth = 1;
  if (bearing >= 0) {
    const TCompassNeedle n = CompassNeedle(w, h, bearing);
    auto half = [&c](const TTriangle &t, const QColor &fill, const QColor &outline) {
      c.PenColor = fill;
      c.BrushColor = fill;
      c.BrushClear = false;
      c.Polygon(points(t));
      c.PenColor = outline;
      c.BrushClear = true;
      c.Polygon(points(t));
    };
    half(n.South, QColor(255, 0, 0), QColor(255, 100, 100));
    half(n.North, QColor(0, 0, 255), QColor(80, 80, 255));
    c.PenColor = Qt::black;
    c.BrushColor = Qt::white;
    c.BrushClear = false;
    c.RoundRect(w / 2 + 2, h / 4 - 3, w / 2 + 19, h / 4 + 7, 5, 5);
    c.BrushClear = true;
    c.FontColor = Qt::black;
    const QString s = RoundedText(bearing);
    textMiddleAt(c, w / 2 + 10 - c.TextWidth(s) / 2, h / 4 + 2, s);
  }
  c.PenColor = Qt::black;
  c.BrushColor = Qt::black;
  c.BrushClear = false;
  c.Line(w / 2, h / 2, w / 2, 0);
  c.Polygon({QPoint(w / 2, 0), QPoint(w / 2 - 3, 4), QPoint(w / 2 + 3, 4)});
  c.Ellipse(w / 2 - 2, h / 2 - 2, w / 2 + 3, h / 2 + 3);
  NotifyChanged();
  Drawn(key);
}

// ---------------------------------------------------------------- G-sensor

TGSensorBitmap::TGSensorBitmap(TImage *image, const QColor &backColour) : TMyBitmap(image)
{
  FillBackground(backColour);
  FLayout = GSensorLayout(FBackground.width(), FBackground.height());
  DrawAxes();
  ImageCanvas.PenColor = Qt::black;
  ImageCanvas.BrushColor = Qt::white;
  ImageCanvas.BrushClear = false;
}

void TGSensorBitmap::DrawAxes()
{
  TCanvas &c = BackCanvas;
  c.PenColor = Qt::black;
  c.PenWidth = 1;
  const int r = FLayout.Radius, d = FLayout.DiagonalRadius;
  // x axis, horizontal.
  {
    const int x = FLayout.XCentre.x(), y = FLayout.XCentre.y();
    const int e1 = x - r - 5, e2 = x + r + 5;
    c.Line(e1, y, e2, y);
    c.Line(x, y - 3, x, y + 4);
    c.Line(x - r, y - 2, x - r, y + 3);
    c.Line(x + r, y - 2, x + r, y + 3);
    c.Polyline({QPoint(e2 - 2, y - 2), QPoint(e2, y), QPoint(e2 - 3, y + 3)});
    c.Polyline({QPoint(e1 + 2, y - 2), QPoint(e1, y), QPoint(e1 + 3, y + 3)});
  }
  // z axis, vertical.
  {
    const int x = FLayout.ZCentre.x(), y = FLayout.ZCentre.y();
    const int e1 = y - r - 5, e2 = y + r + 5;
    c.Line(x, e1, x, e2);
    c.Line(x - 3, y, x + 4, y);
    c.Line(x - 2, y - r, x + 3, y - r);
    c.Line(x - 2, y + r, x + 3, y + r);
    c.Polyline({QPoint(x - 2, e2 - 2), QPoint(x, e2), QPoint(x + 3, e2 - 3)});
    c.Polyline({QPoint(x - 2, e1 + 2), QPoint(x, e1), QPoint(x + 3, e1 + 3)});
  }
  // y axis, the diagonal from upper right to lower left.
  {
    const int x = FLayout.YCentre.x(), y = FLayout.YCentre.y();
    const QPoint top(x + d + 5, y - d - 5), bottom(x - d - 5, y + d + 5);
    c.Line(top.x(), top.y(), bottom.x(), bottom.y());
    for (const QPoint t : {QPoint(x, y), QPoint(x + d, y - d), QPoint(x - d, y + d)})
      c.Line(t.x() - 2, t.y() - 2, t.x() + 3, t.y() + 3);
    c.Polyline({QPoint(top.x() - 4, top.y()), top, QPoint(top.x(), top.y() + 4)});
    c.Polyline({QPoint(bottom.x() + 4, bottom.y()), bottom, QPoint(bottom.x(), bottom.y() - 4)});
  }
  c.SetFont(QStringLiteral("Arial"), 8);
  c.BrushClear = true;
  c.FontColor = Qt::black;
  const QString x = QStringLiteral("x"), y = QStringLiteral("y"), z = QStringLiteral("z");
  c.TextOut(FLayout.XCentre.x() - c.TextWidth(x) / 2, FLayout.XCentre.y() - 1 - c.TextHeight(x), x);
  c.TextOut(FLayout.ZCentre.x() - 4 - c.TextWidth(z), FLayout.ZCentre.y() - c.TextHeight(z) / 2, z);
  c.TextOut(FLayout.YCentre.x() - 2 - c.TextWidth(y), FLayout.YCentre.y() - 2 - c.TextHeight(y), y);
}

void TGSensorBitmap::Draw(double x, double y, double z, double magnitude)
{
  Q_UNUSED(magnitude);
  const TGSensorDots d = GSensorDots(FLayout, x, y, z);
  const QString key =
      QStringLiteral("%1,%2 %3,%4 %5,%6").arg(d.X.x()).arg(d.X.y()).arg(d.Y.x()).arg(d.Y.y()).arg(d.Z.x()).arg(d.Z.y());
  if (SameAsDrawn(key)) return;
  RestoreBackground();
  ImageCanvas.PenMode = TPenMode::Copy;
  for (const QPoint p : {d.X, d.Z, d.Y}) ImageCanvas.Ellipse(p.x() - 2, p.y() - 2, p.x() + 3, p.y() + 3);
  NotifyChanged();
  Drawn(key);
}

} // namespace kp
