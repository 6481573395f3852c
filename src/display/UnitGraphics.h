#pragma once
// Time graphs of speed, altitude and acceleration over the visible window of
// a recording. The series holds one pre-aggregated column per pixel, so the
// cost of a drawing does not depend on the number of telemetry points. The
// scale, grid labels, curve segments and peak labels come from pure
// functions; the painter only draws what they return.

#include "UnitBitmaps.h"
#include "UnitMovingInfo.h"

#include <QChar>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kp {

// Fills a series for a time window from one file's telemetry.
using TGraphSeriesGetter = std::function<void(TGraphicItems &series, TDateTime fromTime, TDateTime toTime)>;

// The general number format of the labels: up to 15 significant digits,
// plain notation from 0.00001 up to 15 integer digits, else "1.5E-7" style;
// the locale's decimal separator; a negated zero prints as "0".
QString GeneralFloatText(double value, QChar decimalSeparator);
QString GeneralFloatText(double value);

// ---------------------------------------------------------------- geometry

struct TGraphScale {
  double M = 0;            // the value drawn at the top of the value area
  bool AllPositive = true; // no negative minimum after the first column
};
// Applies the altitude rule (ZeroIsNoValue: a maximum of 0 empties a column,
// a minimum of 0 takes the maximum) from the second column on, and finds the
// scale. The first column counts only towards M.
TGraphScale PrepareSeries(TGraphicItems &series, double gridStep, bool zeroIsNoValue);

// Where the value area lies in the picture.
struct TGraphArea {
  int W = 0, H = 0;
  int Margin = 0;
  int TopMargin = 0;
  int BottomMargin = 0;
  int BaseY = 0; // the zero line
  double M = 1;
};
int BaseLine(int h, int topMargin, int bottomMargin, bool allPositive);
int ValueToY(const TGraphArea &a, double v);

// The grid's label step: GridStep multiples until labels are 1.2 text
// heights apart, at most 1000 x GridStep.
double GridLabelStep(const TGraphArea &a, double gridStep, int textHeight);
struct TGridLabel {
  int Y = 0;
  QString Text;
  bool GridLine = false; // every label row but the zero line
};
// The labels inside the value area, at most one per row of it however
// large M is.
std::vector<TGridLabel> GridLabels(const TGraphArea &a, double gridStep, int textHeight);

struct TCurveSegment {
  enum Kind { Connector, Column, Pixel };
  Kind What = Pixel;
  QPoint From, To; // a line leaves out To; a pixel uses From
};
std::vector<TCurveSegment> CurveSegments(const TGraphicItems &series, const TGraphArea &a);

struct TPeakLabel {
  int Column = 0;
  double Value = 0;
  QPoint Mark; // the cross
  QString Text;
  QPoint TextTopLeft;
};
// Five passes over the series, each labelling the largest remaining value
// and emptying its hill so the next pass finds another one.
std::vector<TPeakLabel> PickPeaks(TGraphicItems &series, const TGraphArea &a, double gridStep, const TTextWidth &width,
                                  int textHeight);

// The cursor's x, or nothing when Time lies outside the window.
std::optional<int> GraphCursorX(int w, int margin, long double time, long double timeStart, long double timeEnd);

// ---------------------------------------------------------------- painters

class TMyGraphic;
using TMyGraphicClass = std::unique_ptr<TMyGraphic> (*)(TImage *image, int margin);

class TMyGraphic : public TMyBitmap {
public:
  void Resize() override;
  virtual TGraphSeriesGetter GetValueGetter(const TMovingInfo &info) const = 0;
  virtual QString GetLetter() const = 0;
  virtual QString GetMenuName() const = 0;

  // Series is changed in place (the altitude rule and the peak passes);
  // TimeStart and TimeEnd are the window's fractions of the recording.
  void Draw(TGraphicItems &series, const TArrayInteger &gaps, const TArrayInteger &noHeader,
            const TArrayInteger &selection, long double timeStart, long double timeEnd);
  void DrawGrid(double maxValue);
  void DrawBorder();
  void DrawCursor(long double time);

  int Margin() const { return FMargin; }
  int TopMargin() const { return FTopMargin; }
  int BottomMargin() const { return FBottomMargin; }
  int BaseY() const { return FBaseY; }
  bool AllPositive() const { return FAllPositive; }
  double GridStep() const { return FGridStep; }
  long double TimeStart() const { return FTimeStart; }
  long double TimeEnd() const { return FTimeEnd; }
  const QColor &Colour() const { return FColour; }
  // Where the last Draw put its labels: grid values, the letter, peaks.
  const std::vector<QRect> &LabelRects() const { return FLabelRects; }

protected:
  TMyGraphic(TImage *image, int margin, double gridStep, const QString &colourKey);
  // Altitude 0 means "no altitude".
  virtual bool ZeroIsNoValue() const { return false; }

private:
  void UpdateMargins();
  TGraphArea Area(double m) const;
  void DrawCurve(const TGraphicItems &series, const TGraphArea &a);
  void DrawPeaks(TGraphicItems &series, const TGraphArea &a);

  int FMargin = 0;
  std::optional<int> FCursorColumn; // where the cursor is drawn on the picture
  int FTopMargin = 0;
  int FBottomMargin = 0;
  int FBaseY = 0;
  bool FAllPositive = true;
  double FGridStep = 1;
  long double FTimeStart = 0;
  long double FTimeEnd = 0;
  QColor FColour;
  std::vector<QRect> FLabelRects;
};

#define KP_DECLARE_GRAPHIC(Class) \
  class Class final : public TMyGraphic { \
  public: \
    Class(TImage *image, int margin); \
    static std::unique_ptr<TMyGraphic> Create(TImage *image, int margin) \
    { \
      return std::make_unique<Class>(image, margin); \
    } \
    TGraphSeriesGetter GetValueGetter(const TMovingInfo &info) const override; \
    QString GetLetter() const override; \
    QString GetMenuName() const override; \
\
  protected: \
    bool ZeroIsNoValue() const override; \
  };

KP_DECLARE_GRAPHIC(TSpeedGraphic)
KP_DECLARE_GRAPHIC(TAltitudeGraphic)
KP_DECLARE_GRAPHIC(TGsensorAGraphic)
KP_DECLARE_GRAPHIC(TGsensorXGraphic)
KP_DECLARE_GRAPHIC(TGsensorYGraphic)
KP_DECLARE_GRAPHIC(TGsensorZGraphic)

#undef KP_DECLARE_GRAPHIC

} // namespace kp
