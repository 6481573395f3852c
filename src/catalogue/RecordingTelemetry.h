#pragma once
// The telemetry of a recording's video files, read the one way the player
// and the track exports both use: each file's track file, else its share of
// its matched GPS log; a track without times takes the file's window; the
// result fitted to the file (the caller says how); the log's altitudes
// merged in; the files joined in playing order. A log several files share
// is read once per loader. Any thread, one loader per thread.

#include "UnitFileManager.h"
#include "UnitMovingInfo.h"

#include <functional>
#include <memory>
#include <vector>

namespace kp {

class TRecordingTelemetry {
public:
  // Reads one track or log file; null when it yields no telemetry.
  using TLoad = std::function<std::unique_ptr<TMovingInfo>(const QString &fileName)>;
  // Fits a file's timed telemetry to the file before the log's altitudes
  // go in (the player lets the catalogue crop it and take its figures).
  using TFit = std::function<void(const TFileItemSubitem &file, TMovingInfo &telemetry)>;

  // The defaults: the telemetry loader itself, and the catalogue's crop to
  // the file's own span (so an export counts what the list counts).
  explicit TRecordingTelemetry(TLoad load = {}, TFit fit = {});

  // One object per file of Recording, in its order (an empty one for a file
  // without telemetry), joined.
  std::vector<std::unique_ptr<TMovingInfo>> Load(const TFileItem &recording);
  std::unique_ptr<TMovingInfo> LoadFile(const TFileItemSubitem &file);

private:
  const TMovingInfo *Log(const QString &fileName);

  TLoad FLoad;
  TFit FFit;
  std::vector<QString> FLogNames;
  std::vector<std::unique_ptr<TMovingInfo>> FLogs; // null for a log that could not be read
};

} // namespace kp
