#pragma once
// The main window's keyboard and wheel rules. Keys: plus ("+", also typed
// as Shift+"=") and minus (and "=" and "-") zoom the video, or with Ctrl
// the time window; keypad "*" is 100 %, keypad "/" switches letterbox and
// pan-and-scan; Ctrl+A selects every row; the frame steps' keys reach no
// widget; only while the main or the full-screen window is active. F10 and a lone Alt open the menu bar. Esc in another window that is not a dialog
// runs the menu's Esc. Wheel: the deltas add up to a notch of 120 before
// anything happens, then the first region under the pointer decides (the
// video, the graphs, the time scroll bar, the control panel, the map). Main
// thread only.

#include "PlaybackState.h"
#include "ViewsControls.h"

#include <QObject>
#include <QPoint>

class QKeyEvent;

namespace kp {

class IViewsHost;
class TTimeWindow;
class TVideoZoom;
class TViewCommands;

// Adds wheel deltas until they make whole notches of 120.
class TWheelAccumulator {
public:
  // The notches now complete (signed); the rest is kept. A turn the other
  // way drops what was kept.
  int Add(int delta);

private:
  int FRest = 0;
};

enum class TWheelRegion { None, Video, Graphs, ZoomScroll, Control, Map };

class TWindowEvents : public QObject {
  Q_OBJECT
public:
  TWindowEvents(TPlaybackState &state, TViewState &view, const TViewsControls &controls, IViewsHost &host,
                TVideoZoom &zoom, TTimeWindow &time, TViewCommands &commands);

  // A key of the shortcut rules; true when it was used up.
  bool ShortcutKey(int key, Qt::KeyboardModifiers modifiers);
  // The wheel at a global position; true when one of the regions took it.
  bool FormMouseWheel(QPoint global, int delta);
  TWheelRegion RegionAt(QPoint global) const;

  // The application's keys, and the wheel of a widget (the map view's
  // focus proxy, the video surfaces, the main window).
  void WatchApplication();
  void WatchWheel(QWidget *widget);

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void Wheel(TWheelRegion region, int steps);
  void ControlPanelWheel(int steps);
  // Esc in a window of the program that is not a dialog runs the menu's Esc.
  bool EscapeInOtherWindow(QWidget *watched, const QKeyEvent &key);
  // F10, or Alt pressed and released with nothing between, opens the menu
  // bar; true when the key was used up.
  bool MenuBarKey(const QKeyEvent &key);
  // Whether the key is one of the frame steps' (used up whether they are
  // enabled or not).
  bool FrameStepKey(const QKeyEvent &key) const;

  TPlaybackState &S;
  TViewState &V;
  const TViewsControls &C;
  IViewsHost &FHost;
  TVideoZoom &FZoom;
  TTimeWindow &FTime;
  TViewCommands &FCommands;
  TWheelAccumulator FWheel;
  bool FLoneAlt = false;
};

} // namespace kp
