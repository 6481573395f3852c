#pragma once
// Shared set-up of the format tests: a pinned time zone and user formats, a
// format register that stays in memory, and small builders of track items.

#include "TelemetryTestSupport.h"
#include "TestSupport.h"

#include <QProcess>
#include <QStringList>

namespace kptest {

// Three hours east of UTC, day.month.year dates and a 24-hour clock.
constexpr double kZone = 3.0 / 24;

class TFormatsTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    kp::SetLocalTimeOffset(kZone);
    kp::SetFormatSettings(kp::TFormatSettings{});
  }
  void TearDown() override { kp::SetLocalTimeOffset(0); }

  TFormatCapture FFormats;
};

inline kp::TTrackInfoItem Fix(kp::TDateTime t, double lat, double lon, double alt = 0, double speed = -1,
                              double course = -1)
{
  kp::TTrackInfoItem item;
  item.Kind = kp::ikGps;
  item.Time = t;
  item.Lat = lat;
  item.Lon = lon;
  item.Alt = alt;
  item.Speed = speed;
  item.Course = course;
  return item;
}

inline kp::TTrackInfoItem Sample(kp::TDateTime t, double x, double y, double z)
{
  kp::TTrackInfoItem item;
  item.Kind = kp::ikGSensor;
  item.Time = t;
  item.Lon = x;
  item.Lat = y;
  item.Alt = z;
  return item;
}

// Loads Text with one converter; EndTime stands in for the file's time (the
// date of GGA-only logs).
inline bool LoadWith(const kp::TGpsInfoConverter &converter, const QByteArray &text, kp::TTrackInfo &info,
                     kp::TDateTime endTime = 0)
{
  info = kp::TTrackInfo{};
  info.EndTime = endTime;
  return converter.Load(text, info);
}

inline QByteArray Export(const kp::TGpsInfoConverter &converter, const kp::TTrackInfo &info)
{
  QByteArray text;
  EXPECT_TRUE(converter.ExportToText(info, text));
  return text;
}

inline int CountKind(const kp::TTrackInfo &info, uint8_t kind)
{
  int n = 0;
  for (const auto &item : info.Items) n += item.Kind == kind;
  return n;
}

// Runs an oracle tool; its standard output, or empty with Ok false.
inline QByteArray RunTool(const QString &tool, const QStringList &args, bool &ok, QByteArray *errors = nullptr)
{
  QProcess p;
  p.start(tool, args);
  ok = p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
  if (errors) *errors = p.readAllStandardError();
  return p.readAllStandardOutput();
}

} // namespace kptest
