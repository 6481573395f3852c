#include "Views.h"

#include "CommandBoundary.h"
#include "IViewsHost.h"
#include "MainMenus.h"
#include "UnitFormFullScreen.h"

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QMenu>
#include <QScrollBar>
#include <QTableView>
#include <QToolButton>

namespace kp {

TViews::TViews(TPlaybackState &state, const TViewsControls &controls, IViewsHost &host, TFormFullScreen &fullScreen)
  : Zoom(state, View, controls, host), Time(state, View, controls, host), Commands(state, View, controls, host, Zoom),
    FullScreen(state, View, controls, host, Zoom, Commands, fullScreen),
    Events(state, View, controls, host, Zoom, Time, Commands), Dialogs(controls, host, Zoom),
    Profiles(controls, host, Commands), S(state), C(controls), FHost(host), FForm(fullScreen)
{
}

void TViews::Connect()
{
  ConnectMenus();
  ConnectWidgets();
  FForm.EvrChosen = [this] { return C.Checked("N_Playback_Renderer_EVR"); };
  FForm.Wheel = [this](QPoint global, int delta) {
    bool used = false;
    RunCommand([&] { used = Events.FormMouseWheel(global, delta); });
    return used;
  };
  if (C.Menus) C.Menus->AddShortcutsTo(&FForm);
  Events.WatchApplication();
  FullScreen.WatchVideoWindows();
  if (C.ListView && C.DesignColumnWidths)
    Columns = std::make_unique<TColumnSaver>(C.ListView->horizontalHeader(), *C.DesignColumnWidths, C.Window);
  Profiles.SetColumns(Columns.get());
}

void TViews::ConnectMenus()
{
  if (!C.Menus) return;
  TMainMenus &m = *C.Menus;
  const auto on = [&m](const char *name, std::function<void(QAction *)> f) {
    m.OnTriggered(QLatin1String(name), [f = std::move(f)](QAction *a) { RunCommand([&] { f(a); }); });
  };
  for (const char *n : {"N_Playback_Renderer_NUL", "N_Playback_Renderer_WMR", "N_Playback_Renderer_EVR"})
    on(n, [this](QAction *a) { Commands.N_Playback_Renderer_NULClick(a); });
  on("N_FullScreen", [this](QAction *a) { FullScreen.N_FullScreenClick(a); });
  for (const char *n : {"N_View_Graphics_S", "N_View_Graphics_H", "N_View_Graphics_G", "N_View_Graphics_X",
                        "N_View_Graphics_Y", "N_View_Graphics_Z"})
    on(n, [this](QAction *a) { Commands.N_View_Graphics_SClick(a); });
  for (const char *n : {"N_View_Graphics_Show", "N_View_Graphics_Hide"})
    on(n, [this](QAction *a) { Commands.N_View_Graphics_ShowClick(a); });
  for (const char *n : {"N_View_GoogleMaps", "N_View_YandexMaps", "N_View_NoMaps"})
    on(n, [this](QAction *a) { Commands.N_View_GoogleMapsClick(a); });
  for (const char *n : {"N_View_FileList", "N_View_ControlPanel", "N_View_Details"})
    on(n, [this](QAction *a) { Commands.N_View_FileListClick(a); });
  on("N_Playback_Play", [this](QAction *) { Commands.N_Playback_PlayClick(); });
  on("N_Playback_Stop", [this](QAction *) { Commands.N_Playback_StopClick(); });
  for (const char *n : {"N_Playback_Left", "N_Playback_Right"})
    on(n, [this](QAction *a) { Commands.N_Playback_LeftClick(a); });
  for (const char *n : {"N_View_Time_ZoomIn", "N_View_Time_ZoomOut"})
    on(n, [this](QAction *a) { Time.ButtonZoomInClick(a); });
  for (const char *n : {"N_View_Time_SetA", "N_View_Time_SetB"})
    on(n, [this](QAction *a) { Time.N_View_Time_SetAClick(a); });
  on("N_View_Time_LoopAB", [this](QAction *a) { Time.N_View_Time_LoopABClick(a); });
  on("N_FileList_Ungroup", [this](QAction *) { Time.N_FileList_UngroupClick(); });
  on("N_FileList_Group_With", [this](QAction *) { Time.N_FileList_Group_WithClick(); });
  for (const char *n : {"N_VideoZoom_ZoomIn", "N_VideoZoom_ZoomOut", "N_VideoZoom_800", "N_VideoZoom_400",
                        "N_VideoZoom_200", "N_VideoZoom_100", "N_VideoZoom_50", "N_VideoZoom_25", "N_VideoZoom_10"})
    on(n, [this](QAction *a) { Zoom.ButtonVideoZoomOutClick(a); });
  for (const char *n : {"N_VideoZoom_Custom", "N_VideoZoom_Letterbox", "N_VideoZoom_PanAndScan", "N_VideoZoom_Stretch",
                        "N_VideoZoom_NotLinear", "N_VideoZoom_FlipV", "N_VideoZoom_FlipH"})
    on(n, [this](QAction *a) { Zoom.N_VideoZoom_LetterboxClick(a); });
  on("N_VideoZoom_Other", [this](QAction *) { Dialogs.N_VideoZoom_OtherClick(S.VideoZoom); });
  // The playback code reads these marks; the trigger saved them.
  on("N_Playback_PauseOnClick", [](QAction *) {});
  on("N_Playback_PlayNext", [](QAction *) {});
  on("N_Help_Site", [this](QAction *) { Dialogs.N_Help_SiteClick(); });
  on("N_FileList_Track_Set", [this](QAction *) { Dialogs.N_FileList_Track_SetClick(); });
  on("N_FileList_Track_Move", [this](QAction *) { Dialogs.N_FileList_Track_MoveClick(); });
  for (const char *n : {"N_View_Measu_Metric", "N_View_Measu_British"})
    on(n, [this](QAction *a) { Profiles.N_View_Measu_MetricClick(a); });
  for (const char *n : {"N_View_Profile_GPS_G", "N_View_Profile_GPS", "N_View_Profile_Video"})
    on(n, [this](QAction *a) { Profiles.N_View_Profile_GPSClick(a); });
  if (QMenu *zones = m.Menu(QStringLiteral("N_View_TimeZone")))
    for (QAction *a : zones->actions())
      if (!a->isSeparator())
        on(a->objectName().toLatin1().constData(), [this](QAction *z) { Profiles.N_View_TimeZone_LocalClick(z); });
}

void TViews::ConnectWidgets()
{
  const auto click = [](QToolButton *b, std::function<void()> f) {
    if (b) QObject::connect(b, &QToolButton::clicked, b, [f = std::move(f)] { RunCommand(f); });
  };
  click(C.ButtonZoomIn, [this] { Time.ButtonZoomInClick(C.ButtonZoomIn); });
  click(C.ButtonZoomOut, [this] { Time.ButtonZoomInClick(C.ButtonZoomOut); });
  click(C.ButtonVideoZoomIn, [this] { Zoom.ButtonVideoZoomOutClick(C.ButtonVideoZoomIn); });
  click(C.ButtonVideoZoomOut, [this] { Zoom.ButtonVideoZoomOutClick(C.ButtonVideoZoomOut); });
  if (C.ScrollBarZoom)
    QObject::connect(C.ScrollBarZoom, &QScrollBar::valueChanged, C.ScrollBarZoom,
                     [this] { RunCommand([this] { Time.ScrollBarZoomChange(); }); });
  if (C.CheckBoxLoop)
    QObject::connect(C.CheckBoxLoop, &QCheckBox::clicked, C.CheckBoxLoop,
                     [this] { RunCommand([this] { Time.N_View_Time_LoopABClick(C.CheckBoxLoop); }); });
}

void TViews::StartupPasses()
{
  RunCommand([this] {
    Profiles.N_View_Measu_MetricClick(nullptr);
    Profiles.N_View_TimeZone_LocalClick(nullptr);
    Commands.N_View_FileListClick(nullptr);
    Commands.N_View_Graphics_SClick(nullptr);
    Profiles.N_View_Profile_GPSClick(nullptr);
  });
}

} // namespace kp
