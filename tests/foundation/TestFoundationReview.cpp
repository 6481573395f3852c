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

// A reader whose Items array has free slots at its end says how many items
// are stored; the GGA date comes from the latest of those only.
TEST(FoundationReview, GgaDateLooksOnlyAtStoredItems)
{
  SetLocalTimeOffset(0);
  TTrackInfo track;
  track.Items.resize(6);
  track.Items[1].Kind = ikGps;
  track.Items[1].Time = EncodeDateTimeOr0(2011, 5, 1, 9, 0, 0);
  track.Items[4].Kind = ikGps; // a slot past the stored items
  track.Items[4].Time = EncodeDateTimeOr0(2011, 6, 2, 9, 0, 0);
  TArrayBytes fields;
  SplitString(QByteArrayView("$GPGGA,100000.00,5545.0,N,03737.0,E,1,08,0.9,150.5,M,14.0,M,,*00"), ",", true, fields);
  TFixBlock fix;
  ParseNmeaGGA(fields, fix, track, 3);
  EXPECT_EQ(fix.Time, EncodeDateTimeOr0(2011, 5, 1, 10, 0, 0));
  EXPECT_EQ(fix.Alt, 150.5);
  ParseNmeaGGA(fields, fix, track);
  EXPECT_EQ(fix.Time, EncodeDateTimeOr0(2011, 6, 2, 10, 0, 0));
}
