#pragma once
// What the cutting dialog and its job need from the main window. The main
// window implements it; tests fake it. Every call comes on the main thread.

#include "DateTime.h"
#include "UnitMovingInfo.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace kp {

// The track the recording list gives a video file.
struct TCropTrack {
  std::shared_ptr<const TMovingInfo> Info; // as the player loads it; null when none
  TDateTime StartTime = 0;                 // the video's first frame as the list places it (0 unknown)
};

class ICropHost {
public:
  virtual ~ICropHost() = default;
  // Stops playback (the job reads and writes the files being played).
  virtual void StopPlayback() = 0;
  // Hides and shows the main window around the copy, so that no playback or
  // list command interleaves with it.
  virtual void HideMain() = 0;
  virtual void ShowMain() = 0;
  // Adds a cut the job has just written to the recording list (and plays
  // it when nothing was loaded); a listed file of its name is shown as the
  // file now is.
  virtual void AddCut(const QString &movie) = 0;
  // The main window's open dialog for video files; empty when cancelled.
  virtual QStringList ChooseVideoFiles() = 0;
  // The track of a video file that comes without one (added with "+",
  // dropped, a row not loaded), as the recording list gives it (CropTrack.h).
  virtual TCropTrack FindTrack(const QString &videoFileName) = 0;
};

} // namespace kp
