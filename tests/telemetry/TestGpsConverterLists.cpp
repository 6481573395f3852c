// The detection order and the open-dialog filter.

#include "TestGpsConverterSupport.h"
#include "UnitTranslate.h"

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

// The names of the first two filters speak the active language.
TEST(FormatLists, OpenFilterListsEachMaskOnce)
{
  const QString masks = "  ( *.dat  *.gpx  *.plt  *.log  *.gps  *.map  *.nmea  )|"
                        "*.dat;*.gpx;*.plt;*.log;*.gps;*.map;*.nmea;|"
                        "*.dat|*.dat|*.gpx|*.gpx|*.plt|*.plt|*.log|*.log|*.gps|*.gps|*.map|*.map|*.nmea|*.nmea|";
  for (const auto &[id, names] : {std::pair{LangIdEnglish, "All files|*.*|All supported formats"},
                                  {LangIdRussian, "Все файлы|*.*|Все поддерживаемые форматы"}}) {
    TLanguageSources sources;
    sources.InstallerLanguage = [id = id](int) { return id; };
    InitLanguages(sources);
    EXPECT_EQ(GpsConvertersOpenFilter(), QString::fromUtf8(names) + masks);
  }
}

} // namespace
