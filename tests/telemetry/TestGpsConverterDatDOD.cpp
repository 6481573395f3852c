// The camera's ".dat" format: reading lines, byte-exact writing, round trip.

#include "TelemetryTestSupport.h"

using namespace kp;
using namespace kptest;

namespace {

TGpsInfoConverterDatDOD gDat;

bool ParseOne(const QByteArray &line, TTrackInfoItem &item, TParseContext &ctx)
{
  TTrackInfo info;
  item = TTrackInfoItem{};
  return gDat.ParseLine(line, ctx, item, info);
}

TTrackInfoItem Fix(TDateTime t, double lat, double lon, double speed, double course, bool noFix = false)
{
  TTrackInfoItem item;
  item.Kind = ikGps;
  item.Time = t;
  item.Lat = lat;
  item.Lon = lon;
  item.Speed = speed;
  item.Course = course;
  item.NoFix = noFix;
  return item;
}

TTrackInfoItem Sample(double x, double y, double z)
{
  TTrackInfoItem item;
  item.Kind = ikGSensor;
  item.Lon = x;
  item.Lat = y;
  item.Alt = z;
  return item;
}

QByteArray Export(const std::vector<TTrackInfoItem> &items)
{
  TTrackInfo info;
  info.Items = items;
  QByteArray text;
  EXPECT_TRUE(gDat.ExportToText(info, text));
  return text;
}

} // namespace

TEST(DatReading, FixLineWithAndWithoutSpeedAndCourse)
{
  TParseContext ctx;
  TTrackInfoItem item;
  ASSERT_TRUE(ParseOne("[G]\t2012-05-01 10:00:00\tN55.750000\tE37.600000\t42\t180", item, ctx));
  EXPECT_EQ(item.Kind, ikGps);
  EXPECT_EQ(item.Time, Dt(2012, 5, 1, 10));
  EXPECT_DOUBLE_EQ(item.Lat, 55.75);
  EXPECT_DOUBLE_EQ(item.Lon, 37.6);
  EXPECT_EQ(item.Speed, 42);
  EXPECT_EQ(item.Course, 180);

  ASSERT_TRUE(ParseOne("[G]\t2012-05-01 10:00:00\tS55.750000\tW37.600000", item, ctx));
  EXPECT_DOUBLE_EQ(item.Lat, -55.75);
  EXPECT_DOUBLE_EQ(item.Lon, -37.6);
  EXPECT_EQ(item.Speed, -1);
  EXPECT_EQ(item.Course, -1);

  ASSERT_TRUE(ParseOne("[G]\t2012-05-01 10:00:00.250\tN55.750000\tE37.600000\t42,5\t", item, ctx));
  EXPECT_NEAR(item.Time, Dt(2012, 5, 1, 10, 0, 0, 250), 1e-10);
  EXPECT_EQ(item.Speed, 42.5) << "a comma is a decimal point too";
  EXPECT_EQ(item.Course, -1) << "an empty field reads as unknown";
}

TEST(DatReading, SampleLinesInThousandthsOfG)
{
  TParseContext ctx;
  TTrackInfoItem item;
  ASSERT_TRUE(ParseOne("[S]\t12\t-35\t1010", item, ctx));
  EXPECT_EQ(item.Kind, ikGSensor);
  EXPECT_DOUBLE_EQ(item.Lon, 0.012);
  EXPECT_DOUBLE_EQ(item.Lat, -0.035);
  EXPECT_DOUBLE_EQ(item.Alt, 1.01);
  EXPECT_EQ(item.Time, 0);
  EXPECT_FALSE(ParseOne("[S]\t12\t-35", item, ctx)) << "two values make no item";
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

TEST(DatWriting, ByteExactLines)
{
  const TDateTime t = Dt(2012, 5, 1, 10);
  const QByteArray text = Export({
      Sample(0.012, -0.035, 0.01),
      Fix(t, 55.75, 37.6, 42.5, 180),
      Fix(t + kSec, -33.5, -70.25, 43.5, 359.5),
      Fix(t + 2 * kSec, 55, 37, -1, -1),
      Fix(t + 3 * kSec, 55.1, 37.1, 50, 10, true), // no fix: not written
      Fix(Dt(2012, 5, 1, 10, 0, 0) + 0.9996 * kSec, 55.75, 37.6, 0, 0),
      Fix(t + 250 * kMsDays, 0, 0, 0, 0), // a time mark: milliseconds
  });
  EXPECT_EQ(text, QByteArray("[S]\t12\t-35\t1010\r\n"
                             "[G]\t2012-05-01 10:00:00\tN55.750000\tE37.600000\t42\t180\r\n"
                             "[G]\t2012-05-01 10:00:01\tS33.500000\tW70.250000\t44\t360\r\n"
                             "[G]\t2012-05-01 10:00:02\tN55.000000\tE37.000000\t-1\t-1\r\n"
                             "[G]\t2012-05-01 10:00:01\tN55.750000\tE37.600000\t0\t0\r\n"
                             "[G]\t2012-05-01 10:00:00.250\tN0.000000\tE0.000000\t0\t0\r\n"));
}

TEST(DatWriting, RoundTripKeepsFixesAndSamples)
{
  TFormatCapture formats;
  const TDateTime t = Dt(2013, 12, 31, 23, 59, 58);
  std::vector<TTrackInfoItem> items;
  for (int i = 0; i < 5; ++i) {
    items.push_back(Fix(t + i * kSec, -12.345678 + i * 1e-5, 150.5 - i * 1e-5, 30 + i, 90 + i));
    items.push_back(Sample(0.001 * i, -0.002 * i, 0.003 * i));
  }
  items.push_back(Fix(t + 10 * kSec + 250 * kMsDays, 0, 0, 0, 0));
  const QByteArray text = Export(items);
  TTrackInfo back;
  ASSERT_TRUE(gDat.Load(text, back));
  ASSERT_EQ(back.Items.size(), items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    const TTrackInfoItem &a = items[i], &b = back.Items[i];
    EXPECT_EQ(a.Kind, b.Kind) << i;
    EXPECT_NEAR(a.Lon, b.Lon, 1e-9) << i;
    EXPECT_NEAR(a.Lat, b.Lat, 1e-9) << i;
    if (a.Kind == ikGps) {
      EXPECT_NEAR(a.Time, b.Time, 1e-9) << i;
      EXPECT_EQ(a.Speed, b.Speed);
      EXPECT_EQ(a.Course, b.Course);
    } else {
      EXPECT_NEAR(a.Alt + 1.0, b.Alt, 1e-12) << "Z is written with 1 g added";
    }
  }
  EXPECT_TRUE(back.Items.back().NoFix) << "a time mark reads back as a timed fix without position";
  EXPECT_EQ(back.Items.back().Time, items.back().Time);
}
