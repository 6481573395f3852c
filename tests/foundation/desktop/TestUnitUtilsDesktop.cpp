#include "UnitUtils.h"
#include "UnitUtilsDesktop.h"
#include "UnitUtilsPower.h"

#include "TestSupport.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDesktopServices>
#include <QElapsedTimer>
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
    if (!m_dir.isValid()) return false;
    const QByteArray config = "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                              " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                              "<busconfig><type>session</type><listen>unix:dir=" +
                              QFile::encodeName(m_dir.path()) +
                              "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                              "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                              "<allow own=\"*\"/></policy></busconfig>\n";
    if (!kptest::writeFileBytes(m_dir.path() + "/bus.conf", config)) return false;
    m_daemon.start(dbusDaemon, {"--config-file=" + m_dir.path() + "/bus.conf", "--nofork", "--nopidfile",
                                "--print-address=1"});
    if (!m_daemon.waitForStarted(5000)) return false;
    while (!m_daemon.canReadLine()) {
      if (!m_daemon.waitForReadyRead(5000)) return false;
    }
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    return !m_address.isEmpty();
  }
  ~PrivateBus()
  {
    if (m_daemon.state() == QProcess::NotRunning) return;
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(3000)) m_daemon.kill();
    m_daemon.waitForFinished(3000);
  }
  QDBusConnection Connect(const QString &name) const { return QDBusConnection::connectToBus(m_address, name); }

private:
  QTemporaryDir m_dir;
  QProcess m_daemon;
  QString m_address;
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
    active << m_next;
    return m_next++;
  }
  void UnInhibit(uint cookie)
  {
    ++releases;
    active.removeOne(cookie);
  }

private:
  uint m_next = 41;
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

// Catches what would go to the desktop's default file handler.
class UrlCatcher : public QObject {
  Q_OBJECT
public:
  QList<QUrl> opened;
public slots:
  void Open(const QUrl &url) { opened << url; }
};

// Two connections to a private bus: the program's and the fake services'.
class DesktopBus : public ::testing::Test {
protected:
  void SetUp() override
  {
    App();
    KP_REQUIRE_TOOL(daemon, "dbus-daemon");
    ASSERT_TRUE(m_bus.Start(daemon));
    m_client = std::make_unique<QDBusConnection>(m_bus.Connect("kptest-client"));
    m_service = std::make_unique<QDBusConnection>(m_bus.Connect("kptest-service"));
    ASSERT_TRUE(m_client->isConnected());
    ASSERT_TRUE(m_service->isConnected());
    QDesktopServices::setUrlHandler("file", &m_urls, "Open");
  }
  void TearDown() override
  {
    QDesktopServices::unsetUrlHandler("file");
    m_client.reset();
    m_service.reset();
    QDBusConnection::disconnectFromBus("kptest-client");
    QDBusConnection::disconnectFromBus("kptest-service");
  }
  void Offer(const QString &service, const QString &path, QObject *object)
  {
    ASSERT_TRUE(m_service->registerObject(path, object, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(m_service->registerService(service));
    ASSERT_TRUE(WaitFor([&] { return m_client->interface()->isServiceRegistered(service).value(); }));
  }

  PrivateBus m_bus;
  std::unique_ptr<QDBusConnection> m_client, m_service;
  UrlCatcher m_urls;
};

class ScreenSaver : public DesktopBus {
protected:
  void SetUp() override
  {
    DesktopBus::SetUp();
    if (HasFatalFailure() || IsSkipped()) return;
    Offer("org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver", &m_saver);
  }
  FakeScreenSaver m_saver;
};

TEST_F(ScreenSaver, OneInhibitionTakenAndGivenBackWhateverTheRepeats)
{
  TScreenSaverInhibitor inhibitor(*m_client);
  inhibitor.Inhibit();
  inhibitor.Inhibit();
  ASSERT_TRUE(WaitFor([&] { return inhibitor.Held(); }));
  inhibitor.Inhibit();
  EXPECT_EQ(m_saver.inhibits, 1);
  EXPECT_EQ(m_saver.active.size(), 1);

  inhibitor.Release();
  inhibitor.Release();
  EXPECT_FALSE(inhibitor.Held());
  ASSERT_TRUE(WaitFor([&] { return m_saver.active.isEmpty(); }));
  EXPECT_EQ(m_saver.releases, 1);

  inhibitor.Inhibit();
  ASSERT_TRUE(WaitFor([&] { return inhibitor.Held(); }));
  EXPECT_EQ(m_saver.inhibits, 2);
}

TEST_F(ScreenSaver, ReleaseBeforeTheAnswerStillGivesItBack)
{
  TScreenSaverInhibitor inhibitor(*m_client);
  inhibitor.Inhibit();
  EXPECT_TRUE(inhibitor.Pending());
  inhibitor.Release();
  ASSERT_TRUE(WaitFor([&] { return !inhibitor.Pending(); }));
  EXPECT_FALSE(inhibitor.Held());
  ASSERT_TRUE(WaitFor([&] { return m_saver.releases == 1; }));
  EXPECT_TRUE(m_saver.active.isEmpty());

  // Released and wanted again before the answer: the answer is kept.
  inhibitor.Inhibit();
  inhibitor.Release();
  inhibitor.Inhibit();
  ASSERT_TRUE(WaitFor([&] { return inhibitor.Held(); }));
  EXPECT_EQ(m_saver.active.size(), 1);
  EXPECT_EQ(m_saver.inhibits, 2);
}

TEST_F(ScreenSaver, ClosingTheProgramGivesItBack)
{
  auto inhibitor = std::make_unique<TScreenSaverInhibitor>(*m_client);
  inhibitor->Inhibit();
  ASSERT_TRUE(WaitFor([&] { return inhibitor->Held(); }));
  inhibitor.reset();
  EXPECT_TRUE(WaitFor([&] { return m_saver.active.isEmpty(); }));
}

TEST_F(DesktopBus, WithoutScreenSaverServiceNothingHappens)
{
  TScreenSaverInhibitor inhibitor(*m_client);
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
    ASSERT_TRUE(m_tmp.isValid());
    m_file = m_tmp.path() + "/Trip 1#a.mov";
    ASSERT_TRUE(kptest::writeFileBytes(m_file, "x"));
  }
  QTemporaryDir m_tmp;
  QString m_file;
  FakeFileManager m_manager;
};

TEST_F(FileManager, ExistingFileIsShownSelected)
{
  Offer("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1", &m_manager);
  ShowInExplorer(m_file, *m_client);
  ASSERT_TRUE(WaitFor([&] { return !m_manager.shown.isEmpty(); }));
  ASSERT_EQ(m_manager.shown.size(), 1);
  EXPECT_EQ(QUrl(m_manager.shown[0]).toLocalFile(), m_file);
  EXPECT_TRUE(m_manager.shown[0].contains("%23")) << m_manager.shown[0].toStdString();
  QCoreApplication::processEvents();
  EXPECT_TRUE(m_urls.opened.isEmpty());
}

TEST_F(FileManager, MissingFileOpensItsFolder)
{
  Offer("org.freedesktop.FileManager1", "/org/freedesktop/FileManager1", &m_manager);
  ShowInExplorer(m_tmp.path() + "/not yet copied.mov", *m_client);
  ASSERT_EQ(m_urls.opened.size(), 1);
  EXPECT_EQ(m_urls.opened[0].toLocalFile(), m_tmp.path());
  ShowInExplorer("", *m_client); // no row, nothing to show
  EXPECT_EQ(m_urls.opened.size(), 1);
  EXPECT_TRUE(m_manager.shown.isEmpty());
}

TEST_F(FileManager, WithoutFileManagerTheFolderOpens)
{
  ShowInExplorer(m_file, *m_client);
  ASSERT_TRUE(WaitFor([&] { return !m_urls.opened.isEmpty(); }));
  EXPECT_EQ(m_urls.opened[0].toLocalFile(), m_tmp.path());

  m_urls.opened.clear();
  ShowInExplorer(m_file, QDBusConnection(QStringLiteral("kptest-not-connected")));
  ASSERT_EQ(m_urls.opened.size(), 1);
  EXPECT_EQ(m_urls.opened[0].toLocalFile(), m_tmp.path());
}

TEST(DesktopClipboard, TextArrivesConvertedFromItsCodePage)
{
  App();
  ASSERT_TRUE(CopyTextToClipboard("\xcf\xf0\xe8\xe2\xe5\xf2\t1\r\n", 1251));
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8("Привет\t1\r\n"));
  ASSERT_TRUE(CopyTextToClipboard("Stra\xc3\x9f" "e", 65001));
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
