// The three CSV flavours: headers, rows and the user's decimal separator.

#include "TestGpsConverterSupport.h"
#include "UnitGpsConverterCSV.h"

using namespace kp;
using namespace kptest;

namespace {

const QByteArray kBoth = "Type;Date;Time(GMT);X;Y;H;Speed;Bearing;Trip\r\n"
                         "[gsensor];01.05.2011;10:00:00.000;0,100;0,200;0,300;\r\n"
                         "[gps];01.05.2011;10:00:00.000;37.618423;55.751244;150.5;36;90;0;\r\n"
                         "[gsensor];01.05.2011;10:00:00.500;0,012;-0,980;0,025;\r\n"
                         "[gps];01.05.2011;10:00:01.000;37.618500;55.751300;0;;;7;\r\n"
                         "[gps];01.05.2011;10:00:02.000;?0.000000;?0.000000;0;;;;\r\n"
                         "[gps];01.05.2011;10:00:10.000;-70.250000;-33.500000;10;45;360;12;\r\n";

class CsvFormat : public TFormatsTest {
protected:
  void SetUp() override
  {
    TFormatsTest::SetUp();
    TFormatSettings fs;
    fs.decimalSeparator = QLatin1Char(',');
    SetFormatSettings(fs);
  }
};

TEST_F(CsvFormat, BothKindsTaggedWithUtcTimes)
{
  EXPECT_EQ(Export(TGpsInfoConverterCSV(true, true), GoldenTrack()), kBoth);
}

TEST_F(CsvFormat, GpsOnlyAndGSensorOnly)
{
  TGpsInfoConverterCSV gps(true, false), gsensor(false, true);
  const QByteArray g = Export(gps, GoldenTrack());
  EXPECT_TRUE(g.startsWith("Date;Time(GMT);X;Y;H;Speed;Bearing;Trip\r\n"
                           "01.05.2011;10:00:00.000;37.618423;55.751244;150.5;36;90;0;\r\n"));
  EXPECT_EQ(g.count('\n'), 5);
  EXPECT_EQ(Export(gsensor, GoldenTrack()), "Date;Time(GMT);X;Y;Z\r\n"
                                            "01.05.2011;10:00:00.000;0,100;0,200;0,300;\r\n"
                                            "01.05.2011;10:00:00.500;0,012;-0,980;0,025;\r\n");
  EXPECT_EQ(Export(gsensor, TTrackInfo{}), "Date;Time(GMT);X;Y;Z\r\n");
}

TEST_F(CsvFormat, TimeCarriesRoundedMilliseconds)
{
  EXPECT_EQ(CsvFormatTime(Dt(2011, 5, 1, 10, 0, 0, 7)), "10:00:00.007");
  EXPECT_EQ(CsvFormatTime(Dt(2011, 5, 1, 23, 59, 59, 999) + 0.0004 * kMsDays), "23:59:59.999");
  EXPECT_EQ(CsvFormatTime(Dt(2011, 5, 1, 10, 0, 1) - 0.4 * kMsDays), "10:00:01.000");
}

} // namespace
