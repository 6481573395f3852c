#pragma once
// The generated movie corpus: where it is, and making it when a test binary
// runs outside CTest (which makes it once, as a fixture).

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>

namespace kptest {

inline QString CorpusDir()
{
  const QByteArray env = qgetenv("KP_MOV_CORPUS");
  return env.isEmpty() ? QStringLiteral(KP_MOV_CORPUS_DEFAULT) : QString::fromLocal8Bit(env);
}

// The corpus files, made first when missing; empty when it cannot be made.
inline QStringList CorpusFiles()
{
  const QString dir = CorpusDir();
  if (!QFile::exists(dir + QStringLiteral("/.done")))
    QProcess::execute(QStringLiteral("sh"), {QStringLiteral(KP_MOV_CORPUS_SCRIPT), dir});
  QStringList files;
  for (const QString &name :
       QDir(dir).entryList({QStringLiteral("*.mov"), QStringLiteral("*.mp4")}, QDir::Files, QDir::Name))
    files << dir + QLatin1Char('/') + name;
  return files;
}

} // namespace kptest

// The corpus needs ffmpeg to be made; skip without it (fail under CI).
#define KP_REQUIRE_CORPUS(files) \
  KP_REQUIRE_TOOL(kpFfmpeg_, "ffmpeg"); \
  const QStringList files = kptest::CorpusFiles(); \
  ASSERT_GE(files.size(), 8) << "movie corpus missing in " << qPrintable(kptest::CorpusDir())
