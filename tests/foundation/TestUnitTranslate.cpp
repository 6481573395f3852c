#include "UnitTranslate.h"

#include <QFile>
#include <gtest/gtest.h>
#include <map>

using namespace kp;

namespace {

QByteArray embedded(const QString &name)
{
  QFile f(QStringLiteral(":/") + name);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Tables given as texts, English first; a missing name loads nothing.
TLanguageSources fakeSources(std::map<QString, QByteArray> tables, int installerLanguage)
{
  TLanguageSources s;
  s.LoadText = [tables](const QString &name) {
    const auto it = tables.find(name);
    return it == tables.end() ? QByteArray() : it->second;
  };
  s.InstallerLanguage = [installerLanguage](int) { return installerLanguage; };
  s.SystemLocale = [] { return QLocale(QLocale::English, QLocale::UnitedStates); };
  return s;
}

TLanguageSources embeddedSources(int installerLanguage)
{
  TLanguageSources s = fakeSources({}, installerLanguage);
  s.LoadText = embedded;
  return s;
}

const QByteArray kEnglish = "LangCharSet \"0\"\nLangCodePage \"0\"\nLangSystemID \"1033\"\n"
                            "LangID \"en\"\nLangName \"English\"\n"
                            "colorGraph_S \"#0000FF\"\nOnlyEnglish \"english text\"\n"
                            "Name \"Name\"\nFileList_Col_Name \"%Name%\"\n";
const QByteArray kRussian = "LangCharSet \"204\"\nLangCodePage \"1251\"\nLangSystemID \"1049\"\n"
                            "LangID \"ru\"\nLangName \"Русский\"\nName \"Имя\"\n"
                            "FileList_Col_Name \"%Name%\"\nRefEnglish \"%OnlyEnglish%\"\nRefNowhere \"%Nowhere%\"\n";
const QByteArray kUkrainian = "LangCharSet \"204\"\nLangCodePage \"1251\"\nLangSystemID \"1058\"\n"
                              "LangID \"ua\"\nLangName \"Українська\"\nName \"Ім'я\"\n";

std::map<QString, QByteArray> threeTables()
{
  return {{"translate_en.txt", kEnglish}, {"translate_ru.txt", kRussian}, {"translate_ua.txt", kUkrainian}};
}

} // namespace

// Leaves the program's own tables in English behind, for tests that follow
// in the same process.
class TranslateTest : public ::testing::Test {
protected:
  void TearDown() override
  {
    SetThemeColorResolver({});
    InitLanguages(embeddedSources(LangIdEnglish));
  }
};

// ---------------------------------------------------------------- table parsing

TEST(TLangParse, LinesKeysAndQuotedValues)
{
  // Text, the number of entries, then key/value pairs it must give.
  struct Case {
    QByteArray text;
    size_t entries;
    std::vector<std::pair<const char16_t *, const char *>> values;
  };
  const Case cases[] = {
      // A key without a value adds nothing and keeps the rest.
      {"first \"1\"\nlonely\nblanks    \t \nsecond \"2\"\n", 2, {{u"first", "1"}, {u"second", "2"}, {u"lonely", ""}}},
      {"msg \"first\\nsecond\"\n", 1, {{u"msg", "first\r\nsecond"}}},
      // A leading quote alone still loses the last character; an empty
      // quoted value and a lone quote are entries with empty values.
      {"a \"open end\nb \"\"\nc \"\nd plain\n", 4, {{u"a", "open en"}, {u"d", "plain"}, {u"b", ""}, {u"c", ""}}},
      {"\xEF\xBB\xBFLangID\t\"en\"\r\n\r\n   spaced   \t  \"x y\"  \r\x01"
       "ctrl \"c\"\x02\ntabbed\t\t\"t\"\n",
       4,
       {{u"LangID", "en"}, {u"spaced", "x y"}, {u"ctrl", "c"}, {u"tabbed", "t"}}},
      // Keys ignore case and the first entry wins.
      {"EVROnly \"first\"\nevronly \"second\"\n", 2, {{u"EVRonly", "first"}, {u"EVRONLY", "first"}}},
  };
  for (const Case &c : cases) {
    const TLang lang(c.text);
    EXPECT_EQ(lang.Items.size(), c.entries) << c.text.toStdString();
    for (const auto &[key, value] : c.values)
      EXPECT_EQ(lang.GetValue(key), QString::fromUtf8(value)) << c.text.toStdString();
  }
}

TEST(TLangParse, HeaderValuesThatAreNoNumbers)
{
  const TLang odd(QByteArray("LangCodePage \"cp1251\"\nLangSystemID \"\"\n"));
  EXPECT_EQ(odd.CodePage, 0);
  EXPECT_EQ(odd.SystemID, 0);
  const TLang empty{QByteArray()};
  EXPECT_TRUE(empty.Items.empty());
  EXPECT_EQ(empty.CodePage, 0);
  EXPECT_EQ(empty.Name, "");
}

// ---------------------------------------------------------------- lookups

TEST_F(TranslateTest, FallsBackToEnglishThenToTheKey)
{
  InitLanguages(fakeSources(threeTables(), LangIdUkrainian));
  ASSERT_EQ(CurLang(), LangUkrainian);
  EXPECT_EQ(Translate(u"colorGraph_S"), "#0000FF");
  EXPECT_EQ(Translate(u"Name"), QString::fromUtf8("Ім'я"));
  EXPECT_EQ(Translate(u"NoSuchKeyAnywhere"), "NoSuchKeyAnywhere");
  EXPECT_EQ(Translate(u""), "");
}

TEST_F(TranslateTest, InstallerLanguageChoosesTheTable)
{
  InitLanguages(fakeSources(threeTables(), LangIdRussian));
  EXPECT_EQ(CurLang(), LangRussian);
  EXPECT_EQ(Translate(u"name"), QString::fromUtf8("Имя"));
  InitLanguages(fakeSources(threeTables(), 1031)); // German: no table
  EXPECT_EQ(CurLang(), LangEnglish);
  EXPECT_EQ(Translate(u"Name"), "Name");
}

TEST_F(TranslateTest, InstallerLanguageDefaultsFromTheLocale)
{
  auto sources = fakeSources(threeTables(), 0);
  int askedDefault = -1;
  sources.InstallerLanguage = [&askedDefault](int def) {
    askedDefault = def;
    return def;
  };
  sources.SystemLocale = [] { return QLocale(QLocale::Ukrainian, QLocale::Ukraine); };
  InitLanguages(sources);
  EXPECT_EQ(askedDefault, LangIdUkrainian);
  EXPECT_EQ(CurLang(), LangUkrainian);
  EXPECT_EQ(LanguageIdForLocale(QLocale(QLocale::Russian)), LangIdRussian);
  EXPECT_EQ(LanguageIdForLocale(QLocale(QLocale::German)), LangIdEnglish);
}

TEST_F(TranslateTest, PercentReferencesResolveOnceAtStartUp)
{
  InitLanguages(fakeSources(threeTables(), LangIdRussian));
  const auto &langs = Langs();
  ASSERT_EQ(langs.size(), 3u);
  EXPECT_EQ(langs[LangEnglish].GetValue(u"FileList_Col_Name"), "Name");
  EXPECT_EQ(langs[LangRussian].GetValue(u"FileList_Col_Name"), QString::fromUtf8("Имя"));
  EXPECT_EQ(langs[LangRussian].GetValue(u"RefEnglish"), "english text");
  EXPECT_EQ(langs[LangRussian].GetValue(u"RefNowhere"), "Nowhere");
  // The Russian table holds the resolved text itself.
  SetCurLang(LangUkrainian);
  EXPECT_EQ(Translate(u"RefEnglish"), "RefEnglish");
  SetCurLang(LangRussian);
  EXPECT_EQ(Translate(u"RefEnglish"), "english text");
}

TEST_F(TranslateTest, MissingTablesGiveKeysAndAreNeverChosen)
{
  InitLanguages(fakeSources({{"translate_en.txt", kEnglish}}, 0));
  ASSERT_EQ(Langs().size(), 3u);
  EXPECT_TRUE(Langs()[LangRussian].Items.empty());
  EXPECT_EQ(CurLang(), LangEnglish);
  SetCurLang(LangRussian);
  EXPECT_EQ(Translate(u"OnlyEnglish"), "english text");
  SetCurLang(7); // ignored
  EXPECT_EQ(CurLang(), LangRussian);
  InitLanguages(fakeSources({}, LangIdEnglish));
  EXPECT_EQ(Translate(u"Cancel"), "Cancel");
}

TEST_F(TranslateTest, TranslateCPEncodesTheText)
{
  InitLanguages(fakeSources(threeTables(), LangIdRussian));
  const QByteArray utf8 = QString::fromUtf8("Имя").toUtf8();
  EXPECT_EQ(TranslateCP(u"Name", 65001), utf8);
  EXPECT_EQ(TranslateCP(u"Name", 0), utf8);
  EXPECT_EQ(TranslateCP(u"Name", 1251), QByteArray("\xC8\xEC\xFF"));
  // Characters the code page cannot hold become "?".
  SetCurLang(LangUkrainian);
  EXPECT_EQ(TranslateCP(u"Name", 1252), QByteArray("?"
                                                   "?'?"));
  // A code page the platform does not know keeps the UTF-8 text.
  EXPECT_EQ(TranslateCP(u"Name", 99999), QString::fromUtf8("Ім'я").toUtf8());
  EXPECT_EQ(TranslateCP(u"UnknownKey", 1251), QByteArray("UnknownKey"));
}

// ---------------------------------------------------------------- colours

TEST_F(TranslateTest, ColourTexts)
{
  // Pairs cut short or holding other characters count 0 digit by digit;
  // plain numbers are platform colour values with red in the low byte;
  // neither a colour nor a number is pure red.
  const std::pair<const char16_t *, uint32_t> cases[] = {
      {u"#996E0B", 0x0B6E99u},
      {u"#FF80", RGBColor(255, 128, 0)},
      {u"#", 0},
      {u"#GG0000", 0},
      {u"255", RGBColor(255, 0, 0)},
      {u"16711680", RGBColor(0, 0, 255)},
      {u"$FF00", RGBColor(0, 255, 0)},
      {u"0", 0},
      {u"blue-ish", 255},
      {u"", 255},
      {u"-1", 255},
      {u"16777216", 255},
      // Colour names; an unknown "cl" name or one too short shows as pure red.
      {u"clRed", RGBColor(255, 0, 0)},
      {u"clsilver", RGBColor(192, 192, 192)},
      {u"clNoSuchColour", 255},
      {u"cl", 255}};
  for (const auto &[text, colour] : cases)
    EXPECT_EQ(ColorFromText(text), colour) << QString::fromUtf16(text).toStdString();
}

TEST_F(TranslateTest, ThemeColourNames)
{
  EXPECT_EQ(ColorFromText(u"clWindow"), DefaultThemeColor(TThemeRole::Base));
  EXPECT_EQ(ColorFromText(u"clBtnFace"), DefaultThemeColor(TThemeRole::Window));
  TThemeRole role;
  ASSERT_TRUE(ThemeRoleForColorName(u"CLHIGHLIGHTTEXT", role));
  EXPECT_EQ(role, TThemeRole::HighlightedText);
  EXPECT_FALSE(ThemeRoleForColorName(u"clRed", role));
}

TEST_F(TranslateTest, ThemeColoursComeFromTheResolver)
{
  SetThemeColorResolver(
      [](TThemeRole role) { return role == TThemeRole::Highlight ? RGBColor(1, 2, 3) : RGBColor(9, 9, 9); });
  InitLanguages(embeddedSources(LangIdEnglish));
  EXPECT_EQ(TranslateColor(u"colorListSelBG"), RGBColor(1, 2, 3));
  EXPECT_EQ(TranslateColor(u"colorListBG"), RGBColor(9, 9, 9));
  SetThemeColorResolver({});
  EXPECT_EQ(TranslateColor(u"colorListBG"), DefaultThemeColor(TThemeRole::Base));
}

TEST_F(TranslateTest, TranslateColorUsesTheActiveTable)
{
  InitLanguages(embeddedSources(LangIdUkrainian));
  EXPECT_EQ(TranslateColor(u"colorGraph_Z"), RGBColor(0xD3, 0x00, 0xA9));
  EXPECT_EQ(TranslateColor(u"colorSpeedArrow"), RGBColor(255, 0, 0));
  // A key found nowhere is its own text, which is no colour.
  EXPECT_EQ(TranslateColor(u"colorNoSuchKey"), 255u);
}
