// The program as a user starts it, under a real X server: a demo card in the
// current folder, its own settings, no network.

#include "RealWindowSupport.h"

#include "FileListModel.h"
#include "StartupSupport.h"
#include "PlaybackState.h"
#include "UiTestSupport.h"
#include "UnitFormMain.h"
#include "UnitProgram.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace kp;

namespace {

struct EndToEnd : ::testing::Test {
  void SetUp() override
  {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
      if (qEnvironmentVariable("CI") == QLatin1String("true")) FAIL() << "no X server";
      GTEST_SKIP() << "no X server";
    }
    kptest::ensureApplication();
  }
};

} // namespace

TEST_F(EndToEnd, ListsTheTripsPlaysOneAndClosesQuickly)
{
  const QString card = kptest::DemoCard();
  ASSERT_TRUE(QDir(card).exists(QStringLiteral("DCIM")));
  kptest::ScopedSettings settings;
  const QString oldCurrent = QDir::currentPath();
  QDir::setCurrent(card);
  std::unique_ptr<TFormMain> w = CreateWindows({});
  w->resize(1200, 800);
  w->show();
  auto &model = static_cast<TFileListModel &>(*w->ListView->model());
  const bool listed = kptest::waitUntil(
      [&] {
        return model.rowCount() >= 3 && !model.IsStatusRow(0) && model.FileManager() &&
               !model.FileManager()->Searching();
      },
      20000);
  QDir::setCurrent(oldCurrent);
  ASSERT_TRUE(listed) << model.rowCount();
  kptest::saveScreenshot(w.get(), QStringLiteral("main_listed.png"));

  // The program's own folder is searched too, and other tests write clips
  // there: play the card's first trip, and let no message box wait.
  kptest::TDialogAnswerer answerer{QString()};
  int trip = 0;
  while (trip < model.rowCount() && !model.Caption(trip).startsWith(QStringLiteral("FILE0001"))) ++trip;
  ASSERT_LT(trip, model.rowCount());
  const QRect row0 = w->ListView->visualRect(model.index(trip, 0));
  QTest::mouseClick(w->ListView->viewport(), Qt::LeftButton, {}, row0.center());
  QTest::mouseDClick(w->ListView->viewport(), Qt::LeftButton, {}, row0.center());
  ASSERT_TRUE(kptest::waitUntil([&] { return w->ButtonPlay->isChecked(); }, 10000));
  const long double first = w->State.LastPosition;
  EXPECT_TRUE(kptest::waitUntil([&] { return w->State.LastPosition > first + 0.01L; }, 10000));
  EXPECT_TRUE(w->windowTitle().contains(w->State.Recording.Summary.Name)) << w->windowTitle().toStdString();
  EXPECT_TRUE(kptest::waitUntil([&] { return kptest::LitShare(w->PanelVideo->grab().toImage()) > 0.3; }, 10000));
  kptest::saveScreenshot(w.get(), QStringLiteral("main_playing.png"));

  QElapsedTimer closing;
  closing.start();
  w->close();
  w.reset();
  EXPECT_LT(closing.elapsed(), 5000);
}

TEST_F(EndToEnd, ARecordingOnTheCommandLineIsListedAloneAndPlays)
{
  const QString card = kptest::DemoCard();
  kptest::ScopedSettings settings;
  std::unique_ptr<TFormMain> w = CreateWindows({card + QStringLiteral("/DCIM/100MEDIA/FILE0002.MOV")});
  w->show();
  ASSERT_TRUE(kptest::waitUntil([&] { return w->ButtonPlay->isChecked(); }, 15000));
  EXPECT_EQ(w->FileManager()->GetCount(), 1);
  EXPECT_FALSE(w->FileManager()->Searching());
  EXPECT_TRUE(w->State.Recording.Summary.FileName.endsWith(QStringLiteral("FILE0002.MOV")));
  w->close();
}

// Qt's own options still reach Qt, and after "--" a file whose name looks
// like an option opens.
TEST_F(EndToEnd, TheProgramShowsItsWindowWithTheFileAfterTheOptions)
{
  const QString xwininfo = QStandardPaths::findExecutable(QStringLiteral("xwininfo"));
  if (xwininfo.isEmpty()) {
    if (qEnvironmentVariable("CI") == QLatin1String("true")) FAIL() << "xwininfo missing";
    GTEST_SKIP() << "xwininfo missing";
  }
  QTemporaryDir home;
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
  env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
  env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), QStringLiteral("--disable-gpu"));
  program.setProcessEnvironment(env);
  program.setWorkingDirectory(home.path());
  ASSERT_TRUE(QFile::copy(kptest::DemoCard() + QStringLiteral("/DCIM/100MEDIA/FILE0002.MOV"),
                          home.filePath(QStringLiteral("-x.MOV"))));
  program.start(QStringLiteral(KP_PROGRAM), {"-style", "Fusion", "--", "-x.MOV"});
  ASSERT_TRUE(program.waitForStarted(10000));
  const bool shown = kptest::waitUntil(
      [&] {
        QProcess probe;
        probe.start(xwininfo, {QStringLiteral("-root"), QStringLiteral("-tree")});
        probe.waitForFinished(5000);
        return probe.readAllStandardOutput().contains("\"-x ") || program.state() == QProcess::NotRunning;
      },
      20000);
  EXPECT_EQ(program.state(), QProcess::Running) << program.readAllStandardError().toStdString();
  program.terminate();
  if (!program.waitForFinished(10000)) program.kill();
  EXPECT_TRUE(shown);
}

namespace {

QString DefaultFor(const QString &xdgMime, const QProcessEnvironment &env, const QString &type)
{
  QProcess query;
  query.setProcessEnvironment(env);
  query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), type});
  query.waitForFinished(10000);
  return QString::fromUtf8(query.readAllStandardOutput()).trimmed();
}

} // namespace

// A system whose only QuickTime player is another program, no default chosen:
// the program started from the build tree lists itself among the user's
// applications but leaves the desktop's choice as it was.
TEST_F(EndToEnd, AStartFromTheBuildTreeLeavesTheDefaultPlayerAlone)
{
  const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
  const QString updateDb = QStandardPaths::findExecutable(QStringLiteral("update-desktop-database"));
  if (xdgMime.isEmpty() || updateDb.isEmpty()) {
    if (qEnvironmentVariable("CI") == QLatin1String("true")) FAIL() << "xdg-mime or update-desktop-database missing";
    GTEST_SKIP() << "xdg-mime or update-desktop-database missing";
  }
  QTemporaryDir root;
  const QString home = root.filePath(QStringLiteral("home")), system = root.filePath(QStringLiteral("system"));
  const QString userApps = home + QStringLiteral("/.local/share/applications");
  ASSERT_TRUE(QDir().mkpath(system + QStringLiteral("/applications")));
  ASSERT_TRUE(QDir().mkpath(home + QStringLiteral("/.config")));
  const QStringList types = DesktopEntryTypes();
  ASSERT_TRUE(kptest::writeFileBytes(
      system + QStringLiteral("/applications/other-player.desktop"),
      "[Desktop Entry]\nType=Application\nName=Other\nExec=true %f\nMimeType=" + types.join(';').toUtf8() + ";\n"));
  ASSERT_EQ(QProcess::execute(updateDb, {system + QStringLiteral("/applications")}), 0);

  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char *name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID"})
    env.remove(QString::fromLatin1(name));
  env.insert(QStringLiteral("HOME"), home);
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
  env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/.local/share"));
  env.insert(QStringLiteral("XDG_CONFIG_DIRS"), system);
  env.insert(QStringLiteral("XDG_DATA_DIRS"), system);
  for (const QString &type : types)
    ASSERT_EQ(DefaultFor(xdgMime, env, type), QStringLiteral("other-player.desktop")) << type.toStdString();

  QProcess program;
  QProcessEnvironment programEnv = env;
  programEnv.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  programEnv.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
  programEnv.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), QStringLiteral("--disable-gpu"));
  program.setProcessEnvironment(programEnv);
  program.setWorkingDirectory(root.path());
  program.start(QStringLiteral(KP_PROGRAM), {});
  ASSERT_TRUE(program.waitForStarted(10000));
  const QString entry = userApps + QStringLiteral("/kestril-player-build.desktop");
  // The installation id is stored by the start-up step after the entry's.
  const QString settingsFile = home + QStringLiteral("/.config/kestril-player/settings.conf");
  const bool started = kptest::waitUntil([&] { return kptest::readFileBytes(settingsFile).contains("\nid="); }, 30000);
  const bool listed = QFileInfo(entry).size() > 0;
  program.terminate();
  if (!program.waitForFinished(10000)) program.kill();
  // The program is among the user's applications ("Open with")...
  ASSERT_TRUE(started);
  EXPECT_TRUE(listed);
  EXPECT_TRUE(kptest::readFileBytes(entry).contains("Exec=\"" + QFile::encodeName(KP_PROGRAM) + "\" %F"));
  // ...under a name of its own, which leaves an installed entry in sight;
  // and it chooses no default: no mimeapps.list of its making.
  EXPECT_EQ(QDir(userApps).entryList(QDir::Files), QStringList(QStringLiteral("kestril-player-build.desktop")));
  EXPECT_FALSE(QFileInfo::exists(home + QStringLiteral("/.config/mimeapps.list")));
  // ...and no cache of the user's names it for a type, not even after a
  // refresh the program could have started.
  EXPECT_FALSE(kptest::waitUntil(
      [&] { return kptest::readFileBytes(userApps + QStringLiteral("/mimeinfo.cache")).contains("kestril-player"); },
      2000));
  for (const QString &type : types)
    EXPECT_EQ(DefaultFor(xdgMime, env, type), QStringLiteral("other-player.desktop")) << type.toStdString();
  // Nor does a start make the user's folders: a copy or a save does.
  for (const char *folder : {"Videos", "Desktop", "Documents"})
    EXPECT_FALSE(QFileInfo::exists(home + QLatin1Char('/') + QLatin1String(folder))) << folder;
}
