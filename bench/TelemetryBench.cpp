// Loading a one-hour camera track and querying it, as the player does on
// every timer pass. Prints the figures; targets: a full load under 50 ms and
// a query under 2 us.

#include "BenchCommandLine.h"
#include "UnitGpsConverterDatDOD.h"
#include "UnitGpsConverters.h"
#include "UnitMovingInfo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>

using namespace kp;

namespace {

constexpr double kSec = 1.0 / 86400.0;
constexpr int kSeconds = 3600;

// 1 Hz fixes along a wavy road, ten G-sensor lines after each. With
// RepeatEvery > 0, every such fix repeats the time stamp of the one before
// (a receiver that stamps whole seconds at a higher rate).
QByteArray MakeTrack(int repeatEvery)
{
  QByteArray text;
  text.reserve(kSeconds * 300);
  std::mt19937 rng(1);
  std::normal_distribution<double> noise(0, 20);
  const TDateTime t0 = EncodeDateTimeOr0(2012, 5, 1, 10, 0, 0);
  double lat = 55.7, lon = 37.6;
  for (int i = 0; i < kSeconds; ++i) {
    lat += 0.0001 * std::cos(i / 300.0);
    lon += 0.0001 * std::sin(i / 300.0);
    const int stampSec = (repeatEvery > 0 && i % repeatEvery == 1) ? i - 1 : i;
    text += "[G]\t" + DatTimeText(t0 + stampSec * kSec, false) + "\tN" + CoordToBytes(lat) + "\tE" + CoordToBytes(lon) +
            "\t" + QByteArray::number(40 + i % 20) + "\t" + QByteArray::number(i % 360) + "\r\n";
    for (int k = 0; k < 10; ++k)
      text += "[S]\t" + QByteArray::number(int(noise(rng))) + "\t" + QByteArray::number(int(noise(rng))) + "\t" +
              QByteArray::number(1000 + int(noise(rng))) + "\r\n";
  }
  return text;
}

template <typename F>
double MedianMs(int runs, F &&f)
{
  std::vector<double> ms;
  for (int r = 0; r < runs; ++r) {
    const auto a = std::chrono::steady_clock::now();
    f();
    const auto b = std::chrono::steady_clock::now();
    ms.push_back(std::chrono::duration<double, std::milli>(b - a).count());
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

void BenchLoad(const QString &path, const char *label, size_t &points, size_t &samples)
{
  std::unique_ptr<TMovingInfo> m;
  const double quick = MedianMs(9, [&] { m = TMovingInfo::LoadFromFile(path, true); });
  const double full = MedianMs(9, [&] { m = TMovingInfo::LoadFromFile(path, false); });
  points = m ? m->Points.size() : 0;
  samples = m ? m->GSensor.size() : 0;
  std::printf("%-32s quick %7.2f ms   full %7.2f ms   (%zu points, %zu samples)%s\n", label, quick, full, points,
              samples, full < 50 ? "" : "   ABOVE TARGET");
}

const char *const kUsage = "usage: kp_telemetry_bench\n"
                           "Loads a one-hour camera track and queries it by play time, in a temporary folder removed\n"
                           "at the end, and prints the figures.\n";

} // namespace

int main(int argc, char **argv)
{
  const kpbench::TCommandLine line = kpbench::ReadCommandLine(argc, argv, kUsage, 0);
  if (line.Exit >= 0) return line.Exit;
  SetGpsFormatsWriter([](const QString &) {}); // leave the user's settings alone
  QTemporaryDir dir;
  const QString plain = dir.filePath(QStringLiteral("FILE0001.dat"));
  const QString repeated = dir.filePath(QStringLiteral("FILE0002.dat"));
  for (auto [path, repeat] : {std::pair{plain, 0}, std::pair{repeated, 2}}) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return 1;
    const QByteArray text = MakeTrack(repeat);
    f.write(text);
    std::printf("generated %s: %lld bytes, %lld lines\n", qPrintable(QFileInfo(path).fileName()),
                static_cast<long long>(text.size()), static_cast<long long>(text.count('\n')));
  }

  size_t points = 0, samples = 0;
  BenchLoad(plain, "one hour, 1 Hz + 10 Hz:", points, samples);
  BenchLoad(repeated, "same, every 2nd stamp repeated:", points, samples);

  // A day of 10 Hz G-sensor data from a side file, beside a parking-mode
  // clip without GPS.
  {
    QByteArray side;
    const int records = 864000;
    side.reserve(records * 10);
    std::mt19937 rng(3);
    std::normal_distribution<double> noise(0, 20);
    for (int i = 0; i < records; ++i) {
      const uint32_t ms = uint32_t(i) * 100;
      const int16_t v[3] = {int16_t(128 + noise(rng)), int16_t(noise(rng)), int16_t(noise(rng))};
      for (int b = 3; b >= 0; --b) side.append(char((ms >> (8 * b)) & 0xFF));
      for (int16_t x : v) {
        side.append(char((uint16_t(x) >> 8) & 0xFF));
        side.append(char(uint16_t(x) & 0xFF));
      }
    }
    QFile f(dir.filePath(QStringLiteral("PARK0001.3gf")));
    if (!f.open(QIODevice::WriteOnly)) return 1;
    f.write(side);
    f.close();
    const QString clip = dir.filePath(QStringLiteral("PARK0001.mp4"));
    QFile c(clip);
    if (!c.open(QIODevice::WriteOnly)) return 1;
    c.write(QByteArray(64, '\0'));
    c.close();
    std::unique_ptr<TMovingInfo> day;
    const double ms = MedianMs(3, [&] { day = TMovingInfo::LoadFromFile(clip, false); });
    std::printf("%-32s full %7.2f ms   (%zu samples)\n", "a day of 10 Hz side-file data:", ms,
                day ? day->GSensor.size() : size_t(0));
  }

  // The catalogue's track search: every import converter probes for every
  // video of a card folder whose names are upper case.
  {
    const QString card = dir.filePath(QStringLiteral("card/DCIM/100MEDIA"));
    QDir().mkpath(card);
    const int videos = 1000;
    QStringList names;
    for (int i = 1; i <= videos; ++i) {
      const QString base = card + QStringLiteral("/FILE%1").arg(i, 4, 10, QLatin1Char('0'));
      for (const char *ext : {".MOV", ".DAT"}) {
        QFile f(base + QLatin1String(ext));
        if (!f.open(QIODevice::WriteOnly)) return 1;
      }
      names << base + QStringLiteral(".MOV");
    }
    // A card's folders were written long before the search.
    const timespec old[2] = {{1336000000, 0}, {1336000000, 0}};
    for (const char *folder : {"card/DCIM/100MEDIA", "card/DCIM", "card"})
      utimensat(AT_FDCWD, QFile::encodeName(dir.filePath(QLatin1String(folder))).constData(), old, 0);
    int found = 0;
    const double ms = MedianMs(3, [&] {
      found = 0;
      for (const QString &video : names)
        for (const TGpsInfoConverter *c : GpsImportConverters()) found += c->FindTrackFile(video).isEmpty() ? 0 : 1;
    });
    std::printf("%-32s %7.2f ms for %d videos x %zu formats (%d found)\n", "track search in a card folder:", ms, videos,
                GpsImportConverters().size(), found);
  }

  auto m = TMovingInfo::LoadFromFile(plain, false);
  if (!m) return 1;
  std::mt19937 rng(2);
  std::uniform_real_distribution<double> at(m->StartTime, m->EndTime);
  std::vector<double> times(10000);
  for (double &t : times) t = at(rng);
  TMovingPoint p;
  TGSensorSample s;
  bool valid = false;
  double sink = 0;
  const double ms = MedianMs(5, [&] {
    for (double t : times) {
      m->GetDataAtTime(t, p, s, valid);
      sink += p.Speed + s.A;
    }
  });
  const double us = ms * 1000 / double(times.size());
  std::printf("GetDataAtTime: %.3f us per query over %zu random times%s (checksum %.1f)\n", us, times.size(),
              us < 2 ? "" : "   ABOVE TARGET", sink);
  return 0;
}
