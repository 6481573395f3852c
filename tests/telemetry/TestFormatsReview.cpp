// Corner cases of the log readers and the export writers found in review.

#include "TestGpsConverterSupport.h"
#include "UnitGpsConverterBlackVue.h"
#include "UnitGpsConverterNMEA.h"
#include "UnitGpsConverterPLT.h"

using namespace kp;
using namespace kptest;

namespace {

class FormatsReview : public TFormatsTest {
protected:
  TGpsInfoConverterNMEA FNmea;
  TGpsInfoConverterBlackVue FBv;
  TGpsInfoConverterPLT FPlt;
};

// A GGA's altitude belongs to the next RMC even when that RMC carries no
// date and is skipped: it must not reach a later RMC.
TEST_F(FormatsReview, UndatedRmcStillTakesTheHeldAltitude)
{
  const QByteArray gga = "$GPGGA,100000.00,5545.0746,N,03737.1054,E,1,08,0.9,150.5,M,14.0,M,,*00\r\n";
  const QByteArray undated = "$GPRMC,100000.00,A,5545.0746,N,03737.1054,E,10.0,90.0,,,,A*00\r\n";
  const QByteArray rmc1 = "$GPRMC,100001.00,A,5545.0746,N,03737.1054,E,10.0,90.0,010511,,,A*00\r\n";
  const QByteArray rmc2 = "$GPRMC,100002.00,A,5545.0746,N,03737.1054,E,10.0,90.0,010511,,,A*00\r\n";
  TTrackInfo info;
  ASSERT_TRUE(LoadWith(FNmea, gga + undated + rmc1 + rmc2, info));
  ASSERT_EQ(info.Items.size(), 2u);
  EXPECT_EQ(info.Items[0].Alt, 0);

  QByteArray bv;
  for (const QByteArray &line : {gga, undated, rmc1, rmc2})
    bv += "[1300000000000]" + line;
  ASSERT_TRUE(LoadWith(FBv, bv, info));
  ASSERT_EQ(info.Items.size(), 2u);
  EXPECT_EQ(info.Items[0].Alt, 0);
}

// The date column is the date of the same instant as the time column, also
// for a time a fraction of a millisecond before midnight.
TEST_F(FormatsReview, PltDateFollowsTheRoundedTimeNearMidnight)
{
  TTrackInfo info;
  info.Items.push_back(Fix(Dt(2011, 5, 1, 12, 0, 0) + kZone, 55.5, 37.5));
  info.Items.push_back(Fix(Dt(2011, 5, 2) - 0.0004 / SecsPerDay + kZone, 55.5, 37.5));
  const QList<QByteArray> lines = Export(FPlt, info).split('\n');
  ASSERT_EQ(lines.size(), 9);
  EXPECT_TRUE(lines[6].contains(",01.05.2011,12:00:00,")) << lines[6].constData();
  EXPECT_TRUE(lines[7].contains(",02.05.2011,00:00:00,")) << lines[7].constData();
}

} // namespace
