#include "RecordingTelemetry.h"

namespace kp {

TRecordingTelemetry::TRecordingTelemetry(TLoad load, TFit fit) : FLoad(std::move(load)), FFit(std::move(fit))
{
  if (!FLoad) FLoad = [](const QString &fileName) { return TMovingInfo::LoadFromFile(fileName, false); };
  if (!FFit)
    FFit = [](const TFileItemSubitem &file, TMovingInfo &telemetry) { TFileManager::CropToFile(file, telemetry); };
}

std::vector<std::unique_ptr<TMovingInfo>> TRecordingTelemetry::Load(const TFileItem &recording)
{
  std::vector<std::unique_ptr<TMovingInfo>> infos;
  std::vector<TMovingInfo *> join;
  for (const TFileItemSubitem &file : recording.Files) {
    infos.push_back(LoadFile(file));
    join.push_back(infos.back().get());
  }
  TMovingInfo::Join(join);
  return infos;
}

std::unique_ptr<TMovingInfo> TRecordingTelemetry::LoadFile(const TFileItemSubitem &file)
{
  std::unique_ptr<TMovingInfo> info;
  if (!file.TrackFileName.isEmpty()) info = FLoad(file.TrackFileName);
  // Each file crops its own copy of a shared log.
  if (!info)
    if (const TMovingInfo *log = Log(file.Log.FileName)) info = log->Clone();
  if (!info) return std::make_unique<TMovingInfo>();
  if (info->GetStartTime() == 0) info->SetTimeRange(file.StartTime, file.EndTime);
  FFit(file, *info);
  if (!file.Log.FileName.isEmpty()) info->MergeAltitude(Log(file.Log.FileName));
  return info;
}

const TMovingInfo *TRecordingTelemetry::Log(const QString &fileName)
{
  if (fileName.isEmpty()) return nullptr;
  for (size_t i = 0; i < FLogNames.size(); ++i)
    if (FLogNames[i] == fileName) return FLogs[i].get();
  FLogNames.push_back(fileName);
  FLogs.push_back(FLoad(fileName));
  return FLogs.back().get();
}

} // namespace kp
