#pragma once
// What playing a recording needs of the rest of the main window and of the
// auxiliary windows. The main window implements it; tests record it. Every
// call comes from the main thread.

#include <QString>
#include <QStringList>

class QAction;

namespace kp {

class TMyGraphic;

// The window that has the keyboard focus, as far as the timer pass cares.
enum class TActiveWindow { Main, FullScreen, About, Update, Details, GpsLog, Grouping, Other };

class IPlaybackHost {
public:
  virtual ~IPlaybackHost() = default;

  // Layout: re-lays out and redraws the seek bar and the graphs once the
  // running command has returned.
  virtual void FormResize() = 0;
  // Keeps the time window inside 0..1 and no narrower than its minimum.
  virtual void NormalizeTimeWindow() = 0;
  // Re-applies the video zoom (the zoom command without a sender).
  virtual void ButtonVideoZoomOutClick() = 0;
  // Leaves or enters full screen (the menu command without a sender).
  virtual void N_FullScreenClick() = 0;
  // The A-B loop check box's handler, after its check changed.
  virtual void N_View_Time_LoopABClick() = 0;
  // Checks one item of a radio group and stores the group's choice.
  virtual void SetMenuChecked(QAction *item) = 0;
  // Copies enabled and checked states to the popup copies of the menu items.
  virtual void SyncMenuCopies() = 0;

  // The details window: shown for a time point (Graph null when none),
  // hidden, and its cursor moved.
  virtual void ShowDetails(long double position, long double lastPosition, TMyGraphic *graph, long double timeStep) = 0;
  virtual void HideDetails() = 0;
  virtual void DetailsDrawCursor(long double position) = 0;

  // Enables the list popup's items for the current selection.
  virtual void PopupMenuListViewPopup() = 0;
  // Adds movie files to the catalogue as the command line and drops do.
  virtual void AddFiles(const QStringList &fileNames) = 0;
  // The main window's caption (and the application's title).
  virtual void SetTitle(const QString &title) = 0;
  virtual TActiveWindow ActiveWindow() const = 0;
  // Full screen is on, whether the video panel sits in its window, and
  // whether the gauges do (the bottom bar brought up there).
  virtual bool FullScreen() const = 0;
  virtual bool VideoInFullScreen() const = 0;
  virtual bool GaugesInFullScreen() const = 0;
  virtual bool MainWindowVisible() const = 0;
  // Repaints the main window now (before a long step).
  virtual void Repaint() = 0;
  // Closes the main window (the shutdown runs from its close).
  virtual void CloseMainWindow() = 0;
  // A modal message box with an OK button.
  virtual void ShowMessage(const QString &text) = 0;
  // The same for a failure (a file that cannot be played), marked as one.
  virtual void ShowFailure(const QString &text) = 0;
  // The same words in a note that does not wait for the user: what playing
  // unattended meets must not hold up the rest of the trip.
  virtual void ShowNote(const QString &text) = 0;
};

} // namespace kp
