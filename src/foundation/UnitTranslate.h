#pragma once
// The program's user-visible texts, looked up by key in one of three embedded
// language tables (English, Russian, Ukrainian). The same tables carry the
// interface colours and the map's starting view, so a language may restyle the
// program. Texts stay Unicode in memory whatever code page a table's header
// names; TranslateCP encodes on the way out for callers that need bytes.

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QLocale>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <functional>
#include <vector>

namespace kp {

struct TLangItem {
  QString Key;   // lower-cased
  QString Value; // quotes removed, "\n" turned into CR LF
};

// One language table, built from the text of its resource.
class TLang {
public:
  TLang() = default;
  // Parses the table text (UTF-8, optional byte-order mark). Never fails: an
  // empty or unreadable text gives a table with no entries.
  explicit TLang(QByteArrayView text);

  // Value of the first entry whose key equals Key lower-cased; empty if none.
  QString GetValue(QStringView key) const;

  int32_t CodePage = 0; // LangCodePage; informational, values are Unicode
  int32_t CharSet = 0;  // LangCharSet: font character set of the language
  int32_t SystemID = 0; // LangSystemID: language id that selects this table
  QString ID;           // LangID: short code sent with the update query
  QString Name;         // LangName: shown in the language menu
  std::vector<TLangItem> Items;

  // Replaces the value of item I (used once at start-up for "%key%" macros).
  void SetItemValue(size_t i, const QString &value) { Items[i].Value = value; }

private:
  QHash<QString, int> FIndex; // lower-cased key -> first item with it
};

// Index of each table in Langs().
enum TLangIndex : int { LangEnglish = 0, LangRussian = 1, LangUkrainian = 2 };

// Platform language ids of the three tables.
constexpr int LangIdEnglish = 1033;
constexpr int LangIdRussian = 1049;
constexpr int LangIdUkrainian = 1058;

// Where InitLanguages gets its inputs; each member may be left empty to take
// the program's own source (embedded resources, the settings store).
struct TLanguageSources {
  // Bytes of a named resource ("translate_en.txt"); empty when missing.
  std::function<QByteArray(const QString &name)> LoadText;
  // The installer_language setting, read as an integer with the given default.
  std::function<int(int defaultId)> InstallerLanguage;
  // The locale whose language gives the default of installer_language.
  std::function<QLocale()> SystemLocale;
};

// Loads the three tables, resolves "%key%" references and chooses the active
// language from the installer_language setting. Call once before any window
// exists; calling again rebuilds everything (tests do).
void InitLanguages();
void InitLanguages(const TLanguageSources &sources);

// Language id for a locale: en 1033, ru 1049, uk 1058; English for others.
int LanguageIdForLocale(const QLocale &locale);

const std::vector<TLang> &Langs();
int CurLang();
// Out-of-range indexes are ignored.
void SetCurLang(int index);

// Qt's own texts (standard buttons, the file dialog) follow the active
// language: Qt's translation for it, from where Qt keeps its translations,
// is installed in the application, and removed for English. Main thread,
// once the application object exists; calling again replaces it. False (and
// a log line) when the language has no such translation installed.
bool ApplyToolkitLanguage();

// Text of Key in the active language, else in English, else Key itself.
QString Translate(QStringView key);
// The same text encoded in CodePage: 0 (the platform's own, UTF-8 here) and
// 65001 give UTF-8; any other code page is converted ("?" for characters it
// cannot hold). A code page the platform does not know gives UTF-8.
QByteArray TranslateCP(QStringView key, int codePage);

// ---------------------------------------------------------------- colours

// A colour as the original platform stores it: 0x00BBGGRR, red in the low
// byte, so the number 255 is pure red.
using TColor = uint32_t;

constexpr TColor RGBColor(int r, int g, int b)
{
  return TColor(r & 0xFF) | (TColor(g & 0xFF) << 8) | (TColor(b & 0xFF) << 16);
}
constexpr int ColorRed(TColor c)
{
  return int(c & 0xFF);
}
constexpr int ColorGreen(TColor c)
{
  return int((c >> 8) & 0xFF);
}
constexpr int ColorBlue(TColor c)
{
  return int((c >> 16) & 0xFF);
}

// Colour roles of the desktop theme that the "cl" system colour names stand
// for; the desktop layer resolves them against its palette.
enum class TThemeRole {
  Window,          // window and button face background
  WindowText,      // text on Window
  Base,            // background of lists and edit boxes
  Text,            // text on Base
  Button,          // button face
  ButtonText,      // text on Button
  Highlight,       // selection background
  HighlightedText, // selection text
  ToolTipBase,     // hint background
  ToolTipText,     // hint text
  Light,           // 3-D highlight edge
  Midlight,        // 3-D light edge
  Mid,             // 3-D shadow
  Dark,            // 3-D dark shadow
  Shadow,          // darkest edge
  DisabledText,    // grey text
  Link,            // hot-tracked item
};

// Role of a "cl" colour name that means a theme colour ("clBtnFace" ->
// Window), compared without regard to case. False for other names.
bool ThemeRoleForColorName(QStringView name, TThemeRole &role);
// Value of a "cl" name of a fixed colour ("clRed", "clSilver"), without
// regard to case. False for other names.
bool FixedColorForName(QStringView name, TColor &color);

// Resolves theme roles to colours. The default gives a light classic theme,
// so headless code and tests see stable values; the desktop layer installs one
// that reads the application palette. An empty function restores the default.
using TThemeColorResolver = std::function<TColor(TThemeRole)>;
void SetThemeColorResolver(TThemeColorResolver resolver);
TColor DefaultThemeColor(TThemeRole role);

// Colour from a colour text: "#RRGGBB", a "cl" colour name, or a decimal
// number in the 0x00BBGGRR layout; 255 (pure red) for anything else,
// unknown "cl" names included.
TColor ColorFromText(QStringView text);
// The colour named by the text of Key in the active language.
TColor TranslateColor(QStringView key);

} // namespace kp
