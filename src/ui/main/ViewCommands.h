#pragma once
// The view commands of the main window: the renderer switch around the
// window's video-window build, the graph choice and show/hide-all, the map
// item, the layout of the right-hand side, the Play and Stop items and the
// seek keys. Check marks go through the menu state. Main thread only;
// nothing is owned.

#include "PlaybackState.h"
#include "ViewsControls.h"

#include <functional>

class QAction;
class QObject;

namespace kp {

class IViewsHost;
class TFullScreenView;
class TVideoZoom;

// The right panel's width: 510 when something shows there and it had
// collapsed below 20 pixels, its own width otherwise; 0 when nothing shows.
int RightPanelWidth(bool anythingOnRight, int current);
// The bottom panel's height after the user chose Chosen of six graphs
// (Base: the seek bar and the scroll bar, or more for the control panel's
// gauges beside them); Current when it stays.
int BottomPanelHeight(int chosen, int base, int current);
// A seek key's target: Step seconds from P within a file of Duration
// (100-ns units) that spans FileStart..FileEnd of the recording; 0..1.
long double SeekKeyTarget(long double p, double stepSeconds, int64_t duration, long double fileStart,
                          long double fileEnd);

class TViewCommands {
public:
  TViewCommands(TPlaybackState &state, TViewState &view, const TViewsControls &controls, IViewsHost &host,
                TVideoZoom &zoom);
  // Monotonic seconds; tests set it.
  std::function<double()> Now;
  // Set by the window: full screen is on / left (for Esc and seek keys).
  TFullScreenView *FullScreen = nullptr;

  // Sender: the renderer item, or null at start-up (no mark changes).
  void N_Playback_Renderer_NULClick(QAction *sender);
  // Sender: a graph item (its mark already toggled), the window (show/hide
  // all), or null (a pass at start-up or from a profile).
  void N_View_Graphics_SClick(QObject *sender);
  void N_View_Graphics_ShowClick(QAction *sender);
  void N_View_GoogleMapsClick(QAction *sender);
  // Sender: a panel or map item, or null for a layout pass.
  void N_View_FileListClick(QObject *sender);
  void N_Playback_PlayClick();
  void N_Playback_StopClick();
  void N_Playback_LeftClick(QObject *sender);

  int MapProvider() const { return FMapProvider; }

private:
  void EnableZoomItems();
  int BottomPanelBase() const;
  void PlaceBrowser(bool listVisible);

  TPlaybackState &S;
  TViewState &V;
  const TViewsControls &C;
  IViewsHost &FHost;
  TVideoZoom &FZoom;
  int FMapProvider = -1;
};

} // namespace kp
