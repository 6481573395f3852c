#pragma once
// Play, pause and stop, and the periodic pass that drives everything while
// a recording plays: the position read-back, the A-B loop, play-next, the
// visible time window following the position, the map marker and view, the
// gauges and every cursor. Volume and play speed are applied to the graph
// here. Main thread only; the timer is a window timer, so a pass never
// overlaps a command, but a modal message inside a pass runs a nested event
// loop that may fire the timer again, and that nested pass does nothing.

#include "IPlaybackHost.h"
#include "PlaybackControls.h"
#include "PlaybackState.h"

#include <QElapsedTimer>
#include <QStringList>
#include <functional>

namespace kp {

class TPositionModel;

class TPlaybackLoop {
public:
  // Connects itself to the model's timer-pass and play-speed hooks.
  TPlaybackLoop(TPlaybackState &state, const TPlaybackControls &controls, IPlaybackHost &host, TPositionModel &model);

  // Set by the selection: plays the selected row (the list's double-click).
  std::function<void(TOrigin)> ListViewDblClick;
  // Asks for the movie files to add; the default shows a file dialog.
  std::function<QStringList()> ChooseFiles;

  // Plays or pauses as ButtonPlay's check says (set it before calling).
  void ButtonPlayClick(TOrigin origin);
  // Control stands for the Stop button itself, which also clears the list's
  // selection.
  void ButtonStopClick(TOrigin origin);
  void ResetPlaybackView();
  void TimerTimer(TOrigin origin);

  void TrackBarVolumeChange();
  void TrackBarPlaySpeedChange(TOrigin origin);
  void N_File_OpenClick();
  void N_File_ExitClick();

  // The window's caption while a recording plays.
  QString PlayingTitle() const;
  // Formats the playing recording's texts anew (time zone, units) and
  // shows them in the caption; nothing while no graph plays one.
  void RefreshTitle();

private:
  void Pass(TOrigin origin);
  bool LoopAndFollow(TOrigin origin, long double g);
  void PlayNext(TOrigin origin);
  int NextPlayableRow(int current, int rows) const;
  void Telemetry(TOrigin origin, long double g, bool withMap);
  void PlaceMarker(bool valid);
  bool MarkerDue(TOrigin origin);
  void PendingZoomAndFollow();
  void DrawGauges();
  // The gauges as with nothing loaded.
  void DrawIdleGauges();
  void DrawIdleGSensor();
  void DrawCursors(long double g);
  bool TelemetryWindowActive() const;
  bool GaugesShownInFullScreen() const;
  void FinishPlayClick();
  void TearDownGraph();
  void ExecMapScript(const QString &script);

  TPlaybackState &S;
  const TPlaybackControls &C;
  IPlaybackHost &FHost;
  TPositionModel &FModel;
  bool FInPass = false;
  // When the map's marker was last placed.
  QElapsedTimer FMarkerPlaced;
};

} // namespace kp
