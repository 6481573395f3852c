// The pure texts of the auxiliary windows: copy labels and speed, the
// details values, the property rows.

#include "TestSupport.h"
#include "UiTestSupport.h"
#include "UnitFileManager.h"
#include "UnitFormCopyText.h"
#include "UnitFormDetailsText.h"
#include "UnitFormFilePropertyRows.h"
#include "UnitMovingInfo.h"
#include "UnitTranslate.h"
#include "UnitUtils.h"

#include <QDateTime>
#include <gtest/gtest.h>

using namespace kp;

namespace {

class AuxTexts : public ::testing::Test {
protected:
  void SetUp() override
  {
    kptest::useLanguage(LangEnglish);
    SetFormatSettings(TFormatSettings{});
    SetTimeZoneShift(0);
  }
};

TEST_F(AuxTexts, CopyLabels)
{
  const int64_t mb = 1 << 20;
  struct Case {
    int Count, Index;
    int64_t Total, Copied, Speed;
    int There;          // files found in the folder already
    const char *Labels; // file | size | speed | remaining | percent
  };
  const Case cases[] = {
      {1, 0, 0, 0, 0, 0, "1 / 1  -  /card/A.MOV|0%  -  0 MB / 0 MB|||0"},
      {2, 1, 10 * mb, 3 * mb, 0, 0, "2 / 2  -  /card/A.MOV|30%  -  3 MB / 10 MB|||30"},
      {3, 0, 10 * mb, 5 * mb, mb + mb / 2, 0, "1 / 3  -  /card/A.MOV|50%  -  5 MB / 10 MB|1.5 MB/s|00:00:03|50"},
      {1, 0, 100, 150, 7, 0, "1 / 1  -  /card/A.MOV|100%  -  0 MB / 0 MB|0.0 MB/s|00:00:00|100"},
      {2, 2, 3 * mb, 3 * mb + 5, 9, 0, "/copies/A.MOV|3 MB|||100"},
      {2, 2, 3 * mb, 2 * mb, 9, 1, "/copies/A.MOV|2 MB|||100"},
      {2, 2, 3 * mb, 0, 0, 2, "All there.|0 MB|||100"},
  };
  for (const Case &c : cases) {
    TCopySnapshot s;
    s.FileCount = c.Count;
    s.CurrentIndex = c.Index;
    s.TotalBytes = c.Total;
    s.CopiedBytes = c.Copied;
    s.Speed = c.Speed;
    s.AlreadyThere = c.There;
    s.SourceName = QStringLiteral("/card/A.MOV");
    s.TargetName = QStringLiteral("/copies/A.MOV");
    const TCopyLabels l = FormatCopyLabels(s, {QStringLiteral("MB"), QStringLiteral("MB/s"), "All there."});
    EXPECT_EQ(QStringList({l.File, l.Size, l.Speed, l.Remaining, QString::number(l.Percent)}).join('|'), c.Labels);
  }
}

TEST_F(AuxTexts, SpeedSmoothingAndPausedClock)
{
  struct Case {
    int64_t Speed, Rate, Next;
  };
  for (const Case c :
       {Case{0, 500, 500}, Case{1000, 500, 600}, Case{3, 4, 4}, Case{6000000000, 6000000000, 6000000000}})
    EXPECT_EQ(SmoothCopySpeed(c.Speed, c.Rate), c.Next) << c.Speed << " " << c.Rate;

  const TDateTime minute = 1.0 / 1440;
  TCopyClock clock;
  clock.Start(45000);
  clock.Pause(45000 + minute);
  clock.Resume(45000 + 2 * minute);
  EXPECT_EQ(clock.ElapsedText(45000 + 3 * minute), "00:02:00");
}

TEST_F(AuxTexts, DetailsValues)
{
  const TDetailsWords w{"m", "miles", "feet", "km/h", "mph"};
  TMovingPoint p;
  p.Time = 45000;
  p.Index = 12;
  p.Lon = -0.5;
  p.Course = 359.5;
  p.Speed = 45.27;
  p.Trip = 12345;
  TGSensorSample g;
  g.Time = 45000;
  g.Index = 7;
  g.X = -0.25;
  g.Y = 0.1;
  g.A = 1;
  const TDetailsTexts t = FormatDetailsTexts(p, g, true, w, false);
  EXPECT_EQ(QStringList({t.GPSIndex, t.GPSX, t.GPSY, t.GPSAltitude, t.GPSSpeed, t.GPSAzimut, t.GPSTrack, t.GSensorIndex,
                         t.GSensorX, t.GSensorY, t.GSensorZ, t.GSensorG})
                .join('|'),
            QStringLiteral("[12]|W0.500000|N0.000000||45.2 km/h|360°|12 345 m|[7]|-0.250| 0.100| 0.000| 1.000"));
  p.Alt = 100;
  p.Speed = 100;
  p.Trip = 1609.344;
  const TDetailsTexts b = FormatDetailsTexts(p, {}, false, w, true);
  EXPECT_EQ(QStringList({b.GPSX, b.GPSAltitude, b.GPSSpeed, b.GPSTrack, b.GSensorIndex, b.GSensorG}).join('|'),
            "(?) W0.500000|(?) 328 feet|(?) 62.1 mph|(?) 1.000 miles||");
  const TDetailsTexts none = FormatDetailsTexts({}, {}, false, w, false);
  EXPECT_EQ(QStringList({none.GPSIndex, none.GPSX, none.GPSTrack}).join('|'), "||");
}

TEST_F(AuxTexts, MiddleShortening)
{
  const QString name = QStringLiteral("DCIM/100MEDIA/FILE0001_20240101_120000.MOV");
  for (const int room : {1000, 30, 12, 4, 1, 0}) {
    const QString s = ShortenMiddle(name, [room](const QString &t) { return t.size() <= room; });
    const qsizetype dots = s.indexOf(QStringLiteral("..."));
    EXPECT_TRUE(room >= name.size() ? s == name : (room <= 3 ? s == "..." : s.size() <= room && dots >= 0))
        << room << " " << s.toStdString();
    EXPECT_TRUE(dots < 0 || (name.startsWith(s.left(dots)) && name.endsWith(s.mid(dots + 3)))) << s.toStdString();
  }
}

TFileItemSubitem PropertyFile(int n, int64_t durationMs, uint8_t source)
{
  TFileItemSubitem f;
  f.FileName = QStringLiteral("/card/FILE000%1.MOV").arg(n);
  f.StartTime = 45000 + n / 1440.0;
  f.EndTime = f.StartTime + 60 / SecsPerDay;
  f.DurationMs = durationMs;
  f.DurationSource = source;
  return f;
}

QString ValueOf(const TPropertyRows &rows, const QString &label)
{
  for (const TPropertyRow &r : rows.Rows())
    if (r.Label == label) return r.Value;
  return QStringLiteral("<none>");
}

TEST_F(AuxTexts, PropertyRowsOfAGroup)
{
  TFileItem item;
  item.Files = {PropertyFile(1, 60000, dsHeader), PropertyFile(2, 75000, dsEstimated), PropertyFile(3, -1, dsUnknown)};
  item.Files[1].TrackFileName = QStringLiteral("/card/FILE0002.DAT");
  item.Files[1].TrackLength = 1609.344;
  item.Files[1].AvgSpeed = 50;
  item.Summary = PropertyFile(0, 180000, dsHeader);
  TPropertyRows rows(false);
  rows.AddGroup(item);
  EXPECT_EQ(ValueOf(rows, "Files in the recording"), "3");
  struct Case {
    const char *Label, *Value;
  };
  for (const Case c :
       {Case{"[1]     File", "/card/FILE0001.MOV"}, Case{"[1]     Playing time", "0:01:00.000"},
        Case{"[2]     Playing time", "~0:01:15.000"}, Case{"[3]     Playing time", "?"},
        Case{"[1]     Duration", "<none>"}, Case{"[2]     Duration", "00:01:00"}, Case{"[3]     Duration", "00:01:00"},
        Case{"[2]     Track length", "1609 m"}, Case{"[2]     Average speed", "50.0 km/h"}})
    EXPECT_EQ(ValueOf(rows, c.Label), c.Value) << c.Label;

  TPropertyRows british(true);
  british.AddFileRows(item.Files[1]);
  EXPECT_EQ(ValueOf(british, "    Track length") + "|" + ValueOf(british, "    Average speed"), "1.000 miles|31.1 mph");

  const QStringList lines = rows.Text().split(QStringLiteral("\r\n"));
  ASSERT_EQ(lines.size(), qsizetype(rows.Rows().size()) + 1);
  for (qsizetype i = 0; i + 1 < lines.size(); ++i) EXPECT_EQ(lines[i].count('\t'), 1) << lines[i].toStdString();
}

// The fragments of a card as the search finds them: each file starts and
// ends where ffprobe says its movie does (the moment it was made, plus its
// length), not at its track's first and last fix.
TEST_F(AuxTexts, PropertyTimesOfACardsFilesAreTheMoviesOwn)
{
  KP_REQUIRE_TOOL(ffprobe, "ffprobe");
  const QString card = kptest::quickDemoCard();
  ASSERT_FALSE(card.isEmpty());
  TFileManager fm(true, [](int32_t) {});
  fm.SetSearchRoots({card + "/DCIM/100MEDIA"});
  fm.Start();
  fm.WaitFor();
  int checked = 0;
  for (int row = 0; row < fm.GetCount(); ++row)
    for (const TFileItemSubitem &f : fm.GetGroup(row).Files) {
      if (f.TrackFileName.isEmpty() || f.DurationSource != dsHeader) continue;
      const QStringList probe =
          kptest::runTool(ffprobe, {"-v", "error", "-show_entries", "format=duration:format_tags=creation_time", "-of",
                                    "default=nw=1:nk=1", f.FileName})
              .split('\n', Qt::SkipEmptyParts);
      ASSERT_EQ(probe.size(), 2) << probe.join('|').toStdString();
      const QDateTime made = QDateTime::fromString(probe[1].trimmed(), Qt::ISODateWithMs);
      ASSERT_TRUE(made.isValid()) << probe[1].toStdString();
      const TDateTime start = UnixToDateTime(double(made.toMSecsSinceEpoch()) / 1000.0) + LocalTimeOffset();
      const TDateTime end = start + probe[0].toDouble() / SecsPerDay;
      TPropertyRows rows(false);
      rows.AddFileRows(f);
      EXPECT_EQ(ValueOf(rows, "    " + Translate(u"Started")), DateTimeToStr(start)) << f.FileName.toStdString();
      EXPECT_EQ(ValueOf(rows, "    " + Translate(u"Finished")), DateTimeToStr(end)) << f.FileName.toStdString();
      ++checked;
    }
  EXPECT_GE(checked, 3);
}

} // namespace
