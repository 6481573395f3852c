#pragma once
// What the view commands (time window, marks, video zoom, renderer, full
// screen, layout, profiles, wheel and keys) need of the main window and of
// the playing and map collaborators. The main window implements it; tests
// record it. Every call comes from the main thread.

#include "IPlaybackHost.h"

#include <QString>

class QWidget;

namespace kp {

class TBS_Image;
class TEVR;
class TFileManager;
class TVideoWindow;

class IViewsHost {
public:
  virtual ~IViewsHost() = default;

  // Layout passes of the window.
  virtual void FormResize() = 0;
  virtual void SplitterRightMoved() = 0; // the right splitter's handler
  virtual void LayoutControlPanel() = 0;
  // The texts of the active language again (the renderer suffixes, the
  // speed column's unit).
  virtual void ApplyLanguage() = 0;
  virtual void RepaintList() = 0;

  // Playing: Play/Pause as ButtonPlay's check says, Stop, one timer pass.
  virtual void ButtonPlayClick() = 0;
  virtual void ButtonStopClick() = 0;
  virtual void TimerPass() = 0;
  // The texts that read the clock, after the display zone changed: the
  // playing recording's caption, the cutting window's rows and the name it
  // proposes.
  virtual void RefreshClockTexts() = 0;
  virtual long double GetPosition() = 0;
  // Seeks and runs a loop pass.
  virtual void SeekTo(long double position) = 0;
  // Reloads the selected row (the list's selection handler).
  virtual void ListViewSelectItem() = 0;
  // One frame forward, one second back (the paused control panel's wheel).
  virtual void FrameNext() = 0;
  virtual void JumpSecondBack() = 0;
  // The graph's play state (0 while the graph is not active) and whether
  // it can seek.
  virtual int GraphState() const = 0;
  virtual bool CanSeek() const = 0;
  // The open file's duration in 100-ns units (0 when unknown).
  virtual int64_t FileDuration() const = 0;

  // The video window: frees the old one and builds the one of the checked
  // renderer (EVR: a panel with a TEVR; NUL/WMR: a TVideoWindow), joined to
  // the graph, with the window's mouse and popup menu.
  virtual void BuildVideoWindow() = 0;
  virtual TEVR *EVR() const = 0;
  virtual QWidget *VideoWindowEVR() const = 0;
  virtual TVideoWindow *VideoWindowWMR() const = 0;
  // A paused EVR picture is drawn again.
  virtual void RefreshPausedFrame() = 0;

  // Map: the A-B marks on it, loading the page of a provider (0: blank and
  // hidden, then the analytics page), a script, the marker as "lat,lng".
  virtual void ShowMapAB() = 0;
  virtual void LoadMapPage(int provider) = 0;
  virtual void ExecMapScript(const QString &script) = 0;
  virtual QString MarkerLatLngJS() const = 0; // "null" when not following

  // Other windows.
  virtual void HideDetails() = 0;
  virtual void UpdateDetailsVisibility() = 0;
  virtual void ShowGroupWindow(int row) = 0;
  virtual TActiveWindow ActiveWindow() const = 0;
  virtual void CloseActiveWindow() = 0;
  virtual void ShowMessage(const QString &text) = 0;
  // The maker's site in the desktop's browser (a failure is shown).
  virtual void OpenWebSite() = 0;

  // A new graph image beside the seek bar, wired like it.
  virtual TBS_Image *NewGraphImage() = 0;
  // The graphs were made anew: the playing collaborators' copies follow.
  virtual void GraphsChanged() = 0;
  virtual TFileManager *FileManager() const = 0;
};

} // namespace kp
