// Cancelling a running cut on the real program's windows under an X server:
// the program goes on with its main window back and no movie, and closing
// the main window still ends it.

#include "CuttingTestSupport.h"
#include "UiTestSupport.h"
#include "UnitFormCropping.h"
#include "UnitFormMain.h"
#include "UnitProgram.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace kp;
using kptest::CardMovie;

TEST(CropCancelRealWindow, CancelKeepsTheProgramRunningAndClosingTheMainWindowEndsIt)
{
  if (qEnvironmentVariableIsEmpty("DISPLAY")) {
    if (qEnvironmentVariable("CI") == QLatin1String("true")) FAIL() << "no X server";
    GTEST_SKIP() << "no X server";
  }
  kptest::ensureApplication();
  kptest::ScopedSettings settings;
  QTemporaryDir out;
  std::unique_ptr<TFormMain> w = CreateWindows({CardMovie(2)});
  w->show();
  ASSERT_TRUE(kptest::waitUntil([&] { return w->isVisible(); }, 10000));
  TFormCropping &dialog = *w->Windows.Cropping;
  dialog.ShowRestored();
  for (int file = 2; file <= 5; ++file) dialog.AddFile(CardMovie(file), nullptr, 0, 1, 0);
  dialog.SetOutputName(out.filePath(QStringLiteral("cancelled.mov")));

  // Cancel as soon as the job runs, as the user clicks it.
  bool mainHidden = false, cancelled = false;
  QTimer watch;
  watch.setInterval(1);
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (cancelled || !dialog.Running()) return;
    cancelled = true;
    mainHidden = !w->isVisible();
    dialog.findChild<QPushButton *>(QStringLiteral("ButtonCancel"))->click();
  });
  watch.start();
  QTimer::singleShot(0, &dialog, [&] {
    dialog.findChild<QPushButton *>(QStringLiteral("ButtonStart"))->click();
    // Runs only if the program is still running once the job has ended.
    QTimer::singleShot(0, [] { QCoreApplication::exit(42); });
  });
  EXPECT_EQ(QApplication::exec(), 42) << "the program ended with the cut";
  watch.stop();
  EXPECT_TRUE(cancelled);
  EXPECT_TRUE(mainHidden) << "the main window is hidden while the job runs";
  EXPECT_TRUE(w->isVisible()) << "the main window is back";
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden), QStringList()) << "no movie, no temporary file";
  kptest::saveScreenshot(w.get(), QStringLiteral("cutting-cancelled-main.png"));

  // Closing the main window still ends the program.
  QTimer::singleShot(0, w.get(), [&] { w->close(); });
  QTimer::singleShot(30000, [] { QCoreApplication::exit(7); });
  EXPECT_EQ(QApplication::exec(), 0);
}
