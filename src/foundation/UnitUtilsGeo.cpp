// Geodesy on the program's sphere and the NMEA field parsers.
#include "UnitUtils.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace kp {

namespace {

std::atomic<int> g_mapProvider{1};

bool coincide(double x1, double y1, double x2, double y2)
{
  return std::fabs(x1 - x2) <= CoincidenceDegrees && std::fabs(y1 - y2) <= CoincidenceDegrees;
}

} // namespace

double GeoDistance(double x1, double y1, double x2, double y2)
{
  if (coincide(x1, y1, x2, y2)) return 0;
  x1 *= DegToRad;
  y1 *= DegToRad;
  x2 *= DegToRad;
  y2 *= DegToRad;
  double c = std::sin(y1) * std::sin(y2) + std::cos(y1) * std::cos(y2) * std::cos(x1 - x2);
  // Clamp to the domain of arccos only: distances beyond a quarter of the
  // great circle are real distances too.
  c = Clamp(c, -1.0, 1.0);
  const double r = std::acos(c) * EarthRadius;
  return (r > 0 && std::isfinite(r)) ? r : 0;
}

double GeoDistanceFast(double x1, double y1, double x2, double y2)
{
  if (coincide(x1, y1, x2, y2)) return 0;
  // The short way round: 179.9 and -179.9 are 0.2 degrees apart.
  double dx = std::fmod(std::fabs(x1 - x2), 360.0);
  if (dx > 180) dx = 360 - dx;
  return (std::fabs(y1 - y2) + (90 - std::fabs(y1)) * dx / 90) * MetresPerDegree;
}

TGeoPoint GeoDestination(double x, double y, double azimuth, double distance)
{
  if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(azimuth) || !std::isfinite(distance))
    return TGeoPoint{x, y};
  azimuth = std::fmod(azimuth, 360.0);
  if (azimuth < 0) azimuth += 360.0;
  if (azimuth >= 360.0) azimuth = 0;

  bool mirrorX = false, mirrorY = false;
  if (x == 0 && y == 0) {
    if (azimuth < 90)
      mirrorX = true;
    else if (azimuth < 180)
      mirrorX = mirrorY = true;
    else if (azimuth < 270)
      mirrorY = true;
  } else {
    mirrorX = x < 0;
    mirrorY = y < 0;
  }
  if (mirrorX) {
    x = -x;
    azimuth = 360 - azimuth;
  }
  if (mirrorY) {
    y = -y;
    azimuth = 180 - azimuth;
  }

  const double lat1 = y * DegToRad, lon1 = x * DegToRad, az = azimuth * DegToRad;
  const double d = distance / EarthRadius;
  const double lat2 =
      std::asin(Clamp(std::sin(lat1) * std::cos(d) + std::cos(lat1) * std::sin(d) * std::cos(az), -1.0, 1.0));
  const double dlon =
      std::atan2(std::sin(az) * std::sin(d) * std::cos(lat1), std::cos(d) - std::sin(lat1) * std::sin(lat2));
  double lon2 = std::fmod(lon1 - dlon + M_PI, 2 * M_PI);
  if (lon2 < 0) lon2 += 2 * M_PI;
  lon2 -= M_PI;

  TGeoPoint p{lon2 / DegToRad, lat2 / DegToRad};
  if (mirrorX) p.X = -p.X;
  if (mirrorY) p.Y = -p.Y;
  return p;
}

double EllipseRadius(double a, double b, double angle)
{
  if (!(a > 0)) a = 1;
  if (!(b > 0)) b = 1;
  const double r = angle * DegToRad;
  const double sa = std::sin(r) / a, cb = std::cos(r) / b;
  return 1 / std::sqrt(sa * sa + cb * cb);
}

int MapProvider()
{
  return g_mapProvider.load(std::memory_order_relaxed);
}

void SetMapProvider(int provider)
{
  g_mapProvider.store(provider, std::memory_order_relaxed);
}

QString MapLatLngJS(double x, double y)
{
  switch (MapProvider()) {
  case 1:
    return QStringLiteral("new google.maps.LatLng(") + CoordToStr(y) + QStringLiteral(", ") + CoordToStr(x) +
           QLatin1Char(')');
  case 2:
    return QStringLiteral("new YMaps.GeoPoint(") + CoordToStr(x) + QStringLiteral(", ") + CoordToStr(y) +
           QLatin1Char(')');
  default: return {};
  }
}

QString MapPointJS(const TGeoPoint &p)
{
  return MapLatLngJS(p.X, p.Y);
}

// ---------------------------------------------------------------- NMEA

namespace {

int field2(QByteArrayView text, qsizetype pos)
{
  if (pos + 2 > text.size()) return 0;
  const char a = text[pos], b = text[pos + 1];
  if (a < '0' || a > '9' || b < '0' || b > '9') return 0;
  return (a - '0') * 10 + (b - '0');
}

QByteArrayView fieldOf(const TArrayBytes &fields, int i)
{
  return i < fields.size() ? QByteArrayView(fields[i]) : QByteArrayView();
}

void readLatLon(const TArrayBytes &fields, int first, TFixBlock &fix)
{
  fix.Lat = NmeaCoord(fieldOf(fields, first), 0);
  if (fix.Lat != 0 && fieldOf(fields, first + 1) != "N") fix.Lat = -fix.Lat;
  fix.Lon = NmeaCoord(fieldOf(fields, first + 2), 0);
  if (fix.Lon != 0 && fieldOf(fields, first + 3) != "E") fix.Lon = -fix.Lon;
}

} // namespace

namespace {

// Milliseconds of "hhmmss.sss" after its seconds (0 without a fraction); a
// fraction that rounds up to 1000 carries into the next second.
int fractionMs(QByteArrayView time)
{
  if (time.size() < 8 || time[6] != '.') return 0;
  double scale = 100, ms = 0;
  for (qsizetype i = 7; i < time.size() && time[i] >= '0' && time[i] <= '9' && scale >= 1e-6; ++i, scale /= 10)
    ms += (time[i] - '0') * scale;
  return static_cast<int>(Round(ms));
}

} // namespace

TDateTime NmeaDateTime(QByteArrayView date, QByteArrayView time)
{
  int year = 2000 + field2(date, 4);
  if (year > 2080) year -= 100;
  // A date that does not exist (an empty field before the first fix) gives
  // no time at all, so only this line is dropped.
  const TDateTime t =
      EncodeDateTimeOr0(year, field2(date, 2), field2(date, 0), field2(time, 0), field2(time, 2), field2(time, 4));
  // 5 Hz receivers stamp "hhmmss.20": the fraction keeps their fixes apart.
  return t == 0 ? 0 : t + fractionMs(time) / MSecsPerDay + LocalTimeOffset();
}

double DegMinToDeg(double value)
{
  if (!std::isfinite(value)) return 0;
  const double whole = std::trunc(value);
  const double degrees = std::trunc(whole / 100);
  const double minutes = (whole - degrees * 100) + (value - whole);
  return degrees + minutes / 60;
}

double NmeaCoord(QByteArrayView text, double def)
{
  return DegMinToDeg(StrToFloatAny(text, def * 100));
}

void ParseNmeaRMC(const TArrayBytes &fields, TFixBlock &fix)
{
  if (fields.size() < 10) {
    fix.Time = 0;
    return;
  }
  fix.Time = NmeaDateTime(fields[9], fields[1]);
  fix.NoFix = fields[2] != "A";
  readLatLon(fields, 3, fix);
  fix.Alt = 0;
  fix.Speed = StrToFloatAny(QByteArrayView(fields[7]), -1);
  if (fix.Speed > 0) fix.Speed *= KnotKmh;
  fix.Course = StrToFloatAny(QByteArrayView(fields[8]), -1);
}

void ParseNmeaGGA(const TArrayBytes &fields, TFixBlock &fix, const TTrackInfo &track)
{
  ParseNmeaGGA(fields, fix, track, track.Items.size());
}

void ParseNmeaGGA(const TArrayBytes &fields, TFixBlock &fix, const TTrackInfo &track, size_t count)
{
  if (fields.size() < 10) {
    fix.Time = 0;
    return;
  }
  // GGA carries no date: take the UTC date of the latest fix, else of the
  // file's end time.
  TDateTime reference = 0;
  for (size_t i = std::min(count, track.Items.size()); i-- > 0;)
    if (track.Items[i].Kind == ikGps && track.Items[i].Time > 0) {
      reference = track.Items[i].Time;
      break;
    }
  ParseNmeaGGA(fields, fix, reference > 0 ? reference : track.EndTime);
}

void ParseNmeaGGA(const TArrayBytes &fields, TFixBlock &fix, TDateTime reference)
{
  if (fields.size() < 10) {
    fix.Time = 0;
    return;
  }
  TDateTimeFields f;
  if (reference <= 0 || !DecodeDateTime(reference - LocalTimeOffset(), f)) {
    fix.Time = 0;
  } else {
    const QByteArray date = QString::asprintf("%02d%02d%02d", f.day, f.month, f.year % 100).toLatin1();
    fix.Time = NmeaDateTime(date, fields[1]);
  }
  readLatLon(fields, 2, fix);
  fix.Alt = StrToFloatAny(QByteArrayView(fields[9]), 0);
  fix.Course = -1;
  fix.Speed = -1;
}

double ParseHemisphereFloat(QByteArrayView text, char positiveLetter, double def)
{
  if (text.size() < 3) return def;
  QByteArray t = text.toByteArray();
  t[0] = t[0] == positiveLetter ? '+' : '-';
  return StrToFloatAny(QByteArrayView(t), def);
}

} // namespace kp
