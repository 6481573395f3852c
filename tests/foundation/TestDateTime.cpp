#include "DateTime.h"

#include <gtest/gtest.h>
#include <tuple>

using namespace kp;

namespace {

auto Fields(TDateTime t)
{
  TDateTimeFields f;
  const bool ok = DecodeDateTime(t, f);
  return std::tuple(ok, f.year, f.month, f.day, f.hour, f.minute, f.second, f.msec);
}

} // namespace

TEST(DateTime, EncodeKnownDatesAndRefuseMissingOnes)
{
  const std::tuple<int, int, int, bool, double> cases[] = {
      {1899, 12, 30, true, 0},   {1904, 1, 1, true, 1462},
      {1970, 1, 1, true, 25569}, {2000, 2, 29, true, 36585},
      {1899, 12, 29, true, -1},  {2023, 13, 1, false, 0},
      {2023, 2, 29, false, 0},   {1900, 2, 29, false, 0} /* not a leap year */,
      {0, 1, 1, false, 0}};
  for (const auto &[y, m, d, ok, days] : cases) {
    TDateTime t = -7;
    EXPECT_EQ(TryEncodeDate(y, m, d, t), ok) << y << "-" << m << "-" << d;
    if (ok) {
      EXPECT_EQ(t, days) << y << "-" << m << "-" << d;
    }
  }
  EXPECT_EQ(EncodeDateTimeOr0(2023, 2, 30, 0, 0, 0), 0);
  EXPECT_EQ(EncodeDateTimeOr0(2023, 1, 1, 24, 0, 0), 0);
  EXPECT_EQ(EncodeDateTimeOr0(2023, 1, 1, 12, 0, 60), 0);
}

TEST(DateTime, DecodeRoundsToTheMillisecondBeforeSplitting)
{
  // A value one binary step below 10:00:00 must still read 10:00:00.
  EXPECT_EQ(Fields(std::nextafter(EncodeDateTimeOr0(2020, 5, 17, 10, 0, 0), 0.0)),
            std::tuple(true, 2020, 5, 17, 10, 0, 0, 0));
  // 23:59:59.9996 rounds into the next day.
  EXPECT_EQ(Fields(EncodeDateTimeOr0(2020, 12, 31, 23, 59, 59, 999) + 0.6 / MSecsPerDay),
            std::tuple(true, 2021, 1, 1, 0, 0, 0, 0));
}

TEST(DateTime, DecodeRoundTripsAcrossTheCalendar)
{
  for (int y : {1, 1600, 1899, 1900, 1904, 2000, 2024, 9999})
    for (int m = 1; m <= 12; ++m) {
      const int d = DaysInMonth(y, m);
      EXPECT_EQ(Fields(EncodeDateTimeOr0(y, m, d, 13, 45, 7, 250)), std::tuple(true, y, m, d, 13, 45, 7, 250));
    }
  EXPECT_FALSE(std::get<0>(Fields(std::numeric_limits<double>::quiet_NaN())));
  EXPECT_FALSE(std::get<0>(Fields(1e12)));
}

// Before the base date the time of day counts forwards from the date's
// midnight, so a time that rounds up to midnight belongs to the next day.
TEST(DateTime, DecodeBeforeTheBaseDateRoundsUpToTheNextDay)
{
  EXPECT_EQ(Fields(-1.25), std::tuple(true, 1899, 12, 29, 6, 0, 0, 0));
  // The 29th, 23:59:59.9998.
  EXPECT_EQ(Fields(-1.0 - (MSecsPerDay - 0.2) / MSecsPerDay), std::tuple(true, 1899, 12, 30, 0, 0, 0, 0));
}

TEST(DateTime, FormatWithTheOriginalsPatternLetters)
{
  TFormatSettings fs;
  fs.dateSeparator = QLatin1Char('/');
  const TDateTime t = EncodeDateTimeOr0(2021, 3, 4, 5, 6, 7, 89);
  EXPECT_EQ(FormatDateTime(QStringLiteral("dd/mm/yyyy hh:nn:ss.zzz"), t, fs),
            QStringLiteral("04/03/2021 05:06:07.089"));
  EXPECT_EQ(FormatDateTime(QStringLiteral("d.m.yy h:mm"), t, fs), QStringLiteral("4.3.21 5:06"));
  EXPECT_EQ(FormatDateTime(QStringLiteral("\"at\" hh"), t, fs), QStringLiteral("at 05"));
}

TEST(DateTime, PlatformStateIsPinnable)
{
  SetNowProvider([] { return 45000.5; });
  EXPECT_EQ(Now(), 45000.5);
  SetNowProvider({});
  EXPECT_GT(Now(), 45000.0);
  SetLocalTimeOffset(std::numeric_limits<double>::infinity());
  EXPECT_EQ(LocalTimeOffset(), 0) << "a non-finite offset is refused";
}

TEST(DateTime, TryStrToTimeReadsWhatTimeToStrWrites)
{
  TFormatSettings fs;
  fs.timeSeparator = QLatin1Char('-');
  fs.decimalSeparator = QLatin1Char(',');
  const TDateTime t = EncodeDateTimeOr0(1899, 12, 30, 5, 6, 7, 89);
  for (const char *pattern : {"hh:nn:ss", "h:nn", "hh:nn:ss.zzz", "hh:nn:ss:zzz", "h:n:s"}) {
    const QString text = FormatDateTime(QString::fromLatin1(pattern), t, fs);
    TDateTime back = -1;
    ASSERT_TRUE(TryStrToTime(text, back, fs)) << pattern << " -> " << text.toStdString();
    TDateTimeFields f, g;
    DecodeDateTime(back, f);
    DecodeDateTime(t, g);
    EXPECT_EQ(f.hour, g.hour) << pattern;
    EXPECT_EQ(f.minute, g.minute) << pattern;
    EXPECT_EQ(f.second, QString::fromLatin1(pattern).contains('s') ? g.second : 0) << pattern;
    EXPECT_EQ(f.msec, QString::fromLatin1(pattern).contains('z') ? g.msec : 0) << pattern;
  }
  // Text, expected milliseconds of the day (-1: refused).
  const std::pair<const char *, double> cases[] = {{" 1-02 ", 3720000}, {"23-59-59,999", 86399999},
                                                   {"0-0-1.5", 1005},   {"10-00-00-250", 36000250},
                                                   {"24-00", -1},       {"12-60", -1},
                                                   {"12", -1},          {"12-", -1},
                                                   {"12:30", -1},       {"1-2-3-4-5", -1},
                                                   {"abc", -1},         {"", -1},
                                                   {"123-00", -1},      {"12-30-00,1234", -1},
                                                   {"12-3x", -1},       {"-12-30", -1}};
  for (const auto &[text, ms] : cases) {
    TDateTime r = -7;
    EXPECT_EQ(TryStrToTime(QString::fromLatin1(text), r, fs), ms >= 0) << text;
    EXPECT_EQ(DateTimeToMSecs(r), ms >= 0 ? int64_t(ms) : DateTimeToMSecs(-7)) << text;
  }
}
