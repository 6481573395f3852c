// The converter lists, their names and ids, and the open-dialog filter.

#include "TestGpsConverterSupport.h"

using namespace kp;
using namespace kptest;

namespace {

QStringList Describe(const std::vector<TGpsInfoConverter *> &list)
{
  QStringList out;
  for (const TGpsInfoConverter *c : list) out << c->GetName() + "|" + c->GetExt() + "|" + c->GetId();
  return out;
}

TEST(FormatLists, ImportListInDetectionOrder)
{
  EXPECT_EQ(Describe(GpsImportConverters()), QStringList({
                                                 "GS600, Q3|dat|dat600",
                                                 "GPS eXchange Format|gpx|gpx",
                                                 "Ozi Explorer|plt|plt",
                                                 "GPS Log (DOD GS600, Carcam Q3)|log|log600",
                                                 "GPS Log (DVR DS103, GPS100)|log|logDVR",
                                                 "BlackVue DR400G|gps|gpsBV",
                                                 "Samoon|dat|datSM",
                                                 "Kestril|map|map800",
                                                 "National Marine Electronics Association|nmea|NMEA",
                                             }));
}

TEST(FormatLists, ExportListInDialogOrder)
{
  QStringList filters;
  for (const TGpsInfoConverter *c : GpsExportConverters()) filters << c->GetFilter() + c->GetId();
  EXPECT_EQ(filters, QStringList({
                         "Google Earth (.kml)|*.kml|kml",
                         "Ozi Explorer (.plt)|*.plt|plt",
                         "GPS eXchange Format (.gpx)|*.gpx|gpx",
                         "GS600, Q3 (.dat)|*.dat|dat600",
                         "Comma Separated Values: GPS and GSensor (.csv)|*.csv|csv",
                         "Comma Separated Values: GPS (.csv)|*.csv|csv",
                         "Comma Separated Values: GSensor (.csv)|*.csv|csv",
                         "Subtitles (.srt)|*.srt|srt",
                     }));
  EXPECT_EQ(GpsDefaultConverter().GetId(), "dat600") << "the writer beside a cut movie";
}

TEST(FormatLists, OpenFilterListsEachMaskOnce)
{
  EXPECT_EQ(GpsConvertersOpenFilter(),
            "All files|*.*|All supported formats  ( *.dat  *.gpx  *.plt  *.log  *.gps  *.map  *.nmea  )|"
            "*.dat;*.gpx;*.plt;*.log;*.gps;*.map;*.nmea;|"
            "*.dat|*.dat|*.gpx|*.gpx|*.plt|*.plt|*.log|*.log|*.gps|*.gps|*.map|*.map|*.nmea|*.nmea|");
}

} // namespace
