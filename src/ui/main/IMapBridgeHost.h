#pragma once
// What the map bridge needs of the main window: the playback state its
// callbacks read and the window services they start. The main window
// implements it by handing each call to its playback collaborators; tests
// record it. Main thread only.

#include "UnitMovingInfo.h"

#include <QUrl>

namespace kp {

class IMapBridgeHost {
public:
  virtual ~IMapBridgeHost() = default;

  // ------------------------------------------------------------ playback state

  // The telemetry of the last timer pass (Time 0 when there is none).
  virtual TMovingPoint CurrentPoint() const = 0;
  // The file of the loaded recording open in the player, -1 when none.
  virtual int CurrentFile() const = 0;
  // The loaded recording's files, and the telemetry of file I (null when the
  // file has none).
  virtual int FileCount() const = 0;
  virtual const TMovingInfo *FileTrack(int file) const = 0;
  // A fraction of file I's track window as a fraction of the recording.
  virtual long double FileTrackToGroupPosition(int file, long double fraction) const = 0;
  // The A and B marks, fractions of the recording.
  virtual long double MarkA() const = 0;
  virtual long double MarkB() const = 0;
  // The telemetry point at a recording fraction; zeroed when there is none.
  virtual TMovingPoint GetTelemetryAt(long double position) const = 0;
  // Minutes between time-point markers on the track (1, 5 or 20), 0 for none.
  virtual int TimePointMinutes() const = 0;

  // ------------------------------------------------------------ window

  virtual bool MainWindowVisible() const = 0;
  virtual bool MainWindowActive() const = 0;
  virtual bool FullScreen() const = 0;

  // ------------------------------------------------------------ actions

  virtual void SeekTo(long double position) = 0;
  // One pass of the playback loop.
  virtual void TimerPass() = 0;
  // Gives the keyboard focus to the video and then to the recording list, so
  // the map does not keep it after the user moved it.
  virtual void MoveFocusFromMap() = 0;
  // Stops the running update checker and starts a new one after DelayMs.
  virtual void RestartUpdateChecker(int delayMs) = 0;
  // Loads the analytics page in its own hidden browser.
  virtual void NavigateAnalytics(const QUrl &url) = 0;
};

} // namespace kp
