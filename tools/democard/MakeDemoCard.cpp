// make-demo-card [--quick] [--force] [--jobs N] <folder>
//
// Writes a demo memory card into <folder>: the program started inside that
// folder finds the recordings, as it searches its current folder. A folder
// already holding this very card (same options, same content) is left as it
// is unless --force; an older card is replaced; a folder holding anything
// else is never touched.
//
// The full card (about 3 s on 2 cores, 14 MB) has 12 one-minute fragments;
// --quick makes 9 fragments of 15 s for tests.

#include "DemoCard.h"

#include "DateTime.h"
#include "UnitGpsConverters.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <cstdio>

namespace {

using namespace kp::demo;

// Marks a folder as ours; written first (so an interrupted run is still
// recognised) and given the signature last.
const char *const kStampName = ".kestril-demo-card";

struct TArgs {
  TDemoOptions Options;
  bool Force = false;
  int Jobs = 0;
  QString Folder;
};

void Print(FILE *to, const QString &text)
{
  std::fputs(qPrintable(text + QLatin1Char('\n')), to);
}

int Usage()
{
  Print(stderr, QStringLiteral("usage: make-demo-card [--quick] [--force] [--jobs N] <folder>"));
  return 2;
}

bool ParseArgs(const QStringList &args, TArgs &out)
{
  for (int i = 1; i < args.size(); ++i) {
    const QString &a = args[i];
    if (a == QLatin1String("--quick")) {
      out.Options.Quick = true;
    } else if (a == QLatin1String("--force")) {
      out.Force = true;
    } else if (a == QLatin1String("--jobs") && i + 1 < args.size()) {
      bool ok = false;
      out.Jobs = args[++i].toInt(&ok);
      if (!ok || out.Jobs < 1) return false;
    } else if (a.startsWith(QLatin1Char('-')) || !out.Folder.isEmpty()) {
      return false;
    } else {
      out.Folder = a;
    }
  }
  return !out.Folder.isEmpty();
}

QByteArray ReadStamp(const QDir &dir)
{
  QFile file(dir.filePath(QLatin1String(kStampName)));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool WriteStamp(const QDir &dir, const QString &text)
{
  QFile file(dir.filePath(QLatin1String(kStampName)));
  const QByteArray bytes = text.toUtf8();
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() && file.flush();
}

// 0: write the card; 1: nothing to do; -1: refused or failed (message printed).
int PrepareFolder(const TArgs &args, const QDir &dir, const QString &signature)
{
  if (dir.exists()) {
    const bool ours = QFileInfo::exists(dir.filePath(QLatin1String(kStampName)));
    const bool empty = dir.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    if (!ours && !empty) {
      Print(stderr, QStringLiteral("make-demo-card: %1 holds files that are not a demo card; "
                                   "choose an empty or new folder")
                        .arg(dir.path()));
      return -1;
    }
    if (ours && !args.Force && ReadStamp(dir) == signature.toUtf8()) return 1;
    if (ours && !QDir(dir).removeRecursively()) {
      Print(stderr, QStringLiteral("make-demo-card: cannot empty %1").arg(dir.path()));
      return -1;
    }
  }
  if (!QDir().mkpath(dir.path()) || !WriteStamp(dir, QStringLiteral("incomplete\n"))) {
    Print(stderr, QStringLiteral("make-demo-card: cannot create %1").arg(dir.path()));
    return -1;
  }
  return 0;
}

int Run(const TArgs &args)
{
  const QDir dir(QDir::cleanPath(QDir::current().absoluteFilePath(args.Folder)));
  const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
  if (ffmpeg.isEmpty()) {
    Print(stderr, QStringLiteral("make-demo-card: ffmpeg is not installed (scripts/install-deps)"));
    return 1;
  }
  QElapsedTimer clock;
  clock.start();
  const TDemoCard card = DemoCardPlan(args.Options);
  const QString signature = DemoCardSignature(card);
  const int prepared = PrepareFolder(args, dir, signature);
  if (prepared < 0) return 1;
  if (prepared > 0) {
    Print(stdout, QStringLiteral("Demo card up to date: %1").arg(dir.path()));
    return 0;
  }
  const int jobs = args.Jobs > 0 ? args.Jobs : std::max(1, QThread::idealThreadCount());
  QString error;
  if (!WriteTrackFiles(card, dir.path(), error) || !WriteMovies(card, dir.path(), ffmpeg, jobs, error) ||
      !FinishCard(card, dir.path(), error) || !WriteStamp(dir, signature)) {
    Print(stderr, QStringLiteral("make-demo-card: %1").arg(error.isEmpty() ? QStringLiteral("cannot finish") : error));
    return 1;
  }
  Print(stdout, QStringLiteral("Demo card: %1 fragments of %2 trips in %3 (%4 s)")
                    .arg(card.Fragments.size())
                    .arg(card.Trips.size())
                    .arg(dir.path())
                    .arg(double(clock.elapsed()) / 1000.0, 0, 'f', 1));
  return 0;
}

} // namespace

int main(int argc, char **argv)
{
  QCoreApplication app(argc, argv);
  TArgs args;
  if (!ParseArgs(QCoreApplication::arguments(), args)) return Usage();
  // File times are written in local time, as the camera keeps them and as
  // the program reads them back.
  kp::SetLocalTimeOffset(kp::SystemLocalTimeOffset());
  // Nothing here loads a track, but a load must never touch the user's
  // settings from a tool.
  kp::SetGpsFormatsWriter([](const QString &) {});
  return Run(args);
}
