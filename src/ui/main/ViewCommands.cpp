#include "ViewCommands.h"

#include "FullScreenView.h"
#include "IViewsHost.h"
#include "MainMenus.h"
#include "PlaybackGuard.h"
#include "UnitBSImage.h"
#include "UnitBitmaps.h"
#include "UnitGraphics.h"
#include "VideoZoom.h"

#include <QAction>
#include <QElapsedTimer>
#include <QSplitter>
#include <QToolButton>
#include <algorithm>
#include <numeric>

namespace kp {

namespace {

constexpr double kSeekKeyStep = 8.312; // seconds
constexpr double kSeekKeyPause = 1.2;  // seconds between two acting keys
constexpr double kSeekKeyQuick = 1.1;  // taken off without telemetry or in full screen

using TGraphFactory = std::unique_ptr<TMyGraphic> (*)(TImage *, int);

struct TGraphItem {
  const char *Name;
  TGraphFactory Create;
};

constexpr TGraphItem kGraphItems[] = {
    {"N_View_Graphics_S", &TSpeedGraphic::Create},    {"N_View_Graphics_H", &TAltitudeGraphic::Create},
    {"N_View_Graphics_G", &TGsensorAGraphic::Create}, {"N_View_Graphics_X", &TGsensorXGraphic::Create},
    {"N_View_Graphics_Y", &TGsensorYGraphic::Create}, {"N_View_Graphics_Z", &TGsensorZGraphic::Create},
};

double MonotonicSeconds()
{
  static QElapsedTimer clock;
  if (!clock.isValid()) clock.start();
  return double(clock.nsecsElapsed()) / 1e9;
}

// The second pane of a two-pane splitter gets Size pixels.
void SetSecondPane(QSplitter *splitter, int size)
{
  if (!splitter || splitter->count() != 2) return;
  const QList<int> sizes = splitter->sizes();
  const int total = std::accumulate(sizes.begin(), sizes.end(), 0);
  splitter->setSizes({std::max(0, total - size), size});
}

} // namespace

int RightPanelWidth(bool anythingOnRight, int current)
{
  if (!anythingOnRight) return 0;
  return current < 20 ? 510 : current;
}

int BottomPanelHeight(int chosen, int base, int current)
{
  if (chosen <= 0) return base;
  if (chosen >= 6) return base + 150 >= current ? 320 : current;
  return current < 186 ? 185 : current;
}

long double SeekKeyTarget(long double p, double stepSeconds, int64_t duration, long double fileStart,
                          long double fileEnd)
{
  const long double d = std::max<int64_t>(1, duration);
  p += stepSeconds * 10000000.0L / d * (fileEnd - fileStart);
  return std::clamp(p, 0.0L, 1.0L);
}

TViewCommands::TViewCommands(TPlaybackState &state, TViewState &view, const TViewsControls &controls, IViewsHost &host,
                             TVideoZoom &zoom)
  : Now(&MonotonicSeconds), S(state), V(view), C(controls), FHost(host), FZoom(zoom)
{
}

void TViewCommands::N_Playback_Renderer_NULClick(QAction *)
{
  TBusyCursor busy(Qt::WaitCursor);
  const long double last = S.LastPosition;
  const bool active = FHost.GraphState() != 0;
  if (active) FHost.ButtonStopClick();
  FHost.BuildVideoWindow();
  if (FullScreen) FullScreen->WatchVideoWindows();
  EnableZoomItems();
  if (active) {
    FHost.ListViewSelectItem();
    S.Position = last;
    S.LastPosition = last;
  }
}

void TViewCommands::EnableZoomItems()
{
  const bool evr = C.Checked("N_Playback_Renderer_EVR"), vmr = C.Checked("N_Playback_Renderer_WMR");
  QAction *notLinear = C.Item("N_VideoZoom_NotLinear");
  if (notLinear) notLinear->setEnabled(evr);
  for (const char *flip : {"N_VideoZoom_FlipV", "N_VideoZoom_FlipH"})
    if (QAction *item = C.Item(flip)) item->setEnabled(vmr);
  FHost.ApplyLanguage();
  if (notLinear && notLinear->isChecked() && !notLinear->isVisible())
    if (QAction *stretch = C.Item("N_VideoZoom_Stretch")) C.Menus->State().SetMenuChecked(stretch);
}

void TViewCommands::N_View_Graphics_SClick(QObject *sender)
{
  if (C.Graphs && C.GraphImages) {
    C.Graphs->clear();
    for (TBS_Image *image : *C.GraphImages) delete image;
    C.GraphImages->clear();
    const int margin = C.SeekBitmap ? C.SeekBitmap->Margin() : 0;
    for (const TGraphItem &item : kGraphItems) {
      if (!C.Checked(item.Name)) continue;
      TBS_Image *image = FHost.NewGraphImage();
      if (!image) continue;
      C.Graphs->push_back(item.Create(image->Image(), margin));
      C.GraphImages->push_back(image);
    }
  }
  const int chosen = C.Graphs ? int(C.Graphs->size()) : 0;
  if (C.SplitterBottom && C.SplitterBottom->count() > 1) C.SplitterBottom->handle(1)->setVisible(chosen > 0);
  if (sender && C.PanelBottom) {
    const int height = BottomPanelHeight(chosen, BottomPanelBase(), C.PanelBottom->height());
    if (height != C.PanelBottom->height()) SetSecondPane(C.SplitterBottom, height);
  }
  FHost.GraphsChanged();
  FHost.SplitterRightMoved();
  FHost.FormResize();
}

int TViewCommands::BottomPanelBase() const
{
  int base = (C.ImageSeek ? C.ImageSeek->height() : 0) + (C.PanelZoomScroll ? C.PanelZoomScroll->height() : 0);
  // Without graphs the control panel beside them keeps its gauges whole.
  const bool beside = C.PanelControl && !C.PanelControl->isHidden() && C.PanelGraphicsAddon &&
                      C.PanelControl->parentWidget() == C.PanelGraphicsAddon;
  if (beside)
    for (const QWidget *gauge : {C.ImageSpeed, C.ImageGSensor, C.ImageAzimut})
      if (gauge && !gauge->isHidden()) base = std::max(base, gauge->height());
  return base;
}

void TViewCommands::N_View_Graphics_ShowClick(QAction *sender)
{
  const bool show = C.Is(sender, "N_View_Graphics_Show");
  for (const TGraphItem &item : kGraphItems)
    if (QAction *a = C.Item(item.Name)) C.Menus->State().SetItemChecked(a, show);
  N_View_Graphics_SClick(C.Window);
  FHost.SplitterRightMoved();
}

void TViewCommands::N_View_GoogleMapsClick(QAction *sender)
{
  // The map item is a plain toggle, so F3 already switched the map.
  N_View_FileListClick(sender);
}

void TViewCommands::N_View_FileListClick(QObject *sender)
{
  // A stored choice of the second provider shows the one map page there is.
  const int provider = C.Checked("N_View_GoogleMaps") || C.Checked("N_View_YandexMaps") ? 1 : 0;
  if (provider != FMapProvider) {
    FMapProvider = provider;
    if (S.Map) S.Map->MapInited = false;
    if (provider != 0 && C.WebBrowser) C.WebBrowser->setVisible(true);
    FHost.LoadMapPage(provider);
    if (provider == 0 && C.WebBrowser) C.WebBrowser->setVisible(false);
  }
  const bool list = C.Checked("N_View_FileList");
  if (C.PanelListView) C.PanelListView->setVisible(list);
  if (C.PanelControl) C.PanelControl->setVisible(C.Checked("N_View_ControlPanel"));
  if (!C.Checked("N_View_Details")) FHost.HideDetails();
  const bool map = C.WebBrowser && !C.WebBrowser->isHidden();
  // The control panel counts only where it sits on the right (video profile).
  const bool control =
      C.PanelControl && !C.PanelControl->isHidden() && C.PanelRight && C.PanelControl->parentWidget() == C.PanelRight;
  const bool anything = list || map || control;
  if (C.PanelRight) {
    const int width = RightPanelWidth(anything, C.PanelRight->isHidden() ? 0 : C.PanelRight->width());
    C.PanelRight->setVisible(anything);
    if (anything && width != C.PanelRight->width()) SetSecondPane(C.SplitterRight, width);
  }
  if (C.SplitterRight && C.SplitterBottom)
    C.SplitterRight->setHandleWidth(anything ? C.SplitterBottom->handleWidth() : 0);
  PlaceBrowser(list);
  if (sender) {
    FHost.FormResize();
    FHost.SplitterRightMoved();
  }
}

void TViewCommands::PlaceBrowser(bool listVisible)
{
  if (!C.SplitterListView || !C.WebBrowser || C.WebBrowser->isHidden() || !listVisible) return;
  const QList<int> sizes = C.SplitterListView->sizes();
  if (sizes.size() == 2 && sizes[0] == 0) {
    const int total = sizes[0] + sizes[1];
    C.SplitterListView->setSizes({10, std::max(0, total - 10)});
  }
}

void TViewCommands::N_Playback_PlayClick()
{
  if (!C.ButtonPlay || !C.ButtonPlay->isEnabled()) return;
  C.ButtonPlay->setChecked(!C.ButtonPlay->isChecked());
  FHost.ButtonPlayClick();
}

void TViewCommands::N_Playback_StopClick()
{
  const TActiveWindow active = FHost.ActiveWindow();
  if (C.Checked("N_FullScreen") || active == TActiveWindow::FullScreen) {
    if (FullScreen) FullScreen->N_FullScreenClick(nullptr);
  } else if (active == TActiveWindow::Main) {
    FHost.ButtonStopClick();
  } else {
    FHost.CloseActiveWindow();
  }
}

void TViewCommands::N_Playback_LeftClick(QObject *sender)
{
  const double now = Now();
  if (now - V.SeekKeyTime < kSeekKeyPause) return;
  V.SeekKeyTime = now;
  const long double p = FHost.GetPosition();
  if (p < 0 || !FHost.CanSeek()) return;
  double step = 0;
  if (C.Is(sender, "N_Playback_Right"))
    step = kSeekKeyStep;
  else if (C.Is(sender, "N_Playback_Left"))
    step = -kSeekKeyStep;
  const TFileItemSubitem *file = S.OpenFile();
  if (step == 0 || !file) return;
  FHost.SeekTo(SeekKeyTarget(p, step, FHost.FileDuration(), file->Position.Start, file->Position.End));
  if (S.CurrentPoint.Time == 0 || C.Checked("N_FullScreen")) V.SeekKeyTime = now - kSeekKeyQuick;
  if (C.Window) C.Window->update();
  if (C.FullScreen && C.FullScreen->isVisible()) C.FullScreen->update();
}

} // namespace kp
