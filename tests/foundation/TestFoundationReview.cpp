// Corner cases of the date, number and geodesy helpers found in review.

#include "DateTime.h"
#include "UnitUtils.h"

#include <gtest/gtest.h>

using namespace kp;

// Before the base date the time of day counts forwards from the date's
// midnight, so a time that rounds up to midnight belongs to the next day.
TEST(FoundationReview, NegativeDateTimeRoundsUpToTheNextDay)
{
  TDateTimeFields f;
  ASSERT_TRUE(DecodeDateTime(-1.25, f));
  EXPECT_EQ(f.day, 29);
  EXPECT_EQ(f.hour, 6);
  ASSERT_TRUE(DecodeDateTime(-1.0 - (MSecsPerDay - 0.2) / MSecsPerDay, f)); // 29th, 23:59:59.9998
  EXPECT_EQ(f.year, 1899);
  EXPECT_EQ(f.month, 12);
  EXPECT_EQ(f.day, 30);
  EXPECT_EQ(f.hour, 0);
  EXPECT_EQ(f.msec, 0);
}
