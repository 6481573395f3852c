// The converter lists, their names and ids, and the open-dialog filter.

#include "TestGpsConverterSupport.h"

using namespace kp;
using namespace kptest;

namespace {

// The detection order decides which reader gets an ambiguous file; the
// export order is the dialogs' order.
TEST(FormatLists, DetectionAndExportOrder)
{
  QStringList ids;
  for (const TGpsInfoConverter *c : GpsImportConverters()) ids << c->GetId();
  EXPECT_EQ(ids.join(' '), "dat600 gpx plt log600 logDVR gpsBV datSM map800 NMEA");
  QStringList filters;
  for (const TGpsInfoConverter *c : GpsExportConverters()) filters << c->GetFilter();
  EXPECT_EQ(filters.join(""), "Google Earth (.kml)|*.kml|Ozi Explorer (.plt)|*.plt|GPS eXchange Format (.gpx)|*.gpx|"
                              "GS600, Q3 (.dat)|*.dat|Comma Separated Values: GPS and GSensor (.csv)|*.csv|"
                              "Comma Separated Values: GPS (.csv)|*.csv|Comma Separated Values: GSensor (.csv)|*.csv|"
                              "Subtitles (.srt)|*.srt|");
}

TEST(FormatLists, OpenFilterListsEachMaskOnce)
{
  EXPECT_EQ(GpsConvertersOpenFilter(),
            "All files|*.*|All supported formats  ( *.dat  *.gpx  *.plt  *.log  *.gps  *.map  *.nmea  )|"
            "*.dat;*.gpx;*.plt;*.log;*.gps;*.map;*.nmea;|"
            "*.dat|*.dat|*.gpx|*.gpx|*.plt|*.plt|*.log|*.log|*.gps|*.gps|*.map|*.map|*.nmea|*.nmea|");
}

} // namespace
