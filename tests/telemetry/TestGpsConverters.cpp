// Detection, the shared line parser and its give-up rule, block re-timing,
// the format register and the open-dialog filter.

#include "TelemetryTestSupport.h"
#include "LogCapture.h"
#include "UnitGpsConverterDatDOD.h"

#include <QElapsedTimer>
#include <random>

#include <QSet>
#include <thread>

using namespace kp;
using namespace kptest;

namespace {

QByteArray FixLines(int count, TDateTime start, int stepSec = 1)
{
  QByteArray text;
  for (int i = 0; i < count; ++i) text += DatFix(start + i * stepSec * kSec, 55.75 + i * 1e-4, 37.6);
  return text;
}

// A format of our own for the engine's rules: "G <sec> <lon> <lat> [v]"
// makes a fix (v = receiver says invalid), "S" a sample, "X" throws.
class TTestConverter : public TGpsInfoConverter {
public:
  QString GetName() const override { return QStringLiteral("Test"); }
  QString GetExt() const override { return QStringLiteral("tst"); }
  bool ParseLine(QByteArrayView line, TParseContext &ctx, TTrackInfoItem &item, TTrackInfo &) const override
  {
    SplitStringCount(line, " ", false, ctx.Fields);
    const QByteArray tag = ctx.Fields.value(0);
    if (tag == "X") throw std::runtime_error("broken");
    if (tag == "S") {
      item.Kind = ikGSensor;
      return true;
    }
    if (tag != "G" || ctx.Fields.size() < 4) return false;
    item.Kind = ikGps;
    item.Time = StrToFloatAny(QByteArrayView(ctx.Fields[1]), 0);
    item.Lon = StrToFloatAny(QByteArrayView(ctx.Fields[2]), 0);
    item.Lat = StrToFloatAny(QByteArrayView(ctx.Fields[3]), 0);
    item.NoFix = ctx.Fields.size() > 4 && ctx.Fields[4] == "v";
    return true;
  }
  void WriteTrack(const TTrackInfo &, TStringBuffer &output) const override
  {
    output.Append("partial");
    throw std::runtime_error("disk full");
  }
};

} // namespace

// ---------------------------------------------------------------- detection

TEST(GpsDetection, ShortTextSkipsConvertersButStillReadsTheSideFile)
{
  TFormatCapture formats;
  TTrackFolder dir;
  const QString track = dir.Write("FILE0001.dat", "[G]\t2012");
  dir.SetTimes("FILE0001.dat", 40000.0, 41000.0);
  TTrackInfo info;
  info.Description = QStringLiteral("old");
  EXPECT_FALSE(GpsConvertersLoad("[G]\t2012", track, info));
  EXPECT_EQ(info.Name, track);
  EXPECT_EQ(info.Description, QString());
  EXPECT_EQ(info.EndTime, 41000.0);
  EXPECT_TRUE(formats.Written.isEmpty());

  // A parking-mode clip: empty GPS text, full side file.
  const QByteArray record("\x00\x00\x00\x64\x00\x80\x00\x00\x00\x00", 10);
  dir.Write("FILE0001.3gf", record + record);
  EXPECT_TRUE(GpsConvertersLoad(QByteArray(), track, info));
  ASSERT_EQ(info.Items.size(), 2u);
  EXPECT_EQ(info.Items[0].Kind, ikGSensor);
}

TEST(GpsDetection, CameraDatSignature)
{
  const QByteArray good = FixLines(3, Dt(2012, 5, 1, 10));
  const std::pair<QByteArray, bool> cases[] = {
      {good, true},        {good + QByteArray(40, '\0'), true}, // trailing NULs are padding
      {good + "x", false},                                      // lower-case letter
      {good + ",", false}, {QByteArray("[G]\t\0x", 6), false},  {"[G] 2012-05-01", false}, {QByteArray(), false}};
  for (const auto &[text, readable] : cases) EXPECT_EQ(Dat().CanRead(text), readable) << text.constData();
}

TEST(GpsDetection, LineEndsAndTrailingNulsReadAlike)
{
  TFormatCapture formats;
  const QByteArray crlf = FixLines(5, Dt(2012, 5, 1, 10)) + DatSample(1, 2, 1000);
  QByteArray cr = crlf, lfcr = crlf;
  cr.replace("\r\n", "\r");
  lfcr.replace("\r\n", "\n\r");
  for (const QByteArray &text : {crlf, cr, lfcr, crlf + QByteArray(300, '\0')}) {
    TTrackInfo info;
    ASSERT_TRUE(GpsConvertersLoad(text, QStringLiteral("/nonexistent/a.dat"), info));
    ASSERT_EQ(info.Items.size(), 6u);
    EXPECT_EQ(info.Items[4].Time, Dt(2012, 5, 1, 10, 0, 4));
    EXPECT_EQ(info.Items[5].Kind, ikGSensor);
  }
}

TEST(GpsDetection, HeadCutsALineAt512AndTheWholeTextIsStillParsed)
{
  TFormatCapture formats;
  QByteArray text = FixLines(40, Dt(2012, 5, 1, 10));
  // Byte 512 lies inside a line.
  ASSERT_NE(text[511], '\n');
  ASSERT_NE(text[512], '\r');
  TTrackInfo info;
  ASSERT_TRUE(GpsConvertersLoad(text, QStringLiteral("/nonexistent/b.dat"), info));
  EXPECT_EQ(info.Items.size(), 40u);
  // A lower-case letter after the head does not stop detection.
  text += "[S]\t1\t2\tz\r\n";
  ASSERT_TRUE(GpsConvertersLoad(text, QStringLiteral("/nonexistent/b.dat"), info));
  EXPECT_EQ(info.Items.size(), 41u);
}

TEST(GpsDetection, ExtensionRetryIgnoresCase)
{
  TFormatCapture formats;
  // A comment line with lower-case letters defeats the signature.
  const QByteArray text = FixLines(4, Dt(2012, 5, 1, 10)) + "[G]\tnote\r\n";
  ASSERT_FALSE(Dat().CanRead(text));
  TTrackInfo info;
  EXPECT_TRUE(GpsConvertersLoad(text, QStringLiteral("/card/DCIM/FILE0001.DAT"), info));
  EXPECT_EQ(info.Items.size(), 4u);
  EXPECT_TRUE(GpsConvertersLoad(text, QStringLiteral("/card/DCIM/FILE0001.dat"), info));
  EXPECT_FALSE(GpsConvertersLoad(text, QStringLiteral("/card/DCIM/FILE0001.txt"), info));
  EXPECT_TRUE(info.Items.empty());
  EXPECT_EQ(info.Name, QStringLiteral("/card/DCIM/FILE0001.txt"));
}

// ---------------------------------------------------------------- line engine

// The give-up rule: no item in the first 9 counted lines, or after 32 lines
// fewer items than half the lines; a failed parse holds no items at all.
TEST(GpsLineEngine, GiveUpRule)
{
  TFormatCapture formats;
  const QByteArray bad = "[S]\t1\t2\r\n"; // three fields: a line without an item
  const QByteArray items = FixLines(16, Dt(2012, 5, 1));
  const struct {
    QByteArray text;
    int stored; // -1: gave up
  } cases[] = {
      {bad.repeated(8) + FixLines(3, Dt(2012, 5, 1)), 3},
      {bad.repeated(9) + FixLines(3, Dt(2012, 5, 1)), -1},
      {items + bad.repeated(17), 16}, // 33 lines: 33 div 2 is not more than 16
      {items + bad.repeated(18), -1},
      {items + QByteArray("\r\n\r\n\r\n").repeated(30) + bad.repeated(17), 16}, // empty lines do not count
  };
  for (const auto &c : cases) {
    TTrackInfo info;
    const bool loaded = Dat().Load(c.text, info);
    EXPECT_EQ(loaded ? int(info.Items.size()) : -1, c.stored);
    EXPECT_TRUE(loaded || info.Items.empty());
  }
}

// A file no format reads leaves one warning naming the file, each reader
// that gave up and the line of the file where it did.
TEST(GpsLineEngine, UnreadFileLeavesOneWarning)
{
  TFormatCapture formats;
  TLogCapture log("kp.telemetry");
  TTrackInfo info;
  const QByteArray garbage = "[B]\r\n" + QByteArray("[S]\t1\t2\r\n\r\n").repeated(12);
  EXPECT_FALSE(GpsConvertersLoad(garbage, QStringLiteral("/card/GPS/FILE0007.dat"), info));
  EXPECT_TRUE(GpsConvertersLoad(FixLines(3, Dt(2012, 5, 1)), QStringLiteral("/card/GPS/FILE0008.dat"), info));
  const QStringList messages = log.Lines();
  ASSERT_EQ(messages.size(), 1) << messages.join('\n').toStdString();
  EXPECT_TRUE(messages[0].contains("/card/GPS/FILE0007.dat")) << messages[0].toStdString();
  EXPECT_TRUE(messages[0].contains(Dat().GetName() + " gave up at line 18")) << messages[0].toStdString();
}

TEST(GpsLineEngine, FixRulesInAddLine)
{
  TFormatCapture formats;
  TTestConverter conv;
  TTrackInfo info;
  ASSERT_TRUE(conv.Load("G 40000 37.6 55.7\nG 0 37.6 55.7\nG 40001 37.6 55.7 v\nG 40002 0 55.7\nG 40003 37.6 0\nS\n"
                        "G 40004 180.5 55.7\nG 40004 37.6 -90.5\n",
                        info));
  // A fix with time 0 is dropped; the receiver's own invalid status survives;
  // a position that does not exist is not stored.
  EXPECT_EQ(Items(info), "G 2009-07-06 00:00:00.000 55.7,37.6 a0 s-1 c-1\n"
                         "G 2009-07-07 00:00:00.000 55.7,37.6 a0 s-1 c-1 nofix\n"
                         "G 2009-07-08 00:00:00.000 55.7,0 a0 s-1 c-1 nofix\n"
                         "G 2009-07-09 00:00:00.000 0,37.6 a0 s-1 c-1 nofix\n"
                         "S - 0,0,0\n");
}

TEST(GpsLineEngine, FailedLoadOrExportLeavesNothing)
{
  TFormatCapture formats;
  TTestConverter conv;
  TTrackInfo info;
  EXPECT_FALSE(conv.Load("G 40000 37.6 55.7\nG 40001 37.6 55.7\nX\n", info));
  EXPECT_TRUE(info.Items.empty());
  EXPECT_TRUE(formats.Written.isEmpty());
  EXPECT_FALSE(GpsFormatsChanged());
  QByteArray text = "old";
  EXPECT_FALSE(conv.ExportToText(TTrackInfo{}, text)) << "a failed export is reported";
  EXPECT_TRUE(text.isEmpty());
}

// ---------------------------------------------------------------- block re-timing

TEST(GpsBlockRetiming, EarlierBlockEndsJustBeforeTheNextBlock)
{
  TFormatCapture formats;
  const TDateTime a = Dt(2012, 5, 1, 10), b = Dt(2012, 5, 1, 9);
  const QByteArray text = DatFix(a, 55.7, 37.6) + DatSample(1, 1, 1000) + DatFix(a + kSec, 55.7, 37.6) +
                          DatFix(a + 2 * kSec, 55.7, 37.6) + "[B]\r\n" + DatSample(2, 2, 1000) + DatFix(b, 55.8, 37.6) +
                          DatFix(b + kSec, 55.8, 37.6);
  TTrackInfo info;
  ASSERT_TRUE(Dat().Load(text, info));
  // The first block's last fix lands 0.1 s before the next block; untimed
  // samples do not move.
  EXPECT_EQ(Items(info), "G 2012-05-01 08:59:57.900 55.7,37.6 a0 s50 c90\n"
                         "S - 0.001,0.001,1\n"
                         "G 2012-05-01 08:59:58.900 55.7,37.6 a0 s50 c90\n"
                         "G 2012-05-01 08:59:59.900 55.7,37.6 a0 s50 c90\n"
                         "S - 0.002,0.002,1\n"
                         "G 2012-05-01 09:00:00.000 55.8,37.6 a0 s50 c90\n"
                         "G 2012-05-01 09:00:01.000 55.8,37.6 a0 s50 c90\n");
}

// The camera ".dat" reader with block re-timing done as written: every
// earlier timed item moves at every block.
class TLiteralDat : public TGpsInfoConverterDatDOD {
public:
  bool ParseText(QByteArrayView text, TTrackInfo &info, TParseContext &ctx) const override
  {
    qsizetype start = -1;
    for (qsizetype pos = 0; pos <= text.size(); ++pos) {
      const char c = pos == text.size() ? '\n' : text[pos];
      if (c != '\n' && c != '\r') {
        if (start < 0) start = pos;
        continue;
      }
      if (start < 0) continue;
      const QByteArrayView line = text.sliced(start, pos - start);
      start = -1;
      ctx.Skip = false;
      AddLine(line, ctx, info);
      if (!ctx.Skip) {
        if (ctx.BlockStart && ctx.Count >= 3 && info.Items[ctx.Count - 1].Kind == ikGps &&
            info.Items[ctx.Count - 1].Time > 1.0) {
          ctx.BlockStart = false;
          bool have = false;
          double delta = 0;
          for (int j = ctx.Count - 2; j >= 0; --j) {
            if (info.Items[j].Time <= 1.0) continue;
            if (!have) delta = info.Items[ctx.Count - 1].Time - info.Items[j].Time - 0.1 * kSec;
            have = true;
            info.Items[j].Time += delta;
          }
        }
        ++ctx.LineNo;
      }
      if (ctx.Count == 0 ? ctx.LineNo > 8 : ctx.LineNo > 32 && ctx.LineNo / 2 > ctx.Count) {
        ctx.Count = 0;
        break;
      }
    }
    info.Items.resize(ctx.Count);
    return ctx.Count >= 1;
  }
};

TEST(GpsBlockRetiming, AgreesWithRetimingEveryItemAtEveryBlock)
{
  TFormatCapture formats;
  std::mt19937 random(17);
  const TLiteralDat literal;
  for (int trial = 0; trial < 300; ++trial) {
    QByteArray text;
    TDateTime t = Dt(2012, 5, 1, 10);
    const int lines = 3 + int(random() % 60);
    for (int i = 0; i < lines; ++i) {
      switch (random() % 6) {
      case 0:
        text += "[B]\r\n";
        t -= double(random() % 7200) * kSec;
        break;
      case 1: text += DatSample(1, 2, 1000); break;
      case 2: text += "junk\r\n"; break;
      default: t += double(random() % 3) * kSec; text += DatFix(t, 55.7, 37.6);
      }
    }
    TTrackInfo ours, theirs;
    ASSERT_EQ(Dat().Load(text, ours), literal.Load(text, theirs));
    ASSERT_EQ(ours.Items.size(), theirs.Items.size());
    for (size_t i = 0; i < ours.Items.size(); ++i)
      ASSERT_NEAR(ours.Items[i].Time, theirs.Items[i].Time, 1e-9) << trial << " " << i << "\n" << text.constData();
  }
}

// A camera file of 80,000 blocks of one fix each.
TEST(GpsBlockRetiming, ManyBlocksStayLinear)
{
  TFormatCapture formats;
  QByteArray text = FixLines(3, Dt(2012, 5, 1, 10));
  for (int i = 0; i < 80000; ++i) text += "[B]\r\n" + DatFix(Dt(2012, 5, 1, 9) + i * kSec, 55.7, 37.6);
  TTrackInfo info;
  QElapsedTimer timer;
  timer.start();
  ASSERT_TRUE(Dat().Load(text, info));
  EXPECT_LT(timer.elapsed(), kBudgetMs);
  EXPECT_EQ(info.Items.size(), 80003u);
}

// ---------------------------------------------------------------- format register

TEST(GpsFormatRegister, RecordsEachIdOnce)
{
  TFormatCapture formats;
  TTrackInfo info;
  ASSERT_TRUE(Dat().Load(FixLines(3, Dt(2012, 5, 1)), info));
  ASSERT_TRUE(Dat().Load(FixLines(3, Dt(2012, 5, 2)), info));
  EXPECT_EQ(GpsFormats(), QStringLiteral("dat600"));
  EXPECT_EQ(formats.Written, QStringList{QStringLiteral("dat600")});
  EXPECT_TRUE(GpsFormatsChanged());
  SetGpsFormatsChanged(false);
  RegisterGpsFormat(QStringLiteral("NMEA"));
  EXPECT_EQ(GpsFormats(), QStringLiteral("dat600,NMEA"));
  EXPECT_TRUE(GpsFormatsChanged());
}

TEST(GpsFormatRegister, ConcurrentRegistrationsKeepEveryIdOnce)
{
  TFormatCapture formats;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([] {
      for (int i = 0; i < 200; ++i) RegisterGpsFormat(QStringLiteral("id%1x").arg(i % 20));
    });
  for (auto &t : threads) t.join();
  const QStringList ids = GpsFormats().split(QLatin1Char(','));
  EXPECT_EQ(ids.size(), 20);
  EXPECT_EQ(QSet<QString>(ids.begin(), ids.end()).size(), 20);
  EXPECT_EQ(formats.Written.size(), 20);
  EXPECT_EQ(formats.Written.last(), GpsFormats()) << "the last write holds the whole list";
}
