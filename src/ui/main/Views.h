#pragma once
// The view collaborators of the main window, made and connected in one
// place: the time window and marks, the video zoom, the view commands, full
// screen and the mouse on the video, the keys and the wheel, the dialogs,
// units, time zone and profiles, and the column saving. The window makes
// one after its widgets, menus and the full-screen window exist, then calls
// Connect; every command runs inside the command boundary. Main thread only.

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
