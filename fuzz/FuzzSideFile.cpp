// The G-sensor side file (".3gf") beside a track: records read from disk,
// anchored on the track's last item (or the file's time when the track is
// empty), then timed and centred by the telemetry loader.

#include "FuzzSupport.h"
#include "UnitGpsConverters.h"
#include "UnitMovingInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  kpfuzz::TAllocationBound bound(size);
  const QString dir = kpfuzz::ScratchDir();
  if (!kpfuzz::WriteFile(dir + QStringLiteral("/side.3gf"),
                         QByteArrayView(reinterpret_cast<const char *>(data), qsizetype(size))))
    return 0;
  kp::TTrackInfo info;
  info.Name = dir + QStringLiteral("/side.nmea");
  if (kpfuzz::InputChoice(data, size) & 1) {
    // A short track with a fix and a sample the side file replaces.
    kp::TTrackInfoItem fix;
    fix.Kind = kp::ikGps;
    fix.Time = 42185.5;
    fix.Lat = 55.75;
    fix.Lon = 37.62;
    info.Items.push_back(fix);
    kp::TTrackInfoItem sample;
    sample.Kind = kp::ikGSensor;
    sample.Time = 42185.5 + 1.0 / 86400;
    info.Items.push_back(sample);
  }
  kp::TGpsInfoConverter::LoadGSensorSideFile(info);
  const auto moving = kp::TMovingInfo::LoadFromTrackInfo(info, info.Name, false);
  if (moving) {
    kp::TGraphicItems series(32);
    moving->GetGSensorASeries(series, moving->GetStartTime(), moving->GetEndTime());
  }
  return 0;
}
