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
  // GGA takes its date from the fix before it; a line whose rest is no
  // sentence still stores its sample.
  EXPECT_EQ(Items(info), "G 2011-05-01 13:00:00.000 55.75124333,37.61842333 a0 s18.5325 c90\n"
                         "S - 0.012,-0.98,0.025\n"
                         "G 2011-05-01 13:00:01.000 55.75124333,37.61842333 a150.5 s-1 c-1\n"
                         "S - 0.01,-0.99,0.02\n"
                         "S - 0.011,-0.985,0.021\n");
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
