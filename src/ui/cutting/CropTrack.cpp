#include "CropTrack.h"

#include "RecordingTelemetry.h"
#include "UnitFileManager.h"

namespace kp {

namespace {

// The movie's entry in the list, or an empty one.
TFileItemSubitem Listed(const TFileManager &catalogue, const QString &videoFileName)
{
  int index = -1;
  const int row = catalogue.IndexOfFile(videoFileName, &index);
  if (row < 0 || index < 0) return {};
  const TFileItem item = catalogue.GetGroup(row);
  // The list may have changed between the two calls.
  if (size_t(index) >= item.Files.size() || item.Files[size_t(index)].FileName != videoFileName) return {};
  return item.Files[size_t(index)];
}

} // namespace

TCropTrack CropTrackOf(const TFileManager *catalogue, const QString &videoFileName)
{
  if (!catalogue) return {};
  TFileItemSubitem file = Listed(*catalogue, videoFileName);
  if (file.FileName.isEmpty()) file = catalogue->PreviewFile(videoFileName);
  TCropTrack track;
  track.StartTime = file.StartTime;
  std::unique_ptr<TMovingInfo> info = TRecordingTelemetry().LoadFile(file);
  if (info && (!info->Points.empty() || !info->GSensor.empty())) track.Info = std::move(info);
  return track;
}

} // namespace kp
