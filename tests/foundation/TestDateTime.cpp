#include "DateTime.h"

#include <gtest/gtest.h>

using namespace kp;

TEST(DateTime, EncodeKnownDates)
{
  TDateTime d = -1;
  ASSERT_TRUE(TryEncodeDate(1899, 12, 30, d));
  EXPECT_EQ(d, 0);
  ASSERT_TRUE(TryEncodeDate(1904, 1, 1, d));
  EXPECT_EQ(d, QuickTimeEpoch);
  ASSERT_TRUE(TryEncodeDate(1970, 1, 1, d));
  EXPECT_EQ(d, UnixEpoch);
  ASSERT_TRUE(TryEncodeDate(2000, 2, 29, d));
  EXPECT_EQ(d, 36585);
  ASSERT_TRUE(TryEncodeDate(1899, 12, 29, d));
  EXPECT_EQ(d, -1);
}

TEST(DateTime, DatesThatDoNotExistGiveZero)
{
  TDateTime d = 0;
  EXPECT_FALSE(TryEncodeDate(2023, 13, 1, d));
  EXPECT_FALSE(TryEncodeDate(2023, 2, 29, d));
  EXPECT_FALSE(TryEncodeDate(1900, 2, 29, d)); // not a leap year
  EXPECT_FALSE(TryEncodeDate(0, 1, 1, d));
  EXPECT_EQ(EncodeDateTimeOr0(2023, 2, 30, 0, 0, 0), 0);
  EXPECT_EQ(EncodeDateTimeOr0(2023, 1, 1, 24, 0, 0), 0);
  EXPECT_EQ(EncodeDateTimeOr0(2023, 1, 1, 12, 0, 60), 0);
}

TEST(DateTime, DecodeRoundsToTheMillisecondBeforeSplitting)
{
  const TDateTime ten = EncodeDateTimeOr0(2020, 5, 17, 10, 0, 0);
  TDateTimeFields f;
  // A value one binary step below 10:00:00 must still read 10:00:00.
  ASSERT_TRUE(DecodeDateTime(std::nextafter(ten, 0.0), f));
  EXPECT_EQ(f.hour, 10);
  EXPECT_EQ(f.minute, 0);
  EXPECT_EQ(f.second, 0);
  // 23:59:59.9996 rounds into the next day.
  ASSERT_TRUE(DecodeDateTime(EncodeDateTimeOr0(2020, 12, 31, 23, 59, 59, 999) + 0.6 / MSecsPerDay, f));
  EXPECT_EQ(f.year, 2021);
  EXPECT_EQ(f.month, 1);
  EXPECT_EQ(f.day, 1);
  EXPECT_EQ(f.hour, 0);
}

TEST(DateTime, DecodeRoundTripsAcrossTheCalendar)
{
  for (int y : {1, 1600, 1899, 1900, 1904, 2000, 2024, 9999})
    for (int m = 1; m <= 12; ++m) {
      const int d = DaysInMonth(y, m);
      const TDateTime t = EncodeDateTimeOr0(y, m, d, 13, 45, 7, 250);
      ASSERT_NE(t, 0);
      TDateTimeFields f;
      ASSERT_TRUE(DecodeDateTime(t, f));
      EXPECT_EQ(f.year, y);
      EXPECT_EQ(f.month, m);
      EXPECT_EQ(f.day, d);
      EXPECT_EQ(f.hour, 13);
      EXPECT_EQ(f.minute, 45);
      EXPECT_EQ(f.second, 7);
      EXPECT_EQ(f.msec, 250);
    }
  TDateTimeFields f;
  EXPECT_FALSE(DecodeDateTime(std::numeric_limits<double>::quiet_NaN(), f));
  EXPECT_FALSE(DecodeDateTime(1e12, f));
}

TEST(DateTime, FormatWithTheOriginalsPatternLetters)
{
  TFormatSettings fs;
  fs.dateSeparator = QLatin1Char('/');
  const TDateTime t = EncodeDateTimeOr0(2021, 3, 4, 5, 6, 7, 89);
  EXPECT_EQ(FormatDateTime(QStringLiteral("dd/mm/yyyy hh:nn:ss.zzz"), t, fs), QStringLiteral("04/03/2021 05:06:07.089"));
  EXPECT_EQ(FormatDateTime(QStringLiteral("d.m.yy h:mm"), t, fs), QStringLiteral("4.3.21 5:06"));
  EXPECT_EQ(FormatDateTime(QStringLiteral("\"at\" hh"), t, fs), QStringLiteral("at 05"));
}

TEST(DateTime, PlatformStateIsPinnable)
{
  SetNowProvider([] { return 45000.5; });
  EXPECT_EQ(Now(), 45000.5);
  SetNowProvider({});
  EXPECT_GT(Now(), 45000.0);
  SetLocalTimeOffset(3.0 / 24);
  EXPECT_DOUBLE_EQ(LocalTimeOffset(), 3.0 / 24);
  SetLocalTimeOffset(std::numeric_limits<double>::infinity());
  EXPECT_EQ(LocalTimeOffset(), 0);
}
