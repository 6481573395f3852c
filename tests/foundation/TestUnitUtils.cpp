#include "UnitUtils.h"

#include <QTemporaryDir>
#include <charconv>
#include <clocale>
#include <random>
#include <tuple>

#include "TestSupport.h"

using namespace kp;

TEST(StringBuffer, AppendsAcrossGrowthAndClears)
{
  TStringBuffer b(10);
  b.Append(QByteArray(65, 'x'));
  b.Append("abc");
  EXPECT_EQ(b.GetText(), QByteArray(65, 'x') + "abc");
  b.Clear();
  EXPECT_EQ(b.GetLength(), 0);
  b.Append(QByteArray(1000, 'y'));
  EXPECT_EQ(b.GetText(), QByteArray(1000, 'y'));
}

TEST(NumberText, StrToFloatAnyAcceptsPointOrCommaOnly)
{
  const std::pair<const char *, double> cases[] = {{"1,5", 1.5}, {"1.5", 1.5}, {"  -2.25 ", -2.25},
                                                   {"+7", 7},    {",5", 0.5},  {"1e3", 1000}};
  for (const auto &[text, value] : cases) {
    EXPECT_DOUBLE_EQ(StrToFloatAny(QByteArrayView(text), 0), value) << text;
    EXPECT_DOUBLE_EQ(StrToFloatAny(QStringView(QString::fromLatin1(text)), 0), value) << text;
  }
  for (const char *bad :
       {"1.2.3", "", " ", "abc", "1,2,3", "1,000.5", "nan", "inf", "-inf", "0x10", "+-1", "--1", "1.5x", "+", "."})
    EXPECT_EQ(StrToFloatAny(QByteArrayView(bad), -99), -99) << bad;
  EXPECT_EQ(StrToFloatAny(QStringView(u"1٫5"), -1), -1);
}

TEST(NumberText, FloatToStrDotCutsInsteadOfRounding)
{
  // Binary noise must not eat the last kept digit (100.3, 0.3); fixed format
  // rounds.
  const std::tuple<double, int, bool, const char *> cases[] = {
      {1.23456789, 3, false, "1.234"},
      {100.3, 1, false, "100.3"},
      {0.3, 2, false, "0.3"},
      {1.5e-7, 9, false, "0.00000015"},
      {1e20, 2, false, "100000000000000000000"},
      {-0.0, 2, false, "0"},
      {42, 2, false, "42"},
      {2.375, 2, true, "2.38"},
      {0.125, 2, true, "0.12"},
      {0.6, 3, true, "0.600"},
      {std::numeric_limits<double>::quiet_NaN(), 2, false, "NAN"}};
  for (const auto &[value, digits, fixed, text] : cases)
    EXPECT_EQ(FloatToStrDot(value, digits, fixed), QLatin1String(text)) << value;
  EXPECT_EQ(CoordToStr(55.7), QStringLiteral("55.700000"));
  EXPECT_EQ(CoordToStr(-0.0000001), QStringLiteral("0.000000"));
  // The widest fixed text there is still fits.
  EXPECT_EQ(FloatToStrDot(-1.7e308, 340, true).size(), 1 + 309 + 1 + 340);
}

TEST(NumberText, GeneralFormatIsShortestRoundTripTextTruncated)
{
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> mant(-1, 1);
  std::uniform_int_distribution<int> exp(-12, 12), dig(0, 9);
  for (int i = 0; i < 5000; ++i) {
    const double v = mant(rng) * std::pow(10.0, exp(rng));
    const int digits = dig(rng);
    char buf[512];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
    std::string shortest(buf, r.ptr);
    const size_t p = shortest.find('.');
    if (p != std::string::npos && p + 1 + digits < shortest.size()) shortest.resize(p + 1 + digits);
    if (shortest.find_first_not_of("-0.") == std::string::npos && shortest[0] == '-') shortest.erase(0, 1);
    ASSERT_EQ(FloatToStrDot(v, digits).toStdString(), shortest) << v << " " << digits;
    // The text, read back, never differs from the value by more than the cut.
    EXPECT_NEAR(StrToFloatAny(QStringView(FloatToStrDot(v, digits)), 1e9), v, std::pow(10.0, -digits) * 1.0000001);
  }
}

TEST(NumberText, IndependentOfTheProcessLocale)
{
  const char *old = std::setlocale(LC_ALL, nullptr);
  const std::string saved = old ? old : "C";
  if (!std::setlocale(LC_ALL, "ru_RU.UTF-8")) {
    if (kptest::underCI()) FAIL() << "ru_RU.UTF-8 locale missing under CI";
    GTEST_SKIP() << "ru_RU.UTF-8 locale not generated";
  }
  EXPECT_EQ(FloatToStrDot(3.75, 2), QStringLiteral("3.75"));
  EXPECT_EQ(CoordToStr(-12.5), QStringLiteral("-12.500000"));
  EXPECT_DOUBLE_EQ(StrToFloatAny(QByteArrayView("0.75"), 0), 0.75);
  EXPECT_DOUBLE_EQ(StrToFloatAny(QByteArrayView("0,75"), 0), 0.75);
  EXPECT_EQ(StrToIntDef(QByteArrayView(" 42 "), 0), 42);
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(NumberText, IntegersHexAndPadding)
{
  EXPECT_EQ(IntToStrZ(7, 3), QStringLiteral("007"));
  EXPECT_EQ(IntToStrZ(1234, 2), QStringLiteral("1234"));
  EXPECT_EQ(IntToStrZ(1, 30).size(), 15); // at most 14 zeros are added
  EXPECT_EQ(IntToStr2(5), QStringLiteral("05"));
  for (const auto &[text, value] : {std::pair(u"4F", 79), {u"ff", 255}, {u"F", 0}, {u"4FF", 0}})
    EXPECT_EQ(HexByteValue(text), value);
  EXPECT_EQ(HexDigitValue(QLatin1Char('g')), 0);
  EXPECT_EQ(StrToIntDef(QByteArrayView("12ab"), -1), -1);
  EXPECT_EQ(StrToIntDef(QByteArrayView("99999999999"), -1), -1);
  EXPECT_EQ(StrToInt64Def(QByteArrayView("-9223372036854775808"), 0), INT64_MIN);
}

TEST(Strings, SplitKeepsEmptyPartsOnlyWhenAsked)
{
  TArrayString parts;
  EXPECT_EQ(SplitStringCount(u"a,,b", u",", false, parts), 2);
  EXPECT_EQ(SplitStringCount(u"a,,b", u",", true, parts), 3);
  EXPECT_EQ(parts.at(1), QString());
  EXPECT_EQ(SplitStringCount(u",a;b,", u",;", true, parts), 4);
  EXPECT_EQ(SplitStringCount(u"", u",", true, parts), 0);
  TArrayBytes bytes;
  EXPECT_EQ(SplitStringCount(QByteArrayView("$GPRMC,1,,2"), QByteArrayView(","), true, bytes, 20), 4);
  EXPECT_EQ(bytes.at(3), QByteArray("2"));
}

TEST(Strings, TokensQueriesAndFileNames)
{
  QString t = QStringLiteral("one::two::three");
  EXPECT_EQ(CutToken(t, u"::"), QStringLiteral("one"));
  EXPECT_EQ(t, QStringLiteral("two::three"));
  EXPECT_EQ(CutToken(t, u"x"), QStringLiteral("two::three"));
  EXPECT_TRUE(t.isEmpty());

  QString q = QStringLiteral("zoom=12&flag&x=a=b"), n, v;
  ASSERT_TRUE(NextQueryParam(q, n, v));
  EXPECT_EQ(n, QStringLiteral("zoom"));
  EXPECT_EQ(v, QStringLiteral("12"));
  ASSERT_TRUE(NextQueryParam(q, n, v));
  EXPECT_EQ(n, QStringLiteral("flag"));
  EXPECT_TRUE(v.isEmpty());
  ASSERT_TRUE(NextQueryParam(q, n, v));
  EXPECT_EQ(v, QStringLiteral("a=b"));
  EXPECT_FALSE(NextQueryParam(q, n, v));

  EXPECT_EQ(ExtractFileNameNoExt(QStringLiteral("/a.b/FILE0001.MOV")), QStringLiteral("FILE0001"));
  EXPECT_EQ(ExtractFileNameNoExt(QStringLiteral("/a.b/noext")), QStringLiteral("noext"));
  EXPECT_EQ(ExtractFileNameNoExt(QStringLiteral("x.tar.gz")), QStringLiteral("x.tar"));
  EXPECT_EQ(ChangeFileExt(QStringLiteral("/a.b/clip"), QStringLiteral(".3gf")), QStringLiteral("/a.b/clip.3gf"));
  EXPECT_EQ(ExtractFileExt(QStringLiteral("/a.b/clip")), QString());
}

TEST(Strings, CodePages)
{
  const QString ru = QStringLiteral("Привет");
  const QByteArray cp1251 = EncodeCodePage(ru, 1251);
  EXPECT_EQ(cp1251.size(), 6);
  EXPECT_EQ(static_cast<uint8_t>(cp1251[0]), 0xCF);
  EXPECT_EQ(DecodeCodePage(cp1251, 1251), ru);
  EXPECT_EQ(ConvertCodePage(cp1251, 1251, 65001), ru.toUtf8());
  // Characters the target cannot hold become "?".
  EXPECT_EQ(EncodeCodePage(QStringLiteral("a€ж"), 1252), QByteArray("a\x80?"));
  EXPECT_TRUE(ConvertCodePage(QByteArray(), 1251, 65001).isEmpty());
}

TEST(Strings, ShiftKeySearch)
{
  const QByteArray plain("$GPRMC,123");
  const QByteArray scrambled = ShiftText(plain, -5);
  EXPECT_EQ(ShiftText(scrambled, 5), plain);
  TCharSet required, allowed;
  required.addAll("$GPRMC");
  allowed.addRange(32, 126);
  EXPECT_EQ(FindShiftKey(scrambled, required, allowed), 5);
  EXPECT_EQ(FindShiftKey(plain, required, allowed), 0);
  TCharSet none;
  none.add('Z');
  EXPECT_EQ(FindShiftKey(scrambled, none, allowed), 0);
}

TEST(DateText, IsoAndFixedPositionParsing)
{
  const TDateTime t = EncodeDateTimeOr0(2019, 7, 4, 9, 8, 7);
  EXPECT_EQ(DateTimeToISO(t), QStringLiteral("2019-07-04T09:08:07Z"));
  EXPECT_EQ(ParseDateTime19(QByteArrayView("2019-07-04 09:08:07")), t);
  const std::pair<const char16_t *, TDateTime> fixed[] = {{u"2019-07-04T09:08:07Z", t},
                                                          {u"2019-07-04T09:08", 0},
                                                          {u"2019-13-04T09:08:07Z", 0},
                                                          {u"2019-02-30T09:08:07Z", 0},
                                                          {u"2019-02-03T09:08:60Z", 0}};
  for (const auto &[text, value] : fixed) EXPECT_EQ(ParseDateTime19(QStringView(text)), value);
  const std::pair<const char16_t *, TDateTime> iso[] = {{u"2019-07-04T09:08:07.5Z", t + 0.5 / 86400},
                                                        {u"1900-07-04T09:08:07Z", 0},
                                                        {u"+12019-07-04T09:08:07Z", t},
                                                        {u"2019-00-04T09:08:07Z", 0},
                                                        {u"2019-13-04T09:08:07Z", 0}};
  for (const auto &[text, value] : iso) EXPECT_DOUBLE_EQ(ParseISODateTime(text), value);
}

TEST(DateText, DurationsAndClockText)
{
  EXPECT_EQ(MsToTimeStr(3723004), QStringLiteral("1:02:03.004"));
  EXPECT_EQ(MsToTimeStr(100LL * 3600000), QStringLiteral("100:00:00.000"));
  const std::tuple<bool, int64_t, const char *> cases[] = {
      {true, 90061000, "1d01:01:01"}, {false, 125000, "2"}, {true, 125000, "2:05"}, {false, 3900000, "1:05"}};
  for (const auto &[seconds, ms, text] : cases) EXPECT_EQ(DurationToStr(seconds, ms), QLatin1String(text)) << ms;
}

TEST(Files, TimesRoundTripThroughTheLocalOffset)
{
  SetLocalTimeOffset(2.0 / 24);
  const TDateTime local = EncodeDateTimeOr0(2022, 6, 1, 12, 0, 0);
  EXPECT_NEAR(FileTimeToLocalDateTime(LocalDateTimeToFileTime(local)), local, 1e-9);
  EXPECT_EQ(FileTimeToLocalDateTime(0), 0);

  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("a.bin"));
  ASSERT_TRUE(kptest::writeFileBytes(path, "xyz"));
  TDateTime created = -1, modified = -1;
  ASSERT_TRUE(GetFileTimes(path, created, modified));
  EXPECT_NEAR(modified - 2.0 / 24, Now() - SystemLocalTimeOffset(), 1e-3);
  EXPECT_EQ(LoadFileToString(path), QByteArray("xyz"));
  EXPECT_TRUE(LoadFileToString(dir.filePath(QStringLiteral("missing"))).isEmpty());
  EXPECT_FALSE(GetFileTimes(dir.filePath(QStringLiteral("missing")), created, modified));
  EXPECT_EQ(created, 0);

  SetFileTimesSource([](const QString &, TDateTime &c, TDateTime &m) {
    c = 10;
    m = 20;
    return true;
  });
  ASSERT_TRUE(GetFileTimes(QStringLiteral("/nowhere"), created, modified));
  EXPECT_EQ(created, 10);
  EXPECT_EQ(modified, 20);
  SetFileTimesSource({});
  SetLocalTimeOffset(0);
}
