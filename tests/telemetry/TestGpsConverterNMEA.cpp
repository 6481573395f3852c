// Plain NMEA logs and the BlackVue ".gps" file, which share the sentence
// rules: GP talker RMC makes fixes, GGA lends its altitude.

#include "TestGpsConverterSupport.h"
#include "UnitGpsConverterBlackVue.h"
#include "UnitGpsConverterNMEA.h"

using namespace kp;
using namespace kptest;

namespace {

// An RMC at 10:mm:ss on 2011-05-01, moving north by a little each second.
QByteArray Rmc(int minute, int second, const char *status = "A", const char *talker = "$GPRMC")
{
  const QByteArray t = QByteArray::number(100000 + minute * 100 + second);
  return QByteArray(talker) + "," + t + ".00," + status + ",5545.0746,N,03737.1054,E,10.0,90.0,010511,,,A*00\r\n";
}

QByteArray Gga(int minute, int second, const char *alt)
{
  const QByteArray t = QByteArray::number(100000 + minute * 100 + second);
  return "$GPGGA," + t + ".00,5545.0746,N,03737.1054,E,1,08,0.9," + alt + ",M,14.0,M,,*00\r\n";
}

const QByteArray kColdRmc = "$GPRMC,,V,,,,,,,,,,N*53\r\n";

class NmeaReader : public TFormatsTest {
protected:
  TGpsInfoConverterNMEA FNmea;
  TGpsInfoConverterBlackVue FBv;
};

TEST_F(NmeaReader, GgaAltitudeGoesToTheNextRmcOnlyAndGSensorSentencesInBothForms)
{
  // The first line is a GGA: the first fix keeps its altitude. "$A" carries
  // Y before X.
  const QByteArray text = Gga(0, 0, "150.5") + Rmc(0, 0) + Gga(0, 1, "150.5") + Rmc(0, 1) + Rmc(0, 2) +
                          "$GSENSOR,12,-980,25*7F\r\n$A 0.01 0.02 -0.98\r\n" + Rmc(0, 3, "V");
  TTrackInfo info;
  ASSERT_TRUE(LoadWith(FNmea, text, info));
  EXPECT_EQ(Items(info), "G 2011-05-01 13:00:00.000 55.75124333,37.61842333 a150.5 s18.5325 c90\n"
                         "G 2011-05-01 13:00:01.000 55.75124333,37.61842333 a150.5 s18.5325 c90\n"
                         "G 2011-05-01 13:00:02.000 55.75124333,37.61842333 a0 s18.5325 c90\n"
                         "S - 0.012,-0.98,0.025\n"
                         "S - 0.02,0.01,-0.98\n"
                         "G 2011-05-01 13:00:03.000 55.75124333,37.61842333 a0 s18.5325 c90 nofix\n");
  // The held altitude does not leak into the next text.
  ASSERT_TRUE(LoadWith(FNmea, Rmc(0, 0) + Gga(0, 1, "99.0"), info));
  ASSERT_TRUE(LoadWith(FNmea, Rmc(0, 0) + Rmc(0, 1), info));
  EXPECT_EQ(info.Items[0].Alt, 0);
}

TEST_F(NmeaReader, StrayFixesAfterAFinalGapAreDropped)
{
  const QByteArray steady = Rmc(0, 0) + Rmc(0, 1) + Rmc(0, 2) + Rmc(0, 3);
  TTrackInfo info;
  ASSERT_TRUE(LoadWith(FNmea, steady + Rmc(0, 43), info)); // 40 s later
  EXPECT_EQ(CountKind(info, ikGps), 4);
  ASSERT_TRUE(LoadWith(FNmea, steady + Rmc(0, 43) + Rmc(0, 44), info)); // two strays
  EXPECT_EQ(CountKind(info, ikGps), 4);
  ASSERT_TRUE(LoadWith(FNmea, steady + Rmc(0, 5), info)); // no gap
  EXPECT_EQ(CountKind(info, ikGps), 5);
}

TEST_F(NmeaReader, ColdStartLinesDoNotMakeTheReaderGiveUp)
{
  QByteArray text;
  for (int i = 0; i < 37; ++i) text += kColdRmc + "$GPGGA,,,,,,0,,,,,,,,*66\r\n";
  for (int i = 0; i < 5; ++i) text += Rmc(1, i);
  TTrackInfo info;
  ASSERT_TRUE(LoadWith(FNmea, text, info));
  EXPECT_EQ(info.Items.size(), 5u);
}

TEST_F(NmeaReader, OtherTalkersAndJunkCountTowardsGivingUp)
{
  QByteArray text;
  for (int i = 0; i < 9; ++i) text += Rmc(0, i, "A", "$GNRMC");
  text += Rmc(0, 10);
  TTrackInfo info;
  EXPECT_FALSE(LoadWith(FNmea, text, info));
  // GP sentences other than RMC are not counted at all.
  text.clear();
  for (int i = 0; i < 30; ++i) text += "$GPGSV,3,1,12,01,40,083,46,02,17,308,41,12,07,344,39,14,22,228,45*75\r\n";
  text += Rmc(0, 0);
  EXPECT_TRUE(LoadWith(FNmea, text, info));
}

TEST_F(NmeaReader, RecognitionNeedsALeadingDollar)
{
  EXPECT_TRUE(FNmea.CanRead(Rmc(0, 0)));
  EXPECT_FALSE(FNmea.CanRead(" " + Rmc(0, 0)));
  EXPECT_FALSE(FNmea.CanRead(Rmc(0, 0) + "<x>"));
}

QByteArray Stamped(const QByteArray &stamp, const QByteArray &sentence)
{
  return "[" + stamp + "]" + sentence;
}

TEST_F(NmeaReader, BlackVueStampBounds)
{
  TTrackInfo info;
  EXPECT_FALSE(LoadWith(FBv, Stamped("999999999999", Rmc(0, 0)), info));
  EXPECT_TRUE(LoadWith(FBv, Stamped("1300000000000", Rmc(0, 0)), info));
  EXPECT_FALSE(LoadWith(FBv, Stamped("2000000000000", Rmc(0, 0)), info));
  EXPECT_TRUE(LoadWith(FBv, Stamped("1999999999999", Rmc(0, 0)), info));
  // "]" may stand at most at the 19th character.
  EXPECT_TRUE(LoadWith(FBv, Stamped("00001300000000000", Rmc(0, 0)), info));
  EXPECT_FALSE(LoadWith(FBv, Stamped("000001300000000000", Rmc(0, 0)), info));
  EXPECT_FALSE(LoadWith(FBv, Stamped("13000000000x0", Rmc(0, 0)), info));
}

TEST_F(NmeaReader, BlackVueHoldsAltitudeAndSurvivesColdStart)
{
  QByteArray text;
  for (int i = 0; i < 20; ++i) text += Stamped("1300000000000", kColdRmc) + "\r\n";
  text += Stamped("1300000001000", Gga(0, 0, "212.25")) + Stamped("1300000001000", Rmc(0, 0)) +
          Stamped("1300000002000", Rmc(0, 1));
  TTrackInfo info;
  ASSERT_TRUE(LoadWith(FBv, text, info));
  EXPECT_EQ(Items(info), "G 2011-05-01 13:00:00.000 55.75124333,37.61842333 a212.25 s18.5325 c90\n"
                         "G 2011-05-01 13:00:01.000 55.75124333,37.61842333 a0 s18.5325 c90\n");
}

TEST_F(NmeaReader, BlackVueDetectedByContent)
{
  TTrackFolder folder;
  const QByteArray text = Stamped("1300000001000", Rmc(0, 0)) + Stamped("1300000002000", Rmc(0, 1));
  TTrackInfo info;
  ASSERT_TRUE(GpsConvertersLoad(text, folder.Write("FILE0001.gps", text), info));
  EXPECT_EQ(GpsFormats(), "gpsBV");
  EXPECT_EQ(info.Items.size(), 2u);
}

} // namespace
