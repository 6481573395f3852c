// The line-shifted Samoon ".dat": the shift is found by trial on each file.

#include "TestGpsConverterSupport.h"
#include "UnitGpsConverterDatSamoon.h"

using namespace kp;
using namespace kptest;

namespace {

constexpr int kShift = 20;

const QByteArray kRmc = "$GPRMC,100000.00,A,5545.0746,N,03737.1054,E,10.0,90.0,010511,,,A*00";
const QByteArray kGga = "$GPGGA,100001.00,5545.0746,N,03737.1054,E,1,08,0.9,150.5,M,14.0,M,,*00";

// A file as the device stores it: the device number, then shifted lines.
QByteArray SamoonFile(const QList<QByteArray> &lines, const QByteArray &device = "12345")
{
  QByteArray text = device + "\n";
  for (const QByteArray &line : lines) text += ShiftText(line, -kShift) + "\n";
  return text;
}

class SamoonReader : public TFormatsTest {
protected:
  TGpsInfoConverterDatSamoon FSamoon;
};

TEST_F(SamoonReader, SampleAndSentencePerLine)
{
  const QByteArray text = SamoonFile({"12\t-980\t25\t" + kRmc, "10\t-990\t20\t" + kGga, "11\t-985\t21\tXYZ"});
  TTrackInfo info;
  ASSERT_TRUE(LoadWith(FSamoon, text, info));
  ASSERT_EQ(info.Items.size(), 5u);
  const TTrackInfoItem &fix = info.Items[0], &sample = info.Items[1], &gga = info.Items[2];
  EXPECT_EQ(fix.Kind, ikGps);
  EXPECT_DOUBLE_EQ(fix.Time, Dt(2011, 5, 1, 10, 0, 0) + kZone);
  EXPECT_NEAR(fix.Lat, 55 + 45.0746 / 60, 1e-12);
  EXPECT_EQ(sample.Kind, ikGSensor);
  EXPECT_EQ(sample.Time, 0);
  EXPECT_DOUBLE_EQ(sample.Lon, 0.012);
  EXPECT_DOUBLE_EQ(sample.Lat, -0.98);
  EXPECT_DOUBLE_EQ(sample.Alt, 0.025);
  // GGA takes its date from the fix before it.
  EXPECT_EQ(gga.Kind, ikGps);
  EXPECT_DOUBLE_EQ(gga.Time, Dt(2011, 5, 1, 10, 0, 1) + kZone);
  EXPECT_DOUBLE_EQ(gga.Alt, 150.5);
  // A line whose rest is no sentence still stores its sample.
  EXPECT_EQ(info.Items[4].Kind, ikGSensor);
  EXPECT_DOUBLE_EQ(info.Items[4].Lon, 0.011);
}

TEST_F(SamoonReader, LinesWithoutNumbersOrWithoutRestStoreNothing)
{
  const QByteArray text = SamoonFile({"A\tB\tC\t" + kRmc, "12\t-980\t25\t", "12\t-980\t25\t" + kRmc});
  TTrackInfo info;
  ASSERT_TRUE(LoadWith(FSamoon, text, info));
  EXPECT_EQ(info.Items.size(), 2u); // only the last line
}

TEST_F(SamoonReader, AGgaWithoutAnyDateGivesOnlyTheSample)
{
  TTrackInfo info;
  ASSERT_TRUE(LoadWith(FSamoon, SamoonFile({"12\t-980\t25\t" + kGga}), info));
  ASSERT_EQ(info.Items.size(), 1u);
  EXPECT_EQ(info.Items[0].Kind, ikGSensor);
}

TEST_F(SamoonReader, RecognitionWantsADeviceNumberLine)
{
  const QByteArray body = ShiftText("12\t-980\t25\t" + kRmc, -kShift) + "\n";
  EXPECT_TRUE(FSamoon.CanRead("12345\n" + body));
  EXPECT_FALSE(FSamoon.CanRead("0\n" + body));
  EXPECT_FALSE(FSamoon.CanRead("1234567890123456\n" + body)); // LF after the 15th character
  EXPECT_FALSE(FSamoon.CanRead("12345\r\n" + body));
  EXPECT_FALSE(FSamoon.CanRead("12345\n12\t-980\n"));
}

TEST_F(SamoonReader, DetectedAmongTheDatFormats)
{
  TTrackFolder folder;
  const QByteArray text = SamoonFile({"12\t-980\t25\t" + kRmc, "10\t-990\t20\t" + kRmc});
  TTrackInfo info;
  ASSERT_TRUE(GpsConvertersLoad(text, folder.Write("GPS0001.dat", text), info));
  EXPECT_EQ(GpsFormats(), "datSM");
  EXPECT_EQ(CountKind(info, ikGSensor), 2);
}

} // namespace
