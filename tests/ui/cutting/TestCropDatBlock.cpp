// The blocks of a cut's ".dat": which fixes go in, and where the marks
// stand so that the reader puts every fix where the cut shows it.
#include "CropDatBlock.h"

#include <gtest/gtest.h>

using namespace kp;

namespace {

constexpr double kSecond = 1.0 / 86400.0;
constexpr TDateTime kBase = 46000.5;

TTrackInfoItem Fix(double second, double lat = 50)
{
  TTrackInfoItem item;
  item.Kind = ikGps;
  item.Time = kBase + second * kSecond;
  item.Lon = 30;
  item.Lat = lat + second / 1000;
  return item;
}

TTrackInfoItem Sample()
{
  TTrackInfoItem item;
  item.Kind = ikGSensor;
  return item;
}

TTrackInfo Fixes(std::initializer_list<double> seconds)
{
  TTrackInfo info;
  for (double s : seconds) info.Items.push_back(Fix(s));
  return info;
}

double Seconds(TDateTime t)
{
  return (t - kBase) / kSecond;
}

} // namespace

TEST(CropDatBlock, BlockKeepsEachFixOnceAndNothingBeforeTheFragment)
{
  TTrackInfo range;
  range.Items = {Fix(9), Sample(), Fix(10), Sample(), Fix(11), Fix(12)};
  const std::vector<TTrackInfoItem> previous = {Fix(8), Fix(10)};
  const TTrackInfo block = DatBlockItems(range, kBase + 9.5 * kSecond, previous);
  ASSERT_EQ(block.Items.size(), 4u);
  EXPECT_EQ(block.Items[0].Kind, ikGSensor);
  EXPECT_NEAR(Seconds(block.Items[2].Time), 11, 1e-3) << "the fix at 10 s is the previous fragment's";
  EXPECT_EQ(DatBlockFixes(block).size(), 2u);
  // The same time at another place is another fix.
  EXPECT_EQ(DatBlockItems(range, kBase, {Fix(10, 51)}).Items.size(), range.Items.size());
}

TEST(CropDatBlock, MarksKeepClearOfTheFixesAndTheReaderPutsTheBlocksAsTheCutDoes)
{
  struct TCase {
    const char *name;
    TTrackInfo block, next;
    double end, nextStart;
    double separation; // between the block's fixes and the next one's once read, beyond the cut's
  };
  const TCase cases[] = {
      {"fixes clear of the cut", Fixes({1, 2, 3}), Fixes({70.5, 71.5}), 3.4, 70.2, 0},
      {"block ends on a fix", Fixes({1, 2, 3}), Fixes({70.6, 71.6}), 3, 70, 0},
      {"next starts on a fix", Fixes({1, 2, 3}), Fixes({70, 71}), 3.5, 70, 0},
      {"fixes on both sides", Fixes({1, 2, 3}), Fixes({70, 71}), 3, 70, 0.1 + 2 * 1.0 / 15},
      {"block without fixes", TTrackInfo(), Fixes({70, 71}), 3, 70, 0},
  };
  for (const TCase &c : cases) {
    const auto [endMark, startMark] =
        DatBoundaryMarks(c.block, kBase + c.end * kSecond, c.next, kBase + c.nextStart * kSecond);
    // The reader ends the block 0.1 s before the next start mark.
    const double shift = Seconds(startMark) - 0.1 - Seconds(endMark);
    EXPECT_NEAR((c.nextStart - c.end) - shift, c.separation, 1e-4) << c.name;
    for (const TTrackInfoItem &f : c.block.Items) EXPECT_LT(Seconds(f.Time) + 0.06, Seconds(endMark)) << c.name;
    for (const TTrackInfoItem &f : c.next.Items) EXPECT_GT(Seconds(f.Time) - 0.06, Seconds(startMark)) << c.name;
  }
  // The first and last marks: the fragment's ends unless a fix lies there.
  EXPECT_NEAR(Seconds(DatFirstStartMark(Fixes({1, 2}), kBase + 0.5 * kSecond)), 0.5, 1e-4);
  EXPECT_NEAR(Seconds(DatFirstStartMark(Fixes({1, 2}), kBase + 1 * kSecond)), 1 - 1.0 / 15, 1e-4);
  EXPECT_NEAR(Seconds(DatLastEndMark(Fixes({1, 2}), kBase + 2.5 * kSecond)), 2.5, 1e-4);
  EXPECT_NEAR(Seconds(DatLastEndMark(Fixes({1, 2}), kBase + 2 * kSecond)), 2 + 1.0 / 15, 1e-4);
  EXPECT_NEAR(Seconds(DatLastEndMark(TTrackInfo(), kBase + 2 * kSecond)), 2, 1e-4);
}
