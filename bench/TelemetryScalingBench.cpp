// The three inputs whose work once grew with the square of their size: a
// logger track whose fixes are 7 s apart (every fix its own route segment),
// a camera ".dat" of one-fix blocks and a Samoon file whose GGA sentences
// carry no usable time. Each at 10k, 20k, 40k and 80k fixes or blocks; the
// time per fix or block must stay flat.

#include "BenchCommandLine.h"
#include "UnitGpsConverterDatDOD.h"
#include "UnitGpsConverterDatSamoon.h"
#include "UnitMovingInfo.h"

#include <chrono>
#include <cstdio>
#include <random>

using namespace kp;

namespace {

constexpr double kSec = 1.0 / 86400.0;
const TDateTime kT0 = EncodeDateTimeOr0(2012, 5, 1, 10, 0, 0);

double MicrosecondsPer(int n, const std::function<void()> &work)
{
  const auto start = std::chrono::steady_clock::now();
  work();
  const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
  return spent.count() / n;
}

// Fixes 7 s apart wandering along 60 km of road.
TMovingInfo LoggerTrack(int n)
{
  std::mt19937 random(5);
  std::uniform_real_distribution<double> u(-0.5, 0.5);
  TMovingInfo m;
  for (int i = 0; i < n; ++i) {
    TMovingPoint p;
    p.Time = kT0 + i * 7 * kSec;
    p.Lon = 37.6 + u(random);
    p.Lat = 55.7 + u(random) * 0.0001;
    p.Index = i;
    m.Points.push_back(p);
  }
  return m;
}

QByteArray BlockFile(int n)
{
  QByteArray text;
  for (int i = 0; i < 3; ++i)
    text += "[G]\t" + DatTimeText(kT0 + i * kSec, false) + "\tN55.700000\tE37.600000\t50\t90\r\n";
  for (int i = 0; i < n; ++i)
    text += "[B]\r\n[G]\t" + DatTimeText(kT0 - 3600 * kSec + i * kSec, false) + "\tN55.700000\tE37.600000\t50\t90\r\n";
  return text;
}

QByteArray UndatedSamoonFile(int n)
{
  const QByteArray line = ShiftText("12\t-980\t25\t$GPGGA,,5545.0746,N,03737.1054,E,1,08,0.9,150.5,M,14.0,M,,", -20);
  QByteArray text = "12345\n";
  for (int i = 0; i < n; ++i) text += line + "\n";
  return text;
}

const char *const kUsage = "usage: kp_telemetry_scaling_bench\n"
                           "Times route joining, block re-timing and undated Samoon sentences at 10k to 80k fixes and\n"
                           "prints the time per fix; it writes no file.\n";

} // namespace

int main(int argc, char **argv)
{
  const kpbench::TCommandLine line = kpbench::ReadCommandLine(argc, argv, kUsage, 0);
  if (line.Exit >= 0) return line.Exit;
  SetGpsFormatsWriter([](const QString &) {});
  printf("%8s %18s %18s %18s\n", "n", "route us/fix", "blocks us/block", "samoon us/line");
  for (int n : {10000, 20000, 40000, 80000}) {
    const TMovingInfo track = LoggerTrack(n);
    const QByteArray blocks = BlockFile(n), samoon = UndatedSamoonFile(n);
    TTrack route;
    const double r = MicrosecondsPer(n, [&] { track.GetRoute(route, -1); });
    TTrackInfo info;
    const double b = MicrosecondsPer(n, [&] { TGpsInfoConverterDatDOD().Load(blocks, info); });
    const double s = MicrosecondsPer(n, [&] { TGpsInfoConverterDatSamoon().Load(samoon, info); });
    printf("%8d %18.2f %18.2f %18.2f\n", n, r, b, s);
  }
  return 0;
}
