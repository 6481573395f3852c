// Exceptions that the window's guards and the worker threads catch reach the
// exception reporter (classes on its skip list stay silent), and the program
// goes on.

#include "MapBridge.h"
#include "MapTestHost.h"
#include "PlaybackGuard.h"
#include "PlayingTestSupport.h"
#include "ReportRecorder.h"
#include "UiTestSupport.h"
#include "UnitFileManager.h"
#include "Errors.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

using namespace kp;

namespace {

struct TThrowingBrowser : IMapBrowser {
  bool Shown() const override { return true; }
  bool PageLoaded() const override { return true; }
  void RunScript(const QString &) override { throw std::runtime_error("script engine gone"); }
  QSize Size() const override { return {800, 600}; }
  void Navigate(const QUrl &) override {}
  void SetShown(bool) override {}
  void Collapse() override {}
};

struct TThrowingRestartHost : kptest::TFakeMapHost {
  void RestartUpdateChecker(int) override { throw std::logic_error("checker stuck"); }
};

class CaughtExceptions : public ::testing::Test {
protected:
  void SetUp() override { kptest::ensureApplication(); }
};

} // namespace

TEST_F(CaughtExceptions, PlaybackStepGuardReportsWhatItCatches)
{
  struct TCase {
    const char *name;
    std::function<void()> step;
    bool reported;
    int messages;
  };
  const TCase cases[] = {
      {"std exception", [] { throw std::runtime_error("decoder lost"); }, true, 1},
      {"other value", [] { throw 42; }, true, 0},
      {"skipped class", [] { throw EConvertError("not a number"); }, false, 1},
      {"ran through", [] {}, false, 0},
  };
  for (const TCase &c : cases) {
    kptest::TReportRecorder reports;
    kptest::TRecordingHost host;
    const bool ran = GuardStep(host, TGraphFailure::Show, c.step);
    EXPECT_EQ(ran, !c.reported && c.messages == 0) << c.name;
    EXPECT_EQ(reports.Shown().size(), c.reported ? 1 : 0) << c.name;
    EXPECT_EQ(host.Messages.size(), c.messages) << c.name;
  }
  kptest::TReportRecorder reports;
  kptest::TRecordingHost host;
  GuardStep(host, TGraphFailure::Show, [] { throw std::runtime_error("decoder lost"); });
  const QStringList shown = reports.Shown();
  ASSERT_EQ(shown.size(), 1);
  EXPECT_TRUE(shown[0].contains(QStringLiteral(", decoder lost\r\nThread: main:\r\n"))) << shown[0].toStdString();
}

TEST_F(CaughtExceptions, MapBridgeReportsFailedScriptsAndUpdateRestarts)
{
  kptest::ScopedSettings settings;
  kptest::TReportRecorder reports;
  TThrowingRestartHost host;
  TThrowingBrowser browser;
  TMapViewState view;
  TMapBridge bridge(host, &browser, view);
  // "inited" runs scripts (which fail) and restarts the update checker
  // (which fails too); the callback is still answered.
  EXPECT_TRUE(bridge.WebBrowserBeforeNavigate2(QUrl(QStringLiteral("http://callback/inited"))));
  EXPECT_TRUE(view.MapInited);
  const QStringList shown = reports.Shown();
  ASSERT_FALSE(shown.isEmpty());
  // The newest report replaces one not yet shown: the restart came last.
  EXPECT_TRUE(shown.back().contains(QStringLiteral(", checker stuck\r\n"))) << shown.back().toStdString();
  kptest::TReportRecorder scripts;
  EXPECT_TRUE(bridge.ExecMapScript(QStringLiteral("ClearPath()")));
  ASSERT_EQ(scripts.Shown().size(), 1);
  EXPECT_TRUE(scripts.Shown()[0].contains(QStringLiteral(", script engine gone\r\n")));
}

TEST_F(CaughtExceptions, CatalogueThreadFailureIsReportedAndTheThreadEnds)
{
  QTemporaryDir folder;
  ASSERT_TRUE(kptest::writeFileBytes(folder.filePath(QStringLiteral("FILE0001.MOV")), QByteArray(64, 'x')));
  kptest::TReportRecorder reports;
  const std::thread::id mainThread = std::this_thread::get_id();
  // Without a post function the search thread delivers its changes itself.
  TFileManager catalogue(true, [mainThread](int) {
    if (std::this_thread::get_id() != mainThread) throw std::runtime_error("list gone");
  });
  catalogue.SetSearchRoots({folder.path()});
  catalogue.Start();
  ASSERT_TRUE(reports.WaitForReport());
  catalogue.WaitFor();
  const QString report = reports.Shown().front();
  EXPECT_TRUE(report.contains(QStringLiteral(", list gone\r\nThread: "))) << report.toStdString();
  EXPECT_FALSE(report.contains(QStringLiteral("Thread: main"))) << report.toStdString();
}
