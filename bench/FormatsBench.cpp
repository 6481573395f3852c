// Reading a one-hour NMEA log (RMC and GGA at 1 Hz, G-sensor lines at 5 Hz)
// and exporting it to GPX, KML and PLT, against gpsbabel converting the same
// log to GPX. Prints both times and their ratio; fails below 5 times faster.
//
// Run by hand: kp_formats_bench --help.

#include "UnitGpsConverterGPX.h"
#include "UnitGpsConverterKML.h"
#include "UnitGpsConverterPLT.h"
#include "UnitGpsConverters.h"

#include "BenchCommandLine.h"
#include "BenchFigures.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace kp;
using kpbench::Median;
using kpbench::Seconds;

namespace {

const char *const kUsage =
    "usage: kp_formats_bench [RUNS]\n"
    "Reads a one-hour NMEA log and exports it to GPX, KML and PLT, RUNS times (default 9), against\n"
    "gpsbabel converting the same log to GPX, in a temporary folder removed at the end. Exits 0\n"
    "when ours is at least 5 times faster (or gpsbabel is missing), 1 when not, 2 on a usage\n"
    "mistake or a failed write.\n";

constexpr int kSeconds = 3600;
constexpr int kSamplesPerSecond = 5;

QByteArray Checksummed(const QByteArray &body)
{
  uint8_t sum = 0;
  for (char c : body) sum ^= static_cast<uint8_t>(c);
  return "$" + body + "*" + QByteArray::number(sum, 16).toUpper().rightJustified(2, '0') + "\r\n";
}

// ddmm.mmmm text of a coordinate.
QByteArray DegMin(double deg, int degDigits)
{
  const int d = static_cast<int>(deg);
  const double minutes = (deg - d) * 60;
  return QByteArray::number(d).rightJustified(degDigits, '0') +
         FloatToStrDotBytes(minutes, 4, true).rightJustified(7, '0');
}

QByteArray HourLog()
{
  QByteArray log;
  log.reserve(2000000);
  for (int s = 0; s < kSeconds; ++s) {
    // From 10:00:00 UTC, one fix a second.
    const QByteArray time = QByteArray::number(100000 + (s / 60) * 100 + s % 60) + ".00";
    const double lat = 55.5 + s * 1e-4, lon = 37.5 + s * 1.5e-4;
    const QByteArray latText = DegMin(lat, 2), lonText = DegMin(lon, 3);
    log += Checksummed("GPGGA," + time + "," + latText + ",N," + lonText + ",E,1,08,0.9," +
                       QByteArray::number(150 + s % 50) + ".5,M,14.0,M,,");
    log += Checksummed("GPRMC," + time + ",A," + latText + ",N," + lonText + ",E,32.4," + QByteArray::number(s % 360) +
                       ".0,010511,,,A");
    for (int k = 0; k < kSamplesPerSecond; ++k)
      log += Checksummed("GSENSOR," + QByteArray::number(k * 3) + ",-980," + QByteArray::number(20 + k));
  }
  return log;
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// One read of the log and three exports, as the GPS-log window does them.
double OursMs(const QString &log, const QTemporaryDir &dir, qsizetype &items)
{
  QElapsedTimer timer;
  timer.start();
  const QByteArray text = LoadFileToString(log);
  TTrackInfo info;
  GpsConvertersLoad(text, log, info);
  items = static_cast<qsizetype>(info.Items.size());
  const TGpsInfoConverterGPX gpx;
  const TGpsInfoConverterKML kml;
  const TGpsInfoConverterPLT plt;
  const std::pair<const TGpsInfoConverter *, const char *> exports[] = {
      {&gpx, "ours.gpx"}, {&kml, "ours.kml"}, {&plt, "ours.plt"}};
  for (const auto &[converter, name] : exports) {
    QByteArray out;
    converter->ExportToText(info, out);
    WriteFile(dir.filePath(name), out);
  }
  return timer.nsecsElapsed() / 1e6;
}

double GpsbabelMs(const QString &tool, const QString &log, const QTemporaryDir &dir, bool &ok)
{
  QElapsedTimer timer;
  timer.start();
  QProcess p;
  p.start(tool, {"-i", "nmea", "-f", log, "-o", "gpx", "-F", dir.filePath("babel.gpx")});
  ok = p.waitForFinished(120000) && p.exitCode() == 0;
  return timer.nsecsElapsed() / 1e6;
}

double Best(const std::vector<double> &v)
{
  return *std::min_element(v.begin(), v.end());
}

} // namespace

int main(int argc, char **argv)
{
  const kpbench::TCommandLine line = kpbench::ReadCommandLine(argc, argv, kUsage, 1);
  if (line.Exit >= 0) return line.Exit;
  const int runs = kpbench::CountArgument(line.Names.value(0), 9, 1, 10000);
  if (runs < 0) {
    std::fprintf(stderr, "RUNS must be a whole number from 1\n%s", kUsage);
    return 2;
  }
  QCoreApplication app(argc, argv);
  SetGpsFormatsWriter([](const QString &) {}); // keep the user's settings untouched
  QTemporaryDir dir;
  const QString log = dir.filePath("hour.nmea");
  if (!WriteFile(log, HourLog())) return 2;
  const QString babel = QStandardPaths::findExecutable("gpsbabel");

  // Runs alternate so that other load on the machine hits both alike; the
  // best run of each counts.
  std::vector<double> ours, theirs;
  qsizetype items = 0;
  const bool withBabel = !babel.isEmpty();
  for (int i = 0; i < runs; ++i) {
    ours.push_back(OursMs(log, dir, items));
    if (!withBabel) continue;
    bool ok = false;
    theirs.push_back(GpsbabelMs(babel, log, dir, ok));
    if (!ok) {
      std::printf("gpsbabel failed\n");
      return 2;
    }
  }
  std::printf("one-hour NMEA log: %lld bytes, %lld items read\n", static_cast<long long>(QFile(log).size()),
              static_cast<long long>(items));
  std::printf("ours (read + GPX, KML, PLT): best %.1f ms, median %.1f ms of %d runs\n", Best(ours), Median(ours), runs);
  if (!withBabel) {
    std::printf("gpsbabel not installed: no comparison\n");
    return 0;
  }
  const double ratio = Best(theirs) / Best(ours);
  std::printf("gpsbabel (read + GPX):       best %.1f ms, median %.1f ms of %d runs\n", Best(theirs), Median(theirs),
              runs);
  std::printf("ratio of the best runs: ours is %.1f times faster (required: 5)\n", ratio);
  return ratio >= 5 ? 0 : 1;
}
