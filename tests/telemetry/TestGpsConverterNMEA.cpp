// Plain NMEA logs and the BlackVue ".gps" file, which share the sentence
// rules: RMC makes fixes, GGA lends its altitude, other sentences are skipped.

#include "TestGpsConverterSupport.h"
#include "UnitGpsConverterBlackVue.h"
#include "UnitGpsConverterNMEA.h"

using namespace kp;
using namespace kptest;

namespace {

// An RMC at 10:mm:ss.ff on 2011-05-01 with its checksum.
QByteArray Rmc(int minute, int second, const char *status = "A", const char *talker = "GP", const char *frac = "00",
               const char *date = "010511")
{
  const QByteArray t = QByteArray::number(100000 + minute * 100 + second);
  return Nmea("$" + QByteArray(talker) + "RMC," + t + "." + frac + "," + status +
              ",5545.0746,N,03737.1054,E,10.0,90.0," + date + ",,,A") +
         "\r\n";
}

QByteArray Gga(int minute, int second, const char *alt, const char *talker = "GP", const char *frac = "00")
{
  const QByteArray t = QByteArray::number(100000 + minute * 100 + second);
  return Nmea("$" + QByteArray(talker) + "GGA," + t + "." + frac + ",5545.0746,N,03737.1054,E,1,08,0.9," + alt +
              ",M,14.0,M,,") +
         "\r\n";
}

const QByteArray kColdRmc = Nmea("$GPRMC,,V,,,,,,,,,,N") + "\r\n";
// What a multi-constellation receiver adds to every fix.
const QByteArray kChatter = Nmea("$GNGSA,A,3,01,02,12,14,,,,,,,,,1.2,0.9,0.8,1") + "\r\n" +
                            Nmea("$GLGSV,1,1,02,65,40,083,46,66,17,308,41") + "\r\n" +
                            Nmea("$PUBX1,00,081350.00,4717.113210,N") + "\r\n" + "$PGRME,15.0,M,45.0,M,25.0,M\r\n";

using NmeaReader = TFormatsTest;
const TGpsInfoConverterNMEA kNmea;
const TGpsInfoConverterBlackVue kBv;

TEST_F(NmeaReader, GgaAltitudeGoesToTheNextRmcOnlyAndGSensorSentencesInBothForms)
{
  // The first line is a GGA: the first fix keeps its altitude. "$A" carries
  // Y before X. A GGA of the combined talker lends its altitude to a GP RMC.
  const QByteArray text = Gga(0, 0, "150.5") + Rmc(0, 0) + Gga(0, 1, "150.5", "GN") + Rmc(0, 1) + Rmc(0, 2) +
                          "$GSENSOR,12,-980,25*7F\r\n$A 0.01 0.02 -0.98\r\n" + Rmc(0, 3, "V");
  TTrackInfo info;
  ASSERT_TRUE(LoadWith(kNmea, text, info));
  EXPECT_EQ(Items(info), "G 2011-05-01 13:00:00.000 55.75124333,37.61842333 a150.5 s18.5325 c90\n"
                         "G 2011-05-01 13:00:01.000 55.75124333,37.61842333 a150.5 s18.5325 c90\n"
                         "G 2011-05-01 13:00:02.000 55.75124333,37.61842333 a0 s18.5325 c90\n"
                         "S - 0.012,-0.98,0.025\n"
                         "S - 0.02,0.01,-0.98\n"
                         "G 2011-05-01 13:00:03.000 55.75124333,37.61842333 a0 s18.5325 c90 nofix\n");
  // The held altitude leaks neither into the next text nor past an RMC that
  // has no date and is skipped.
  ASSERT_TRUE(LoadWith(kNmea, Rmc(0, 0) + Gga(0, 1, "99.0"), info));
  ASSERT_TRUE(LoadWith(kNmea, Rmc(0, 0) + Rmc(0, 1), info));
  EXPECT_EQ(info.Items[0].Alt, 0);
  const QByteArray undated = Gga(0, 0, "150.5") + Rmc(0, 0, "A", "GP", "00", "") + Rmc(0, 1) + Rmc(0, 2);
  ASSERT_TRUE(LoadWith(kNmea, undated, info));
  ASSERT_EQ(info.Items.size(), 2u);
  EXPECT_EQ(info.Items[0].Alt, 0);
}

// Which lines count towards the give-up rule (no fix in the first 9 counted
// lines): sentences the reader does not use are skipped, junk counts.
TEST_F(NmeaReader, SentencesOfEveryTalkerAndTheGiveUpRule)
{
  QByteArray corrupted = Rmc(0, 5);
  corrupted[20] = corrupted[20] == '5' ? '6' : '5'; // a latitude digit; checksum now wrong
  const struct {
    const char *what;
    QByteArray text;
    int fixes; // -1: no track
  } cases[] = {
      {"combined talker only", Rmc(0, 0, "A", "GN") + Rmc(0, 1, "A", "GN"), 2},
      {"every satellite talker",
       Rmc(0, 0, "A", "GL") + Rmc(0, 1, "A", "GA") + Rmc(0, 2, "A", "GB") + Rmc(0, 3, "A", "GQ"), 4},
      {"not a satellite talker", Rmc(0, 0, "A", "II") + Rmc(0, 1), 1},
      {"two foreign sentences per fix", kChatter.repeated(4) + Rmc(0, 0) + kChatter + Rmc(0, 1) + kChatter + Rmc(0, 2),
       3},
      {"a wrong checksum is skipped", Rmc(0, 0) + corrupted + Rmc(0, 6), 2},
      {"no checksum is read", Rmc(0, 0).replace("*", "").chopped(4) + "\r\n" + Rmc(0, 1), 2},
      {"cold start lines", (kColdRmc + Nmea("$GPGGA,,,,,,0,,,,,,,,") + "\r\n").repeated(37) + Rmc(1, 0), 1},
      {"junk lines still count", QByteArray("$ this is no sentence\r\n").repeated(9) + Rmc(0, 0), -1},
      {"a sentence name of four letters counts", QByteArray("$PUBX,00,081350.00,4717.1\r\n").repeated(9) + Rmc(0, 0),
       -1},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.what);
    TTrackInfo info;
    const bool loaded = LoadWith(kNmea, c.text, info);
    EXPECT_EQ(loaded ? CountKind(info, ikGps) : -1, c.fixes);
    for (const TTrackInfoItem &item : info.Items) EXPECT_NEAR(item.Lat, 55.7512433, 1e-6);
  }
}

TEST_F(NmeaReader, StrayFixesAfterAFinalGapAreDropped)
{
  const QByteArray steady = Rmc(0, 0) + Rmc(0, 1) + Rmc(0, 2) + Rmc(0, 3);
  const struct {
    QByteArray tail;
    int fixes;
  } cases[] = {{Rmc(0, 43), 4}, {Rmc(0, 43) + Rmc(0, 44), 4}, {Rmc(0, 5), 5}};
  for (const auto &c : cases) {
    TTrackInfo info;
    ASSERT_TRUE(LoadWith(kNmea, steady + c.tail, info));
    EXPECT_EQ(CountKind(info, ikGps), c.fixes);
  }
}

TEST_F(NmeaReader, RecognitionNeedsALeadingDollar)
{
  EXPECT_TRUE(kNmea.CanRead(Rmc(0, 0)));
  EXPECT_FALSE(kNmea.CanRead(" " + Rmc(0, 0)));
  EXPECT_FALSE(kNmea.CanRead(Rmc(0, 0) + "<x>"));
}

QByteArray Stamped(const QByteArray &stamp, const QByteArray &sentence)
{
  return "[" + stamp + "]" + sentence;
}

TEST_F(NmeaReader, BlackVueStampBounds)
{
  const struct {
    const char *stamp;
    bool read;
  } cases[] = {{"999999999999", false},       {"1300000000000", true},     {"2000000000000", false},
               {"1999999999999", true},       {"00001300000000000", true}, // "]" at the 19th character at most
               {"000001300000000000", false}, {"13000000000x0", false}};
  for (const auto &c : cases) {
    TTrackInfo info;
    EXPECT_EQ(LoadWith(kBv, Stamped(c.stamp, Rmc(0, 0)), info), c.read) << c.stamp;
  }
}

TEST_F(NmeaReader, BlackVueHoldsAltitudeSkipsForeignSentencesAndIsDetected)
{
  QByteArray text;
  for (int i = 0; i < 20; ++i) text += Stamped("1300000000000", kColdRmc);
  for (const QByteArray &line : kChatter.split('\n'))
    if (!line.isEmpty()) text += Stamped("1300000000500", line + "\n").repeated(3);
  text += Stamped("1300000001000", Gga(0, 0, "212.25", "GN")) + Stamped("1300000001000", Rmc(0, 0, "A", "GN")) +
          Stamped("1300000002000", Rmc(0, 1));
  TTrackFolder folder;
  TTrackInfo info;
  ASSERT_TRUE(GpsConvertersLoad(text, folder.Write("FILE0001.gps", text), info));
  EXPECT_EQ(GpsFormats(), "gpsBV");
  EXPECT_EQ(Items(info), "G 2011-05-01 13:00:00.000 55.75124333,37.61842333 a212.25 s18.5325 c90\n"
                         "G 2011-05-01 13:00:01.000 55.75124333,37.61842333 a0 s18.5325 c90\n");
}

// A 5 Hz multi-constellation receiver's log read by gpsbabel: every fix
// agrees to the millisecond, none is missing or extra.
TEST_F(NmeaReader, ReceiverLogAgreesWithGpsbabel)
{
  KP_REQUIRE_TOOL(babel, "gpsbabel");
  QByteArray text;
  QByteArray bad = Rmc(0, 3, "A", "GN", "40");
  bad[22] = bad[22] == '1' ? '2' : '1';
  for (int second : {0, 1})
    for (const char *frac : {"00", "20", "40", "60", "80"})
      text += Gga(0, second, "120.5", "GN", frac) + kChatter + Rmc(0, second, "A", second ? "GL" : "GN", frac);
  text += bad;
  TTrackFolder folder;
  const QString path = folder.Write("drive.nmea", text);
  TTrackInfo info;
  ASSERT_TRUE(LoadWith(kNmea, text, info));
  bool ok = false;
  const std::vector<TPoint> theirs = BabelPoints(babel, "nmea", path, ok);
  ASSERT_TRUE(ok);
  const std::vector<TPoint> ours = OurFixes(info);
  EXPECT_EQ(ours.size(), 10u);
  EXPECT_EQ(ours.size(), theirs.size());
  EXPECT_EQ(Unmatched(ours, theirs, 0, 1), 0);
  EXPECT_EQ(Unmatched(theirs, ours, 0, 1), 0);
}

} // namespace
