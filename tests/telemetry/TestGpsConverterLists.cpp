// The detection order and the open-dialog filter.

#include "TestGpsConverterSupport.h"

using namespace kp;
using namespace kptest;

namespace {

// The detection order decides which reader gets an ambiguous file.
TEST(FormatLists, DetectionOrder)
{
  QStringList ids;
  for (const TGpsInfoConverter *c : GpsImportConverters()) ids << c->GetId();
  EXPECT_EQ(ids.join(' '), "dat600 gpx plt log600 logDVR gpsBV datSM map800 NMEA");
}

TEST(FormatLists, OpenFilterListsEachMaskOnce)
{
  EXPECT_EQ(GpsConvertersOpenFilter(),
            "All files|*.*|All supported formats  ( *.dat  *.gpx  *.plt  *.log  *.gps  *.map  *.nmea  )|"
            "*.dat;*.gpx;*.plt;*.log;*.gps;*.map;*.nmea;|"
            "*.dat|*.dat|*.gpx|*.gpx|*.plt|*.plt|*.log|*.log|*.gps|*.gps|*.map|*.map|*.nmea|*.nmea|");
}

} // namespace
