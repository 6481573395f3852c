#pragma once
// The display wrapper of the renderer chosen as "EVR": it takes the display
// control from the renderer member (FilterEVR) and tells it which widget to
// draw into, which part of the picture to show where, and how to treat the
// aspect ratio; it hands out the current picture and the native size. It
// draws into a plain widget given at creation (the main window's panel) or,
// when none is given, into a child widget of its own.

#include "DSPack.h"

#include <functional>

namespace kp {

class TEVR : public QObject {
  Q_OBJECT
public:
  // videoWindow nullptr: TEVR makes a 100 x 100 child of parent named "EVR".
  TEVR(QWidget *parent, QWidget *videoWindow, std::function<void()> onDoubleClick = nullptr);
  ~TEVR() override;

  // Whether the member's filter is a renderer with a display control.
  static bool IsEVRFilter(const TFilter *filter);
  // Takes the display control of the member's filter (replacing any held
  // one) and attaches it to the video window.
  void ConnectFilter(const TFilter *filter);
  void SetVideoWindow(QWidget *window);
  QWidget *VideoWindow() const { return FVideoWindow; }
  bool OwnWindow() const { return FOwnWindow; }
  void SetVideoPosition(const QRect &dest, const TNormalizedRect &source);
  // Sends 3 (preserve) when preserve, else 4 (non-linear stretch) when
  // nonLinear, else 0 (stretch). The non-linear stretch fills the
  // destination, keeping the middle of the picture in proportion.
  void SetAspectRatioMode(bool preserve, bool nonLinear);
  int AspectRatioMode() const { return FAspectMode; }
  void RepaintVideo();
  // The current picture at full resolution, upright; null without a
  // display control or a frame.
  QImage GetCurrentImage() const;
  // Aspect-corrected picture size; (0, 0) when the renderer cannot tell.
  QSize GetNativeVideoSize() const;
  bool HasDisplayControl() const { return FControl != nullptr; }

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  std::function<void()> FOnDoubleClick;
  QPointer<QWidget> FParent;
  QPointer<QWidget> FVideoWindow;
  bool FOwnWindow = false;
  QPointer<QWidget> FOwn;
  std::unique_ptr<TVideoPresenter> FControl;
  TNormalizedRect FSource;
  QRect FDest{0, 0, 100, 100};
  int FAspectMode = vamNone;
};

} // namespace kp
