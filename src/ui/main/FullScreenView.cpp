#include "FullScreenView.h"

#include "DSPack.h"
#include "IViewsHost.h"
#include "MainMenus.h"
#include "PanelSplitters.h"
#include "UnitBSImage.h"
#include "UnitEVRWindow.h"
#include "UnitFormFullScreen.h"
#include "UnitReg.h"
#include "VideoZoom.h"
#include "ViewCommands.h"

#include <QAction>
#include <QApplication>
#include <QMouseEvent>
#include <QSplitter>
#include <QToolButton>
#include <algorithm>

namespace kp {

namespace {

constexpr int kMouseHideMs = 2000;
constexpr int kBarShowEdge = 3;  // pixels from the bottom that bring the bar
constexpr int kBarHideEdge = 50; // pixels from the bottom that send it back

} // namespace

TFullScreenView::TFullScreenView(TPlaybackState &state, TViewState &view, const TViewsControls &controls,
                                 IViewsHost &host, TVideoZoom &zoom, TViewCommands &commands, TFormFullScreen &form)
  : S(state), V(view), C(controls), FHost(host), FZoom(zoom), FCommands(commands), FForm(form)
{
  TimerMouseHide.setInterval(kMouseHideMs);
  connect(&TimerMouseHide, &QTimer::timeout, this, [this] { TimerMouseHideTimer(); });
  FCommands.FullScreen = this;
}

bool TFullScreenView::FullScreenOn() const
{
  return C.Checked("N_FullScreen");
}

bool TFullScreenView::VideoInFullScreen() const
{
  return FForm.Holds(C.PanelVideo);
}

QWidget *TFullScreenView::CurrentVideoWindow() const
{
  if (FHost.EVR()) return FHost.VideoWindowEVR();
  return FHost.VideoWindowWMR();
}

bool TFullScreenView::IsVideoSurface(const QObject *sender) const
{
  return sender && (sender == C.PanelVideo || sender == FHost.VideoWindowEVR() ||
                    sender == static_cast<QObject *>(FHost.VideoWindowWMR()));
}

void TFullScreenView::N_FullScreenClick(QObject *sender)
{
  if (C.Checked("N_Playback_PauseOnClick") && IsVideoSurface(sender)) return;
  VideoWindowWMRMouseMove(QPoint(0, 0), QCursor::pos());
  QAction *item = C.Item("N_FullScreen");
  if (!item) return;
  if (sender != item) item->setChecked(!item->isChecked());
  // Full screen belongs to this run: a restart must not find it marked.
  DeleteSetting(item->objectName());
  if (TEVR *evr = FHost.EVR()) evr->SetVideoWindow(nullptr);
  if (item->isChecked()) {
    // The bottom panel's height as the user left it, before the video goes
    // and the splitter gives the panel all of its height.
    if (C.PanelBottom && C.SplitterBottom && C.PanelBottom->parentWidget() == C.SplitterBottom &&
        C.SplitterBottom->count() == 2)
      FBottomHeight = C.PanelBottom->height();
    FForm.show();
    FForm.TakeVideo(C.PanelVideo);
    FForm.raise();
    FForm.activateWindow();
  } else {
    FForm.hide();
    if (C.SplitterBottom && C.PanelVideo) {
      C.SplitterBottom->insertWidget(0, C.PanelVideo);
      C.PanelVideo->show();
      RestoreBottomHeight();
    }
    if (C.Window) {
      C.Window->raise();
      C.Window->activateWindow();
    }
  }
  if (FHost.EVR() && FHost.GraphState() == psPaused) FHost.RefreshPausedFrame();
  FZoom.ButtonVideoZoomOutClick(nullptr);
  FHost.TimerPass();
}

void TFullScreenView::MoveBottomBar(int y)
{
  if (!C.PanelVideo || !C.PanelBottom) return;
  const int h = C.PanelVideo->height();
  const bool inForm = FForm.Holds(C.PanelBottom);
  if (y >= h - kBarShowEdge && !inForm) {
    if (C.SplitterBottom && C.SplitterBottom->count() > 1)
      FBottomHandleShown = !C.SplitterBottom->handle(1)->isHidden();
    const int minimum = BottomPanelMinimum(C.ImageSeek ? C.ImageSeek->height() : 0,
                                           C.PanelZoomScroll ? C.PanelZoomScroll->height() : 0);
    // The bar is the panel at its height in the window, never less than
    // the seek bar needs.
    FForm.TakeBottom(C.PanelBottom, std::max(FBottomHeight, minimum));
    FHost.FormResize();
    // The gauges arrive showing this moment, paused or not.
    FHost.TimerPass();
  } else if (y < h - kBarHideEdge && inForm && C.SplitterBottom) {
    C.PanelBottom->setMinimumHeight(0);
    C.PanelBottom->setMaximumHeight(QWIDGETSIZE_MAX);
    C.SplitterBottom->insertWidget(1, C.PanelBottom);
    C.PanelBottom->show();
    RestoreBottomHeight();
    FHost.FormResize();
  }
}

void TFullScreenView::KeepBottomHeight(int height, bool handleShown)
{
  if (FBottomHeight < 0) return;
  FBottomHeight = height;
  FBottomHandleShown = handleShown;
}

void TFullScreenView::RestoreBottomHeight()
{
  QSplitter *splitter = C.SplitterBottom;
  // Only once the video and the panel are both back in the window.
  if (!splitter || splitter->count() != 2 || splitter->widget(0) != C.PanelVideo ||
      splitter->widget(1) != C.PanelBottom || FBottomHeight < 0)
    return;
  splitter->handle(1)->setVisible(FBottomHandleShown);
  // The panel that came back first may hold all of the splitter; its height
  // is what there is to share.
  const int total = splitter->height() - (FBottomHandleShown ? splitter->handleWidth() : 0);
  if (total > 0) splitter->setSizes({std::max(0, total - FBottomHeight), FBottomHeight});
  FBottomHeight = -1;
}

void TFullScreenView::VideoWindowWMRMouseMove(QPoint pos, QPoint global)
{
  // Leaving full screen sends a pointer at the top, which brings the bar home.
  if (FullScreenOn() || FForm.Holds(C.PanelBottom)) MoveBottomBar(pos.y());
  FHost.HideDetails();
  if (V.VideoDragging) FZoom.DragTo(global);
  if (QWidget *video = CurrentVideoWindow())
    if (video->cursor().shape() == Qt::BlankCursor) video->unsetCursor();
  TimerMouseHide.stop();
  if (C.ButtonPlay && C.ButtonPlay->isChecked()) TimerMouseHide.start();
}

void TFullScreenView::VideoWindowWMRMouseDown(QObject *, Qt::MouseButton button, QPoint global)
{
  if (FZoom.MouseDown(button, global)) return;
  if (button == Qt::MiddleButton) {
    N_FullScreenClick(nullptr);
    return;
  }
  if (button == Qt::LeftButton && C.Checked("N_Playback_PauseOnClick") && FHost.GraphState() != 0)
    FCommands.N_Playback_PlayClick();
}

void TFullScreenView::VideoWindowWMRMouseUp()
{
  FZoom.MouseUp();
}

void TFullScreenView::TimerMouseHideTimer()
{
  TimerMouseHide.stop();
  if (QWidget *video = CurrentVideoWindow()) video->setCursor(Qt::BlankCursor);
}

void TFullScreenView::Watch(QWidget *widget)
{
  if (!widget || FWatched.contains(widget)) return;
  widget->installEventFilter(this);
  widget->setMouseTracking(true);
  FWatched.append(widget);
}

void TFullScreenView::WatchVideoWindows()
{
  FWatched.removeAll(nullptr);
  Watch(C.PanelVideo);
  Watch(FHost.VideoWindowEVR());
  Watch(FHost.VideoWindowWMR());
}

bool TFullScreenView::eventFilter(QObject *watched, QEvent *event)
{
  const QEvent::Type type = event->type();
  if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease && type != QEvent::MouseMove &&
      type != QEvent::MouseButtonDblClick)
    return QObject::eventFilter(watched, event);
  auto *mouse = static_cast<QMouseEvent *>(event);
  const QPoint global = mouse->globalPosition().toPoint();
  switch (type) {
  case QEvent::MouseButtonPress: VideoWindowWMRMouseDown(watched, mouse->button(), global); break;
  case QEvent::MouseButtonRelease: VideoWindowWMRMouseUp(); break;
  case QEvent::MouseButtonDblClick: N_FullScreenClick(watched); break;
  default: {
    const QPoint pos = C.PanelVideo ? C.PanelVideo->mapFromGlobal(global) : mouse->position().toPoint();
    VideoWindowWMRMouseMove(pos, global);
  }
  }
  // Handled here, so the panel under a video window never sees it twice.
  return true;
}

} // namespace kp
