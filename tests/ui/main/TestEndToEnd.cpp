// The program as a user starts it, under a real X server: a demo card in the
// current folder, its own settings, no network.

#include "RealWindowSupport.h"

#include "FileListModel.h"
#include "PlaybackState.h"
#include "UiTestSupport.h"
#include "UnitFormMain.h"
#include "UnitProgram.h"

#include <QDir>
#include <QElapsedTimer>
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

TEST_F(EndToEnd, TheProgramShowsItsWindow)
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
  program.start(QStringLiteral(KP_PROGRAM), {});
  ASSERT_TRUE(program.waitForStarted(10000));
  const bool shown = kptest::waitUntil(
      [&] {
        QProcess probe;
        probe.start(xwininfo, {QStringLiteral("-root"), QStringLiteral("-tree")});
        probe.waitForFinished(5000);
        return probe.readAllStandardOutput().contains("\"KESTRIL PLAYER\"");
      },
      20000);
  program.terminate();
  if (!program.waitForFinished(10000)) program.kill();
  EXPECT_TRUE(shown);
}
