#pragma once
// Shared set-up of the format tests: a pinned time zone and user formats, a
// format register that stays in memory, and small builders of track items.

#include "TelemetryTestSupport.h"
#include "TestSupport.h"

#include <QProcess>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

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
  info.Items = {Sample(Dt(2011, 5, 1, 13, 0, 0), 0.1, 0.2, 0.3),
                Fix(Dt(2011, 5, 1, 13, 0, 0), 55.751244, 37.618423, 150.5, 36, 90.4),
                Sample(Dt(2011, 5, 1, 13, 0, 0, 500), 0.012, -0.98, 0.025),
                Fix(Dt(2011, 5, 1, 13, 0, 1), 55.7513, 37.6185),
                Fix(Dt(2011, 5, 1, 13, 0, 2), 0, 0),
                Fix(Dt(2011, 5, 1, 13, 0, 10), -33.5, -70.25, 10, 45, 359.7)};
  info.Items[3].Trip = 7.4;
  info.Items[4].NoFix = true;
  info.Items[5].Trip = 12.5;
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

// An NMEA sentence body ("$GPRMC,...") with its checksum appended.
inline QByteArray Nmea(const QByteArray &body)
{
  unsigned sum = 0;
  for (qsizetype i = 1; i < body.size(); ++i) sum ^= static_cast<unsigned char>(body[i]);
  return body + "*" + QByteArray::number(sum, 16).rightJustified(2, '0').toUpper();
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

// ---------------------------------------------------------------- gpsbabel

struct TPoint {
  int64_t Ms = 0; // UTC milliseconds since 1899-12-30; 0 when untimed
  double Lat = 0, Lon = 0;
};

// gpsbabel's reading of a file as points with UTC times.
// Kind: "-t" tracks, "-w" waypoints, "-r" routes.
inline std::vector<TPoint> BabelPoints(const QString &tool, const QString &format, const QString &path, bool &ok,
                                       const QString &kind = QStringLiteral("-t"))
{
  const QByteArray csv = RunTool(tool, {kind, "-i", format, "-f", path, "-o", "unicsv,utc=0", "-F", "-"}, ok);
  std::vector<TPoint> points;
  const QList<QByteArray> lines = csv.split('\n');
  if (lines.isEmpty()) return points;
  const QList<QByteArray> header = lines[0].trimmed().split(',');
  const qsizetype lat = header.indexOf("Latitude"), lon = header.indexOf("Longitude");
  const qsizetype date = header.indexOf("Date"), time = header.indexOf("Time");
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const QList<QByteArray> f = lines[i].trimmed().split(',');
    if (f.size() < header.size()) continue;
    TPoint p;
    p.Lat = kp::StrToFloatAny(QByteArrayView(f[lat]), 0);
    p.Lon = kp::StrToFloatAny(QByteArrayView(f[lon]), 0);
    if (date >= 0 && time >= 0) {
      const QByteArray d = f[date], t = f[time];
      const kp::TDateTime day =
          kp::EncodeDateTimeOr0(d.left(4).toInt(), d.mid(5, 2).toInt(), d.mid(8, 2).toInt(), 0, 0, 0);
      if (day > 0)
        p.Ms = kp::DateTimeToMSecs(day) + t.left(2).toInt() * 3600000LL + t.mid(3, 2).toInt() * 60000LL +
               kp::Round(kp::StrToFloatAny(QByteArrayView(t.mid(6)), 0) * 1000);
    }
    points.push_back(p);
  }
  return points;
}

// Valid fixes with their UTC times.
inline std::vector<TPoint> OurFixes(const kp::TTrackInfo &info)
{
  std::vector<TPoint> points;
  for (const kp::TTrackInfoItem &item : info.Items)
    if (item.Kind == kp::ikGps && !item.NoFix)
      points.push_back({kp::DateTimeToMSecs(item.Time - kp::LocalTimeOffset()), item.Lat, item.Lon});
  return points;
}

// Our fixes that gpsbabel has nowhere at the same second (ours carry whole
// seconds; gpsbabel keeps fractions) and position, allowing a fixed shift.
// With TimeToleranceMs the times need only lie that close.
inline int Unmatched(const std::vector<TPoint> &ours, const std::vector<TPoint> &babel, int64_t shiftMs = 0,
                     int64_t timeToleranceMs = 0, double tolerance = 1.5e-6)
{
  int missing = 0;
  for (const TPoint &o : ours) {
    const bool found = std::any_of(babel.begin(), babel.end(), [&](const TPoint &b) {
      const bool sameTime = timeToleranceMs > 0 ? std::abs(b.Ms + shiftMs - o.Ms) <= timeToleranceMs
                                                : kp::Div(b.Ms + shiftMs, 1000) == kp::Div(o.Ms, 1000);
      return sameTime && std::fabs(b.Lat - o.Lat) <= tolerance && std::fabs(b.Lon - o.Lon) <= tolerance;
    });
    missing += !found;
  }
  return missing;
}

} // namespace kptest
