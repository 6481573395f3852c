#pragma once
// The view collaborators of the main window, made and connected in one
// place: the time window and marks, the video zoom, the view commands, full
// screen and the mouse on the video, the keys and the wheel, the dialogs,
// units, time zone and profiles, and the column saving. The window makes
// one after its widgets, menus and the full-screen window exist, then calls
// Connect; every command runs inside the command boundary. Main thread only.
//
// The window's part:
// - Fill TViewsControls with its widgets, menus, painters, Graphs and
//   GraphImages (before Connect), and FullScreen with its TFormFullScreen.
// - The video window is placed by geometry, not by PanelVideo's layout.
// - Start-up: Time.NormalizeTimeWindow() where the window is built;
//   StartupPasses() where the saved marks are restored; the deferred
//   renderer set-up is Commands.N_Playback_Renderer_NULClick(nullptr).
// - FormResize step 3 and ApplyLanguage step 11:
//   Zoom.ButtonVideoZoomOutClick(nullptr); FormResize step 9 repaints
//   TFormFullScreen when visible.
// - The playing host's entries: NormalizeTimeWindow, ButtonVideoZoomOutClick,
//   N_FullScreenClick, N_View_Time_LoopABClick (with CheckBoxLoop),
//   FullScreen (N_FullScreen's mark), VideoInFullScreen.
// - Double-clicks on the window itself: FullScreen.N_FullScreenClick(window).

#include "ColumnSaver.h"
#include "FullScreenView.h"
#include "PlaybackState.h"
#include "TimeWindow.h"
#include "VideoZoom.h"
#include "ViewCommands.h"
#include "ViewDialogs.h"
#include "ViewProfiles.h"
#include "ViewsControls.h"
#include "WindowEvents.h"

#include <memory>

namespace kp {

class IViewsHost;
class TFormFullScreen;

class TViews {
public:
  TViews(TPlaybackState &state, const TViewsControls &controls, IViewsHost &host, TFormFullScreen &fullScreen);

  // Routes the menu items, buttons, scroll bar, check box, the keys and
  // the wheel to the collaborators.
  void Connect();
  // The start-up passes without a sender, in order: units, time zone,
  // layout, graphs, profile.
  void StartupPasses();

  TViewState View;
  TVideoZoom Zoom;
  TTimeWindow Time;
  TViewCommands Commands;
  TFullScreenView FullScreen;
  TWindowEvents Events;
  TViewDialogs Dialogs;
  TViewProfiles Profiles;
  std::unique_ptr<TColumnSaver> Columns;

private:
  void ConnectMenus();
  void ConnectWidgets();

  TPlaybackState &S;
  const TViewsControls &C;
  IViewsHost &FHost;
  TFormFullScreen &FForm;
};

} // namespace kp
