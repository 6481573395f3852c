#include "UnitGraphics.h"

#include <QPainter>
#include <algorithm>

namespace kp {

namespace {

const QString kNine = QStringLiteral("9");

} // namespace

TMyGraphic::TMyGraphic(TImage *image, int margin, double gridStep, const QString &colourKey)
  : TMyBitmap(image), FMargin(margin), FGridStep(gridStep), FColour(DisplayColour(colourKey))
{
  UpdateMargins();
}

void TMyGraphic::Resize()
{
  TMyBitmap::Resize();
  UpdateMargins();
}

void TMyGraphic::UpdateMargins()
{
  const int th = ImageCanvas.TextHeight(kNine);
  FTopMargin = H() < 60 ? th / 2 + 1 : th;
  FBottomMargin = th / 2 + 1;
}

TGraphArea TMyGraphic::Area(double m) const
{
  return TGraphArea{W(), H(), FMargin, FTopMargin, FBottomMargin, FBaseY, m};
}

void TMyGraphic::Draw(TGraphicItems &series, const TArrayInteger &gaps, const TArrayInteger &noHeader,
                      const TArrayInteger &selection, long double timeStart, long double timeEnd)
{
  FTimeStart = timeStart;
  FTimeEnd = timeEnd;
  FLabelRects.clear();
  if (series.empty()) return;
  const TGraphScale scale = PrepareSeries(series, FGridStep, ZeroIsNoValue());
  FAllPositive = scale.AllPositive;
  DrawCoverage(FMargin, gaps, noHeader, selection);
  FBaseY = BaseLine(H(), FTopMargin, FBottomMargin, FAllPositive);
  DrawGrid(scale.M);
  const TGraphArea area = Area(scale.M);
  DrawCurve(series, area);
  DrawPeaks(series, area);
}

void TMyGraphic::DrawCurve(const TGraphicItems &series, const TGraphArea &a)
{
  TCanvas &c = BackCanvas;
  c.PenMode = TPenMode::Copy;
  c.PenWidth = 1;
  c.PenColor = FColour;
  for (const TCurveSegment &s : CurveSegments(series, a)) {
    if (s.What == TCurveSegment::Pixel)
      c.SetPixel(s.From.x(), s.From.y(), FColour);
    else
      c.Line(s.From.x(), s.From.y(), s.To.x(), s.To.y());
  }
}

void TMyGraphic::DrawPeaks(TGraphicItems &series, const TGraphArea &a)
{
  TCanvas &c = BackCanvas;
  const QColor text = DisplayColour(QStringLiteral("colorGraphText"));
  c.PenColor = text;
  c.FontColor = text;
  c.BrushClear = true;
  const TTextWidth width = [&c](const QString &s) { return c.TextWidth(s); };
  for (const TPeakLabel &p : PickPeaks(series, a, FGridStep, width, c.TextHeight(kNine))) {
    const int x = p.Mark.x(), y = p.Mark.y();
    c.Line(x, y - 1, x, y + 2);
    c.Line(x - 1, y, x + 2, y);
    // A label that would cover one already drawn (a grid value, the letter,
    // a higher peak's) is left out; its mark stays.
    const QRect r(p.TextTopLeft, QSize(c.TextWidth(p.Text), c.TextHeight(p.Text)));
    if (std::any_of(FLabelRects.begin(), FLabelRects.end(), [&](const QRect &o) { return o.intersects(r); })) continue;
    c.TextOut(r.x(), r.y(), p.Text);
    FLabelRects.push_back(r);
  }
}

void TMyGraphic::DrawGrid(double maxValue)
{
  TCanvas &c = BackCanvas;
  const QColor axis = DisplayColour(QStringLiteral("colorGraphOS"));
  const QColor minor = DisplayColour(QStringLiteral("colorGraphOSm"));
  const int w = W(), h = H(), left = FMargin;
  c.PenMode = TPenMode::Copy;
  c.PenWidth = 1;
  c.PenColor = axis;
  c.FontColor = DisplayColour(QStringLiteral("colorGraphText"));
  c.BrushColor = DisplayColour(QStringLiteral("colorGraphBG"));
  c.BrushClear = false;
  c.Line(left, 0, left, h);
  c.Line(w - left, 0, w - left, h);
  c.Line(left, FBaseY, w - left, FBaseY);
  const int th = c.TextHeight(kNine);
  for (const TGridLabel &l : GridLabels(Area(maxValue), FGridStep, th)) {
    c.PenColor = axis;
    c.Line(left - 1, l.Y, left + 1, l.Y);
    const int tw = c.TextWidth(l.Text);
    const QRect r(left - 2 - tw, l.Y - th / 2, tw, th);
    c.TextOut(r.x(), r.y(), l.Text);
    // Zero stands for both signs: one label.
    if (FLabelRects.empty() || FLabelRects.back() != r) FLabelRects.push_back(r);
    if (l.GridLine) {
      c.PenColor = minor;
      c.Line(left + 1, l.Y, w - left, l.Y);
    }
  }
  const QString letter = GetLetter();
  const int lw = c.TextWidth(letter);
  const QRect letterRect(w - left / 2 - lw / 2, (FTopMargin + h - FBottomMargin) / 2 - th / 2, lw, th);
  c.TextOut(letterRect.x(), letterRect.y(), letter);
  FLabelRects.push_back(letterRect);
}

void TMyGraphic::DrawBorder()
{
  TCanvas &c = BackCanvas;
  const int w = W(), h = H();
  c.PenMode = TPenMode::Copy;
  c.PenWidth = 1;
  c.PenColor = DisplayColour(QStringLiteral("colorGraphBorderT"));
  c.Line(0, 0, w - 1, 0);
  c.PenColor = DisplayColour(QStringLiteral("colorGraphBorderB"));
  c.Line(w - 1, h - 1, 0, h - 1);
}

void TMyGraphic::DrawCursor(long double time)
{
  const std::optional<int> x = GraphCursorX(W(), FMargin, time, FTimeStart, FTimeEnd);
  const QString key = x ? QString::number(*x) : QString();
  if (SameAsDrawn(key)) return;
  // The cursor is one column: moving it restores the column it left
  // instead of the whole graph, and repaints just the two columns.
  QRect dirty;
  if (PictureAsDrawn()) {
    if (FCursorColumn) {
      dirty = QRect(*FCursorColumn - 1, 0, 3, H());
      QPainter p(&FImage->Picture);
      p.setCompositionMode(QPainter::CompositionMode_Source);
      p.drawImage(dirty.topLeft(), FBackground, dirty);
    }
  } else {
    RestoreBackground();
    dirty = QRect(0, 0, W(), H());
  }
  FCursorColumn = x;
  if (x) {
    TCanvas &c = ImageCanvas;
    c.PenWidth = 1;
    c.PenColor = QColor(255, 0, 0);
    c.PenMode = TPenMode::NotMerge;
    c.Line(*x, 0, *x, H());
    c.PenMode = TPenMode::Copy;
    dirty |= QRect(*x - 1, 0, 3, H());
  }
  NotifyChanged(dirty.isEmpty() ? QRect(0, 0, 1, 1) : dirty);
  Drawn(key);
}

// ---------------------------------------------------------------- the six graphs

#define KP_DEFINE_GRAPHIC(Class, Step, ColourKey, Letter, MenuName, Getter, ZeroIsNone) \
  Class::Class(TImage *image, int margin) : TMyGraphic(image, margin, Step, QStringLiteral(ColourKey)) {} \
  TGraphSeriesGetter Class::GetValueGetter(const TMovingInfo &info) const \
  { \
    const TMovingInfo *p = &info; \
    return [p](TGraphicItems &series, TDateTime from, TDateTime to) { p->Getter(series, from, to); }; \
  } \
  QString Class::GetLetter() const \
  { \
    return QStringLiteral(Letter); \
  } \
  QString Class::GetMenuName() const \
  { \
    return QStringLiteral(MenuName); \
  } \
  bool Class::ZeroIsNoValue() const \
  { \
    return ZeroIsNone; \
  }

KP_DEFINE_GRAPHIC(TSpeedGraphic, 10, "colorGraph_S", "S", "N_View_Graphics_S", GetSpeedSeries, false)
KP_DEFINE_GRAPHIC(TAltitudeGraphic, 5, "colorGraph_H", "H", "N_View_Graphics_H", GetAltitudeSeries, true)
KP_DEFINE_GRAPHIC(TGsensorAGraphic, 0.1, "colorGraph_G", "G", "N_View_Graphics_G", GetGSensorASeries, false)
KP_DEFINE_GRAPHIC(TGsensorXGraphic, 0.1, "colorGraph_X", "X", "N_View_Graphics_X", GetGSensorXSeries, false)
KP_DEFINE_GRAPHIC(TGsensorYGraphic, 0.1, "colorGraph_Y", "Y", "N_View_Graphics_Y", GetGSensorYSeries, false)
KP_DEFINE_GRAPHIC(TGsensorZGraphic, 0.1, "colorGraph_Z", "Z", "N_View_Graphics_Z", GetGSensorZSeries, false)

#undef KP_DEFINE_GRAPHIC

} // namespace kp
