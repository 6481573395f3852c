// The pure texts of the auxiliary windows: copy labels and speed, the
// details values, the property rows.

#include "UiTestSupport.h"
#include "UnitFileManager.h"
#include "UnitFormCopyText.h"
#include "UnitFormDetailsText.h"
#include "UnitFormFilePropertyRows.h"
#include "UnitMovingInfo.h"
#include "UnitTranslate.h"
#include "UnitUtils.h"

#include <gtest/gtest.h>

using namespace kp;

namespace {

class AuxTexts : public ::testing::Test {
protected:
  void SetUp() override
  {
    TLanguageSources sources;
    sources.InstallerLanguage = [](int) { return LangIdEnglish; };
    InitLanguages(sources);
    SetCurLang(LangEnglish);
    SetFormatSettings(TFormatSettings{});
    SetTimeZoneShift(0);
  }
  void TearDown() override { SetUseBritishUnits(false); }
};

TEST_F(AuxTexts, CopyLabels)
{
  const TCopyWords w{QStringLiteral("MB"), QStringLiteral("MB/s")};
  const int64_t mb = 1 << 20;
  struct Case {
    const char *Name;
    TCopySnapshot S;
    const char *File, *Size, *Speed, *Remaining;
    int Percent;
  };
  auto snap = [](int count, int index, int64_t total, int64_t copied, int64_t speed) {
    TCopySnapshot s;
    s.FileCount = count;
    s.CurrentIndex = index;
    s.TotalBytes = total;
    s.CopiedBytes = copied;
    s.Speed = speed;
    s.SourceName = QStringLiteral("/card/A.MOV");
    s.TargetName = QStringLiteral("/copies/A.MOV");
    return s;
  };
  const Case cases[] = {
    {"nothing to copy", snap(1, 0, 0, 0, 0), "1 / 1  -  /card/A.MOV", "0%  -  0 MB / 0 MB", "", "", 0},
    {"not measured yet", snap(2, 1, 10 * mb, 3 * mb, 0), "2 / 2  -  /card/A.MOV", "30%  -  3 MB / 10 MB", "", "", 30},
    {"measured", snap(3, 0, 10 * mb, 5 * mb, mb + mb / 2), "1 / 3  -  /card/A.MOV", "50%  -  5 MB / 10 MB",
     "1.5 MB/s", "00:00:03", 50},
    {"more than the total", snap(1, 0, 100, 150, 7), "1 / 1  -  /card/A.MOV", "100%  -  0 MB / 0 MB", "0.0 MB/s",
     "00:00:00", 100},
    {"done", snap(2, 2, 3 * mb, 3 * mb + 5, 9), "/copies/A.MOV", "3 MB", "", "", 100},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Name);
    const TCopyLabels l = FormatCopyLabels(c.S, w);
    EXPECT_EQ(l.File, c.File);
    EXPECT_EQ(l.Size, c.Size);
    EXPECT_EQ(l.Speed, c.Speed);
    EXPECT_EQ(l.Remaining, c.Remaining);
    EXPECT_EQ(l.Percent, c.Percent);
  }
}

TEST_F(AuxTexts, SpeedSmoothingAndPausedClock)
{
  struct Case {
    int64_t Speed, Rate, Next;
  };
  for (const Case c : {Case{0, 500, 500}, Case{1000, 500, 600}, Case{500, 1000, 750}, Case{3, 4, 4},
                       Case{5, 6, 6}, Case{6000000000, 6000000000, 6000000000}})
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
  const TDetailsWords w{QStringLiteral("m"), QStringLiteral("miles"), QStringLiteral("feet"), QStringLiteral("km/h"),
                        QStringLiteral("mph")};
  TMovingPoint p;
  p.Time = 45000;
  p.Index = 12;
  p.Lon = -0.5;
  p.Lat = 0;
  p.Alt = 0;
  p.Course = 359.5;
  p.Speed = 45.27;
  p.Trip = 12345;
  TGSensorSample g;
  g.Time = 45000;
  g.Index = 7;
  g.X = -0.25;
  g.Y = 0.1;
  g.Z = 0;
  g.A = 1;
  const TDetailsTexts t = FormatDetailsTexts(p, g, true, w, false);
  EXPECT_EQ(QStringList({t.GPSIndex, t.GPSX, t.GPSY, t.GPSAltitude, t.GPSSpeed, t.GPSAzimut, t.GPSTrack}),
            QStringList({"[12]", "W0.500000", "N0.000000", "", "45.2 km/h", QStringLiteral("360°"), "12 345 m"}));
  EXPECT_EQ(QStringList({t.GSensorIndex, t.GSensorX, t.GSensorY, t.GSensorZ, t.GSensorG}),
            QStringList({"[7]", "-0.250", " 0.100", " 0.000", " 1.000"}));

  p.Alt = 100;
  p.Speed = 100;
  p.Trip = 1609.344;
  const TDetailsTexts b = FormatDetailsTexts(p, {}, false, w, true);
  EXPECT_EQ(QStringList({b.GPSX, b.GPSAltitude, b.GPSSpeed, b.GPSTrack}),
            QStringList({"(?) W0.500000", "(?) 328 feet", "(?) 62.1 mph", "(?) 1.000 miles"}));
  EXPECT_TRUE(b.GSensorIndex.isEmpty() && b.GSensorG.isEmpty());

  const TDetailsTexts none = FormatDetailsTexts({}, {}, false, w, false);
  EXPECT_TRUE(none.GPSX.isEmpty() && none.GPSTrack.isEmpty() && none.GPSIndex.isEmpty());
  EXPECT_EQ(GroupedMetres(999), "999");
}

TEST_F(AuxTexts, MiddleShortening)
{
  const QString name = QStringLiteral("DCIM/100MEDIA/FILE0001_20240101_120000.MOV");
  for (const int room : {1000, 30, 12, 4, 1, 0}) {
    SCOPED_TRACE(room);
    const QString s = ShortenMiddle(name, [room](const QString &t) { return t.size() <= room; });
    if (room >= name.size()) {
      EXPECT_EQ(s, name);
    } else if (room <= 3) {
      EXPECT_EQ(s, "...");
    } else {
      EXPECT_LE(s.size(), room);
      EXPECT_TRUE(s.contains(QStringLiteral("...")));
      EXPECT_TRUE(name.startsWith(s.left(s.indexOf(QStringLiteral("...")))));
      EXPECT_TRUE(name.endsWith(s.mid(s.indexOf(QStringLiteral("...")) + 3)));
    }
  }
  EXPECT_EQ(ShortenMiddle(QString(), [](const QString &) { return false; }), "");
}

TFileItemSubitem PropertyFile(int n, int64_t durationMs, uint8_t source)
{
  TFileItemSubitem f;
  f.FileName = QStringLiteral("/card/FILE000%1.MOV").arg(n);
  f.Size = 1 << 20;
  f.Width = 1920;
  f.Height = 1080;
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
  item.Summary.Name = QStringLiteral("FILE0001-3");
  TPropertyRows rows(false);
  rows.AddGroup(item);
  EXPECT_EQ(ValueOf(rows, "Files in the recording"), "3");
  for (int k = 1; k <= 3; ++k)
    EXPECT_EQ(ValueOf(rows, QStringLiteral("[%1]     File").arg(k)), item.Files[size_t(k - 1)].FileName) << k;
  EXPECT_EQ(ValueOf(rows, "[1]     Playing time"), MsToTimeStr(60000));
  EXPECT_EQ(ValueOf(rows, "[2]     Playing time"), "~" + MsToTimeStr(75000));
  EXPECT_EQ(ValueOf(rows, "[3]     Playing time"), "?");
  // The 60 s span matches 60 s but not 75 s, and stands alone without a duration.
  EXPECT_EQ(ValueOf(rows, "[1]     Duration"), "<none>");
  EXPECT_EQ(ValueOf(rows, "[2]     Duration"), "00:01:00");
  EXPECT_EQ(ValueOf(rows, "[3]     Duration"), "00:01:00");
  EXPECT_EQ(ValueOf(rows, "[2]     Track length"), "1609 m");
  EXPECT_EQ(ValueOf(rows, "[2]     Average speed"), "50.0 km/h");

  TPropertyRows british(true);
  british.AddFileRows(item.Files[1]);
  EXPECT_EQ(ValueOf(british, "    Track length"), "1.000 miles");
  EXPECT_EQ(ValueOf(british, "    Average speed"), "31.1 mph");

  const QStringList lines = rows.Text().split(QStringLiteral("\r\n"));
  ASSERT_EQ(lines.size(), qsizetype(rows.Rows().size()) + 1);
  EXPECT_TRUE(lines.back().isEmpty());
  for (qsizetype i = 0; i + 1 < lines.size(); ++i) EXPECT_EQ(lines[i].count(QLatin1Char('\t')), 1) << lines[i].toStdString();
}

} // namespace
