#pragma once
// Paints the latest frame of a renderer into a widget: the source part of
// the picture (normalised or in video pixels), the destination rectangle in
// the widget, the aspect mode and the flips. It is the display control the
// window classes (TVideoWindow, TEVR) are built on. GUI thread only; the
// renderer reaches it through TVideoFrameSlot::Announce.

#include "VideoFrameSlot.h"

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QWidget>

namespace kp {

// A rectangle in fractions 0..1 of the picture.
struct TNormalizedRect {
  float left = 0, top = 0, right = 1, bottom = 1;
  bool operator==(const TNormalizedRect &) const = default;
};
TNormalizedRect MakeNormalizedRect(float l, float t, float r, float b);

// Aspect modes as the display control numbers them. vamNonLinear keeps the
// middle of the picture in proportion and stretches the sides.
enum TVideoAspectMode : int { vamNone = 0, vamPreserve = 3, vamNonLinear = 4 };

// The picture size a display should assume: the frame size with the
// aspect pair applied to its width. An aspect pair with a zero side is
// unknown (size unchanged); an unknown size gives the aspect pair itself.
QSize NativeVideoSizeFromAspect(QSize size, QSize aspect);

// The non-linear stretch: source x (-1..1) shown at destination x u (-1..1)
// when the middle of the picture keeps its aspect with centreSlope (the
// plain stretch factor, kept within 0.2..1.45).
double NonLinearSourceX(double u, double centreSlope);

class TVideoPresenter : public QObject {
  Q_OBJECT
public:
  explicit TVideoPresenter(QObject *parent = nullptr);
  ~TVideoPresenter() override;

  // Paints into target's paint events (through an event filter, so the
  // target may be any plain widget). nullptr detaches.
  void SetVideoWindow(QWidget *target);
  QWidget *VideoWindow() const { return FTarget; }
  void SetFrames(TVideoFrameSlotPtr slot);
  TVideoFrameSlotPtr Frames() const { return FSlot; }

  void SetSourceRect(const TNormalizedRect &source)
  {
    FSource = source;
    Repaint();
  }
  TNormalizedRect SourceRect() const { return FSource; }
  // Destination in the target's pixels; an empty rectangle means the whole
  // target.
  void SetDestination(const QRect &dest)
  {
    FDest = dest;
    Repaint();
  }
  QRect Destination() const { return FDest; }
  void SetAspectMode(int mode)
  {
    FAspectMode = mode;
    Repaint();
  }
  int AspectMode() const { return FAspectMode; }
  void SetFlips(bool horizontal, bool vertical)
  {
    FFlipH = horizontal;
    FFlipV = vertical;
    Repaint();
  }
  bool FlipH() const { return FFlipH; }
  bool FlipV() const { return FFlipV; }

  void Repaint();
  // Frame size and aspect pair (frame size times pixel aspect, reduced);
  // false when no format has been seen.
  bool GetNativeVideoSize(QSize &size, QSize &aspect) const;
  // A copy of the current frame at full resolution, upright; null when
  // there is none.
  QImage GetCurrentImage() const;
  // Where the picture lands inside area for a frame of that size.
  QRectF PictureRect(const QRect &area, QSize frameSize, int parN, int parD) const;
  void Paint(QPainter &painter, const QRect &area) const;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void OnFrame();
  void PaintNonLinear(QPainter &painter, const QRectF &target, const TVideoFrame &frame, const QRectF &source) const;

  QPointer<QWidget> FTarget;
  TVideoFrameSlotPtr FSlot;
  int FSubscription = 0;
  TNormalizedRect FSource;
  QRect FDest;
  int FAspectMode = vamNone;
  bool FFlipH = false, FFlipV = false;
};

} // namespace kp
