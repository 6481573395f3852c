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

// The track every writer test exports (local times, zone +3 h): a sample
// ahead of the first fix, a fix with everything, a sample, a fix with nothing
// known, a fix without position and, 8 s later, a southern-western fix.
inline kp::TTrackInfo GoldenTrack()
{
  kp::TTrackInfo info;
  info.Name = QStringLiteral("Trip & <Test> \"1\"");
  info.Description = QStringLiteral("Desc");
  info.MinLon = -70.25;
  info.MaxLat = 55.7513;
  info.MaxLon = 37.6185;
  info.MinLat = -33.5;
  info.CentreLon = 1.5;
  info.CentreLat = 11.125;
  info.Width = 50;
  info.Height = 30;
  info.StartTime = Dt(2011, 5, 1, 13, 0, 0);
  info.EndTime = Dt(2011, 5, 1, 13, 0, 10);
  info.Items.push_back(Sample(Dt(2011, 5, 1, 13, 0, 0), 0.1, 0.2, 0.3));
  info.Items.push_back(Fix(Dt(2011, 5, 1, 13, 0, 0), 55.751244, 37.618423, 150.5, 36, 90.4));
  info.Items.push_back(Sample(Dt(2011, 5, 1, 13, 0, 0, 500), 0.012, -0.98, 0.025));
  info.Items.push_back(Fix(Dt(2011, 5, 1, 13, 0, 1), 55.7513, 37.6185));
  info.Items.back().Trip = 7.4;
  info.Items.push_back(Fix(Dt(2011, 5, 1, 13, 0, 2), 0, 0));
  info.Items.back().NoFix = true;
  info.Items.push_back(Fix(Dt(2011, 5, 1, 13, 0, 10), -33.5, -70.25, 10, 45, 359.7));
  info.Items.back().Trip = 12.5;
  return info;
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
