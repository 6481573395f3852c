#include "StartupSupport.h"
#include "UiTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kp;

TEST(StartupSupport, SwitchesAreReadBeforeFiles)
{
  struct Case {
    QStringList args;
    bool whatsNew;
    QString del;
    QStringList files;
  } cases[] = {
      {{}, false, "", {}},
      {{"/whatsnew"}, true, "", {}},
      {{"/whatsnew", "/del/tmp/old player"}, true, "/tmp/old player", {}},
      {{"/whatsnew", "a.mov"}, true, "", {"a.mov"}},
      {{"a.mov", "/whatsnew"}, false, "", {"a.mov", "/whatsnew"}},
      // Without "/whatsnew" first, "/del..." is an ordinary argument.
      {{"a.mov", "/delivery/clip.mov"}, false, "", {"a.mov", "/delivery/clip.mov"}},
  };
  for (const Case &c : cases) {
    const TStartArgs a = ParseStartArgs(c.args);
    EXPECT_EQ(a.WhatsNew, c.whatsNew) << c.args.join(' ').toStdString();
    EXPECT_EQ(a.DeleteFile, c.del) << c.args.join(' ').toStdString();
    EXPECT_EQ(a.Files, c.files) << c.args.join(' ').toStdString();
  }
}

TEST(StartupSupport, InstallationIdIsElevenMixedCaseLetters)
{
  int n = 0;
  const QString id = MakeInstallationId([&] { return n % 2; }, [&] { return n++ % 30; });
  EXPECT_EQ(id, "aBcDeFgHiJk");
}

namespace {

// The Exec value as a launcher reads it: the string escape undone, "%%"
// made "%" and the file field code dropped.
QString ExecCommand(QString exec)
{
  exec.replace(QLatin1String("\\\\"), QLatin1String("\\"));
  exec.chop(QStringLiteral(" %f").size());
  QString out;
  for (qsizetype i = 0; i < exec.size(); ++i) {
    if (exec[i] == QLatin1Char('%')) {
      if (i + 1 >= exec.size() || exec[i + 1] != QLatin1Char('%')) return QStringLiteral("<stray field code>");
      ++i;
    }
    out += exec[i];
  }
  return out;
}

} // namespace

// Characters the shell or the launcher would read as their own: quotes,
// "$", backslashes and "%" (a field code such as "%d" in a folder name).
TEST(StartupSupport, DesktopEntryIsValidRoundTripsAndIsNotRewritten)
{
  const QString exes[] = {
      QStringLiteral("/opt/my \"player\" $dir/kestril-player"),
      QStringLiteral("/home/u/clips %d 100%/kestril-player"),
      QStringLiteral("/opt/a\\b %%f `x`/kestril-player"),
  };
  for (const QString &exe : exes) {
    SCOPED_TRACE(exe.toStdString());
    QTemporaryDir home;
    ASSERT_TRUE(WriteDesktopEntry(home.path(), exe));
    const QString path = home.path() + "/applications/kestril-player.desktop";
    const QString validate = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    if (!validate.isEmpty()) {
      QProcess p;
      p.start(validate, {path});
      ASSERT_TRUE(p.waitForFinished(10000));
      EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardOutput().toStdString();
    } else if (qEnvironmentVariable("CI") == QLatin1String("true")) {
      FAIL() << "desktop-file-validate missing";
    }
    // The shell reads the launcher's command back to the same program path.
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QString exec;
    for (const QString &line : QString::fromUtf8(f.readAll()).split('\n'))
      if (line.startsWith("Exec=")) exec = line.mid(5);
    QProcess sh;
    sh.start(QStringLiteral("sh"), {"-c", "printf %s " + ExecCommand(exec)});
    ASSERT_TRUE(sh.waitForFinished(5000));
    EXPECT_EQ(QString::fromUtf8(sh.readAllStandardOutput()), exe);
    const QDateTime written = QFileInfo(path).lastModified();
    EXPECT_FALSE(WriteDesktopEntry(home.path(), exe));
    EXPECT_EQ(QFileInfo(path).lastModified(), written);
  }
}

// The entry the program writes for itself names no type, nor does one
// installed in the home folder: either would make the program the type's
// preferred player. A system-wide installed one offers its types.
TEST(StartupSupport, OnlyASystemWideEntryNamesTheTypes)
{
  const struct {
    QString Exe;
    bool Installed, Types;
  } cases[] = {
      {"/usr/bin/kestril-player", true, true},
      {"/opt/kp/bin/kestril-player", true, true},
      {QDir::homePath() + "/.local/bin/kestril-player", true, false},
      {QDir::homePath() + "/src/kp/build/src/ui/kestril-player", false, false},
      {"/usr/bin/kestril-player", false, false},
  };
  for (const auto &c : cases) {
    const QString text = c.Installed ? InstalledDesktopEntryText(c.Exe) : DesktopEntryText(c.Exe);
    EXPECT_EQ(text.contains("\nMimeType=video/quicktime;\n"), c.Types) << c.Exe.toStdString() << c.Installed;
    EXPECT_EQ(text.count("MimeType="), c.Types ? 1 : 0);
  }
}
