// The preview of a row: its track files, its movie headers and the fitting
// of file times to track times. Runs on a copy without the lock; the result
// goes back into the list by file path.
#include "UnitFileManager.h"
#include "CatalogueLog.h"
#include "UnitGpsConverters.h"
#include "UnitMOV.h"
#include "UnitMovingInfo.h"

#include <QFileInfo>

#include <cmath>

namespace kp {

namespace {

constexpr double kSixSeconds = 6.0 / SecsPerDay;

// Spans that differ by less than 6 s or by less than 1% of their sum agree.
bool SpansAgree(double a, double b)
{
  return std::abs(a - b) < kSixSeconds || std::abs(SafeDiv(a, a + b, 0.0) - 0.5) < 0.01;
}

QString ConverterTrackFile(const QString &videoFileName)
{
  for (const TGpsInfoConverter *c : GpsImportConverters()) {
    const QString found = c->FindTrackFile(videoFileName);
    if (!found.isEmpty()) return found;
  }
  return {};
}

} // namespace

void TFileManager::CopyTrackInfo(TFileItemSubitem &file, const TMovingInfo *telemetry)
{
  if (!telemetry) return;
  file.TrackLength = telemetry->GetTrackLength();
  file.HasTrack = file.TrackLength > 0;
  file.TrackStartTime = telemetry->GetStartTime();
  file.TrackEndTime = telemetry->GetEndTime();
  file.AvgSpeed = telemetry->GetAvgSpeed();
  file.TrackPoints = telemetry->GetPointSpan();
  file.GSensorPoints = telemetry->GetGSensorSpan();
  file.FirstFix = file.LastFix = TFixBlock{};
  telemetry->FixEnds(file.FirstFix, file.LastFix);
}

void TFileManager::FindGpsFiles(TFileItem &item) const
{
  for (TFileItemSubitem &f : item.Files) {
    if (f.TrackFileName.isEmpty()) f.TrackFileName = ConverterTrackFile(f.FileName);
    if (f.TrackFileName.isEmpty()) f.TrackFileName = DatFileFor(f.FileName);
    if (!f.TrackFileName.isEmpty() && !QFileInfo(f.TrackFileName).isFile()) f.TrackFileName.clear();
    if (!f.TrackFileName.isEmpty()) {
      const std::unique_ptr<TMovingInfo> telemetry = TMovingInfo::LoadFromFile(f.TrackFileName, true);
      if (telemetry) CopyTrackInfo(f, telemetry.get());
      if (!telemetry || (telemetry->GetPointSpan() < 2 && telemetry->GetGSensorSpan() < 2)) f.TrackFileName.clear();
    }
    if (f.TrackFileName.isEmpty()) {
      f.TrackStartTime = 0;
      f.TrackEndTime = 0;
    }
    if (f.HasTrack && f.TrackStartTime > 0 && f.DurationSource != dsHeader) {
      f.DurationMs = Round((f.TrackEndTime - f.TrackStartTime) * MSecsPerDay);
      f.DurationSource = dsEstimated;
    }
  }
}

void TFileManager::ReadVideoHeaders(TFileItem &item) const
{
  for (TFileItemSubitem &f : item.Files) {
    if (Interrupted()) break;
    {
      const TMOVReader reader(f.FileName, true);
      if (reader.HasMoov() && reader.DurationMs > 0) {
        f.DurationSource = dsHeader;
        f.DurationMs = reader.DurationMs;
        reader.GetVideoSize(f.Width, f.Height);
        f.FrameRate = reader.GetVideoFPS();
        f.Bitrate = reader.GetVideoBitrate();
      } else if (!reader.HasMoov()) {
        qCWarning(lcKpCatalogue).noquote() << "cannot read the header of" << f.FileName << "-" << reader.LastError();
      }
    }
    if (f.DurationSource != dsHeader) f.DurationSource = dsNoHeader;
    if (f.DurationMs > 0) {
      const double duration = double(f.DurationMs) / MSecsPerDay;
      f.StartTime = f.EndTime - duration;
      if (f.TrackStartTime <= 0 && f.TrackEndTime > 0) f.TrackStartTime = f.TrackEndTime - duration;
    }
  }
}

void TFileManager::FitTimesToGps(TFileItem &item)
{
  for (TFileItemSubitem &f : item.Files) {
    if (f.DurationMs <= 0 || !(0 < f.TrackStartTime && f.TrackStartTime < f.TrackEndTime)) continue;
    const double fs = f.EndTime - f.StartTime;
    const double ts = f.TrackEndTime - f.TrackStartTime;
    if (SpansAgree(fs, ts)) {
      f.StartTime = f.TrackStartTime;
      // The last fix comes a second or so before the movie ends: a length
      // read from the movie itself places its end.
      f.EndTime = f.DurationSource == dsHeader ? f.StartTime + f.DurationMs / MSecsPerDay : f.TrackEndTime;
    } else if (f.EndTime <= f.TrackStartTime || f.TrackEndTime < f.StartTime) {
      f.EndTime = f.TrackEndTime;
      f.StartTime = f.EndTime - fs;
    }
  }
}

bool TFileManager::CropToFile(const TFileItemSubitem &file, TMovingInfo &telemetry)
{
  if (!(0 < file.StartTime && file.StartTime < file.EndTime)) return false;
  if (!(telemetry.GetStartTime() < file.StartTime || telemetry.GetEndTime() > file.EndTime)) return false;
  return telemetry.Crop(file.StartTime, file.EndTime);
}

void TFileManager::FitTracksToFiles(TFileItem &item) const
{
  for (TFileItemSubitem &f : item.Files) {
    if (Interrupted()) break;
    if (f.TrackFileName.isEmpty() || !(0 < f.StartTime && f.StartTime < f.EndTime)) continue;
    if (!(f.TrackStartTime < f.StartTime || f.TrackEndTime > f.EndTime)) continue;
    const std::unique_ptr<TMovingInfo> telemetry = TMovingInfo::LoadFromFile(f.TrackFileName, true);
    if (telemetry && CropToFile(f, *telemetry)) CopyTrackInfo(f, telemetry.get());
  }
}

void TFileManager::PreviewRow(TFileItem &item) const
{
  FindGpsFiles(item);
  ReadVideoHeaders(item);
  FitTimesToGps(item);
  FitTracksToFiles(item);
}

bool TFileManager::PreviewByIdentity(const QString &identity, int hint)
{
  TFileItem copy;
  {
    std::lock_guard<std::mutex> lock(FLock);
    int row = FindRowByIdentity(hint, identity);
    if (row < 0) row = IndexOfFileLocked(identity, nullptr);
    if (row < 0) return false;
    copy = FItems[size_t(row)];
    hint = row;
  }
  PreviewRow(copy);
  std::lock_guard<std::mutex> lock(FLock);
  WriteBackLocked(copy, hint);
  return true;
}

void TFileManager::WriteBackLocked(const TFileItem &copy, int hint)
{
  std::vector<int> touched;
  for (const TFileItemSubitem &f : copy.Files) {
    int row = -1, index = -1;
    if (hint >= 0 && size_t(hint) < FItems.size()) {
      const std::vector<TFileItemSubitem> &files = FItems[size_t(hint)].Files;
      for (size_t k = 0; k < files.size() && index < 0; ++k)
        if (files[k].FileName == f.FileName) index = int(k);
      if (index >= 0) row = hint;
    }
    if (row < 0) row = IndexOfFileLocked(f.FileName, &index);
    if (row < 0) continue; // removed meanwhile
    TFileItemSubitem &target = FItems[size_t(row)].Files[size_t(index)];
    // The lock state may have been changed meanwhile; the preview never
    // touches it.
    const uint8_t locked = target.Locked;
    target = f;
    target.Locked = locked;
    if (std::find(touched.begin(), touched.end(), row) == touched.end()) touched.push_back(row);
  }
  for (int row : touched) RecalcLocked(FItems[size_t(row)]);
}

} // namespace kp
