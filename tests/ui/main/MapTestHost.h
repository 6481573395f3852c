#pragma once
// A main window for the map bridge that records what the page's callbacks
// ask of it, and straight tracks to draw.

#include "IMapBridgeHost.h"

#include <QList>
#include <map>
#include <memory>
#include <vector>

namespace kptest {

struct TFakeMapHost : kp::IMapBridgeHost {
  kp::TMovingPoint FCurrent;
  int FCurrentFile = 0;
  std::vector<std::unique_ptr<kp::TMovingInfo>> FFiles;
  long double FMarkA = 0, FMarkB = 1;
  std::map<long double, kp::TGeoPoint> FTelemetry;
  int FMinutes = 0;
  bool FVisible = true;
  std::vector<long double> FSeeks;
  int FTimerPasses = 0, FFocusMoves = 0;
  std::vector<int> FRestarts;
  QList<QUrl> FAnalytics;

  kp::TMovingPoint CurrentPoint() const override { return FCurrent; }
  int CurrentFile() const override { return FCurrentFile; }
  int FileCount() const override { return int(FFiles.size()); }
  const kp::TMovingInfo *FileTrack(int file) const override { return FFiles[size_t(file)].get(); }
  // Each file takes an equal share of the recording.
  long double FileTrackToGroupPosition(int file, long double fraction) const override
  {
    return (file + fraction) / FFiles.size();
  }
  long double MarkA() const override { return FMarkA; }
  long double MarkB() const override { return FMarkB; }
  kp::TMovingPoint GetTelemetryAt(long double position) const override
  {
    kp::TMovingPoint p = kp::ZeroedPoint();
    if (auto it = FTelemetry.find(position); it != FTelemetry.end()) {
      p.Lon = it->second.X;
      p.Lat = it->second.Y;
    }
    return p;
  }
  int TimePointMinutes() const override { return FMinutes; }
  bool MainWindowVisible() const override { return FVisible; }
  bool MainWindowActive() const override { return true; }
  bool FullScreen() const override { return false; }
  void SeekTo(long double position) override { FSeeks.push_back(position); }
  void TimerPass() override { ++FTimerPasses; }
  void MoveFocusFromMap() override { ++FFocusMoves; }
  void RestartUpdateChecker(int delayMs) override { FRestarts.push_back(delayMs); }
  void NavigateAnalytics(const QUrl &url) override { FAnalytics << url; }
};

inline constexpr kp::TDateTime kTen = 46000 + 10.0 / 24; // some day, 10:00:00

// N points from (Lon, Lat) in steps of (DLon, DLat), StepSeconds apart.
inline std::unique_ptr<kp::TMovingInfo> Line(double lon, double lat, double dLon, double dLat, int n,
                                             double stepSeconds = 1, kp::TDateTime start = kTen)
{
  auto info = std::make_unique<kp::TMovingInfo>();
  for (int i = 0; i < n; ++i) {
    kp::TMovingPoint p;
    p.Time = start + i * stepSeconds / 86400;
    p.Lon = lon + i * dLon;
    p.Lat = lat + i * dLat;
    p.Index = i;
    info->Points.push_back(p);
  }
  info->StartTime = start;
  info->EndTime = info->Points.back().Time;
  return info;
}

} // namespace kptest
