// The installed program started as a user starts it, under the X server:
// from a card's folder it lists the trips and opens one on a double-click,
// from the desktop's entry on a file it plays that file, and "Open with" on
// a trip's fragments opens them as the one trip; it closes cleanly on the
// window's close request and writes no desktop entry of the user's own
// beside the installed one. Its windows carry its icon.

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
#include <csignal>
#include <set>

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

  QProcessEnvironment Environment()
  {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), Home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), Home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"), QStringLiteral("--disable-gpu"));
    return env;
  }

  // Starts the installed program in Folder with Args, as from the desktop:
  // the real X server, settings and data folders of the test's own.
  void Start(const QString &folder, const QStringList &args)
  {
    Program.setProcessEnvironment(Environment());
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
    // Every program of this test's own prefix, seen or not.
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs))
      if (pid.toLongLong() > 0 && Runs(pid.toLongLong())) ::kill(pid_t(pid.toLongLong()), SIGKILL);
  }

  // Whether Pid is (still) the installed program: a process that ended has
  // no program, not even while its parent has yet to collect it.
  bool Runs(int64_t pid)
  {
    return QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget() ==
           Home.filePath(QStringLiteral("prefix/" KP_BINDIR "/kestril-player"));
  }

  // The processes of the installed program that show a window, the desktop's
  // launcher having started them.
  std::set<int64_t> ProgramsShowing()
  {
    std::set<int64_t> pids;
    for (const TXWindow &w : Probe.ShownWindows())
      if (Runs(w.Pid)) pids.insert(w.Pid);
    return pids;
  }

  // The shown window of Pid whose title holds Text; 0 when there is none.
  uint32_t WindowOf(int64_t pid, const QString &text)
  {
    for (const TXWindow &w : Probe.ShownWindowsOf(pid))
      if (w.Title.contains(text)) return w.Id;
    return 0;
  }

  // Whether one of the window's icon pictures is the installed icon of its
  // size (to the rounding of the alpha, which Qt stores premultiplied).
  bool ShowsTheProgramsIcon(uint32_t window)
  {
    const QString icons =
        Home.filePath(QStringLiteral("prefix/" KP_DATADIR "/icons/hicolor/%1x%1/apps/kestril-player.png"));
    for (const QImage &icon : Probe.Icons(window)) {
      const QImage installed = QImage(icons.arg(icon.width())).convertToFormat(QImage::Format_ARGB32);
      bool same = installed.size() == icon.size();
      for (int y = 0; same && y < icon.height(); ++y)
        for (int x = 0; same && x < icon.width(); ++x) {
          const QRgb a = icon.pixel(x, y), b = installed.pixel(x, y);
          same = std::abs(qAlpha(a) - qAlpha(b)) <= 2 && (qAlpha(b) < 255 || a == b);
        }
      if (same) return true;
    }
    return false;
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

TEST_F(InstalledProgram, OpenWithOnATripsFragmentsStartsOneProgramWithTheTrip)
{
  const TRun install = InstallBuild(Home.filePath(QStringLiteral("prefix")));
  ASSERT_EQ(install.Code, 0) << install.Output.toStdString();
  KP_REQUIRE_TOOL(gio, "gio");
  KP_REQUIRE_TOOL(xdotool, "xdotool");
  // As a file manager's "Open with" starts it: the launcher reads the
  // installed entry and gives it the three fragments of the card's first trip.
  const QString entry = Home.filePath(QStringLiteral("prefix/" KP_DATADIR "/applications/kestril-player.desktop"));
  QStringList args{"launch", entry};
  for (int i = 1; i <= 3; ++i) args << Card + QStringLiteral("/DCIM/100MEDIA/FILE000%1.MOV").arg(i);
  // The programs it starts keep its output: a file, which outlives the
  // launcher as a pipe would not.
  QProcess launcher;
  launcher.setProcessEnvironment(Environment());
  launcher.setProcessChannelMode(QProcess::MergedChannels);
  launcher.setStandardOutputFile(Home.filePath(QStringLiteral("launched.log")));
  launcher.start(gio, args);
  ASSERT_TRUE(launcher.waitForFinished(30000));
  ASSERT_EQ(launcher.exitCode(), 0) << readFileBytes(Home.filePath(QStringLiteral("launched.log"))).toStdString();
  int64_t pid = 0;
  uint32_t window = 0;
  const bool playing = waitUntil(
      [&] {
        for (int64_t p : ProgramsShowing())
          if ((window = WindowOf(p, QStringLiteral("FILE0001"))) != 0) pid = p;
        return pid != 0;
      },
      30000);
  // Programs of fragments of their own would show by now.
  waitUntil([&] { return ProgramsShowing().size() > 1; }, 5000);
  QStringList shown;
  for (const TXWindow &w : Probe.ShownWindows()) shown << QStringLiteral("%1 %2").arg(w.Pid).arg(w.Title);
  ASSERT_TRUE(playing) << shown.join('\n').toStdString();
  EXPECT_EQ(ProgramsShowing().size(), 1u) << shown.join('\n').toStdString();
  // It plays the trip of all three, as the list names it.
  EXPECT_NE(WindowOf(pid, QStringLiteral("FILE0001-3 ")), 0u) << shown.join('\n').toStdString();
  Grab(window).save(artifactPath("installed_open_with.png"));

  // Task bars and window switchers show the program's own icon, for the
  // main window and for full screen.
  EXPECT_TRUE(waitUntil([&] { return ShowsTheProgramsIcon(window); }, 5000));
  RunProcess(xdotool, {"windowfocus", "--sync", QString::number(window)});
  RunProcess(xdotool, {"key", "alt+Return"});
  uint32_t full = 0;
  EXPECT_TRUE(waitUntil([&] { return (full = WindowOf(pid, QStringLiteral("Full Screen"))) != 0; }, 10000));
  EXPECT_TRUE(full && ShowsTheProgramsIcon(full));
  Probe.RequestClose(window);
  EXPECT_TRUE(waitUntil([&] { return !Runs(pid); }, 10000));
}
