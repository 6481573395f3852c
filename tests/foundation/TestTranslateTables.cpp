// Consistency of the embedded language tables and of the embedded resources
// with what the program asks for.
#include "UnitTranslate.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <gtest/gtest.h>

using namespace kp;

namespace {

const QStringList kColourKeys = {
    "colorMainBG",     "colorListBG",       "colorListText",     "colorListSelBG", "colorListSelText", "colorListGrid",
    "colorGraphBG",    "colorGraphBorderT", "colorGraphBorderB", "colorGraphText", "colorGraphOS",     "colorGraphOSm",
    "colorGraph_S",    "colorGraph_G",      "colorGraph_H",      "colorGraph_X",   "colorGraph_Y",     "colorGraph_Z",
    "colorSpeedArrow", "colorSpeedBG",      "colorSpeedText",    "colorAboutBG"};
const QStringList kMapKeys = {"gmStartX", "gmStartY", "gmStartZoom"};
// Keys the code asks for that no table holds: they show as the key itself
// (the folder chooser's OK button reads "Ok").
const QStringList kKeysShownAsThemselves = {"Ok"};
// Map menu items only the Ukrainian table carries; no menu has them.
const QStringList kUkrainianOnlyKeys = {"N_View_Maps", "N_View_NoMaps", "N_View_YandexMaps"};

const char *const kTableNames[] = {"translate_en.txt", "translate_ru.txt", "translate_ua.txt"};

QByteArray embedded(const QString &name)
{
  QFile f(QStringLiteral(":/") + name);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QSet<QString> lowered(const QStringList &keys)
{
  QSet<QString> out;
  for (const QString &k : keys) out.insert(k.toLower());
  return out;
}

QSet<QString> keysOf(const TLang &lang)
{
  QSet<QString> out;
  for (const auto &item : lang.Items) out.insert(item.Key);
  return out;
}

QSet<QString> englishKeys()
{
  return keysOf(TLang(embedded("translate_en.txt")));
}

void loadEmbeddedTables(int installerLanguage)
{
  TLanguageSources s;
  s.InstallerLanguage = [installerLanguage](int) { return installerLanguage; };
  InitLanguages(s);
}

QString sourceDir()
{
  // From the build, not __FILE__: a compiler cache may make that relative.
  return QStringLiteral(KP_SOURCE_ROOT "/src");
}

// String literals passed as the first argument of one of Functions in Text.
QSet<QString> literalsIn(const QString &text, const QString &functions)
{
  const QRegularExpression call(
      QStringLiteral("\\b(?:%1)\\s*\\(\\s*(?:u8?|QStringLiteral\\s*\\(\\s*|QLatin1String\\s*\\(\\s*|"
                     "QString\\s*\\(\\s*)?\"([^\"]*)\"")
          .arg(functions));
  QSet<QString> found;
  for (const auto &m : call.globalMatch(text)) found.insert(m.captured(1));
  return found;
}

// The same over every source file of the program.
QSet<QString> literalArguments(const QString &functions)
{
  QSet<QString> found;
  QDirIterator it(sourceDir(), {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    QFile f(it.next());
    if (f.open(QIODevice::ReadOnly)) found |= literalsIn(QString::fromUtf8(f.readAll()), functions);
  }
  return found;
}

} // namespace

TEST(TranslateTables, RussianAndUkrainianKeysExistInEnglish)
{
  const QSet<QString> english = englishKeys();
  const QSet<QString> ukrainianOnly = lowered(kUkrainianOnlyKeys);
  const TLang ru(embedded("translate_ru.txt"));
  const TLang ua(embedded("translate_ua.txt"));
  for (const QString &k : keysOf(ru)) EXPECT_TRUE(english.contains(k)) << "ru: " << k.toStdString();
  for (const QString &k : keysOf(ua))
    EXPECT_TRUE(english.contains(k) || ukrainianOnly.contains(k)) << "ua: " << k.toStdString();
  // Colours are inherited from English by both; the Russian map view too.
  const QSet<QString> colours = lowered(kColourKeys);
  EXPECT_EQ(keysOf(ru), english - colours - lowered(kMapKeys));
  EXPECT_EQ(keysOf(ua), (english - colours) | ukrainianOnly);
  const TLang en(embedded("translate_en.txt"));
  // No key twice: as many lines as different keys.
  for (const TLang *lang : {&en, &ru, &ua})
    EXPECT_EQ(lang->Items.size(), size_t(keysOf(*lang).size())) << lang->ID.toStdString();
}

TEST(TranslateTables, EveryLineIsAKeyAndAQuotedValue)
{
  const QRegularExpression entry(QStringLiteral("^[A-Za-z][A-Za-z0-9_]*[ \\t]+\"[^\\r\\n]*\"$"));
  for (const char *name : kTableNames) {
    const QByteArray bytes = embedded(name);
    ASSERT_FALSE(bytes.isEmpty()) << name;
    const QString text = QString::fromUtf8(bytes);
    EXPECT_EQ(text.toUtf8(), bytes) << name << " is not valid UTF-8";
    int line = 0;
    for (const QString &raw : text.split(u'\n')) {
      ++line;
      const QString l = raw.trimmed();
      if (l.isEmpty()) continue;
      EXPECT_TRUE(entry.match(l).hasMatch()) << name << ":" << line << ": " << l.toStdString();
      EXPECT_EQ(l.count(u'"') % 2, 0) << name << ":" << line;
    }
  }
}

TEST(TranslateTables, ColourAndMapViewValuesParse)
{
  const TLang en(embedded("translate_en.txt"));
  const QRegularExpression hex(QStringLiteral("^#[0-9A-F]{6}$"));
  for (const QString &key : kColourKeys) {
    const QString v = en.GetValue(key);
    TThemeRole role;
    EXPECT_TRUE(hex.match(v).hasMatch() || ThemeRoleForColorName(v, role)) << key.toStdString();
  }
  for (const QString &key : kMapKeys) EXPECT_TRUE(en.GetValue(key).toDouble() > 0) << key.toStdString();
}

TEST(TranslateTables, ReferencesPlaceholdersAndContacts)
{
  for (int lang : {LangIdEnglish, LangIdRussian, LangIdUkrainian}) {
    loadEmbeddedTables(lang);
    const TLang &table = Langs()[size_t(CurLang())];
    ASSERT_EQ(table.SystemID, lang);
    for (const auto &item : table.Items) {
      const QString &v = item.Value;
      EXPECT_FALSE(v.isEmpty()) << item.Key.toStdString();
      EXPECT_FALSE(v.size() > 1 && v.startsWith(u'%') && v.endsWith(u'%')) << item.Key.toStdString();
    }
    EXPECT_EQ(Translate(u"FileList_Col_Name"), Translate(u"Name"));
    EXPECT_EQ(Translate(u"FileList_Col_Duration"), Translate(u"Duration"));
    EXPECT_EQ(Translate(u"FileList_Col_DateTime"), Translate(u"DateTime"));
    EXPECT_TRUE(Translate(u"Cropping_BigFPS").contains(u"%fps%"));
    EXPECT_TRUE(Translate(u"Cropping_KeyFrameOnly").contains(u"%key%"));
    EXPECT_EQ(Translate(u"Mes_EVR_Screenshot").count(u"\r\n"), 3);
    // The maker's contacts come from the build, never from a table.
    for (const auto &item : table.Items) EXPECT_FALSE(item.Value.contains(u"example.")) << item.Key.toStdString();
    for (const char16_t *key : {u"MyEMail", u"MySite", u"MyCity", u"MyName"})
      EXPECT_EQ(Translate(key), QString::fromUtf16(key));
    // A key no table holds (the folder chooser's button) shows as itself.
    EXPECT_EQ(Translate(u"Ok"), "Ok");
  }
  loadEmbeddedTables(LangIdEnglish);
}

TEST(TranslateTables, KeyScannerFindsEveryCallForm)
{
  const QString code =
      QStringLiteral("Translate(\"A\"); TranslateCP(u\"B\", 65001); TranslateColor( QStringLiteral(\"C\") );\n"
                     "TranslateMenuItem(\"no\"); Translate(key); x = Translate (QLatin1String(\"D\"));");
  EXPECT_EQ(literalsIn(code, QStringLiteral("Translate|TranslateCP|TranslateColor")),
            QSet<QString>({"A", "B", "C", "D"}));
}

TEST(TranslateTables, EveryKeyTheCodeAsksForIsInEnglish)
{
  ASSERT_TRUE(QFileInfo(sourceDir()).isDir()) << sourceDir().toStdString();
  const QSet<QString> english = englishKeys() | lowered(kKeysShownAsThemselves);
  for (const QString &key : literalArguments(QStringLiteral("Translate|TranslateCP|TranslateColor|DisplayColour")))
    EXPECT_TRUE(english.contains(key.toLower())) << "no English text for \"" << key.toStdString() << "\"";
}

// ---------------------------------------------------------------- resources

namespace {

// The second map provider's page does not exist: the program never loads it.
const QStringList kNotYetEmbedded = {"ym.html"};

bool resourceExists(const QString &name)
{
  return QFile::exists(QStringLiteral(":/") + name);
}

} // namespace

TEST(EmbeddedResources, EveryResourceTheCodeNamesExists)
{
  ASSERT_TRUE(QFileInfo(sourceDir()).isDir());
  QSet<QString> names = literalArguments(
      QStringLiteral("LoadResourceText|LoadResourceBitmap|LoadResourceIcon|LoadResourceImage|ResourceExists|"
                     "ResourcePath|NavigateResource"));
  for (QString name : names) {
    if (name.startsWith(u'/')) name.remove(0, 1);
    if (name.isEmpty() || kNotYetEmbedded.contains(name)) continue;
    EXPECT_TRUE(resourceExists(name)) << name.toStdString();
  }
}

TEST(EmbeddedResources, ImagesAreReadable)
{
  // Formats by their magic numbers: BMP "BM", icon 00 00 01 00, PNG signature.
  QDirIterator it(QStringLiteral(":/"), QDir::Files);
  int count = 0;
  while (it.hasNext()) {
    const QString name = QFileInfo(it.next()).fileName();
    ++count;
    const QByteArray data = embedded(name);
    ASSERT_FALSE(data.isEmpty()) << name.toStdString();
    if (name.endsWith(".bmp")) {
      ASSERT_GE(data.size(), 54) << name.toStdString();
      EXPECT_TRUE(data.startsWith("BM")) << name.toStdString();
      const auto size = quint32(uchar(data[2])) | quint32(uchar(data[3])) << 8 | quint32(uchar(data[4])) << 16 |
                        quint32(uchar(data[5])) << 24;
      EXPECT_EQ(size, quint32(data.size())) << name.toStdString();
    } else if (name.endsWith(".ico")) {
      EXPECT_TRUE(data.startsWith(QByteArray("\0\0\1\0", 4))) << name.toStdString();
    } else if (name.endsWith(".png")) {
      EXPECT_TRUE(data.startsWith("\x89PNG\r\n\x1a\n")) << name.toStdString();
    } else {
      const QString text = QString::fromUtf8(data);
      EXPECT_EQ(text.toUtf8(), data) << name.toStdString() << " is not UTF-8";
    }
  }
  EXPECT_GE(count, 30);
}

TEST(EmbeddedResources, GlyphsAreTransparentAtTheBottomLeft)
{
  // Glyphs, list icons and menu bitmaps take their transparent colour from
  // the bottom-left pixel, the first one stored in a bottom-up 24-bit BMP.
  QStringList glyphs;
  QDirIterator it(QStringLiteral(":/"));
  while (it.hasNext()) {
    const QString name = QFileInfo(it.next()).fileName();
    if (name.endsWith(".bmp") &&
        (name.startsWith("Btn_") || name.startsWith("FileList_icon_") || name.startsWith("N_")))
      glyphs << name;
  }
  EXPECT_GE(glyphs.size(), 12);
  const QSet<QString> english = englishKeys();
  for (const QString &name : glyphs) {
    const QByteArray data = embedded(name);
    ASSERT_GE(data.size(), 57) << name.toStdString();
    EXPECT_EQ(data.mid(54, 3), QByteArray("\xFF\x00\xFF", 3)) << name.toStdString();
    // A menu bitmap is found by its item's name; a misspelt one is never shown.
    if (name.startsWith("N_")) {
      EXPECT_TRUE(english.contains(name.chopped(4).toLower())) << name.toStdString();
    }
  }
}

TEST(EmbeddedResources, ReleaseNotesForEachLanguage)
{
  EXPECT_TRUE(embedded("WhatsNew.txt").contains("1.1"));
  for (const char *id : {"ru", "ua"}) {
    const QByteArray notes = embedded(QStringLiteral("WhatsNew_%1.txt").arg(QLatin1String(id)));
    EXPECT_FALSE(notes.isEmpty()) << id;
  }
  const QByteArray ads = embedded("Ads.html");
  EXPECT_TRUE(ads.contains("name=\"height\"")) << "the strip takes its height from the page";
}
