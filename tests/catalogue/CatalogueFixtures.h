#pragma once
// Small files the catalogue tests and benchmark build: movies with a real
// moov and no picture data, ".dat" tracks along a straight road, and file
// times served from memory.
#include "UnitUtils.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <cstdint>
#include <mutex>

namespace kpcat {

// ftyp, moov (mvhd, one video trak with its sample tables) and an mdat of
// Frames empty samples: Width x Height at Fps for DurationMs.
QByteArray MovieBytes(int64_t durationMs, int width = 640, int height = 360, int fps = 10);

// A ".dat" track of one fix a second from Start (local time) for Seconds,
// moving north at SpeedKmh along one road (where the car is depends on the
// time of day, so consecutive tracks continue each other); zero speed
// leaves the track in place.
QByteArray DatTrackBytes(kp::TDateTime start, int seconds, double speedKmh = 36.0);

bool WriteFile(const QString &path, const QByteArray &bytes);

// File times served from a table: a file not in the table gets the system's.
class TFakeFileTimes {
public:
  TFakeFileTimes();
  ~TFakeFileTimes();
  void Set(const QString &path, kp::TDateTime created, kp::TDateTime modified);

private:
  std::mutex FLock;
  QHash<QString, std::pair<kp::TDateTime, kp::TDateTime>> FTimes;
};

// 2024-05-10 plus hours and minutes, local time.
kp::TDateTime At(int hour, int minute, int second = 0);

} // namespace kpcat
