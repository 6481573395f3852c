#pragma once
// Full screen and the mouse on the video: the video panel moves into the
// full-screen window and back, the bottom panel follows the pointer to the
// bottom edge there, the picture is dragged at a free zoom, a click may
// pause, a middle click or a double-click toggles full screen, and the
// cursor hides after two seconds without movement while playing. The mouse
// of the video panel and the video windows comes through an event filter
// (the video windows signal only double-clicks). Main thread only; the
// window owns the full-screen window and the panels.

#include "PlaybackState.h"
#include "ViewsControls.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

namespace kp {

class IViewsHost;
class TFormFullScreen;
class TVideoZoom;
class TViewCommands;

class TFullScreenView : public QObject {
  Q_OBJECT
public:
  TFullScreenView(TPlaybackState &state, TViewState &view, const TViewsControls &controls, IViewsHost &host,
                  TVideoZoom &zoom, TViewCommands &commands, TFormFullScreen &form);

  // Sender: the full-screen item (its mark already toggled), the video
  // panel or a video window (double-click), or null (a toggle).
  void N_FullScreenClick(QObject *sender);
  // The pointer at Pos (PanelVideo pixels) and Global (screen pixels).
  void VideoWindowWMRMouseMove(QPoint pos, QPoint global);
  void VideoWindowWMRMouseDown(QObject *sender, Qt::MouseButton button, QPoint global);
  void VideoWindowWMRMouseUp();
  void TimerMouseHideTimer();
  // Watches the video panel and the current video windows (after every
  // renderer switch).
  void WatchVideoWindows();
  // The bottom panel's height in the window: the one it goes back to while
  // full screen holds the video, else Current.
  int BottomHeightInWindow(int current) const { return FBottomHeight >= 0 ? FBottomHeight : current; }
  // Graphs changed while full screen holds the video: the window gives the
  // panel Height and shows its splitter handle or not when it comes back.
  void KeepBottomHeight(int height, bool handleShown);

  bool FullScreenOn() const;
  bool VideoInFullScreen() const;
  QTimer TimerMouseHide;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  QWidget *CurrentVideoWindow() const;
  bool IsVideoSurface(const QObject *sender) const;
  void MoveBottomBar(int y);
  // The bottom panel back at the height it had before full screen.
  void RestoreBottomHeight();
  void Watch(QWidget *widget);

  TPlaybackState &S;
  TViewState &V;
  const TViewsControls &C;
  IViewsHost &FHost;
  TVideoZoom &FZoom;
  TViewCommands &FCommands;
  TFormFullScreen &FForm;
  QList<QPointer<QWidget>> FWatched;
  int FBottomHeight = -1; // the bottom panel's height in the window, -1 none
  bool FBottomHandleShown = true;
};

} // namespace kp
