#pragma once
// The visible time window of the seek bar and graphs (zoom around the
// position, a minimum span of half a second, the scroll bar that moves it),
// the A and B marks with the loop switch, and the list's grouping commands.
// Acts on the playback state and the widgets it is handed. Main thread only.

#include "PlaybackState.h"
#include "ViewsControls.h"

class QObject;

namespace kp {

class IViewsHost;

// The scroll bar for a window of width W starting at Start, when the seek
// bar's drawing width gives P pages: its range N, page P and position.
struct TZoomBar {
  bool Enabled = false;
  int Range = 0; // N
  int Page = 0;  // P
  int Position = 0;
};
TZoomBar ZoomBarFor(int seekBarWidth, int margin, long double start, long double end);

// Orders, widens to Min and moves the window inside 0..1.
void NormalizeWindow(long double &start, long double &end, long double minWindow);

class TTimeWindow {
public:
  TTimeWindow(TPlaybackState &state, TViewState &view, const TViewsControls &controls, IViewsHost &host);

  // Half a second of the loaded recording, as a fraction.
  long double MinTimeWindow() const;
  // Sender: a zoom button or item; null only normalises and lays out.
  void ButtonZoomInClick(QObject *sender);
  void NormalizeTimeWindow();
  void ScrollBarZoomChange();
  // Sender: N_View_Time_SetA or N_View_Time_SetB; others only redraw.
  void N_View_Time_SetAClick(QObject *sender);
  // Sender: the loop item (its mark already set) or CheckBoxLoop.
  void N_View_Time_LoopABClick(QObject *sender);

  void N_FileList_UngroupClick();
  void N_FileList_Group_WithClick();

private:
  TPlaybackState &S;
  TViewState &V;
  const TViewsControls &C;
  IViewsHost &FHost;
};

} // namespace kp
