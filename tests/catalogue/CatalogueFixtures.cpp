#include "CatalogueFixtures.h"
#include "../container/AtomBuilder.h"
#include "UnitGpsConverters.h"

#include <QFile>

#include <sys/stat.h>

namespace kpcat {

QByteArray MovieBytes(int64_t durationMs, int width, int height, int fps)
{
  using namespace kptest;
  const uint32_t frames = uint32_t(std::max<int64_t>(1, durationMs * fps / 1000));
  const uint32_t delta = uint32_t(std::max<int64_t>(1, durationMs / frames));
  const uint32_t duration = frames * delta;
  // One byte a frame keeps a fragment tiny while every sample lies in the file.
  const auto moovWith = [&](uint32_t dataOffset) {
    const QByteArray tables =
        Stts({{frames, delta}}) + StszConstant(1, frames) + Stsc({{1, frames}}) + Stco({dataOffset});
    return Atom("moov", Mvhd0(0, 1000, duration) + Trak(Tkhd0(0, 1, duration, uint32_t(width), uint32_t(height)),
                                                        Mdhd(0, 1000, duration, 0x55C4), "vide", "avc1", tables));
  };
  const uint32_t dataOffset = uint32_t(Ftyp().size() + moovWith(0).size() + 8);
  return Ftyp() + moovWith(dataOffset) + Atom("mdat", QByteArray(int(frames), '\x01'));
}

QByteArray DatTrackBytes(kp::TDateTime start, int seconds, double speedKmh)
{
  kp::TTrackInfo info;
  const double stepDeg = speedKmh / 3.6 / kp::MetresPerDegree;
  // Placed by the time of day: consecutive fragments continue one road.
  const double secondOfDay = kp::Frac(start) * kp::SecsPerDay;
  for (int s = 0; s <= seconds; ++s) {
    kp::TTrackInfoItem item;
    item.Kind = kp::ikGps;
    item.Time = start + s / kp::SecsPerDay;
    item.Lon = 30.5;
    item.Lat = 50.4 + stepDeg * (secondOfDay + s);
    item.Alt = 150;
    item.Course = 0;
    item.Speed = speedKmh;
    info.Items.push_back(item);
  }
  info.StartTime = start;
  info.EndTime = start + seconds / kp::SecsPerDay;
  QByteArray text;
  kp::GpsDefaultConverter().ExportToText(info, text);
  return text;
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return f.write(bytes) == bytes.size();
}

TFakeFileTimes::TFakeFileTimes()
{
  kp::SetFileTimesSource([this](const QString &path, kp::TDateTime &created, kp::TDateTime &modified) {
    std::lock_guard<std::mutex> lock(FLock);
    const auto it = FTimes.constFind(path);
    if (it == FTimes.constEnd()) {
      struct stat st {};
      if (::stat(QFile::encodeName(path).constData(), &st) != 0) return false;
      created = 0;
      modified = kp::UnixToDateTime(double(st.st_mtim.tv_sec)) + kp::LocalTimeOffset();
      return true;
    }
    created = it->first;
    modified = it->second;
    return true;
  });
}

TFakeFileTimes::~TFakeFileTimes()
{
  kp::SetFileTimesSource({});
}

void TFakeFileTimes::Set(const QString &path, kp::TDateTime created, kp::TDateTime modified)
{
  std::lock_guard<std::mutex> lock(FLock);
  FTimes.insert(path, {created, modified});
}

kp::TDateTime At(int hour, int minute, int second)
{
  return kp::EncodeDateTimeOr0(2024, 5, 10, hour, minute, second);
}

} // namespace kpcat
