#pragma once
// What the main window knows about the recording it plays: the loaded row,
// the open file, the telemetry of every file, the marks, the visible time
// window and the last positions. One instance lives in the main window; the
// position model, the playback loop and the selection share it, and the map
// bridge reads and writes the map fields through Map. Main thread only.
//
// Every place in a recording is a long double fraction 0..1 of the
// recording's span, compared exactly.

#include "DSInterfaces.h"
#include "MapViewState.h"
#include "UnitFileManager.h"
#include "UnitMovingInfo.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace kp {

// Who asked for a timer pass or a command: several steps run only with a
// sender, and a few depend on which one.
enum class TOrigin { None, Timer, Window, Control };

// CurrentFile's value after the first Play: no file can have it, so the next
// seek opens the file that holds the position.
inline constexpr int32_t kForceOpenFile = 9999;

struct TPlaybackState {
  // Graph interfaces of the open file; null while nothing is open.
  IBaseFilterPtr SourceFilter;
  std::shared_ptr<IMediaSeeking> MediaSeeking;

  // One per file of Recording, in its order; empty objects stand for files
  // without telemetry.
  std::vector<std::unique_ptr<TMovingInfo>> MovingInfos;
  TFileItem Recording;      // a copy of the loaded row; empty when none
  int32_t CurrentFile = -1; // index into Recording.Files, -1 when nothing is loaded
  bool FrameRefreshPending = false;

  long double TimeWindowStart = 0;
  long double TimeWindowEnd = 1;
  long double MarkA = 0;
  long double MarkB = 0;
  long double Position = 0; // the last seek
  TMovingPoint CurrentPoint;
  TGSensorSample CurrentSample;
  long double LastPosition = 0; // the last read-back
  bool Dragging = false;
  long double DragPosition = 0;

  // The video zoom: factor and centre as fractions of the picture.
  double VideoZoom = 1.0;
  double VideoZoomCenterX = 0.5;
  double VideoZoomCenterY = 0.5;

  // The caption of the selected row, empty when none is selected.
  QString SelectedCaption;

  // The map view fields, owned by the window and written by the map bridge.
  TMapViewState *Map = nullptr;

  // The open file, or null: CurrentFile may hold -1 or the force-open value.
  const TFileItemSubitem *OpenFile() const
  {
    return CurrentFile >= 0 && static_cast<size_t>(CurrentFile) < Recording.Files.size()
               ? &Recording.Files[static_cast<size_t>(CurrentFile)]
               : nullptr;
  }
};

} // namespace kp
