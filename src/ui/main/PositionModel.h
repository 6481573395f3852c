#pragma once
// The recording as one movie: conversions between recording fractions,
// file-local fractions, milliseconds and date-times; which file holds a
// fraction; the position read back from the media graph; seeking, which
// opens another file of the recording when needed; opening one file with its
// failure messages; the telemetry at a fraction; the pixel spans and graph
// series of the visible window; and the seek bar's mouse.
//
// The graph's vocabulary (100-ns units, result codes, interface queries)
// stops here: the rest of the window speaks fractions and play states.
// Main thread only. Nothing it does raises to its caller except SeekTo and
// SwitchToFile, whose graph failures the command handlers catch.

#include "IPlaybackHost.h"
#include "PlaybackControls.h"
#include "PlaybackState.h"

#include <QObject>
#include <QSet>
#include <functional>

namespace kp {

class TBS_Image;
class TMyGraphic;

class TPositionModel {
public:
  TPositionModel(TPlaybackState &state, const TPlaybackControls &controls, IPlaybackHost &host);

  // Set by the playback loop: one timer pass, and the play speed re-applied.
  std::function<void(TOrigin)> TimerPass;
  std::function<void()> ReapplyPlaySpeed;

  // ---------------------------------------------------------- conversions
  static long double FileToGroupPosition(const TFileItemSubitem &file, long double f);
  static long double FileTrackToGroupPosition(const TFileItemSubitem &file, long double f);
  static bool GroupToFilePosition(const TFileItemSubitem &file, long double g, long double &f);
  int FindFileAt(long double g) const;
  // The recording's length in days; 0 when its start is not known (a file
  // without a header and without a creation time has only an end).
  long double SpanDays() const;
  int64_t PositionToMs(long double g) const;
  double PositionToDateTime(long double g) const;
  // The local time telemetry is stored in, at G (no display shift).
  double TelemetryTime(long double g) const;
  QString FileCaptionAt(long double g) const;
  bool IsSelectedGroupLoaded(int row) const;

  // ---------------------------------------------------------- media
  long double GetPosition();
  void SeekTo(long double g, bool refresh, bool force);
  void SwitchToFile(int index, bool force);
  void OpenVideoFile(const QString &fileName);
  // After a frame step that did not move: the open file showed its last
  // frame, so the next file of the recording opens at its start. False
  // when the open file is the last.
  bool EnterNextFile();
  // While set, a file that cannot be opened is named in a note instead of
  // a message box (play-next moving on by itself).
  bool Unattended = false;
  // Files that could not be opened since the user last loaded a recording.
  // Unattended play does not try them again: each is told once, and a list
  // of them cannot keep the window opening and failing.
  bool Failed(const QString &fileName) const { return FFailed.contains(fileName); }
  void ForgetFailures() { FFailed.clear(); }

  // ---------------------------------------------------------- telemetry and drawing
  void GetTelemetryAt(long double g, TMovingPoint &point, TGSensorSample &sample, bool &valid) const;
  void GetSeekBarSpans(int width, TArrayInteger &gaps, TArrayInteger &noHeader, TArrayInteger &ab,
                       long double windowStart, long double windowEnd) const;
  void DrawGraphWindow(TMyGraphic &graph, int width, const TArrayInteger &gaps, const TArrayInteger &noHeader,
                       const TArrayInteger &ab, long double windowStart, long double windowEnd) const;

  // ---------------------------------------------------------- seek-bar mouse
  // Sender: the seek bar or one of the graph images.
  void ImageSeekMouseDown(QObject *sender, Qt::MouseButton button, int x);
  void ImageSeekMouseMove(QObject *sender, int x);
  void ImageSeekMouseUp(int x);
  void OnImageMouseLeave();
  // Routes an image's mouse signals to the handlers above.
  void ConnectImage(TBS_Image *image);

  bool GraphPlaying() const;

private:
  int GraphState() const;
  void Message(const QString &text) const;
  bool PlayButtonDown() const;
  long double XToPosition(int x, bool &onCursor) const;
  void RunTimerPass(TOrigin origin);
  void RenderSource(const QString &fileName);
  void SeekInOpenFile(long double g);
  // Opens file Index for a seek to G; returns where the seek goes on.
  long double SwitchForSeek(int index, bool force, long double lastSeek, long double g);
  long double ShownPosition(long double fallback) const;

  TPlaybackState &S;
  const TPlaybackControls &C;
  IPlaybackHost &FHost;
  bool FCrossing = false; // GetPosition moves on to the next file
  QSet<QString> FFailed;
};

} // namespace kp
