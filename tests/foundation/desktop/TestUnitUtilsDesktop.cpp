#include "UnitUtils.h"
#include "UnitUtilsDesktop.h"
#include "UnitUtilsPower.h"

#include "NoDesktopOpener.h"
#include "TestSupport.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <functional>
#include <memory>

using namespace kp;

namespace {

QGuiApplication &App()
{
  static int argc = 1;
  static char name[] = "kp_desktop_tests";
  static char *argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static QGuiApplication *app = new QGuiApplication(argc, argv);
  return *app;
}

bool WaitFor(const std::function<bool()> &done, int ms = 5000)
{
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);
  }
  return true;
}

// A message bus of the test's own: nothing on it but what the test puts
// there, and nothing started on demand.
class PrivateBus {
public:
  bool Start(const QString &dbusDaemon)
  {
    if (!FDir.isValid()) return false;
    const QByteArray config = "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                              " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                              "<busconfig><type>session</type><listen>unix:dir=" +
                              QFile::encodeName(FDir.path()) +
                              "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                              "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                              "<allow own=\"*\"/></policy></busconfig>\n";
    if (!kptest::writeFileBytes(FDir.path() + "/bus.conf", config)) return false;
    FDaemon.start(dbusDaemon,
                  {"--config-file=" + FDir.path() + "/bus.conf", "--nofork", "--nopidfile", "--print-address=1"});
    if (!FDaemon.waitForStarted(5000)) return false;
    while (!FDaemon.canReadLine()) {
      if (!FDaemon.waitForReadyRead(5000)) return false;
    }
    FAddress = QString::fromUtf8(FDaemon.readLine()).trimmed();
    return !FAddress.isEmpty();
  }
  ~PrivateBus()
  {
    if (FDaemon.state() == QProcess::NotRunning) return;
    FDaemon.terminate();
    if (!FDaemon.waitForFinished(3000)) FDaemon.kill();
    FDaemon.waitForFinished(3000);
  }
  QDBusConnection Connect(const QString &name) const { return QDBusConnection::connectToBus(FAddress, name); }

private:
  QTemporaryDir FDir;
  QProcess FDaemon;
  QString FAddress;
};

class FakeScreenSaver : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
  QList<uint> active;
  int inhibits = 0;
  int releases = 0;

public slots:
  uint Inhibit(const QString &, const QString &)
  {
    ++inhibits;
    active << FNext;
    return FNext++;
  }
  void UnInhibit(uint cookie)
  {
    ++releases;
    active.removeOne(cookie);
  }

private:
  uint FNext = 41;
};

class FakeFileManager : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
  QStringList shown;

public slots:
  void ShowItems(const QStringList &uris, const QString &) { shown << uris; }
  void ShowFolders(const QStringList &, const QString &) {}
};

// Two connections to a private bus: the program's and the fake services'.
class DesktopBus : public ::testing::Test {
protected:
  void SetUp() override
  {
    App();
    KP_REQUIRE_TOOL(daemon, "dbus-daemon");
    ASSERT_TRUE(FBus.Start(daemon));
    FClient = std::make_unique<QDBusConnection>(FBus.Connect("kptest-client"));
    FService = std::make_unique<QDBusConnection>(FBus.Connect("kptest-service"));
    ASSERT_TRUE(FClient->isConnected());
    ASSERT_TRUE(FService->isConnected());
  }
  void TearDown() override
  {
    FClient.reset();
    FService.reset();
    QDBusConnection::disconnectFromBus("kptest-client");
    QDBusConnection::disconnectFromBus("kptest-service");
  }
  void Offer(const QString &service, const QString &path, QObject *object)
  {
    ASSERT_TRUE(FService->registerObject(path, object, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(FService->registerService(service));
    ASSERT_TRUE(WaitFor([&] { return FClient->interface()->isServiceRegistered(service).value(); }));
  }

  PrivateBus FBus;
  std::unique_ptr<QDBusConnection> FClient, FService;
};

class ScreenSaver : public DesktopBus {
protected:
  void SetUp() override
  {
    DesktopBus::SetUp();
    if (HasFatalFailure() || IsSkipped()) return;
    Offer("org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver", &FSaver);
  }
  FakeScreenSaver FSaver;
};

TEST_F(ScreenSaver, OneInhibitionTakenAndGivenBackWhateverTheRepeats)
{
  TScreenSaverInhibitor inhibitor(*FClient);
  inhibitor.Inhibit();
  inhibitor.Inhibit();
  ASSERT_TRUE(WaitFor([&] { return inhibitor.Held(); }));
  inhibitor.Inhibit();
  EXPECT_EQ(FSaver.inhibits, 1);
  EXPECT_EQ(FSaver.active.size(), 1);

  inhibitor.Release();
  inhibitor.Release();
  EXPECT_FALSE(inhibitor.Held());
  ASSERT_TRUE(WaitFor([&] { return FSaver.active.isEmpty(); }));
  EXPECT_EQ(FSaver.releases, 1);

  inhibitor.Inhibit();
  ASSERT_TRUE(WaitFor([&] { return inhibitor.Held(); }));
  EXPECT_EQ(FSaver.inhibits, 2);
}

TEST_F(ScreenSaver, ReleaseBeforeTheAnswerStillGivesItBack)
{
  TScreenSaverInhibitor inhibitor(*FClient);
  inhibitor.Inhibit();
  EXPECT_TRUE(inhibitor.Pending());
  inhibitor.Release();
  ASSERT_TRUE(WaitFor([&] { return !inhibitor.Pending(); }));
  EXPECT_FALSE(inhibitor.Held());
  ASSERT_TRUE(WaitFor([&] { return FSaver.releases == 1; }));
  EXPECT_TRUE(FSaver.active.isEmpty());

  // Released and wanted again before the answer: the answer is kept.
  inhibitor.Inhibit();
  inhibitor.Release();
  inhibitor.Inhibit();
  ASSERT_TRUE(WaitFor([&] { return inhibitor.Held(); }));
  EXPECT_EQ(FSaver.active.size(), 1);
  EXPECT_EQ(FSaver.inhibits, 2);
}

TEST_F(ScreenSaver, ClosingTheProgramGivesItBack)
{
  auto inhibitor = std::make_unique<TScreenSaverInhibitor>(*FClient);
  inhibitor->Inhibit();
  ASSERT_TRUE(WaitFor([&] { return inhibitor->Held(); }));
  inhibitor.reset();
  EXPECT_TRUE(WaitFor([&] { return FSaver.active.isEmpty(); }));
}

TEST_F(DesktopBus, WithoutScreenSaverServiceNothingHappens)
{
  TScreenSaverInhibitor inhibitor(*FClient);
  inhibitor.Inhibit();
  ASSERT_TRUE(WaitFor([&] { return !inhibitor.Pending(); }));
  EXPECT_FALSE(inhibitor.Held());
  inhibitor.Release();
  EXPECT_FALSE(inhibitor.Held());

  TScreenSaverInhibitor offline(QDBusConnection(QStringLiteral("kptest-not-connected")));
  offline.Inhibit();
  EXPECT_FALSE(offline.Pending());
  EXPECT_FALSE(offline.Held());
  offline.Release();
}

class FileManager : public DesktopBus {
protected:
  void SetUp() override
  {
    DesktopBus::SetUp();
    if (HasFatalFailure() || IsSkipped()) return;
    ASSERT_TRUE(FTmp.isValid());
    FFile = FTmp.path() + "/Trip 1#a.mov";
    ASSERT_TRUE(kptest::writeFileBytes(FFile, "x"));
    FOpener = std::make_unique<kptest::TFakeDesktopOpener>(0);
  }
  void TearDown() override
  {
    FOpener.reset();
    DesktopBus::TearDown();
  }
  // What reached the desktop's opener, once N targets have.
  QStringList Opened(qsizetype n)
  {
    WaitFor([&] { return FOpener->Opened().size() >= n; });
    return FOpener->Opened();
  }
  QTemporaryDir FTmp;
  QString FFile;
  FakeFileManager FManager;
  // Made once the bus runs: it takes PATH away.
  std::unique_ptr<kptest::TFakeDesktopOpener> FOpener;
};

TEST_F(FileManager, ExistingFileIsShownSelected)
{
  Offer("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1", &FManager);
  ShowInExplorer(FFile, *FClient);
  ASSERT_TRUE(WaitFor([&] { return !FManager.shown.isEmpty(); }));
  ASSERT_EQ(FManager.shown.size(), 1);
  EXPECT_EQ(QUrl(FManager.shown[0]).toLocalFile(), FFile);
  EXPECT_TRUE(FManager.shown[0].contains("%23")) << FManager.shown[0].toStdString();
  QCoreApplication::processEvents();
  EXPECT_TRUE(FOpener->Opened().isEmpty());
}

TEST_F(FileManager, MissingFileOpensItsFolder)
{
  Offer("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1", &FManager);
  ShowInExplorer(FTmp.path() + "/not yet copied.mov", *FClient);
  EXPECT_EQ(Opened(1), QStringList({FTmp.path()}));
  ShowInExplorer("", *FClient); // no row, nothing to show
  EXPECT_FALSE(WaitFor([&] { return FOpener->Opened().size() > 1; }, 300));
  EXPECT_TRUE(FManager.shown.isEmpty());
}

TEST_F(FileManager, WithoutFileManagerTheFolderOpens)
{
  ShowInExplorer(FFile, *FClient);
  EXPECT_EQ(Opened(1), QStringList({FTmp.path()}));
  ShowInExplorer(FFile, QDBusConnection(QStringLiteral("kptest-not-connected")));
  EXPECT_EQ(Opened(2), QStringList({FTmp.path(), FTmp.path()}));
}

// The desktop could not open the target, whether there is no opener at all
// or the opener finds no program for it (3) or the program fails (4): the
// caller hears of it with the target, for a folder, a document or an
// address; a target the opener took is never reported.
TEST_F(FileManager, WhenTheDesktopCannotOpenTheCallerIsTold)
{
  QStringList failed;
  const TDesktopFailure record = [&](const QString &path) { failed << path; };
  const QString site = QStringLiteral("https://kestril.invalid/");
  OpenWithDesktop(FFile, record);
  EXPECT_EQ(Opened(1), QStringList({FFile}));
  EXPECT_FALSE(WaitFor([&] { return !failed.isEmpty(); }, 300));

  for (int status : {-1, 3, 4}) {
    SCOPED_TRACE(status);
    std::unique_ptr<kptest::TNoDesktopOpener> opener;
    if (status < 0)
      opener = std::make_unique<kptest::TNoDesktopOpener>();
    else
      opener = std::make_unique<kptest::TFakeDesktopOpener>(status);
    failed.clear();
    OpenWithDesktop(FFile, record);
    OpenWithDesktop(site, record);
    ShowInExplorer(FFile, QDBusConnection(QStringLiteral("kptest-not-connected")), record);
    ShowInExplorer(FFile, *FClient, record); // no file manager on the bus either
    EXPECT_TRUE(WaitFor([&] { return failed.size() == 4; }));
    failed.sort(); // the openers end in any order
    QStringList expected{FFile, site, FTmp.path(), FTmp.path()};
    expected.sort();
    EXPECT_EQ(failed, expected);
  }
}

TEST(DesktopClipboard, TextArrivesConvertedFromItsCodePage)
{
  App();
  ASSERT_TRUE(CopyTextToClipboard("\xcf\xf0\xe8\xe2\xe5\xf2\t1\r\n", 1251));
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8("Привет\t1\r\n"));
  ASSERT_TRUE(CopyTextToClipboard("Stra\xc3\x9f"
                                  "e",
                                  65001));
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8("Straße"));
}

TEST(DesktopResources, PicturesLoadAndMissingOnesAreNull)
{
  App();
  const QImage bitmap = LoadResourceBitmap("kptest_picture.bmp");
  ASSERT_FALSE(bitmap.isNull());
  EXPECT_EQ(bitmap.size(), QSize(4, 2));
  EXPECT_EQ(bitmap.pixelColor(0, 0), QColor(255, 0, 0));
  EXPECT_EQ(bitmap.pixelColor(2, 0), QColor(0, 0, 255));
  EXPECT_EQ(bitmap.pixelColor(3, 1), QColor(0, 0, 0));
  EXPECT_TRUE(LoadResourceBitmap("kptest_missing.bmp").isNull());

  const QIcon icon = LoadResourceIcon("kptest_icon.ico");
  ASSERT_FALSE(icon.isNull());
  EXPECT_EQ(icon.availableSizes(), QList<QSize>({QSize(16, 16), QSize(32, 32)}));
  EXPECT_EQ(icon.pixmap(32, 32).toImage().pixelColor(5, 5), QColor(30, 30, 200));
  EXPECT_TRUE(LoadResourceIcon("kptest_missing.ico").isNull());
}

} // namespace

#include "TestUnitUtilsDesktop.moc"
