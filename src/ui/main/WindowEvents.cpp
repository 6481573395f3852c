#include "WindowEvents.h"

#include "IViewsHost.h"
#include "MainMenus.h"
#include "TimeWindow.h"
#include "VideoZoom.h"
#include "ViewCommands.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QKeySequence>
#include <QScrollBar>
#include <QTableView>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>

namespace kp {

namespace {

constexpr int kNotch = 120;
constexpr double kVideoWheelStep = 1.2;
constexpr double kTimeWheelStep = 1.5;
constexpr double kFarPast = -1e9;

// Where a key starts its way up.
QWidget *KeyTarget()
{
  return QApplication::focusWidget() ? QApplication::focusWidget() : QApplication::activeWindow();
}

bool Contains(const QWidget *w, QPoint global)
{
  return w && w->isVisible() && w->rect().contains(w->mapFromGlobal(global));
}

} // namespace

int TWheelAccumulator::Add(int delta)
{
  if ((FRest > 0 && delta < 0) || (FRest < 0 && delta > 0)) FRest = 0;
  FRest += delta;
  const int steps = FRest / kNotch;
  FRest -= steps * kNotch;
  return steps;
}

TWindowEvents::TWindowEvents(TPlaybackState &state, TViewState &view, const TViewsControls &controls, IViewsHost &host,
                             TVideoZoom &zoom, TTimeWindow &time, TViewCommands &commands)
  : S(state), V(view), C(controls), FHost(host), FZoom(zoom), FTime(time), FCommands(commands)
{
}

bool TWindowEvents::ShortcutKey(int key, Qt::KeyboardModifiers modifiers)
{
  const bool keypad = modifiers & Qt::KeypadModifier;
  // The real modifier state, not one remembered from key messages.
  const bool ctrl = modifiers & Qt::ControlModifier;
  const auto trigger = [this](const char *name) {
    if (QAction *a = C.Item(name)) a->trigger();
  };
  // "+" is also Shift+"=" on most keyboards, with or without the keypad.
  if (key == Qt::Key_Plus || key == Qt::Key_Equal) {
    if (ctrl)
      trigger("N_View_Time_ZoomIn");
    else
      FZoom.ButtonVideoZoomOutClick(C.ButtonVideoZoomIn);
    return true;
  }
  if (key == Qt::Key_Minus) {
    if (ctrl)
      trigger("N_View_Time_ZoomOut");
    else
      FZoom.ButtonVideoZoomOutClick(C.ButtonVideoZoomOut);
    return true;
  }
  if (keypad && key == Qt::Key_Asterisk) {
    trigger("N_VideoZoom_100");
  } else if (keypad && key == Qt::Key_Slash) {
    trigger(C.Checked("N_VideoZoom_Letterbox") ? "N_VideoZoom_PanAndScan" : "N_VideoZoom_Letterbox");
  } else if (key == Qt::Key_A && ctrl && C.ListView) {
    C.ListView->selectAll();
  }
  return false;
}

TWheelRegion TWindowEvents::RegionAt(QPoint global) const
{
  if (Contains(C.PanelVideo, global)) return TWheelRegion::Video;
  if (Contains(C.PanelBottomGraphics, global)) return TWheelRegion::Graphs;
  if (Contains(C.PanelZoomScroll, global)) return TWheelRegion::ZoomScroll;
  if (Contains(C.PanelControl, global)) return TWheelRegion::Control;
  if (Contains(C.WebBrowser, global)) return TWheelRegion::Map;
  return TWheelRegion::None;
}

bool TWindowEvents::FormMouseWheel(QPoint global, int delta)
{
  const TWheelRegion region = RegionAt(global);
  if (region == TWheelRegion::None) return false;
  // A touchpad sends small deltas: nothing acts before a whole notch.
  const int steps = FWheel.Add(delta);
  if (steps != 0) Wheel(region, steps);
  return true;
}

void TWindowEvents::Wheel(TWheelRegion region, int steps)
{
  switch (region) {
  case TWheelRegion::Video:
    V.ZoomStep = kVideoWheelStep;
    FZoom.ButtonVideoZoomOutClick(steps > 0 ? C.ButtonVideoZoomIn : C.ButtonVideoZoomOut);
    V.ZoomStep = 2.0;
    break;
  case TWheelRegion::Graphs:
    V.ZoomStep = kTimeWheelStep;
    FTime.ButtonZoomInClick(steps > 0 ? C.ButtonZoomIn : C.ButtonZoomOut);
    V.ZoomStep = 2.0;
    break;
  case TWheelRegion::ZoomScroll:
    if (QScrollBar *sb = C.ScrollBarZoom)
      sb->setValue(std::max(0, std::min(sb->value() - sb->pageStep() * steps, sb->maximum())));
    break;
  case TWheelRegion::Control: ControlPanelWheel(steps); break;
  case TWheelRegion::Map:
    FHost.ExecMapScript(QStringLiteral("SetMapZoomRel(%1,%2)").arg(steps).arg(FHost.MarkerLatLngJS()));
    break;
  case TWheelRegion::None: break;
  }
}

void TWindowEvents::ControlPanelWheel(int steps)
{
  if (!C.ButtonPlay || !C.ButtonPlay->isEnabled()) return;
  if (C.ButtonPlay->isChecked()) {
    V.SeekKeyTime = kFarPast;
    FCommands.N_Playback_LeftClick(C.Item(steps > 0 ? "N_Playback_Left" : "N_Playback_Right"));
  } else if (steps > 0) {
    FHost.JumpSecondBack();
  } else {
    FHost.FrameNext();
  }
}

bool TWindowEvents::EscapeInOtherWindow(QWidget *watched, const QKeyEvent &key)
{
  if (key.key() != Qt::Key_Escape || (key.modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
  // Only an Esc nothing inside the window used reaches the window itself;
  // dialogs and popups close on Esc by themselves.
  QWidget *window = QApplication::activeWindow();
  if (watched != window || !window || qobject_cast<QDialog *>(window) || window->windowType() == Qt::Popup)
    return false;
  // The menu's Esc closes the active window; its shortcut acts only in the
  // main and the full-screen window.
  QAction *stop = C.Item("N_Playback_Stop");
  if (!stop || !stop->isEnabled()) return false;
  stop->trigger();
  return true;
}

bool TWindowEvents::FrameStepKey(const QKeyEvent &key) const
{
  // A frame step's key reaches a widget only while stepping is off (while
  // playing, say): the list would take it to move its current cell and
  // scroll sideways, a slider to move. It belongs to the frame step alone.
  const QKeySequence pressed(QKeyCombination(key.modifiers() & ~Qt::KeypadModifier, Qt::Key(key.key())));
  for (const char *name : {"N_Playback_Frame_Next", "N_Playback_Frame_Prev"})
    if (const QAction *item = C.Item(name); item && item->shortcuts().contains(pressed)) return true;
  return false;
}

bool TWindowEvents::MenuBarKey(const QKeyEvent &key)
{
  const bool f10 = key.type() == QEvent::KeyPress && key.key() == Qt::Key_F10 && key.modifiers() == Qt::NoModifier;
  const bool loneAlt = key.type() == QEvent::KeyRelease && key.key() == Qt::Key_Alt && FLoneAlt;
  if (key.type() == QEvent::KeyRelease) FLoneAlt = false;
  if ((!f10 && !loneAlt) || !C.Menus) return false;
  C.Menus->OpenMenuBar();
  return true;
}

void TWindowEvents::WatchApplication()
{
  qApp->installEventFilter(this);
}

void TWindowEvents::WatchWheel(QWidget *widget)
{
  if (widget) widget->installEventFilter(this);
}

bool TWindowEvents::eventFilter(QObject *watched, QEvent *event)
{
  // Every key asks first whether it is a shortcut, even one a shortcut
  // then uses up: Alt is alone while no other key asked since it went down.
  if (event->type() == QEvent::ShortcutOverride) {
    const auto *key = static_cast<QKeyEvent *>(event);
    if (!key->isAutoRepeat())
      FLoneAlt = key->key() == Qt::Key_Alt && (key->modifiers() & ~Qt::AltModifier) == Qt::NoModifier;
  }
  // A click, or Alt+Tab to another program, is no lone Alt either.
  if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::WindowDeactivate) FLoneAlt = false;
  // The release counts where it is first seen (the menu bar may have taken
  // the focus on the way); the bar belongs to the main window alone.
  if (event->type() == QEvent::KeyRelease && watched->isWidgetType() && FLoneAlt &&
      FHost.ActiveWindow() == TActiveWindow::Main)
    return MenuBarKey(*static_cast<QKeyEvent *>(event));
  if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
    const TActiveWindow active = FHost.ActiveWindow();
    if (active != TActiveWindow::Main && active != TActiveWindow::FullScreen)
      return EscapeInOtherWindow(static_cast<QWidget *>(watched), *static_cast<QKeyEvent *>(event));
    // A key travels up from the focus widget and passes here at every
    // step; it counts once, where it starts.
    if (watched != KeyTarget()) return false;
    auto *key = static_cast<QKeyEvent *>(event);
    if (active == TActiveWindow::Main && MenuBarKey(*key)) return true;
    if (FrameStepKey(*key)) return true;
    return ShortcutKey(key->key(), key->modifiers());
  }
  if (event->type() == QEvent::Wheel && watched->isWidgetType()) {
    // Only the wheel over the main and the full-screen window.
    const QWidget *window = static_cast<QWidget *>(watched)->window();
    if (window != C.Window && window != C.FullScreen) return false;
    auto *wheel = static_cast<QWheelEvent *>(event);
    if (FormMouseWheel(wheel->globalPosition().toPoint(), wheel->angleDelta().y())) {
      wheel->accept();
      return true;
    }
  }
  return false;
}

} // namespace kp
