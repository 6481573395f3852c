// The installed program started as a user starts it, under the X server:
// from a card's folder it lists the trips and opens one on a double-click,
// from the desktop's entry on a file it plays that file; it closes cleanly
// on the window's close request and writes no desktop entry of the user's
// own beside the installed one.

#include "PackagingTestSupport.h"
#include "UiTestSupport.h"
#include "XWindowProbe.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>

using namespace kptest;

namespace {

// What the X server shows of a window.
QImage Grab(uint32_t window)
{
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("window.png"));
  RunProcess(QStringLiteral("import"), {"-window", QString::number(window), path}, {}, 20000);
  return QImage(path);
}

// The centres of the list's track pins (each listed trip with a track shows
// one in its row): blobs of the pin's red stacked in one column. The
// toolbar's red glyphs stand side by side, never above each other.
QList<QPoint> TripPins(const QImage &picture)
{
  const QImage image = picture.convertToFormat(QImage::Format_RGB32);
  const auto pin = [&](int x, int y) { return image.pixel(x, y) == qRgb(206, 57, 46); };
  QList<QPoint> centres;
  QImage seen(image.size(), QImage::Format_Mono);
  seen.fill(0);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      if (!pin(x, y) || seen.pixelIndex(x, y)) continue;
      QList<QPoint> todo{{x, y}};
      seen.setPixel(x, y, 1);
      QPoint sum;
      int count = 0;
      while (!todo.isEmpty()) {
        const QPoint p = todo.takeLast();
        sum += p;
        ++count;
        for (const QPoint d : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)}) {
          const QPoint n = p + d;
          if (image.rect().contains(n) && pin(n.x(), n.y()) && !seen.pixelIndex(n)) {
            seen.setPixel(n, 1);
            todo.append(n);
          }
        }
      }
      if (count >= 4) centres.append(sum / count);
    }
  QList<QPoint> column;
  for (const QPoint &c : centres) {
    QList<QPoint> same;
    for (const QPoint &o : centres)
      if (std::abs(o.x() - c.x()) <= 2) same.append(o);
    if (same.size() > column.size()) column = same;
  }
  std::sort(column.begin(), column.end(), [](const QPoint &a, const QPoint &b) { return a.y() < b.y(); });
  return column;
}

struct InstalledProgram : ::testing::Test {
  void SetUp() override
  {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
      if (underCI()) FAIL() << "no X server";
      GTEST_SKIP() << "no X server";
    }
    ensureApplication();
    ASSERT_TRUE(Probe.Ok());
    Card = quickDemoCard();
    ASSERT_FALSE(Card.isEmpty());
  }

  // Starts the installed program in Folder with Args, as from the desktop:
  // the real X server, settings and data folders of the test's own.
  void Start(const QString &folder, const QStringList &args)
  {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), Home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), Home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), QStringLiteral("--disable-gpu"));
    Program.setProcessEnvironment(env);
    Program.setWorkingDirectory(folder);
    Program.setProcessChannelMode(QProcess::MergedChannels);
    Program.start(Home.filePath(QStringLiteral("prefix/" KP_BINDIR "/kestril-player")), args);
    ASSERT_TRUE(Program.waitForStarted(10000)) << Program.errorString().toStdString();
  }

  // The program's main window once shown with a title holding Text.
  uint32_t WaitForWindow(const QString &text)
  {
    uint32_t id = 0;
    waitUntil(
        [&] {
          for (const TXWindow &w : Probe.ShownWindowsOf(Program.processId()))
            if (w.Title.contains(text)) id = w.Id;
          return id != 0 || Program.state() == QProcess::NotRunning;
        },
        30000);
    return id;
  }

  // Closes the window as its close button does; the program's exit code,
  // or -1 when it did not end by itself within ten seconds.
  int CloseAndWait(uint32_t window)
  {
    Probe.RequestClose(window);
    if (!Program.waitForFinished(10000)) {
      Program.kill();
      Program.waitForFinished(5000);
      return -1;
    }
    return Program.exitStatus() == QProcess::NormalExit ? Program.exitCode() : -1;
  }

  void TearDown() override
  {
    if (Program.state() != QProcess::NotRunning) {
      Program.kill();
      Program.waitForFinished(5000);
    }
  }

  TXWindowProbe Probe;
  QTemporaryDir Home;
  QString Card;
  QProcess Program;
};

} // namespace

TEST_F(InstalledProgram, ListsTheCardsTripsClosesCleanlyAndLeavesTheUserNoSecondEntry)
{
  const TRun install = InstallBuild(Home.filePath(QStringLiteral("prefix")));
  ASSERT_EQ(install.Code, 0) << install.Output.toStdString();
  const QString program = Home.filePath(QStringLiteral("prefix/" KP_BINDIR "/kestril-player"));
  const QString entry = Home.filePath(QStringLiteral("prefix/" KP_DATADIR "/applications/kestril-player.desktop"));
  EXPECT_EQ(ExecProgram(DesktopEntryValue(entry, QStringLiteral("Exec"))), program);

  // A card in the current folder: the program searches it and lists its
  // three trips; a double-click on the first opens it, and the title names it.
  KP_REQUIRE_TOOL(xdotool, "xdotool");
  Start(Card, {});
  const uint32_t window = WaitForWindow(QStringLiteral("KESTRIL PLAYER"));
  ASSERT_NE(window, 0u) << Program.readAll().toStdString();
  QImage picture;
  const bool listed = waitUntil(
      [&] {
        picture = Grab(window);
        return TripPins(picture).size() >= 3;
      },
      30000);
  picture.save(artifactPath("installed_listed.png"));
  ASSERT_TRUE(listed) << TripPins(picture).size();
  const QPoint first = TripPins(picture).first();
  RunProcess(xdotool, {"mousemove", "--window", QString::number(window), QString::number(first.x()),
                       QString::number(first.y()), "click", "--repeat", "2", "--delay", "80", "1"});
  EXPECT_NE(WaitForWindow(QStringLiteral("FILE0001")), 0u);
  Grab(window).save(artifactPath("installed_playing.png"));
  EXPECT_EQ(CloseAndWait(window), 0) << Program.readAll().toStdString();
  // The entry installed beside the program offers it: no second one of the
  // user's lists it again.
  EXPECT_EQ(QDir(Home.filePath(QStringLiteral("data/applications"))).entryList(QDir::Files), QStringList());

  // As the desktop starts it on a file: that trip is listed, chosen and
  // played.
  Start(Home.path(), {Card + QStringLiteral("/DCIM/100MEDIA/FILE0002.MOV")});
  const uint32_t playing = WaitForWindow(QStringLiteral("FILE0002"));
  ASSERT_NE(playing, 0u) << Program.readAll().toStdString();
  EXPECT_EQ(CloseAndWait(playing), 0) << Program.readAll().toStdString();
  EXPECT_EQ(QDir(Home.filePath(QStringLiteral("data/applications"))).entryList(QDir::Files), QStringList());
}
