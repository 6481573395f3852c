#pragma once
// Shared helpers of the telemetry tests: date-times, ".dat" lines, a
// temporary folder with pinned file times, and a format register that does
// not touch the user's settings.

#include "UnitGpsConverterDatDOD.h"
#include "UnitGpsConverters.h"
#include "UnitMovingInfo.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <utility>

namespace kptest {

// Time budgets of the tests that guard against work growing faster than the
// input; sanitizer builds run several times slower.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kBudgetMs = 5000;
#else
constexpr int kBudgetMs = 1000;
#endif

constexpr double kSec = 1.0 / 86400.0;
constexpr double kMsDays = kSec / 1000.0;
// Metres to degrees of latitude.
constexpr double kDeg = 1.0 / kp::MetresPerDegree;

inline kp::TDateTime Dt(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
  return kp::EncodeDateTimeOr0(y, mo, d, h, mi, s, ms);
}

inline const kp::TDateTime kT0 = Dt(2012, 5, 1, 10);

// The camera ".dat" reader, first in the detection order.
inline const kp::TGpsInfoConverter &Dat()
{
  return *kp::GpsImportConverters().front();
}

inline kp::TTrackInfoItem Fix(kp::TDateTime t, double lat, double lon, double alt = 0, double speed = -1,
                              double course = -1)
{
  return {{t, lon, lat, alt, course, speed, 0, false}, kp::ikGps};
}

inline kp::TTrackInfoItem Sample(kp::TDateTime t, double x, double y, double z)
{
  return {{t, x, y, z, -1, -1, 0, false}, kp::ikGSensor};
}

// The items of a track, one line each, so a whole result is one comparison:
// "G <time> lat,lon a<alt> s<speed> c<course>[ nofix]" or "S <time> x,y,z";
// times to the millisecond, "-" when untimed.
inline std::string Items(const kp::TTrackInfo &info)
{
  const auto n = [](double v) { return QString::number(v, 'g', 10); };
  QString out;
  for (const kp::TTrackInfoItem &i : info.Items) {
    const QString time = i.Time == 0 ? QStringLiteral("-")
                                     : QDate(1899, 12, 30)
                                           .startOfDay(Qt::UTC)
                                           .addMSecs(kp::DateTimeToMSecs(i.Time))
                                           .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
    if (i.Kind == kp::ikGSensor)
      out += "S " + time + " " + n(i.Lon) + "," + n(i.Lat) + "," + n(i.Alt) + "\n";
    else
      out += "G " + time + " " + n(i.Lat) + "," + n(i.Lon) + " a" + n(i.Alt) + " s" + n(i.Speed) + " c" + n(i.Course) +
             (i.NoFix ? " nofix" : "") + "\n";
  }
  return out.toStdString();
}

// One "[G]" line of the camera's ".dat" format with CR LF.
inline QByteArray DatFix(kp::TDateTime t, double lat, double lon, int speed = 50, int course = 90)
{
  return "[G]\t" + kp::DatTimeText(t, false) + "\t" + (lat >= 0 ? "N" : "S") + kp::CoordToBytes(std::fabs(lat)) + "\t" +
         (lon >= 0 ? "E" : "W") + kp::CoordToBytes(std::fabs(lon)) + "\t" + QByteArray::number(speed) + "\t" +
         QByteArray::number(course) + "\r\n";
}

inline QByteArray DatSample(int x, int y, int z)
{
  return "[S]\t" + QByteArray::number(x) + "\t" + QByteArray::number(y) + "\t" + QByteArray::number(z) + "\r\n";
}

// A temporary folder whose files report the times set here (others: 0).
class TTrackFolder {
public:
  TTrackFolder()
  {
    kp::SetFileTimesSource([this](const QString &path, kp::TDateTime &c, kp::TDateTime &m) {
      auto it = FTimes.constFind(QFileInfo(path).absoluteFilePath());
      if (it == FTimes.constEnd()) return QFileInfo::exists(path);
      c = it->first;
      m = it->second;
      return true;
    });
  }
  ~TTrackFolder() { kp::SetFileTimesSource({}); }

  QString Path(const QString &relative) const { return FDir.filePath(relative); }
  QString Write(const QString &relative, const QByteArray &bytes)
  {
    const QString path = Path(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return {};
    f.write(bytes);
    return path;
  }
  void SetTimes(const QString &relative, kp::TDateTime created, kp::TDateTime modified)
  {
    FTimes.insert(QFileInfo(Path(relative)).absoluteFilePath(), {created, modified});
  }

private:
  QTemporaryDir FDir;
  QHash<QString, std::pair<kp::TDateTime, kp::TDateTime>> FTimes;
};

// Keeps format ids away from the settings file and lets tests see them.
class TFormatCapture {
public:
  TFormatCapture()
  {
    FSaved = kp::GpsFormats();
    kp::SetGpsFormats(QString());
    kp::SetGpsFormatsChanged(false);
    kp::SetGpsFormatsWriter([this](const QString &list) { Written.append(list); });
  }
  ~TFormatCapture()
  {
    kp::SetGpsFormatsWriter([](const QString &) {});
    kp::SetGpsFormats(FSaved);
  }
  QStringList Written;

private:
  QString FSaved;
};

} // namespace kptest
