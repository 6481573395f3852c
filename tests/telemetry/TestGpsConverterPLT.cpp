// OziExplorer PLT: the exact text, segment flags and reading it back.

#include "TestGpsConverterSupport.h"
#include "UnitGpsConverterDatDOD.h"
#include "UnitGpsConverterGPX.h"
#include "UnitGpsConverterPLT.h"
#include "UnitMovingInfo.h"

#include <QRegularExpression>
#include <QTemporaryDir>

using namespace kp;
using namespace kptest;

namespace {

// The day numbers are the first step of their last digit at or after the
// fix (10:00:01 is 40664.41667824..., written 40664.4166783).
const QByteArray kGoldenPlt = "OziExplorer Track Point File Version 2.1\r\n"
                              "WGS 84\r\n"
                              "Altitude is in Feet\r\n"
                              "Reserved 3\r\n"
                              "0,2,8323327,Trip & <Test> \"1\",0,0,2,8421376\r\n"
                              "3\r\n"
                              "55.751244,37.618423,1,494,40664.4166667,01.05.2011,10:00:00,36,\r\n"
                              "55.751300,37.618500,0,-777,40664.4166783,01.05.2011,10:00:01,-1,\r\n"
                              "-33.500000,-70.250000,1,33,40664.4167825,01.05.2011,10:00:10,45,\r\n";

using PltFormat = TFormatsTest;
const TGpsInfoConverterPLT kPlt;

TEST_F(PltFormat, WritesTheExactTextInUtc)
{
  // The first item is a sample at the first fix's time: the first written
  // point still starts a segment.
  EXPECT_EQ(Export(kPlt, GoldenTrack()), kGoldenPlt);
}

TEST_F(PltFormat, FirstWrittenPointStartsASegmentAfterANoFixPoint)
{
  TTrackInfo info;
  info.Items.push_back(Fix(Dt(2011, 5, 1, 13, 0, 0), 0, 0));
  info.Items.back().NoFix = true;
  info.Items.push_back(Fix(Dt(2011, 5, 1, 13, 0, 1), 55.5, 37.5));
  info.Items.push_back(Fix(Dt(2011, 5, 1, 13, 0, 7), 55.5, 37.5));  // 6 s: same segment
  info.Items.push_back(Fix(Dt(2011, 5, 1, 13, 0, 14), 55.5, 37.5)); // 7 s: new one
  const QList<QByteArray> lines = Export(kPlt, info).split('\n');
  ASSERT_EQ(lines.size(), 10);
  EXPECT_EQ(lines[5], "3\r");
  EXPECT_TRUE(lines[6].startsWith("55.500000,37.500000,1,")) << lines[6].constData();
  EXPECT_TRUE(lines[7].startsWith("55.500000,37.500000,0,"));
  EXPECT_TRUE(lines[8].startsWith("55.500000,37.500000,1,"));
}

// The day number is the first step at or after the instant and the date and
// time columns show the nearest second (also a fraction of a millisecond
// before midnight).
TEST_F(PltFormat, WrittenDaysNeverFallBeforeTheFix)
{
  const struct {
    TDateTime local;
    const char *columns;
  } cases[] = {
      {Dt(2011, 5, 1, 13, 0, 0), "40664.4166667,01.05.2011,10:00:00,"},
      {Dt(2011, 5, 1, 13, 0, 1) - 0.005 / SecsPerDay, "40664.4166782,01.05.2011,10:00:01,"},
      {Dt(2011, 5, 2, 3) - 0.0004 / SecsPerDay, "40665,02.05.2011,00:00:00,"},
      // 216 s is exactly on a step: the next one, since 40664.0025 may parse
      // to just below the second.
      {Dt(2011, 5, 1, 3, 3, 36), "40664.0025001,01.05.2011,00:03:36,"},
  };
  for (const auto &c : cases) {
    TTrackInfo info;
    info.Items.push_back(Fix(c.local, 55.5, 37.5));
    const QList<QByteArray> lines = Export(kPlt, info).split('\n');
    ASSERT_EQ(lines.size(), 8);
    EXPECT_TRUE(lines[6].contains(c.columns)) << lines[6].constData();
  }
}

// Every whole second of two days (the second one's 08:12:45 lies exactly on
// a step): the written value is after the second and less than one step
// later, so a reader that truncates, in exact decimals or through a double
// as gpsbabel does, and our reader (nearest 10 ms) all give that second back.
TEST_F(PltFormat, EverySecondOfADayKeepsItsSecond)
{
  for (const int64_t day : {int64_t(40664), int64_t(46157)}) {
    int wrong = 0;
    for (int64_t second = 0; second < 86400 && wrong < 5; ++second) {
      const TDateTime utc = TDateTime(day) + TDateTime(second) / SecsPerDay;
      const QByteArray text = PltDaysText(utc);
      // Exact decimal arithmetic: steps of 1e-7 day, 8640 us each.
      const qsizetype dot = text.indexOf('.');
      const QByteArray fraction = dot < 0 ? QByteArray() : text.mid(dot + 1).leftJustified(7, '0');
      const int64_t steps = text.left(dot < 0 ? text.size() : dot).toLongLong() * 10000000 + fraction.toLongLong();
      const int64_t writtenUs = steps * 8640, exactUs = (day * 86400 + second) * 1000000;
      const bool after = writtenUs > exactUs && writtenUs - exactUs < 8640 + 50;
      const bool truncatedKeeps = writtenUs / 1000000 == day * 86400 + second;
      // Through a double, as seconds of the day and as Unix seconds.
      const double parsed = std::strtod(text.constData(), nullptr);
      const bool doubleKeeps = int64_t(std::floor((parsed - double(day)) * 86400.0)) == second &&
                               int64_t(std::floor((parsed - 25569.0) * 86400.0)) == (day - 25569) * 86400 + second;
      TDateTimeFields f;
      DecodeDateTime(PltDaysToTime(StrToFloatAny(QByteArrayView(text), 0)), f);
      const bool readKeeps = f.hour * 3600 + f.minute * 60 + f.second == second && f.msec <= 10;
      if (!after || !truncatedKeeps || !doubleKeeps || !readKeeps) {
        ++wrong;
        ADD_FAILURE() << day << " day " << second << " s written as " << text.constData();
      }
    }
  }
}

// gpsbabel reads a day of fixes, one a second, each in its own second. Its
// reader adds the day's fraction x 1000 as milliseconds to the truncated
// second, so from 23:59:16.8 on (a fraction of 0.9995 or more, rounded to
// 1000 ms) it reads every value of a second as the next one: those 43
// seconds are the only ones read late, by exactly one second.
TEST_F(PltFormat, GpsbabelReadsEveryFixOfADayInItsSecond)
{
  KP_REQUIRE_TOOL(babel, "gpsbabel");
  TTrackInfo day;
  day.Name = QStringLiteral("day");
  const TDateTime start = TDateTime(46157) + kZone; // 2026-05-15 00:00:00 UTC
  for (int i = 0; i < 86400; ++i)
    day.Items.push_back(Fix(start + i * kSec, 55.75 + (i % 1000) * 1e-5, 37.61 + (i / 1000) * 1e-5));
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("day.plt"));
  ASSERT_TRUE(writeFileBytes(path, Export(kPlt, day)));
  bool ok = false;
  const std::vector<TPoint> read = BabelPoints(babel, QStringLiteral("ozi"), path, ok);
  ASSERT_TRUE(ok);
  ASSERT_EQ(read.size(), day.Items.size());
  const std::vector<TPoint> ours = OurFixes(day);
  int wrong = 0, carried = 0;
  for (size_t i = 0; i < ours.size() && wrong < 5; ++i) {
    const int64_t late = Div(read[i].Ms, 1000) - Div(ours[i].Ms, 1000);
    const bool carry = i >= 86357;
    carried += carry && late == 1;
    if (late == (carry ? 1 : 0)) continue;
    ++wrong;
    ADD_FAILURE() << "fix " << i << " read at " << read[i].Ms << " ms, taken at " << ours[i].Ms;
  }
  EXPECT_EQ(carried, 43);
}

TEST_F(PltFormat, RoundTripKeepsTimesWithinTheTruncation)
{
  TTrackInfo original = GoldenTrack();
  original.Items[3].Time += 0.123 / SecsPerDay;
  TTrackInfo info;
  ASSERT_TRUE(LoadWith(kPlt, Export(kPlt, original), info));
  ASSERT_EQ(info.Items.size(), 3u);
  for (int i = 0; i < 3; ++i)
    EXPECT_NEAR(info.Items[size_t(i)].Time, original.Items[size_t(2 * i + 1)].Time, 0.0101 / SecsPerDay);
  // Feet to metres; -777 is no altitude; speed and course are not read.
  for (TTrackInfoItem &i : info.Items) i.Time = 0;
  EXPECT_EQ(Items(info), "G - 55.751244,37.618423 a150.5712 s-1 c-1\n"
                         "G - 55.7513,37.6185 a0 s-1 c-1\n"
                         "G - -33.5,-70.25 a10.0584 s-1 c-1\n");
}

TEST_F(PltFormat, ReaderSkipsSixHeaderLinesAndTrimsFields)
{
  const QByteArray text = "OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\n"
                          "Reserved 3\r\n0,2,255,V\xe9zelay,0,0,2,8421376\r\n2390\r\n"
                          "  47.465158,   3.749013,1, 485.0,39307.3279977,13-ao\xfbt-07, 07:52:18\r\n"
                          "  47.465,   3.749,0\r\n";
  TTrackInfo info;
  ASSERT_TRUE(LoadWith(kPlt, text, info));
  ASSERT_EQ(info.Items.size(), 1u);
  // 39307.3279977 is 07:52:19.00128 UTC, read to the nearest 10 ms.
  EXPECT_DOUBLE_EQ(info.Items[0].Time, (39307.0 * 8640000 + 2833900) / 8640000 + kZone);
  EXPECT_EQ(Items(info), "G 2007-08-13 10:52:19.000 47.465158,3.749013 a147.828 s-1 c-1\n");
}

// A PLT file of ten minutes of fixes at whole seconds, loaded the way the
// list's export loads a track, then written as GPX and camera ".dat": every
// fix keeps its second.
TEST_F(PltFormat, PltFileToGpxAndDatKeepsEveryFixSecond)
{
  TTrackInfo original;
  original.Name = QStringLiteral("drive");
  const TDateTime start = Dt(2011, 5, 1, 13, 0, 0);
  for (int i = 0; i < 600; ++i)
    original.Items.push_back(Fix(start + i * kSec, 55.75 + i * 1e-5, 37.61 + i * 1e-5, 100, 40, 90));
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("drive.plt"));
  ASSERT_TRUE(writeFileBytes(path, Export(kPlt, original)));
  // As the format reads it, and as the list's export loads it.
  TTrackInfo read, loaded;
  ASSERT_TRUE(LoadWith(kPlt, readFileBytes(path), read));
  const auto moving = TMovingInfo::LoadFromFile(path, false);
  ASSERT_TRUE(moving);
  moving->ToTrackInfo(loaded);

  QStringList expected; // UTC seconds, as both formats write them
  for (const TTrackInfoItem &item : original.Items) expected << DateTimeToISO(item.Time - kZone).mid(11, 8);
  const auto times = [](const QByteArray &text, const char *pattern) {
    QStringList out;
    auto it = QRegularExpression(QLatin1String(pattern)).globalMatch(QString::fromUtf8(text));
    while (it.hasNext()) out << it.next().captured(1);
    return out;
  };
  for (const TTrackInfo *track : {&read, &loaded}) {
    const QStringList gpx = times(Export(TGpsInfoConverterGPX(), *track),
                                  R"(<trkpt [^>]*>(?:<ele>[^<]*</ele>)?<time>\d{4}-\d\d-\d\dT([\d:]{8})Z</time>)");
    EXPECT_EQ(gpx, expected);
    QStringList dat = times(Export(TGpsInfoConverterDatDOD(), *track), R"(\d{4}-\d\d-\d\d ([\d:]{8}))");
    // The camera format writes local times.
    for (QString &t : dat)
      t = QTime::fromString(t, QStringLiteral("HH:mm:ss")).addSecs(-3 * 3600).toString(QStringLiteral("HH:mm:ss"));
    EXPECT_EQ(dat, expected);
  }
}

TEST_F(PltFormat, RecognitionNeedsTheOziWordsUpFront)
{
  EXPECT_TRUE(kPlt.CanRead(kGoldenPlt));
  EXPECT_FALSE(kPlt.CanRead(QByteArray(48, '.') + "\r\n" + kGoldenPlt));
  EXPECT_FALSE(kPlt.CanRead(kGoldenPlt + "\t"));
}

} // namespace
