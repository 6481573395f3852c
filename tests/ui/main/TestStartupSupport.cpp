#include "StartupSupport.h"
#include "UiTestSupport.h"
#include "UnitTranslate.h"
#include "UnitUtilsFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kp;

TEST(StartupSupport, SwitchesAndOptionsAreReadBeforeFiles)
{
  struct Case {
    QStringList args;
    bool whatsNew;
    QString del;
    QStringList files;
    bool help = false, version = false;
    QString bad = {};
  } cases[] = {
      {{}, false, "", {}},
      {{"/whatsnew"}, true, "", {}},
      {{"/whatsnew", "/del/tmp/old player"}, true, "/tmp/old player", {}},
      {{"/whatsnew", "a.mov"}, true, "", {"a.mov"}},
      {{"a.mov", "/whatsnew"}, false, "", {"a.mov", "/whatsnew"}},
      // Without "/whatsnew" first, "/del..." is an ordinary argument.
      {{"a.mov", "/delivery/clip.mov"}, false, "", {"a.mov", "/delivery/clip.mov"}},
      // A name that starts with "-" is an option, never a file, until "--".
      {{"--help"}, false, "", {}, true},
      {{"a.mov", "-h"}, false, "", {"a.mov"}, true},
      {{"--version"}, false, "", {}, false, true},
      {{"--verbose", "a.mov", "-x.MOV", "-"}, false, "", {"a.mov"}, false, false, "--verbose"},
      {{"--", "-x.MOV", "--help", "--"}, false, "", {"-x.MOV", "--help", "--"}},
      {{"/whatsnew", "/del/tmp/old", "--", "-x.MOV"}, true, "/tmp/old", {"-x.MOV"}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    const TStartArgs a = ParseStartArgs(c.args);
    EXPECT_EQ(a.WhatsNew, c.whatsNew);
    EXPECT_EQ(a.DeleteFile, c.del);
    EXPECT_EQ(a.Files, c.files);
    EXPECT_EQ(a.Help, c.help);
    EXPECT_EQ(a.Version, c.version);
    EXPECT_EQ(a.BadOption, c.bad);
  }
}

// Asked from a terminal, the program answers and ends without a window: no
// display is needed (none is reachable here), and nothing of the user's is
// written. An option it does not know is refused with the usage.
TEST(StartupSupport, HelpVersionAndUnknownOptionsEndTheProgramWithoutAWindow)
{
  const struct {
    QStringList Args;
    int Code;
    const char *Out, *Err; // the start of the one, a part of the other
    const char *Platform;
  } cases[] = {
      {{"--help"}, 0, "Usage: kestril-player [OPTION]...", nullptr, "xcb"},
      {{"a.mov", "-h"}, 0, "Usage: kestril-player [OPTION]...", nullptr, "xcb"},
      {{"--version"}, 0, "kestril-player 1.", nullptr, "xcb"},
      // Refused before any display is sought; after Qt has read its own.
      {{"--verbose", "a.mov"}, 2, nullptr, "unknown option \"--verbose\"", "xcb"},
      {{"-style", "Fusion", "-x"}, 2, nullptr, "unknown option \"-x\"", "xcb"},
      {{"-platform", "offscreen", "-x"}, 2, nullptr, "unknown option \"-x\"", "xcb"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Args.join(' ').toStdString());
    QTemporaryDir home;
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", c.Platform);
    env.insert("DISPLAY", ":4095");
    env.remove("WAYLAND_DISPLAY");
    for (const char *name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
      env.insert(name, home.path());
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(home.path());
    program.start(QStringLiteral(KP_PROGRAM), c.Args);
    ASSERT_TRUE(program.waitForFinished(30000)) << "still running";
    const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(program.readAllStandardError());
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << err.toStdString();
    EXPECT_EQ(program.exitCode(), c.Code) << err.toStdString();
    // The answer on standard output, a refusal with the usage on standard error.
    EXPECT_TRUE(c.Code == 0 ? out.startsWith(QLatin1String(c.Out)) : out.isEmpty()) << out.toStdString();
    EXPECT_EQ(err.contains(QLatin1String(c.Err)) && err.contains(QLatin1String("Usage: kestril-player")), c.Code != 0)
        << err.toStdString();
    EXPECT_EQ(QDir(home.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
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
// made "%" and the field code of the file list dropped.
QString ExecCommand(QString exec)
{
  exec.replace(QLatin1String("\\\\"), QLatin1String("\\"));
  if (!exec.endsWith(QLatin1String(" %F"))) return QStringLiteral("<no file list>");
  exec.chop(QStringLiteral(" %F").size());
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
    const QString path = home.path() + "/applications/kestril-player-build.desktop";
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
    QString exec, tryExec;
    for (const QString &line : QString::fromUtf8(f.readAll()).split('\n')) {
      if (line.startsWith("Exec=")) exec = line.mid(5);
      if (line.startsWith("TryExec=")) tryExec = line.mid(8);
    }
    // The desktop hides the entry once that very program is gone.
    EXPECT_EQ(tryExec.replace(QLatin1String("\\\\"), QLatin1String("\\")), exe);
    QProcess sh;
    sh.start(QStringLiteral("sh"), {"-c", "printf %s " + ExecCommand(exec)});
    ASSERT_TRUE(sh.waitForFinished(5000));
    EXPECT_EQ(QString::fromUtf8(sh.readAllStandardOutput()), exe);
    const QDateTime written = QFileInfo(path).lastModified();
    EXPECT_FALSE(WriteDesktopEntry(home.path(), exe));
    EXPECT_EQ(QFileInfo(path).lastModified(), written);
    // What an earlier start wrote for it under the installed entry's name goes.
    const QString earlier = home.path() + "/applications/kestril-player.desktop";
    const QString earlierExec = exec.section(QLatin1Char(' '), 0, -2) + QStringLiteral(" %f");
    ASSERT_TRUE(kptest::writeFileBytes(earlier, "[Desktop Entry]\n"
                                                "Type=Application\n"
                                                "Name=KESTRIL PLAYER\n"
                                                "Comment=Dash-camera recordings with their track\n"
                                                "Exec=" +
                                                    earlierExec.toUtf8() +
                                                    "\n"
                                                    "Categories=AudioVideo;Video;Player;\n"
                                                    "Terminal=false\n"));
    UpdateUserDesktopEntries(home.path(), {}, exe);
    EXPECT_FALSE(QFileInfo::exists(earlier));
  }
}

// The entry the program writes for itself names no type, nor does one
// installed in the home folder: either would make the program the type's
// preferred player. A system-wide installed one offers every kind of movie
// the open dialog lists, by the names the system's type database gives
// them. Each names the program in the languages of its own tables.
TEST(StartupSupport, OnlyASystemWideEntryNamesTheTypes)
{
  const QStringList types = DesktopEntryTypes();
  const QMimeDatabase mime;
  for (const char *movie : {"clip.mov", "CLIP.MOV", "clip.mp4", "CLIP.MP4"})
    EXPECT_TRUE(types.contains(mime.mimeTypeForFile(movie, QMimeDatabase::MatchExtension).name())) << movie;
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
    EXPECT_EQ(text.contains("\nMimeType=" + types.join(';') + ";\n"), c.Types) << c.Exe.toStdString() << c.Installed;
    EXPECT_EQ(text.count("MimeType="), c.Types ? 1 : 0);
    const struct {
      const char *Locale, *Table;
    } languages[] = {{"", "translate_en.txt"}, {"[ru]", "translate_ru.txt"}, {"[uk]", "translate_ua.txt"}};
    for (const auto &l : languages) {
      const TLang table(LoadResourceText(QString::fromLatin1(l.Table)));
      for (const char *key : {"Name", "Comment"}) {
        const QString value = table.GetValue(QStringLiteral("Program") + QLatin1String(key));
        ASSERT_FALSE(value.isEmpty()) << l.Table << key;
        EXPECT_EQ(text.count(QStringLiteral("\n%1%2=%3\n").arg(key, l.Locale, value)), 1) << l.Table << key;
      }
    }
  }
}

// A clone's program ran, then the package is installed beside it, then
// removed again: the menu's entry and "Open with" start the installed program
// while it is there, and the clone's entry is never a second one beside it.
TEST(StartupSupport, TheUserEntryNeverHidesTheInstalledOne)
{
  KP_REQUIRE_TOOL(gio, "gio");
  KP_REQUIRE_TOOL(updateDb, "update-desktop-database");
  QTemporaryDir root;
  const QString home = root.filePath("home"), system = root.filePath("usr/share"), apps = home + "/applications/";
  const QString clone = root.filePath("clone/build/kestril-player"),
                installed = root.filePath("usr/bin/kestril-player");
  for (const QString &program : {clone, installed}) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(program).path()) && kptest::writeFileBytes(program, "#!/bin/sh\n"));
    ASSERT_TRUE(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));
  }
  ASSERT_TRUE(QDir().mkpath(apps) && QDir().mkpath(system + "/applications"));
  UpdateUserDesktopEntries(home, {system}, clone);
  EXPECT_EQ(QDir(apps).entryList(QDir::Files), QStringList("kestril-player-build.desktop"));

  // The package arrives, and its trigger refreshes the system's type cache:
  // "Open with" (the desktop's own library reading the same folders) offers
  // the installed program and, with no other player and no default chosen,
  // takes it as the default.
  const QString entry = system + "/applications/kestril-player.desktop";
  ASSERT_TRUE(kptest::writeFileBytes(entry, InstalledDesktopEntryText(installed).toUtf8()));
  ASSERT_EQ(QProcess::execute(updateDb, {system + "/applications"}), 0);
  QProcess openWith;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XDG_DATA_DIRS", system);
  for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS"}) env.insert(name, home);
  openWith.setProcessEnvironment(env);
  openWith.start(gio, {"mime", DesktopEntryTypes().value(0)});
  ASSERT_TRUE(openWith.waitForFinished(10000));
  EXPECT_TRUE(openWith.readAllStandardOutput().contains(
      ": kestril-player.desktop\nRegistered applications:\n\tkestril-player.desktop\n"));
  for (const QString &program : {clone, installed}) {
    UpdateUserDesktopEntries(home, {system}, program);
    EXPECT_EQ(QDir(apps).entryList(QDir::Files), QStringList()) << program.toStdString();
  }
  // An install into the home folder, or an entry of that name the user
  // edited, stays and is the one shown.
  const QString edited = DesktopEntryText(clone).section("TryExec=", 0, 0) + "NoDisplay=true\n";
  for (const QString &text : {InstalledDesktopEntryText(installed), edited}) {
    ASSERT_TRUE(kptest::writeFileBytes(apps + "kestril-player.desktop", text.toUtf8()));
    UpdateUserDesktopEntries(home, {}, clone);
    EXPECT_EQ(QDir(apps).entryList(QDir::Files), QStringList("kestril-player.desktop"));
    EXPECT_EQ(QString::fromUtf8(kptest::readFileBytes(apps + "kestril-player.desktop")), text);
  }

  // The package removed: the clone's program lists itself again.
  ASSERT_TRUE(QFile::remove(entry) && QFile::remove(installed) && QFile::remove(apps + "kestril-player.desktop"));
  UpdateUserDesktopEntries(home, {system}, clone);
  EXPECT_TRUE(QFileInfo::exists(apps + "kestril-player-build.desktop"));
}
