#include "UnitUtils.h"

#include <gtest/gtest.h>
#include <tuple>

using namespace kp;

namespace {
// Reference figures from GeodSolve on the sphere of radius 6,371,000 m
// (GeodSolve -e 6371000 0), computed once.
struct Inverse {
  double lat1, lon1, lat2, lon2, metres;
};
const Inverse kInverse[] = {
    {55.75, 37.62, 55.76, 37.64, 1674.092244},    {0, 179.9, 0, -179.9, 22238.985329}, // across the antimeridian
    {89.9, 0, 89.9, 180, 22238.985329},                                                // over the pole
    {-33.9, 151.2, 51.5, -0.12, 16995926.573970}, // more than a quarter of the earth
    {40, -74, -40, 106, 20015086.796021},         // antipodes
};
} // namespace

TEST(Geodesy, DistanceMatchesReferenceFigures)
{
  for (const auto &r : kInverse) {
    const double d = GeoDistance(r.lon1, r.lat1, r.lon2, r.lat2);
    EXPECT_NEAR(d, r.metres, std::max(0.01, r.metres * 1e-7)) << r.lat1 << "," << r.lon1;
    EXPECT_NEAR(GeoDistance(r.lon2, r.lat2, r.lon1, r.lat1), d, 1e-6);
  }
}

TEST(Geodesy, CoincidentPointsHaveZeroDistance)
{
  const double fiveMm = 0.005 / MetresPerDegree;
  EXPECT_EQ(GeoDistance(37.6, 55.7, 37.6 + fiveMm, 55.7), 0);
  EXPECT_EQ(GeoDistanceFast(37.6, 55.7, 37.6, 55.7 + fiveMm), 0);
  const double oneM = 1 / MetresPerDegree;
  EXPECT_NEAR(GeoDistance(37.6, 55.7, 37.6, 55.7 + oneM), 1.0, 1e-3);
  EXPECT_GT(GeoDistanceFast(37.6, 55.7, 37.6 + oneM, 55.7), 0);
}

TEST(Geodesy, FastDistanceScalesLongitudeLinearlyByLatitude)
{
  EXPECT_NEAR(GeoDistanceFast(10, 60, 11, 60), 111194.92664455874 / 3, 1e-6);
  // Longitudes differ the short way round 180.
  EXPECT_NEAR(GeoDistanceFast(179.9, 0, -179.9, 0), 0.2 * 111194.92664455874, 1e-6);
  EXPECT_NEAR(GeoDistanceFast(-170, 60, 170, 60), 20 * 111194.92664455874 / 3, 1e-6);
}

TEST(Geodesy, DestinationCountsAzimuthTowardsTheWest)
{
  // Azimuth is minus the course: -90 heads east, 90 west; -270 crosses the
  // prime meridian westwards; -45 runs north-east in the southern-eastern
  // quadrant; the western hemisphere mirrors the eastern one.
  struct Case {
    double x, y, azimuth, metres, toX, toY, yTolerance = 1e-7;
  };
  const Case cases[] = {
      {37.62, 55.75, -90, 1000, 37.63597927711242, 55.75, 1e-5},
      {37.62, 55.75, 90, 1000, 37.62 - (37.63597927711242 - 37.62), 55.75, 1e-5},
      {0.0001, 51.5, -270, 1000, -0.01434659356290, 51.49999911269644},
      {151.2, -33.9, -45, 5000, 151.23829337257922, -33.86819825512413},
      {-37.62, 55.75, 90, 1000, -37.63597927711242, 55.75, 1e-5},
  };
  for (const Case &c : cases) {
    const TGeoPoint p = GeoDestination(c.x, c.y, c.azimuth, c.metres);
    EXPECT_NEAR(p.X, c.toX, 1e-7) << c.x << "," << c.y << " " << c.azimuth;
    EXPECT_NEAR(p.Y, c.toY, c.yTolerance) << c.x << "," << c.y << " " << c.azimuth;
  }
}

TEST(Geodesy, DestinationWrapsLongitudeAndSurvivesHostileAzimuths)
{
  TGeoPoint p = GeoDestination(179.999, 0, -90, 1000);
  EXPECT_LT(p.X, -179.99);
  p = GeoDestination(10, 20, 1e300, 100); // would loop for ever by adding 360
  EXPECT_TRUE(std::isfinite(p.X) && std::isfinite(p.Y));
  p = GeoDestination(10, 20, std::numeric_limits<double>::infinity(), 100);
  EXPECT_EQ(p.X, 10);
  EXPECT_EQ(p.Y, 20);
  p = GeoDestination(0, 0, -90, 1000); // origin: eastwards
  EXPECT_NEAR(p.X, 1000 / MetresPerDegree, 1e-9);
  EXPECT_NEAR(p.Y, 0, 1e-9);
  p = GeoDestination(0, 0, 0, 1000); // origin: north
  EXPECT_NEAR(p.Y, 1000 / MetresPerDegree, 1e-9);
}

TEST(Geodesy, EllipseRadius)
{
  EXPECT_NEAR(EllipseRadius(2, 3, 0), 3, 1e-12);
  EXPECT_NEAR(EllipseRadius(2, 3, 90), 2, 1e-12);
  EXPECT_NEAR(EllipseRadius(0, std::numeric_limits<double>::quiet_NaN(), 45), 1, 1e-12);
}

TEST(Geodesy, MapScriptPoints)
{
  SetMapProvider(1);
  EXPECT_EQ(MapLatLngJS(37.5, 55.25), QStringLiteral("new google.maps.LatLng(55.250000, 37.500000)"));
  SetMapProvider(2);
  EXPECT_EQ(MapPointJS(TGeoPoint{37.5, 55.25}), QStringLiteral("new YMaps.GeoPoint(37.500000, 55.250000)"));
  SetMapProvider(3);
  EXPECT_TRUE(MapLatLngJS(1, 2).isEmpty());
  SetMapProvider(1);
}

namespace {
TArrayBytes fields(const char *sentence)
{
  TArrayBytes f;
  SplitString(QByteArrayView(sentence), QByteArrayView(","), true, f);
  return f;
}
} // namespace

TEST(Nmea, DateFieldsAndCenturyWindow)
{
  SetLocalTimeOffset(0);
  // 95 is 1995, 80 is 2080, 81 is 1981; the fraction of a second is kept to
  // the millisecond (5 Hz receivers would otherwise stack fixes on a second).
  const std::tuple<const char *, const char *, TDateTime> cases[] = {
      {"010195", "120000", EncodeDateTimeOr0(1995, 1, 1, 12, 0, 0)},
      {"010180", "120000", EncodeDateTimeOr0(2080, 1, 1, 12, 0, 0)},
      {"010181", "120000", EncodeDateTimeOr0(1981, 1, 1, 12, 0, 0)},
      {"311223", "235959.999", EncodeDateTimeOr0(2023, 12, 31, 23, 59, 59, 999)},
      {"010123", "120000.2", EncodeDateTimeOr0(2023, 1, 1, 12, 0, 0, 200)},
      {"010123", "120000.0004", EncodeDateTimeOr0(2023, 1, 1, 12, 0, 0)},
      {"010123", "120059.9996", EncodeDateTimeOr0(2023, 1, 1, 12, 1, 0)},
      // Dates that do not exist give no time at all, not 1899 plus the offset.
      {"", "120000", 0},
      {"311323", "120000", 0},
      {"300223", "120000", 0},
      {"010123", "126000", 0}};
  SetLocalTimeOffset(3.0 / 24);
  for (const auto &[date, time, local] : cases)
    EXPECT_NEAR(NmeaDateTime(date, time), local == 0 ? 0 : local + 3.0 / 24, 1e-9) << date << " " << time;
  SetLocalTimeOffset(0);
}

TEST(Nmea, CoordinatesAndHemispheres)
{
  EXPECT_DOUBLE_EQ(NmeaCoord("5545.0000", 0), 55.75);
  EXPECT_DOUBLE_EQ(NmeaCoord("03737.2000", 0), 37.62);
  EXPECT_DOUBLE_EQ(NmeaCoord("", 0), 0);
  EXPECT_DOUBLE_EQ(NmeaCoord("x", 12), 12); // the default goes through the same conversion
  EXPECT_DOUBLE_EQ(DegMinToDeg(-5545.0), -55.75);
  EXPECT_DOUBLE_EQ(ParseHemisphereFloat("N55.5", 'N', 0), 55.5);
  EXPECT_DOUBLE_EQ(ParseHemisphereFloat("S55.5", 'N', 0), -55.5);
  EXPECT_DOUBLE_EQ(ParseHemisphereFloat("N5", 'N', 7), 7);
}

TEST(Nmea, RmcSentence)
{
  SetLocalTimeOffset(0);
  const auto rmc = [](const char *sentence) {
    TFixBlock fix;
    fix.Time = 5;
    ParseNmeaRMC(fields(sentence), fix);
    return std::tuple(fix.Time, fix.Lat, fix.Lon, fix.Speed, fix.Course, fix.NoFix);
  };
  const auto [time, lat, lon, speed, course, noFix] =
      rmc("$GPRMC,123519,A,4807.038,N,01131.000,E,10,084.4,230394,003.1,W");
  EXPECT_EQ(time, EncodeDateTimeOr0(1994, 3, 23, 12, 35, 19));
  EXPECT_NEAR(lat, 48.1173, 1e-9);
  EXPECT_NEAR(lon, 11.516666666666667, 1e-9);
  EXPECT_DOUBLE_EQ(speed, 18.5325);
  EXPECT_EQ(std::tuple(course, noFix), std::tuple(84.4, false));
  EXPECT_EQ(rmc("$GPRMC,123519,V,5545.0000,S,03700.0000,W,,,230394,,"),
            std::tuple(EncodeDateTimeOr0(1994, 3, 23, 12, 35, 19), -55.75, -37.0, -1.0, -1.0, true));
  EXPECT_EQ(std::get<0>(rmc("$GPRMC,123519,A")), 0);
  EXPECT_EQ(std::get<0>(rmc("$GPRMC,,V,,,,,,,,,,N")), 0) << "empty date before the first fix";
}

TEST(Nmea, GgaTakesTheUtcDateOfTheLatestFix)
{
  SetLocalTimeOffset(3.0 / 24);
  TTrackInfo track;
  track.EndTime = EncodeDateTimeOr0(2021, 5, 9, 10, 0, 0);
  TFixBlock fix;
  fix.NoFix = true;
  ParseNmeaGGA(fields("$GPGGA,081500,5545.0000,N,03737.2000,E,1,08,0.9,145.5,M,0,M,,"), fix, track);
  EXPECT_NEAR(fix.Time, EncodeDateTimeOr0(2021, 5, 9, 11, 15, 0), 1e-9);
  EXPECT_DOUBLE_EQ(fix.Alt, 145.5);
  EXPECT_EQ(fix.Course, -1);
  EXPECT_TRUE(fix.NoFix); // left as it was

  // A local fix at 01:30 on the 10th is 22:30 UTC on the 9th: the GGA time
  // 23:00 belongs to the 9th (UTC), i.e. 02:00 local on the 10th.
  TTrackInfoItem last;
  last.Kind = ikGps;
  last.Time = EncodeDateTimeOr0(2021, 5, 10, 1, 30, 0);
  track.Items.push_back(last);
  TTrackInfoItem sample;
  sample.Kind = ikGSensor; // untimed samples after it are not a reference
  track.Items.push_back(sample);
  ParseNmeaGGA(fields("$GPGGA,230000,5545.0000,N,03737.2000,E,1,08,0.9,,M,0,M,,"), fix, track);
  EXPECT_NEAR(fix.Time, EncodeDateTimeOr0(2021, 5, 10, 2, 0, 0), 1e-9);
  EXPECT_EQ(fix.Alt, 0);

  ParseNmeaGGA(fields("$GPGGA,230000"), fix, track);
  EXPECT_EQ(fix.Time, 0);
  SetLocalTimeOffset(0);
}

// A reader whose Items array has free slots at its end says how many items
// are stored; the GGA date comes from the latest of those only.
TEST(Nmea, GgaDateLooksOnlyAtStoredItems)
{
  SetLocalTimeOffset(0);
  TTrackInfo track;
  track.Items.resize(6);
  track.Items[1].Kind = ikGps;
  track.Items[1].Time = EncodeDateTimeOr0(2011, 5, 1, 9, 0, 0);
  track.Items[4].Kind = ikGps; // a slot past the stored items
  track.Items[4].Time = EncodeDateTimeOr0(2011, 6, 2, 9, 0, 0);
  const TArrayBytes gga = fields("$GPGGA,100000.00,5545.0,N,03737.0,E,1,08,0.9,150.5,M,14.0,M,,*00");
  TFixBlock fix;
  ParseNmeaGGA(gga, fix, track, 3);
  EXPECT_EQ(fix.Time, EncodeDateTimeOr0(2011, 5, 1, 10, 0, 0));
  EXPECT_EQ(fix.Alt, 150.5);
  ParseNmeaGGA(gga, fix, track);
  EXPECT_EQ(fix.Time, EncodeDateTimeOr0(2011, 6, 2, 10, 0, 0));
}
