// The embedded tables hold exactly the keys the program's texts are written
// for; a key the code asks for that no table holds shows as the key itself.
#include "UnitTranslate.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace kp;

namespace {

QByteArray embeddedTable(const QString &name)
{
  QFile f(QStringLiteral(":/") + name);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void loadEmbedded(int installerLanguage)
{
  TLanguageSources s;
  s.LoadText = embeddedTable;
  s.InstallerLanguage = [installerLanguage](int) { return installerLanguage; };
  s.SystemLocale = [] { return QLocale(QLocale::English, QLocale::UnitedStates); };
  InitLanguages(s);
}

} // namespace

TEST(TranslateTablesReview, KeyCountsOfTheThreeTables)
{
  EXPECT_EQ(TLang(embeddedTable("translate_en.txt")).Items.size(), 269u);
  EXPECT_EQ(TLang(embeddedTable("translate_ru.txt")).Items.size(), 244u);
  EXPECT_EQ(TLang(embeddedTable("translate_ua.txt")).Items.size(), 250u);
}

TEST(TranslateTablesReview, FolderChooserOkButtonShowsItsKey)
{
  for (int lang : {LangIdEnglish, LangIdRussian, LangIdUkrainian}) {
    loadEmbedded(lang);
    EXPECT_EQ(Translate(u"Ok"), "Ok") << lang;
  }
  loadEmbedded(LangIdEnglish);
}
