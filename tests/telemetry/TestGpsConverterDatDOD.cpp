// The camera's ".dat" format: reading lines, byte-exact writing, round trip.

#include "TelemetryTestSupport.h"

using namespace kp;
using namespace kptest;

namespace {

TGpsInfoConverterDatDOD gDat;

// What each line reads as on its own ("" when it yields no item).
std::string ParseEach(const QList<QByteArray> &lines)
{
  TTrackInfo out;
  for (const QByteArray &line : lines) {
    TTrackInfo info;
    TParseContext ctx;
    TTrackInfoItem item;
    if (gDat.ParseLine(line, ctx, item, info)) out.Items.push_back(item);
  }
  return Items(out);
}

QByteArray Export(const std::vector<TTrackInfoItem> &items)
{
  TTrackInfo info;
  info.Items = items;
  QByteArray text;
  EXPECT_TRUE(gDat.ExportToText(info, text));
  return text;
}

TTrackInfoItem NoFix(TTrackInfoItem item)
{
  item.NoFix = true;
  return item;
}

} // namespace

TEST(DatReading, FixAndSampleLines)
{
  EXPECT_EQ(ParseEach({"[G]\t2012-05-01 10:00:00\tN55.750000\tE37.600000\t42\t180",
                       "[G]\t2012-05-01 10:00:00\tS55.750000\tW37.600000",
                       "[G]\t2012-05-01 10:00:00.250\tN55.750000\tE37.600000\t42,5\t", // comma as point, empty course
                       "[S]\t12\t-35\t1010", "[S]\t12\t-35"}),
            "G 2012-05-01 10:00:00.000 55.75,37.6 a0 s42 c180\n"
            "G 2012-05-01 10:00:00.000 -55.75,-37.6 a0 s-1 c-1\n"
            "G 2012-05-01 10:00:00.250 55.75,37.6 a0 s42.5 c-1\n"
            "S - 0.012,-0.035,1.01\n");
}

TEST(DatReading, LinesWithoutItemsCountButBlockTagsDoNot)
{
  TParseContext ctx;
  TTrackInfo info;
  info.Items.resize(16);
  gDat.ParseText("[S]\t12\t-35\r\n[B]\r\n[B] \r\n[X]\t1\t2\t3\r\nshort\r\n", info, ctx);
  EXPECT_EQ(ctx.LineNo, 4) << "every line but the exact block tag counts";
  EXPECT_TRUE(ctx.BlockStart);
  EXPECT_EQ(ctx.Count, 0);
}

// A cut's track: "[C]" marks it, "[F]" before a "[B]" says the next block
// follows on (no trip starts there). Neither counts as a line, and the
// blocks move as they do without them, as other readers move them.
TEST(DatReading, CutMarkersTellTrackAndFollowingBlocks)
{
  const QByteArray block = "[G]\t2012-05-01 10:0%1:00.000\tN0.000000\tE0.000000\t0\t0\r\n"
                           "[G]\t2012-05-01 10:0%1:01\tN55.7%1\tE37.600000\t42\t180\r\n";
  std::string plain;
  for (const bool marked : {false, true}) {
    QByteArray text = marked ? "[C]\r\n" : "";
    for (const char *minute : {"0", "5", "9"})
      text += QByteArray(minute[0] == '0'             ? ""
                         : marked && minute[0] == '5' ? "[F]\r\n[B]\r\n"
                                                      : "[B]\r\n") +
              QByteArray(block).replace("%1", minute);
    TTrackInfo info;
    TParseContext ctx;
    info.Items.resize(16);
    ASSERT_TRUE(gDat.ParseText(text, info, ctx));
    EXPECT_EQ(info.TripStarts, (marked ? std::vector<size_t>{4} : std::vector<size_t>{2, 4}));
    EXPECT_EQ(info.CutTrack, marked);
    EXPECT_EQ(ctx.LineNo, 6);
    if (!marked) plain = Items(info);
    EXPECT_EQ(Items(info), plain);
  }
}

TEST(DatWriting, ByteExactLines)
{
  const TDateTime t = Dt(2012, 5, 1, 10);
  const QByteArray text = Export({
      Sample(0, 0.012, -0.035, 0.01), Fix(t, 55.75, 37.6, 0, 42.5, 180), Fix(t + kSec, -33.5, -70.25, 0, 43.5, 359.5),
      Fix(t + 2 * kSec, 55, 37), NoFix(Fix(t + 3 * kSec, 55.1, 37.1, 0, 50, 10)), // not written
      Fix(t + 0.9996 * kSec, 55.75, 37.6, 0, 0, 0),
      Fix(t + 4.995 * kSec, 55.75, 37.6, 0, 0, 0), // to the nearest second
      Fix(t + 250 * kMsDays, 0, 0, 0, 0, 0),       // a time mark: milliseconds
  });
  EXPECT_EQ(text, QByteArray("[S]\t12\t-35\t1010\r\n"
                             "[G]\t2012-05-01 10:00:00\tN55.750000\tE37.600000\t42\t180\r\n"
                             "[G]\t2012-05-01 10:00:01\tS33.500000\tW70.250000\t44\t360\r\n"
                             "[G]\t2012-05-01 10:00:02\tN55.000000\tE37.000000\t-1\t-1\r\n"
                             "[G]\t2012-05-01 10:00:01\tN55.750000\tE37.600000\t0\t0\r\n"
                             "[G]\t2012-05-01 10:00:05\tN55.750000\tE37.600000\t0\t0\r\n"
                             "[G]\t2012-05-01 10:00:00.250\tN0.000000\tE0.000000\t0\t0\r\n"));
}

TEST(DatWriting, RoundTripKeepsFixesAndSamples)
{
  TFormatCapture formats;
  const TDateTime t = Dt(2013, 12, 31, 23, 59, 58);
  std::vector<TTrackInfoItem> items;
  for (int i = 0; i < 5; ++i) {
    items.push_back(Fix(t + i * kSec, -12.345678 + i * 1e-5, 150.5 - i * 1e-5, 0, 30 + i, 90 + i));
    items.push_back(Sample(0, 0.001 * i, -0.002 * i, 0.003 * i - 1)); // Z is written with 1 g added
  }
  items.push_back(Fix(t + 10 * kSec + 250 * kMsDays, 0, 0, 0, 0, 0));
  TTrackInfo back;
  ASSERT_TRUE(gDat.Load(Export(items), back));
  items.back().NoFix = true; // a time mark reads back as a timed fix without position
  TTrackInfo expected;
  expected.Items = items;
  for (TTrackInfoItem &i : expected.Items)
    if (i.Kind == ikGSensor) i.Alt += 1;
  EXPECT_EQ(Items(back), Items(expected));
}
