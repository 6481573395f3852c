// SubRip: entry timing and texts, time format and the exact file.

#include "TestGpsConverterSupport.h"
#include "UnitGpsConverterSRT.h"
#include "UnitTranslate.h"

using namespace kp;
using namespace kptest;

namespace {

const QByteArray kGoldenSrt = "\xEF\xBB\xBF"
                              "1\r\n00:00:00,000 --> 00:00:01,000\r\n"
                              "01.05.2011 13:00:00 \r\nN55.751244   E37.618423 \r\nSpeed: 36km/h \r\nTrip: 0m\r\n\r\n"
                              "2\r\n00:00:01,000 --> 00:00:02,000\r\n"
                              "01.05.2011 13:00:01 \r\nN55.751300   E37.618500 \r\nSpeed: -1km/h \r\nTrip: 7m\r\n\r\n"
                              "3\r\n00:00:02,000 --> 00:00:08,000\r\n"
                              "01.05.2011 13:00:02 \r\nN0.000000   E0.000000 \r\nSpeed: -1km/h \r\nTrip: 0m\r\n\r\n"
                              "4\r\n00:00:10,000 --> 00:00:11,000\r\n"
                              "01.05.2011 13:00:10 \r\nS33.500000   W70.250000 \r\nSpeed: 45km/h \r\nTrip: 12m\r\n\r\n";

class SrtFormat : public TFormatsTest {
protected:
  void SetUp() override
  {
    TFormatsTest::SetUp();
    TLanguageSources sources;
    sources.LoadText = [](const QString &name) -> QByteArray {
      if (name != QLatin1String("translate_en.txt")) return {};
      return "LangSystemID \"1033\"\nLangID \"en\"\nSpeed \"Speed\"\nKmetersPerH \"km/h\"\n"
             "Details_Track_Length \"Trip\"\nMeters \"m\"\n";
    };
    sources.InstallerLanguage = [](int) { return LangIdEnglish; };
    sources.SystemLocale = [] { return QLocale(QLocale::English); };
    InitLanguages(sources);
  }
};

TEST_F(SrtFormat, WritesTheExactFile)
{
  TGpsInfoConverterSRT srt;
  EXPECT_EQ(Export(srt, GoldenTrack()), kGoldenSrt);
  EXPECT_EQ(Export(srt, TTrackInfo{}), "\xEF\xBB\xBF");
}

// A zone chosen in the view menu (here 10 h east of the computer's): the
// subtitles a person reads show each fix on that clock, the next day after
// midnight, while their timing and every format whose times are UTC by
// definition (GPX, PLT, CSV's "Time(GMT)", KML's time span) stay as they were.
TEST_F(SrtFormat, SubtitlesReadTheChosenZoneAndUtcFormatsStay)
{
  TTrackInfo info = GoldenTrack();
  for (TTrackInfoItem &item : info.Items) item.Time += 11.0 / 24;
  info.StartTime += 11.0 / 24;
  info.EndTime += 11.0 / 24;
  std::vector<QByteArray> before;
  for (const TGpsInfoConverter *c : GpsExportConverters()) before.push_back(Export(*c, info));
  SetTimeZoneShift(10.0 / 24);
  for (size_t k = 0; k < GpsExportConverters().size(); ++k) {
    const TGpsInfoConverter &c = *GpsExportConverters()[k];
    const QByteArray after = Export(c, info);
    if (c.GetExt() != QLatin1String("srt")) {
      EXPECT_EQ(after, before[k]) << c.GetName().toStdString();
      continue;
    }
    QByteArray expected = kGoldenSrt;
    expected.replace("01.05.2011 13:", "02.05.2011 10:");
    EXPECT_EQ(after, expected);
  }
  SetTimeZoneShift(0);
}

TEST_F(SrtFormat, EntryDurationsAndBase)
{
  TTrackInfo info;
  const TDateTime t0 = Dt(2011, 5, 1, 13, 0, 0);
  info.Items.push_back(Fix(t0, 1, 1));
  info.Items.push_back(Fix(t0 + 30 * kSec, 1, 1)); // 30 s later
  info.Items.push_back(Fix(t0 + 29 * kSec, 1, 1)); // time going back
  info.Items.back().Trip = 150;
  TSubtitleItems entries;
  SrtBuildEntries(info, entries, 100, 0); // base time: the first fix
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_NEAR(entries[0].StartTime, 0, 1e-12);
  EXPECT_NEAR(entries[0].EndTime, 6 * kSec, 1e-12);
  EXPECT_NEAR(entries[1].EndTime - entries[1].StartTime, 0, 1e-12);
  EXPECT_NEAR(entries[2].EndTime - entries[2].StartTime, 1 * kSec, 1e-12);
  EXPECT_TRUE(entries[2].Text.endsWith("Trip: 50m"));
  // An entry before the base time starts at 0.
  SrtBuildEntries(info, entries, 0, t0 + 40 * kSec);
  EXPECT_EQ(entries[0].StartTime, 0);
}

TEST_F(SrtFormat, TimeTextWrapsHours)
{
  EXPECT_EQ(SrtFormatTime(25.0 / 24), "01:00:00,000");
  EXPECT_EQ(SrtFormatTime((3600.0 * 13 + 61.5) / SecsPerDay), "13:01:01,500");
  EXPECT_EQ(SrtFormatTime(0.0004 * kMsDays), "00:00:00,000");
}

} // namespace
