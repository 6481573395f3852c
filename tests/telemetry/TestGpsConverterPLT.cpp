// OziExplorer PLT: the exact text, segment flags and reading it back.

#include "TestGpsConverterSupport.h"
#include "UnitGpsConverterPLT.h"

using namespace kp;
using namespace kptest;

namespace {

// The day numbers are rounded at their last digit (10:00:00 is
// 40664.41666666..., written 40664.4166667).
const QByteArray kGoldenPlt = "OziExplorer Track Point File Version 2.1\r\n"
                              "WGS 84\r\n"
                              "Altitude is in Feet\r\n"
                              "Reserved 3\r\n"
                              "0,2,8323327,Trip & <Test> \"1\",0,0,2,8421376\r\n"
                              "3\r\n"
                              "55.751244,37.618423,1,494,40664.4166667,01.05.2011,10:00:00,36,\r\n"
                              "55.751300,37.618500,0,-777,40664.4166782,01.05.2011,10:00:01,-1,\r\n"
                              "-33.500000,-70.250000,1,33,40664.4167824,01.05.2011,10:00:10,45,\r\n";

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

// The day number is rounded at its last digit and the date and time columns
// show the nearest second, both of the same instant (also a fraction of a
// millisecond before midnight).
TEST_F(PltFormat, WrittenTimesAreRounded)
{
  const struct {
    TDateTime local;
    const char *columns;
  } cases[] = {
      {Dt(2011, 5, 1, 13, 0, 0), "40664.4166667,01.05.2011,10:00:00,"},
      {Dt(2011, 5, 1, 13, 0, 1) - 0.005 / SecsPerDay, "40664.4166782,01.05.2011,10:00:01,"},
      {Dt(2011, 5, 2, 3) - 0.0004 / SecsPerDay, "40665,02.05.2011,00:00:00,"},
  };
  for (const auto &c : cases) {
    TTrackInfo info;
    info.Items.push_back(Fix(c.local, 55.5, 37.5));
    const QList<QByteArray> lines = Export(kPlt, info).split('\n');
    ASSERT_EQ(lines.size(), 8);
    EXPECT_TRUE(lines[6].contains(c.columns)) << lines[6].constData();
  }
}

TEST_F(PltFormat, RoundTripKeepsTimesWithinTheTruncation)
{
  TTrackInfo original = GoldenTrack();
  original.Items[3].Time += 0.123 / SecsPerDay;
  TTrackInfo info;
  ASSERT_TRUE(LoadWith(kPlt, Export(kPlt, original), info));
  ASSERT_EQ(info.Items.size(), 3u);
  for (int i = 0; i < 3; ++i)
    EXPECT_NEAR(info.Items[size_t(i)].Time, original.Items[size_t(2 * i + 1)].Time, 0.009 / SecsPerDay);
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
  EXPECT_DOUBLE_EQ(info.Items[0].Time, 39307.3279977 + kZone);
  EXPECT_EQ(Items(info), "G 2007-08-13 10:52:19.001 47.465158,3.749013 a147.828 s-1 c-1\n");
}

TEST_F(PltFormat, RecognitionNeedsTheOziWordsUpFront)
{
  EXPECT_TRUE(kPlt.CanRead(kGoldenPlt));
  EXPECT_FALSE(kPlt.CanRead(QByteArray(48, '.') + "\r\n" + kGoldenPlt));
  EXPECT_FALSE(kPlt.CanRead(kGoldenPlt + "\t"));
}

} // namespace
