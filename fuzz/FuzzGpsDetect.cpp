// Track detection as the player does it beside a video: the input is the
// track file's bytes, written into a fresh folder under a name the probes
// look for; every import converter's probe runs, the found file is detected
// and loaded through the converter list (side file included), and the
// telemetry is cleaned, completed and queried.

#include "FuzzSupport.h"
#include "UnitGpsConverters.h"
#include "UnitMovingInfo.h"

#include <cmath>

namespace {

// Extensions the probes know, and two they do not (detection by content).
const char *const kExts[] = {"dat", "gpx", "plt", "log", "gps", "map", "nmea", "txt", "LOG", "csv"};

// The queries find times by bisection: points and samples must come out of
// loading in time order.
void CheckOrder(const kp::TMovingInfo &info)
{
  for (size_t i = 1; i < info.Points.size(); ++i)
    if (!(info.Points[i].Time >= info.Points[i - 1].Time)) __builtin_trap();
}

void Query(const kp::TMovingInfo &info)
{
  CheckOrder(info);
  kp::TTrack route;
  info.GetRoute(route, -1);
  kp::TGeoPoint nw{180, -90}, se{-180, 90};
  info.GetBounds(nw, se);
  (void)info.CountRoutePointsInBounds(nw.X, nw.Y, se.X, se.Y, 10);
  const kp::TDateTime a = info.GetStartTime(), b = info.GetEndTime();
  kp::TGraphicItems series(64);
  info.GetSpeedSeries(series, a, b);
  info.GetAltitudeSeries(series, a, b);
  info.GetGSensorASeries(series, a, b);
  info.GetGSensorZSeries(series, a, b);
  kp::TMovingPoint point;
  kp::TGSensorSample sample;
  bool valid = false;
  for (double f : {0.0, 0.37, 1.0}) info.GetDataAtTime(a + (b - a) * f, point, sample, valid);
  double maxDist2 = 1;
  (void)info.FindPositionByCoord(maxDist2, point.Lat, point.Lon);
  volatile double sink = info.GetTrackLength() + info.GetAvgSpeed() + info.GetPointSpan() + info.GetGSensorSpan();
  (void)sink;
  kp::TTrackInfo back;
  info.ToTrackInfo(back);
  auto copy = info.Clone();
  if (std::isfinite(a) && std::isfinite(b)) (void)copy->Crop(a + (b - a) * 0.25, a + (b - a) * 0.75);
}

void Load(const QByteArray &text, const QString &path)
{
  kp::TTrackInfo info;
  kp::GpsConvertersLoad(text, path, info);
  for (bool quick : {true, false}) {
    const auto moving = kp::TMovingInfo::LoadFromTrackInfo(info, path, quick);
    if (moving) Query(*moving);
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  kpfuzz::TAllocationBound bound(size);
  const uint32_t choice = kpfuzz::InputChoice(data, size);
  const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
  const QString dir = kpfuzz::FreshDir();
  const QString ext = QString::fromLatin1(kExts[choice % (sizeof kExts / sizeof *kExts)]);
  const QString track = dir + QStringLiteral("/FILE0002.") + ext;
  if (!kpfuzz::WriteFile(track, text)) return 0;
  // A G-sensor side file beside the track: the same bytes read as records.
  if (choice & 0x100) kpfuzz::WriteFile(dir + QStringLiteral("/FILE0002.3gf"), text);

  Load(text, track);
  // The probes look at folders, not at the bytes, and list every folder
  // around the video: one input in eight keeps them covered.
  if (choice & 0xe00) return 0;
  const QString video = dir + QStringLiteral("/FILE0002.MOV");
  for (const kp::TGpsInfoConverter *converter : kp::GpsImportConverters()) {
    const QString found = converter->FindTrackFile(video);
    if (found.isEmpty()) continue;
    const auto moving = kp::TMovingInfo::LoadFromFile(found, false);
    if (moving) (void)moving->GetTrackLength();
    break;
  }
  return 0;
}
