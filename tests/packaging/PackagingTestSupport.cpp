#include "PackagingTestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

namespace kptest {

TRun RunProcess(const QString &program, const QStringList &args, const QStringList &env, int timeoutMs)
{
  QProcess p;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const QString &pair : env) {
    const qsizetype eq = pair.indexOf(QLatin1Char('='));
    if (eq > 0) environment.insert(pair.left(eq), pair.mid(eq + 1));
  }
  p.setProcessEnvironment(environment);
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(program, args);
  TRun run;
  if (!p.waitForFinished(timeoutMs)) {
    p.kill();
    p.waitForFinished(5000);
    run.Output = QString::fromUtf8(p.readAll()) + QStringLiteral("\n(did not finish: ") + p.errorString() + ')';
    return run;
  }
  run.Code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  run.Output = QString::fromUtf8(p.readAll());
  return run;
}

TRun InstallBuild(const QString &prefix, const QString &destDir)
{
  QStringList env;
  if (!destDir.isEmpty()) env << QStringLiteral("DESTDIR=") + destDir;
  return RunProcess(QStringLiteral(KP_CMAKE), {"--install", QStringLiteral(KP_BUILD_DIR), "--prefix", prefix}, env);
}

QStringList FilesUnder(const QString &root)
{
  QStringList files;
  QDirIterator it(root, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
  while (it.hasNext()) files << QDir(root).relativeFilePath(it.next());
  files.sort();
  return files;
}

QStringList ExpectedInstalledFiles()
{
  const QString bin = QStringLiteral(KP_BINDIR), data = QStringLiteral(KP_DATADIR);
  QStringList files{bin + "/kestril-player",
                    data + "/applications/kestril-player.desktop",
                    data + "/metainfo/org.kestril.player.metainfo.xml",
                    data + "/icons/hicolor/scalable/apps/kestril-player.svg",
                    data + "/doc/kestril-player/copyright",
                    data + "/doc/kestril-player/changelog.gz",
                    QStringLiteral(KP_MANDIR "/man1/kestril-player.1.gz")};
  for (int size : {16, 24, 32, 48, 64, 128, 256})
    files << QStringLiteral("%1/icons/hicolor/%2x%2/apps/kestril-player.png").arg(data).arg(size);
  files.sort();
  return files;
}

QString DesktopEntryValue(const QString &path, const QString &key)
{
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  bool inGroup = false;
  for (const QString &line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
    if (line.startsWith(QLatin1Char('[')))
      inGroup = line == QLatin1String("[Desktop Entry]");
    else if (inGroup && line.startsWith(key + QLatin1Char('=')))
      return line.mid(key.size() + 1);
  }
  return {};
}

QString ExecProgram(const QString &execValue)
{
  QString exec = execValue;
  if (exec.endsWith(QLatin1String(" %F"))) exec.chop(3);
  exec.replace(QLatin1String("%%"), QLatin1String("%"));
  exec.replace(QLatin1String("\\\\"), QLatin1String("\\"));
  const TRun run = RunProcess(QStringLiteral("sh"), {"-c", "printf %s " + exec}, {}, 10000);
  return run.Code == 0 ? run.Output : QString();
}

} // namespace kptest
