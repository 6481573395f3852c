#pragma once
// Selecting a row of the recording list loads that recording: playback
// stops, the row is copied, one telemetry object is loaded per video file
// (from its track file, else from its matched GPS log, with the log's
// altitudes merged), the files' telemetry is joined, the map is fitted to
// the track and the views are redrawn. A single click while nothing plays
// opens the recording paused on its frame; a double-click plays it.
// Main thread only.

#include "IPlaybackHost.h"
#include "PlaybackControls.h"
#include "PlaybackState.h"

#include <functional>
#include <memory>
#include <vector>

class QAbstractItemView;

namespace kp {

class TPlaybackLoop;
class TPositionModel;

class TRecordingSelection {
public:
  TRecordingSelection(TPlaybackState &state, const TPlaybackControls &controls, IPlaybackHost &host,
                      TPositionModel &model, TPlaybackLoop &loop);

  // Reads one track or log file; null when it yields no telemetry. The
  // default is the telemetry loader itself.
  std::function<std::unique_ptr<TMovingInfo>(const QString &fileName)> LoadTrack;

  // The list's selection changed (Selected: a row was added to it).
  void ListViewSelectItem(bool selected);
  void ListViewClick(Qt::KeyboardModifiers modifiers);
  void ListViewDblClick(TOrigin origin);
  // The loaded recording takes the distance and average speed its row has
  // in the catalogue now (refilled as its files load, or by a new preview),
  // so the title reads what the list reads; only while a row holds exactly
  // the loaded files. True when a figure changed.
  bool FollowCatalogue();

private:
  int SelectedRow(bool &several) const;
  void LoadRecording(int row);

  TPlaybackState &S;
  const TPlaybackControls &C;
  IPlaybackHost &FHost;
  TPositionModel &FModel;
  TPlaybackLoop &FLoop;
};

// Routes a list view's selection changes, clicks (with the modifiers the
// click itself carried) and double-clicks to the selection. Call it after
// the view has its model.
void ConnectListView(QAbstractItemView *view, TRecordingSelection &selection);

} // namespace kp
