#pragma once
// Gauge painters (speedometer, compass, G-sensor) and the seek bar. Each
// painter keeps a background with everything static and restores it before
// drawing the moving parts. The geometry is computed by pure functions so it
// can be checked without looking at pixels.

#include "Canvas.h"
#include "UnitUtils.h"

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace kp {

// The picture control a painter draws into: a widget sets Width and Height
// to its own size and shows Picture; Changed is called after every drawing
// that changed the picture, with Dirty the part it changed (empty: all).
struct TImage {
  int Width = 0;
  int Height = 0;
  QImage Picture;
  std::function<void()> Changed;
  QRect Dirty;
};

using TTriangle = std::array<QPoint, 3>;

// ---------------------------------------------------------------- geometry

// One stripe of DrawCoverage, in picture pixels: a line at X1 or a filled
// rectangle X1..X2-1, over the whole height.
struct TCoverageStripe {
  int X1 = 0;
  int X2 = 0;
  bool IsLine = false;
  QColor Colour;
};
std::vector<TCoverageStripe> CoverageStripes(int margin, const TArrayInteger &gaps, const TArrayInteger &noHeader,
                                             const TArrayInteger &selection);

// Speedometer needle on the 134 x 134 dial: 0 points left, 90 up, 180 right.
TTriangle SpeedNeedle(double speed);
// The trip box text: whole units with a blank before the thousands when the
// number has 4 to 6 characters, else Decimals fixed decimals with ".".
QString TripText(int decimals, double trip);
QString RoundedText(double value);

struct TCompassNeedle {
  TTriangle South; // drawn red
  TTriangle North; // drawn blue
};
TCompassNeedle CompassNeedle(int w, int h, double bearing);

struct TGSensorLayout {
  QPoint XCentre, YCentre, ZCentre;
  int Radius = 0;         // pixels for 1 g on the x and z axes
  int DiagonalRadius = 0; // pixels for 1 g along the diagonal y axis
};
TGSensorLayout GSensorLayout(int w, int h);
struct TGSensorDots {
  QPoint X, Y, Z;
};
TGSensorDots GSensorDots(const TGSensorLayout &layout, double x, double y, double z);

// ---------------------------------------------------------------- painters

class TMyBitmap {
public:
  explicit TMyBitmap(TImage *image);
  virtual ~TMyBitmap() = default;
  TMyBitmap(const TMyBitmap &) = delete;
  TMyBitmap &operator=(const TMyBitmap &) = delete;

  virtual void Resize();
  void FillBackground(const QColor &colour);
  // A line on the static drawing (the details window's centre mark).
  void BackgroundLine(int x1, int y1, int x2, int y2, const QColor &colour);
  void DrawCoverage(int margin, const TArrayInteger &gaps, const TArrayInteger &noHeader,
                    const TArrayInteger &selection);

  const QImage &Background() const { return FBackground; }
  TImage *Image() const { return FImage; }

protected:
  int W() const { return FImage->Width; }
  int H() const { return FImage->Height; }
  // Restores the static drawing on the picture.
  void RestoreBackground();
  void NotifyChanged(const QRect &dirty = QRect());
  // True when Key describes what the last drawing showed and neither the
  // background nor the picture changed since: drawing again would show the
  // same, so the caller leaves it (and the widget's repaint) out.
  bool SameAsDrawn(const QString &key) const;
  // True when the picture is still exactly what the last drawing left.
  bool PictureAsDrawn() const;
  void Drawn(const QString &key);

  TImage *FImage;
  QImage FBackground;
  TCanvas BackCanvas;
  TCanvas ImageCanvas;

private:
  QString FDrawnKey;
  qint64 FDrawnBackground = 0;
  qint64 FDrawnPicture = 0;
};

class TSpeedBitmap : public TMyBitmap {
public:
  TSpeedBitmap(TImage *image, const QColor &backColour);
  void Draw(int decimals, double speed, double trip, double altitude);
};

class TAzimutBitmap : public TMyBitmap {
public:
  TAzimutBitmap(TImage *image, const QColor &backColour);
  void Draw(double bearing);
};

class TGSensorBitmap : public TMyBitmap {
public:
  TGSensorBitmap(TImage *image, const QColor &backColour);
  // Magnitude is passed along by the playback loop and not shown.
  void Draw(double x, double y, double z, double magnitude = 0);
  const TGSensorLayout &Layout() const { return FLayout; }

private:
  void DrawAxes();
  TGSensorLayout FLayout;
};

// ---------------------------------------------------------------- seek bar

// One label position of a seek-bar scale; Drawn is false for a label that
// would touch the previous one (its tick is left out too).
struct TScaleTick {
  int X = 0;
  QString Text;
  bool Drawn = false;
};
using TTextWidth = std::function<int(const QString &)>;

constexpr double kShortWindow = 1.0 / 360.0; // 4 minutes, in days

// The scale step: the smallest multiple of Base (at least Base) for which
// Floor(Span / Step) <= MaxLabels. Computed directly; ScaleStepByGrowth is
// the step-by-step search it replaces, kept for comparison.
double ScaleStep(double span, double base, int64_t maxLabels);
double ScaleStepByGrowth(double span, double base, int64_t maxLabels, int64_t maxSteps);

struct TSeekScaleInput {
  double StartTime = 0; // the recording's first moment
  double T1 = 0;        // clock time of the window's start
  double T2 = 0;        // clock time of the window's end
  int Margin = 0;
  int Wd = 1; // usable width
};
std::vector<TScaleTick> ElapsedTicks(const TSeekScaleInput &in, const TTextWidth &width);
std::vector<TScaleTick> ClockTicks(const TSeekScaleInput &in, const TTextWidth &width);
// The cursor's elapsed label: duration with seconds and 0 to 3 decimals.
QString CursorElapsedText(int decimals, int64_t ms);

class TSeekBitmap : public TMyBitmap {
public:
  explicit TSeekBitmap(TImage *image);
  void Draw(const QColor &backColour, const TArrayInteger &gaps, double startTime, double endTime,
            long double windowStart, long double windowEnd, const TArrayInteger &noHeader,
            const TArrayInteger &selection);
  void DrawCursor(int decimals, long double position);
  long double XToPosition(int x, bool &onCursor) const;

  int Margin() const { return FMargin; }
  int BarHeight() const { return FBarHeight; }
  int CursorX() const { return FCursorX; }
  int Wd() const { return std::max(1, W() - 2 * FMargin); }
  // Where the last Draw put the scales' labels.
  const std::vector<QRect> &LabelRects() const { return FLabelRects; }

private:
  void DrawScales(double t1, double t2);
  void DrawBar();

  int FBarHeight = 10;
  double FStartTime = 0;
  double FEndTime = 0;
  long double FWindowStart = 0;
  long double FWindowEnd = 0;
  // No cursor drawn yet: far from any pixel, so no click lands on it.
  int FCursorX = INT32_MIN / 2;
  QRect FCursorRect; // the part of the picture the cursor covers
  int FMargin = 0;
  std::vector<QRect> FLabelRects;
};

} // namespace kp
