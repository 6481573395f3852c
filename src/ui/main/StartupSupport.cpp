#include "StartupSupport.h"

#include "Numbers.h"
#include "UnitTranslate.h"
#include "UnitUtilsFiles.h"
#include "UpdateProtocol.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <utility>

// Where the install rules put the shared data, relative to the program's
// folder (the build says; this is the usual layout).
#ifndef KP_DATADIR_FROM_BINDIR
#define KP_DATADIR_FROM_BINDIR "../share"
#endif

namespace kp {

namespace {

const QLatin1String kEntryFileName("kestril-player.desktop");
// The entry of a program run from anywhere but an installed prefix. Under
// the installed entry's name it would hide that one (the user's folder comes
// first for a name), even once its own program is gone.
const QLatin1String kOwnEntryFileName("kestril-player-build.desktop");

} // namespace

TStartArgs ParseStartArgs(const QStringList &args)
{
  TStartArgs out;
  int first = 0;
  if (!args.isEmpty() && args[0] == QLatin1String("/whatsnew")) {
    out.WhatsNew = true;
    first = 1;
    if (args.size() > 1 && args[1].startsWith(QLatin1String("/del"))) {
      out.DeleteFile = args[1].mid(4);
      first = 2;
    }
  }
  bool options = true;
  for (int i = first; i < args.size(); ++i) {
    const QString &arg = args[i];
    if (options && arg == QLatin1String("--")) {
      options = false;
    } else if (!options || !arg.startsWith(QLatin1Char('-'))) {
      out.Files << arg;
    } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
      out.Help = true;
    } else if (arg == QLatin1String("--version")) {
      out.Version = true;
    } else if (out.BadOption.isEmpty()) {
      out.BadOption = arg;
    }
  }
  return out;
}

bool IsQtOption(const QString &arg)
{
  static const QStringList names = {// The application's own, then those of the window system's plug-ins.
                                    QStringLiteral("platform"),      QStringLiteral("platformpluginpath"),
                                    QStringLiteral("platformtheme"), QStringLiteral("plugin"),
                                    QStringLiteral("qmljsdebugger"), QStringLiteral("qwindowgeometry"),
                                    QStringLiteral("qwindowicon"),   QStringLiteral("qwindowtitle"),
                                    QStringLiteral("reverse"),       QStringLiteral("session"),
                                    QStringLiteral("style"),         QStringLiteral("stylesheet"),
                                    QStringLiteral("widgetcount"),   QStringLiteral("testability"),
                                    QStringLiteral("display"),       QStringLiteral("geometry"),
                                    QStringLiteral("title"),         QStringLiteral("icon"),
                                    QStringLiteral("name"),          QStringLiteral("visual"),
                                    QStringLiteral("sync"),          QStringLiteral("nograb"),
                                    QStringLiteral("dograb"),        QStringLiteral("dialogs")};
  QString name = arg.startsWith(QLatin1String("--")) ? arg.mid(2) : arg.mid(1);
  name = name.section(QLatin1Char('='), 0, 0);
  return arg.startsWith(QLatin1Char('-')) && names.contains(name);
}

QString CommandLineUsage()
{
  return QStringLiteral("Usage: kestril-player [OPTION]... [--] [FILE|FOLDER]...\n"
                        "Plays car dash-camera recordings and shows the GPS track and G-sensor\n"
                        "data the camera stored with them.\n"
                        "\n"
                        "Each FILE (a .mov or .mp4 movie, or the camera's track file beside one)\n"
                        "and each FOLDER is listed, the fragments of one trip together, and the\n"
                        "first recording plays. Without any, the current folder, the program's\n"
                        "folder and the memory cards are searched for recordings.\n"
                        "\n"
                        "  -h, --help     show this help and exit\n"
                        "      --version  show the version and exit\n"
                        "  --             end the options: every later argument is a name, even one\n"
                        "                 that starts with \"-\"\n");
}

QString VersionText()
{
  return QStringLiteral("kestril-player ") + ProgramVersion + QLatin1Char('\n');
}

QString MakeInstallationId(const std::function<int()> &coin, const std::function<int()> &letter)
{
  QString id;
  for (int i = 0; i < 11; ++i) {
    const char base = coin() ? 'A' : 'a';
    id += QChar(base + std::clamp(letter(), 0, 25));
  }
  return id;
}

namespace {

// Exec's quoting: inside double quotes, ", `, $ and \ take a backslash, and
// a literal % is written %% (else "%d" in a folder name reads as a field
// code and the launcher refuses the entry); then the desktop file's own
// string escape doubles every backslash.
QString QuotedExec(const QString &path)
{
  QString quoted;
  for (QChar c : path) {
    if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
      quoted += QLatin1Char('\\');
    else if (c == QLatin1Char('%'))
      quoted += QLatin1Char('%');
    quoted += c;
  }
  quoted.replace(QLatin1String("\\"), QLatin1String("\\\\"));
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}

// The entry as earlier starts wrote it, under the installed entry's name
// (one file at a time, English only): such an entry is recognised by this
// very text.
QString EarlierEntryText(const QString &exePath)
{
  return QStringLiteral("[Desktop Entry]\n"
                        "Type=Application\n"
                        "Name=KESTRIL PLAYER\n"
                        "Comment=Dash-camera recordings with their track\n"
                        "Exec=%1 %f\n"
                        "Categories=AudioVideo;Video;Player;\n"
                        "Terminal=false\n")
      .arg(QuotedExec(exePath));
}

// A value as the desktop reads it back: the escapes of its string types.
QString EntryValue(QString value)
{
  value.replace(QLatin1String("\\"), QLatin1String("\\\\"));
  value.replace(QLatin1String("\r\n"), QLatin1String("\\n"));
  value.replace(QLatin1Char('\n'), QLatin1String("\\n"));
  value.replace(QLatin1Char('\r'), QLatin1String("\\r"));
  value.replace(QLatin1Char('\t'), QLatin1String("\\t"));
  if (value.startsWith(QLatin1Char(' '))) value.replace(0, 1, QLatin1String("\\s"));
  return value;
}

// Name and Comment from the translation tables: English as the entry's own,
// then each other table's under the desktop's name of its language. A text
// a table lacks is left to the English one.
QString EntryTexts()
{
  const TLang english(LoadResourceText(QStringLiteral("translate_en.txt")));
  const struct {
    QLatin1String Locale;
    TLang Table;
  } others[] = {{QLatin1String("ru"), TLang(LoadResourceText(QStringLiteral("translate_ru.txt")))},
                {QLatin1String("uk"), TLang(LoadResourceText(QStringLiteral("translate_ua.txt")))}};
  QString text;
  for (const auto &[key, fallback] : {std::pair(QLatin1String("Name"), QLatin1String("KESTRIL PLAYER")),
                                      std::pair(QLatin1String("Comment"), QLatin1String(""))}) {
    const QString tableKey = QStringLiteral("Program") + key;
    QString value = english.GetValue(tableKey);
    if (value.isEmpty()) value = fallback;
    if (value.isEmpty()) continue;
    text += key + QLatin1Char('=') + EntryValue(value) + QLatin1Char('\n');
    for (const auto &other : others) {
      const QString local = other.Table.GetValue(tableKey);
      if (!local.isEmpty())
        text += key + QLatin1Char('[') + other.Locale + QLatin1String("]=") + EntryValue(local) + QLatin1Char('\n');
    }
  }
  return text;
}

QString ExecLine(const QByteArray &entry)
{
  for (const QByteArray &line : entry.split('\n'))
    if (line.startsWith("Exec=")) return QString::fromUtf8(line);
  return {};
}

// The program an entry's Exec starts: the string escapes undone, then the
// first word of the command unquoted. Empty when there is none.
QString EntryProgram(const QByteArray &entry)
{
  const QString exec = ExecLine(entry).mid(5);
  QString value;
  for (qsizetype i = 0; i < exec.size(); ++i) {
    if (exec[i] == QLatin1Char('\\') && i + 1 < exec.size()) {
      const char c = exec[++i].toLatin1();
      value += c == 's' ? QChar(' ') : c == 't' ? QChar('\t') : c == 'n' ? QChar('\n') : exec[i];
    } else {
      value += exec[i];
    }
  }
  const bool quoted = value.startsWith(QLatin1Char('"'));
  QString program;
  for (qsizetype i = quoted ? 1 : 0; i < value.size(); ++i) {
    const QChar c = value[i];
    if (c == QLatin1Char(quoted ? '"' : ' ')) return program;
    if ((quoted && c == QLatin1Char('\\')) || (c == QLatin1Char('%') && value.mid(i + 1, 1) == QLatin1String("%"))) ++i;
    if (i < value.size()) program += value[i];
  }
  return quoted ? QString() : program;
}

QByteArray ReadEntry(const QString &path)
{
  QFile entry(path);
  // Bounded: a desktop entry is a few hundred bytes.
  return entry.open(QIODevice::ReadOnly) ? entry.read(64 * 1024) : QByteArray();
}

// Whether the desktop shows an entry under the installed entry's name: the
// first one found (the user's folder first) hides the others, and it shows
// when its program is there.
bool InstalledEntryShown(const QStringList &dataDirs)
{
  for (const QString &dir : dataDirs) {
    const QString path = QDir(dir).absoluteFilePath(QStringLiteral("applications/") + kEntryFileName);
    if (!QFileInfo::exists(path)) continue;
    QString program = EntryProgram(ReadEntry(path));
    if (QDir::isRelativePath(program)) program = QStandardPaths::findExecutable(program);
    return !program.isEmpty() && QFileInfo(program).isExecutable();
  }
  return false;
}

// The entry names no type, but an earlier one may have: a cache that may
// still list the program is refreshed. None is made where there was none.
void RefreshTypeCache(const QString &dir)
{
  const QString tool = QStandardPaths::findExecutable(QStringLiteral("update-desktop-database"));
  if (!tool.isEmpty() && QFileInfo::exists(QDir(dir).absoluteFilePath(QStringLiteral("mimeinfo.cache"))))
    QProcess::startDetached(tool, {dir});
}

} // namespace

QString DesktopEntryText(const QString &exePath)
{
  // TryExec is a plain string: only the backslash takes an escape.
  return QStringLiteral("[Desktop Entry]\nType=Application\n") + EntryTexts() +
         QStringLiteral("Exec=%1 %F\n"
                        "Categories=AudioVideo;Video;Player;\n"
                        "Terminal=false\n"
                        "TryExec=%2\n")
             .arg(QuotedExec(exePath), QString(exePath).replace(QLatin1String("\\"), QLatin1String("\\\\")));
}

bool WriteDesktopEntry(const QString &dataHome, const QString &exePath)
{
  const QString dir = QDir(dataHome).absoluteFilePath(QStringLiteral("applications"));
  const QString path = QDir(dir).absoluteFilePath(kOwnEntryFileName);
  const QByteArray text = DesktopEntryText(exePath).toUtf8();
  QFile current(path);
  if (current.open(QIODevice::ReadOnly) && current.readAll() == text) return false;
  current.close();
  if (!QDir().mkpath(dir)) return false;
  QFile out(path);
  if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(text) != text.size() || !out.flush())
    return false;
  out.close();
  RefreshTypeCache(dir);
  return true;
}

void UpdateUserDesktopEntries(const QString &dataHome, const QStringList &dataDirs, const QString &exePath)
{
  const QDir dir(QDir(dataHome).absoluteFilePath(QStringLiteral("applications")));
  bool removed = false;
  // Only the very text an earlier start wrote goes: an entry the user or a
  // menu editor changed, or one installed into ~/.local, stays.
  const QString earlier = dir.absoluteFilePath(kEntryFileName);
  const QByteArray text = ReadEntry(earlier);
  const QString program = EntryProgram(text);
  if (!program.isEmpty() && text == EarlierEntryText(program).toUtf8()) removed = QFile::remove(earlier);
  // An installed program is offered by the entry installed with it; where
  // that one is shown, an entry of the user's own would list a second one.
  if (InstalledDesktopEntry(exePath).isEmpty() && !InstalledEntryShown(QStringList(dataHome) + dataDirs)) {
    if (WriteDesktopEntry(dataHome, exePath)) return;
  } else {
    removed = QFile::remove(dir.absoluteFilePath(kOwnEntryFileName)) || removed;
  }
  if (removed) RefreshTypeCache(dir.path());
}

QString InstalledDesktopEntryText(const QString &exePath)
{
  QString text = DesktopEntryText(exePath);
  // A prefix in the home folder (~/.local) puts the entry among the user's
  // own, where a type it names would take that type over as well.
  const QString home = QDir::cleanPath(QDir::homePath()) + QLatin1Char('/');
  if (!QDir::cleanPath(exePath).startsWith(home))
    text += QStringLiteral("MimeType=%1;\n").arg(DesktopEntryTypes().join(QLatin1Char(';')));
  return text + QStringLiteral("Icon=kestril-player\n");
}

QStringList DesktopEntryTypes()
{
  return {QStringLiteral("video/quicktime"), QStringLiteral("video/mp4")};
}

QString InstalledDesktopEntry(const QString &exePath)
{
  const QString path = QDir::cleanPath(QFileInfo(exePath).absolutePath() + QStringLiteral("/" KP_DATADIR_FROM_BINDIR) +
                                       QStringLiteral("/applications/") + kEntryFileName);
  const QString exec = ExecLine(ReadEntry(path));
  // An entry left by a prefix since moved, or a staged copy, names another
  // program: this one still registers itself.
  if (exec.isEmpty() || exec != ExecLine(DesktopEntryText(exePath).toUtf8())) return {};
  return path;
}

QString LocalOffsetSuffix(double localTimeOffsetDays)
{
  const int64_t hours = Round(localTimeOffsetDays * 24);
  return QStringLiteral(" (%1%2)").arg(localTimeOffsetDays > 0 ? QStringLiteral("+") : QString()).arg(hours);
}

} // namespace kp
