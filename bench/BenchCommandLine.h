// The command line every bench tool reads the same way, and the work folder
// a tool writes in: never a folder of someone else's files, and left as the
// run found it.
#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdio>
#include <limits>
#include <memory>

namespace kpbench {

// What the command line asks for. Exit >= 0: the tool ends at once with it
// (0 after --help, 2 after a mistake, its usage then on standard error).
struct TCommandLine {
  QStringList Names;   // the words that are no options, in order
  QStringList Options; // the tool's own options that were given
  int Exit = -1;
};

// "-h" or "--help" prints Usage to standard output. A word that starts with
// "-" is an option until "--", after which every word is a name: one of
// Known, or a mistake. More than MaxNames names is a mistake too.
inline TCommandLine ReadCommandLine(int argc, char **argv, const char *usage, qsizetype maxNames,
                                    const QStringList &known = {})
{
  TCommandLine line;
  bool options = true;
  for (int i = 1; i < argc; ++i) {
    const QString word = QString::fromLocal8Bit(argv[i]);
    if (options && word == QLatin1String("--")) {
      options = false;
    } else if (options && (word == QLatin1String("-h") || word == QLatin1String("--help"))) {
      std::fputs(usage, stdout);
      line.Exit = 0;
      return line;
    } else if (options && word.startsWith(QLatin1Char('-')) && word.size() > 1) {
      if (!known.contains(word)) {
        std::fprintf(stderr, "unknown option %s\n%s", argv[i], usage);
        line.Exit = 2;
        return line;
      }
      line.Options << word;
    } else {
      line.Names << word;
    }
  }
  if (line.Names.size() > maxNames) {
    std::fprintf(stderr, "too many arguments\n%s", usage);
    line.Exit = 2;
  }
  return line;
}

// A whole number from Least to Most from Text, or Fallback when Text is
// empty; -1 when Text is no such number.
inline int CountArgument(const QString &text, int fallback, int least, int most = std::numeric_limits<int>::max())
{
  if (text.isEmpty()) return fallback;
  bool ok = false;
  const long long n = text.toLongLong(&ok);
  return ok && n >= least && n <= most ? int(n) : -1;
}

// The folder a tool writes in. Named, it must not start with "-" (an option
// mistaken for a folder) and must be missing, empty, or left by a run of the
// same tool that was stopped (it keeps the tool's mark); unnamed, it is a
// new temporary folder. Everything in it goes when this object goes, and so
// does the folder when the run made it.
class TWorkFolder {
public:
  TWorkFolder(const QString &tool, const QString &named) : FMark(QStringLiteral(".") + tool + QStringLiteral("-work"))
  {
    if (named.isEmpty()) {
      FTemporary = std::make_unique<QTemporaryDir>();
      if (!FTemporary->isValid()) FError = QStringLiteral("cannot make a temporary folder");
      FPath = FTemporary->path();
      return;
    }
    if (named.startsWith(QLatin1Char('-'))) {
      FError = QStringLiteral("the work folder \"%1\" looks like an option (name it ./%1)").arg(named);
      return;
    }
    FPath = QFileInfo(named).absoluteFilePath();
    const QDir dir(FPath);
    if (QFileInfo::exists(FPath) && !QFileInfo(FPath).isDir()) {
      FError = QStringLiteral("%1 is not a folder").arg(FPath);
      return;
    }
    const QStringList entries = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    if (!entries.isEmpty() && !entries.contains(FMark)) {
      FError = QStringLiteral("%1 holds files of others; name a missing or empty folder").arg(FPath);
      return;
    }
    FMade = !dir.exists();
    QFile mark(dir.filePath(FMark));
    if (!QDir().mkpath(FPath) || !mark.open(QIODevice::WriteOnly)) {
      FError = QStringLiteral("cannot write in %1").arg(FPath);
      return;
    }
    FOwned = true;
  }
  ~TWorkFolder()
  {
    if (!FOwned) return;
    QDir dir(FPath);
    if (FMade) {
      dir.removeRecursively();
      return;
    }
    // The folder was empty or held only an earlier run's files: all of it
    // is the tool's.
    for (const QFileInfo &entry :
         dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
      if (entry.isDir() && !entry.isSymLink())
        QDir(entry.filePath()).removeRecursively();
      else
        QFile::remove(entry.filePath());
    }
  }
  TWorkFolder(const TWorkFolder &) = delete;
  TWorkFolder &operator=(const TWorkFolder &) = delete;

  bool Ok() const { return FError.isEmpty(); }
  QString Error() const { return FError; }
  // Absolute, so no name built on it reads as an option.
  QString Path() const { return FPath; }

private:
  QString FMark;
  QString FPath;
  QString FError;
  std::unique_ptr<QTemporaryDir> FTemporary;
  bool FMade = false;
  bool FOwned = false;
};

} // namespace kpbench
