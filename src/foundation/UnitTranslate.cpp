// Language tables: parsing, start-up choice of the language and lookups.
#include "UnitTranslate.h"

#include "FoundationLog.h"
#include "UnitRegSettings.h"
#include "UnitUtils.h"
#include "UnitUtilsFiles.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>
#include <atomic>

namespace kp {

namespace {

std::vector<TLang> g_langs;
// Read by the catalogue thread for its status words while the main thread
// may switch languages.
std::atomic<int> g_curLang{0};

bool isBlankOrControl(QChar c)
{
  return c.unicode() <= 0x20 || c.unicode() == 0x7F;
}
bool isSpaceOrTab(QChar c)
{
  return c == u' ' || c == u'\t';
}

QStringView trimmed(QStringView line)
{
  qsizetype b = 0, e = line.size();
  while (b < e && isBlankOrControl(line[b])) ++b;
  while (e > b && isBlankOrControl(line[e - 1])) --e;
  return line.sliced(b, e - b);
}

// Splits one trimmed line into key and value; false for a line without both.
bool splitEntry(QStringView line, QString &key, QString &value)
{
  qsizetype k = 0;
  while (k < line.size() && !isSpaceOrTab(line[k])) ++k;
  qsizetype v = k;
  while (v < line.size() && isSpaceOrTab(line[v])) ++v;
  if (k == 0 || v >= line.size()) return false;
  key = line.first(k).toString().toLower();
  QStringView raw = line.sliced(v);
  // Every table quotes its values; the closing character goes whatever it is.
  if (raw.startsWith(u'"')) raw = raw.size() >= 2 ? raw.sliced(1, raw.size() - 2) : QStringView();
  value = raw.toString();
  value.replace(QStringLiteral("\\n"), QStringLiteral("\r\n"));
  return true;
}

int headerInt(const TLang &lang, QStringView key)
{
  return StrToIntDef(QStringView(lang.GetValue(key)), 0);
}

QByteArray loadEmbedded(const QString &name)
{
  return LoadResourceText(name);
}

int storedInstallerLanguage(int defaultId)
{
  return settings::InstallerLanguage.ReadOr(defaultId);
}

// Replaces every "%key%" value of each table by the text of that key, with the
// table active so the lookup falls back like any other.
void resolveReferences()
{
  for (size_t t = 0; t < g_langs.size(); ++t) {
    g_curLang = int(t);
    TLang &lang = g_langs[t];
    for (size_t i = 0; i < lang.Items.size(); ++i) {
      const QString &v = lang.Items[i].Value;
      if (v.size() >= 1 && v.startsWith(u'%') && v.endsWith(u'%')) {
        const QStringView inner = v.size() >= 2 ? QStringView(v).sliced(1, v.size() - 2) : QStringView();
        lang.SetItemValue(i, Translate(inner));
      }
    }
  }
}

} // namespace

// ---------------------------------------------------------------- TLang

TLang::TLang(QByteArrayView text)
{
  QByteArray bytes = text.toByteArray();
  if (bytes.startsWith("\xEF\xBB\xBF")) bytes.replace(0, 3, "   ");
  const QString whole = QString::fromUtf8(bytes);
  for (QStringView line : QStringView(whole).tokenize(u'\n')) {
    for (QStringView part : line.tokenize(u'\r')) {
      QString key, value;
      if (!splitEntry(trimmed(part), key, value)) continue;
      Items.push_back({std::move(key), std::move(value)});
    }
  }
  // The first entry of a key wins: fill the index from the back.
  for (int i = int(Items.size()) - 1; i >= 0; --i) FIndex.insert(Items[size_t(i)].Key, i);
  CodePage = headerInt(*this, u"LangCodePage");
  CharSet = headerInt(*this, u"LangCharSet");
  SystemID = headerInt(*this, u"LangSystemID");
  ID = GetValue(u"LangID");
  Name = GetValue(u"LangName");
}

QString TLang::GetValue(QStringView key) const
{
  const auto it = FIndex.constFind(key.toString().toLower());
  return it == FIndex.constEnd() ? QString() : Items[size_t(*it)].Value;
}

// ---------------------------------------------------------------- languages

int LanguageIdForLocale(const QLocale &locale)
{
  switch (locale.language()) {
  case QLocale::Russian: return LangIdRussian;
  case QLocale::Ukrainian: return LangIdUkrainian;
  default: return LangIdEnglish;
  }
}

void InitLanguages()
{
  InitLanguages(TLanguageSources{});
}

void InitLanguages(const TLanguageSources &sources)
{
  const auto load = sources.LoadText ? sources.LoadText : loadEmbedded;
  const auto installer = sources.InstallerLanguage ? sources.InstallerLanguage : storedInstallerLanguage;
  const QLocale locale = sources.SystemLocale ? sources.SystemLocale() : QLocale::system();

  g_langs.clear();
  for (const char *name : {"translate_en.txt", "translate_ru.txt", "translate_ua.txt"})
    g_langs.emplace_back(load(QString::fromLatin1(name)));
  resolveReferences();

  g_curLang = 0;
  const int wanted = installer(LanguageIdForLocale(locale));
  for (size_t i = 0; i < g_langs.size(); ++i) {
    // A table that failed to load has SystemID 0 and is never chosen.
    if (g_langs[i].SystemID != 0 && g_langs[i].SystemID == wanted) {
      g_curLang = int(i);
      break;
    }
  }
}

const std::vector<TLang> &Langs()
{
  return g_langs;
}

int CurLang()
{
  return g_curLang;
}

void SetCurLang(int index)
{
  if (index >= 0 && size_t(index) < g_langs.size()) g_curLang = index;
}

bool ApplyToolkitLanguage()
{
  // Parented to the application, so it never outlives it.
  static QPointer<QTranslator> installed;
  if (installed) {
    QCoreApplication::removeTranslator(installed);
    delete installed;
  }
  const int cur = g_curLang;
  const int id = cur >= 0 && size_t(cur) < g_langs.size() ? g_langs[size_t(cur)].SystemID : LangIdEnglish;
  QLocale::Language language = QLocale::English;
  if (id == LangIdRussian) language = QLocale::Russian;
  if (id == LangIdUkrainian) language = QLocale::Ukrainian;
  if (language == QLocale::English || !QCoreApplication::instance()) return true;
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  auto *translator = new QTranslator(QCoreApplication::instance());
  if (!translator->load(QLocale(language), QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
    qCWarning(lcKpFoundation).noquote() << "no translation of Qt's own texts for" << QLocale::languageToString(language)
                                        << "in" << folder;
    delete translator;
    return false;
  }
  QCoreApplication::installTranslator(translator);
  installed = translator;
  return true;
}

QString Translate(QStringView key)
{
  const int cur = g_curLang;
  QString text;
  if (cur >= 0 && size_t(cur) < g_langs.size()) text = g_langs[size_t(cur)].GetValue(key);
  if (text.isEmpty() && cur != 0 && !g_langs.empty()) text = g_langs[0].GetValue(key);
  if (text.isEmpty()) text = key.toString();
  return text;
}

QByteArray TranslateCP(QStringView key, int codePage)
{
  const QString text = Translate(key);
  if (codePage == 0 || codePage == 65001) return text.toUtf8();
  const QByteArray encoded = EncodeCodePage(text, codePage);
  // iconv does not know the code page: better UTF-8 than nothing.
  return encoded.isEmpty() && !text.isEmpty() ? text.toUtf8() : encoded;
}

} // namespace kp
