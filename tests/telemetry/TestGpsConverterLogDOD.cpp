// The two ".log" formats: TAB-separated fixes of the GS600/Q3 cameras and
// the comma-separated NMEA-like lines of the DS103/GPS100 recorders.

#include "TestGpsConverterSupport.h"
#include "UnitGpsConverterLogDOD.h"
#include "UnitGpsConverterLogDVR.h"

using namespace kp;
using namespace kptest;

namespace {

using LogReaders = TFormatsTest;
const TGpsInfoConverterLogDOD kDod;
const TGpsInfoConverterLogDVR kDvr;

TEST_F(LogReaders, DodReadsFieldsWithDefaultsForMissingOnes)
{
  TTrackInfo info;
  ASSERT_TRUE(LoadWith(kDod,
                       "2011-05-01 10:00:00\tN55.751244\tE37.618423\t150.5\t60\t90\r\n"
                       "2011-05-01 10:00:01\tS33.5\tW70.25\r\n",
                       info));
  EXPECT_EQ(Items(info), "G 2011-05-01 10:00:00.000 55.751244,37.618423 a150.5 s60 c90\n" // local time already
                         "G 2011-05-01 10:00:01.000 -33.5,-70.25 a0 s-1 c-1\n");
}

TEST_F(LogReaders, DodSignatureAndShortLines)
{
  EXPECT_TRUE(kDod.CanRead("2011-05-01 10:00:00\tN55.75\tE37.61\r\n"));
  EXPECT_FALSE(kDod.CanRead("2011-05-01 10:00:00\tN55,75\tE37,61\r\n"));
  EXPECT_FALSE(kDod.CanRead("time\tN55.75\tE37.61\r\n"));
  // A line of two fields has no item and counts towards giving up.
  TTrackInfo info;
  EXPECT_FALSE(LoadWith(
      kDod, QByteArray("2011-05-01 10:00:00\tN55.75\r\n").repeated(9) + "2011-05-01 10:00:00\tN55.75\tE37.61\r\n",
      info));
}

TEST_F(LogReaders, DvrReadsNmeaFieldsAndProgramKnots)
{
  TTrackInfo info;
  ASSERT_TRUE(LoadWith(kDvr,
                       "A,010511,100000,5545.0746,N,03737.1054,E,10.0\r\n"
                       "A,010511,100001,3330.0000,S,07015.0000,W\r\n"
                       "A,010511,100002,3330.0000,n,07015.0000,e,0\r\n",
                       info));
  // UTC in the file; 10 knots of 1.85325 km/h; only upper-case N and E are
  // positive.
  EXPECT_EQ(Items(info), "G 2011-05-01 13:00:00.000 55.75124333,37.61842333 a0 s18.5325 c-1\n"
                         "G 2011-05-01 13:00:01.000 -33.5,-70.25 a0 s-1 c-1\n"
                         "G 2011-05-01 13:00:02.000 -33.5,-70.25 a0 s0 c-1\n");
}

TEST_F(LogReaders, DvrNeedsCommasAtFixedPlacesAndSevenFields)
{
  TTrackInfo info;
  // Second or ninth character not a comma, or too few fields: no item.
  EXPECT_FALSE(LoadWith(kDvr, "AA010511,100000,5545.0746,N,03737.1054,E,10\r\n", info));
  EXPECT_FALSE(LoadWith(kDvr, "A,0105110,100000,5545.0746,N,03737.1054,E\r\n", info));
  EXPECT_FALSE(LoadWith(kDvr, "A,010511,100000,5545.0746,N,03737.1054\r\n", info));
  EXPECT_TRUE(LoadWith(kDvr, "A,010511,100000;5545.0746;N;03737.1054;E\r\n", info));
}

// Detection tells the two formats apart; a ".log" that fails both
// signatures (a lower-case word) is read by extension, LogDOD first.
TEST_F(LogReaders, Detection)
{
  TTrackFolder folder;
  const std::pair<QByteArray, const char *> cases[] = {
      {"2011-05-01 10:00:00\tN55.751244\tE37.618423\t150.5\t60\t90\r\n", "log600"},
      {"A,010511,100000,5545.0746,N,03737.1054,E,10.0\r\n", "logDVR"},
      {"2011-05-01 10:00:00\tN55.75\tE37.61\tx\r\n", "log600"},
  };
  for (const auto &[text, id] : cases) {
    SetGpsFormats(QString());
    TTrackInfo info;
    ASSERT_TRUE(GpsConvertersLoad(text, folder.Write("a.log", text), info));
    EXPECT_EQ(GpsFormats(), id);
  }
}

} // namespace
