// The update check and the self-update against servers on 127.0.0.1: a
// plain one for the check, a TLS one with the test certificate for the
// download. Nothing here reaches any other address.

#include "IAuxHost.h"
#include "UiTestSupport.h"
#include "UnitAutoUpdateChecker.h"
#include "UnitFormAutoUpdate.h"
#include "UnitGpsConverters.h"
#include "UnitRegSettings.h"
#include "UnitTranslate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

using namespace kp;

namespace {

struct TFakeHost : IUpdateHost {
  bool MainVisible = true;
  int Stops = 0;
  QStringList Ads;
  void StopPlayback() override { ++Stops; }
  void HideMainWindow() override { MainVisible = false; }
  void ShowMainWindow() override { MainVisible = true; }
  void NavigateAds(const QString &url) override { Ads << url; }
};

// Answers every connection with Reply once its request is complete; a
// reply of "stall" sends nothing, "close" closes at once.
class TScriptedServer : public QObject {
public:
  explicit TScriptedServer(bool tls)
  {
    if (tls) {
      auto *server = new QSslServer(this);
      QSslConfiguration config = QSslConfiguration::defaultConfiguration();
      config.setLocalCertificate(Certificate());
      QFile key(QStringLiteral(KP_TEST_DATA "/update-server.key"));
      EXPECT_TRUE(key.open(QIODevice::ReadOnly));
      config.setPrivateKey(QSslKey(key.readAll(), QSsl::Rsa));
      server->setSslConfiguration(config);
      FServer = server;
    } else {
      FServer = new QTcpServer(this);
    }
    EXPECT_TRUE(FServer->listen(QHostAddress::LocalHost, 0));
    connect(FServer, &QTcpServer::pendingConnectionAvailable, this, [this] {
      while (QTcpSocket *socket = FServer->nextPendingConnection()) {
        ++Connections;
        auto *request = new QByteArray;
        connect(socket, &QObject::destroyed, this, [request] { delete request; });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, request] {
          request->append(socket->readAll());
          if (!request->contains("\r\n\r\n")) return;
          Requests << *request;
          if (Reply == "stall") return;
          if (Reply != "close") socket->write(Reply);
          socket->disconnectFromHost();
        });
      }
    });
  }
  static QSslCertificate Certificate()
  {
    return QSslCertificate::fromPath(QStringLiteral(KP_TEST_DATA "/update-server.crt")).value(0);
  }
  uint16_t Port() const { return FServer->serverPort(); }
  QString Url() const { return QStringLiteral("127.0.0.1:%1").arg(Port()); }

  QByteArray Reply;
  int Connections = 0;
  QList<QByteArray> Requests;

private:
  QTcpServer *FServer = nullptr;
};

QByteArray Ok(const QByteArray &body)
{
  return "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

class UpdateCheck : public ::testing::Test {
protected:
  void SetUp() override
  {
    kptest::ensureApplication();
    SetUpdateCancelled(false);
    TAutoUpdateChecker::SetTimeoutMs(30000);
  }
  void TearDown() override { TAutoUpdateChecker::SetBaseUrl(QString()); }
  kptest::ScopedSettings FSettings;
  TFakeHost FHost;
};

} // namespace

TEST_F(UpdateCheck, ExactRequestAndScriptedReplies)
{
  struct Case {
    const char *Name;
    QByteArray Reply;
    bool Offered, AutoOffered;
    int Ads;
  } cases[] = {
      {"newer, https download", Ok("version=1.2\r\ndownloadurl=https://127.0.0.1:1/kp\r\nadsurl=http://127.0.0.1:1/a"),
       true, true, 1},
      {"chunked, http download",
       "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1f\r\nVERSION=1.10\r\nDOWNLOADURL=http:\r\n"
       "e\r\n//127.0.0.1/kp\r\n0\r\n\r\n",
       true, false, 0},
      {"no download", Ok("version=1.2\r\nadsurl=ftp://127.0.0.1/a"), false, false, 0},
      {"404", "HTTP/1.1 404 Not Found\r\nContent-Length: 39\r\n\r\nversion=1.2\r\ndownloadurl=https://h/kp", false,
       false, 0},
  };
  ASSERT_TRUE(settings::InstallationId.Write(QStringLiteral("abcdefghijk")));
  SetGpsFormats(QStringLiteral("nmea"));
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Name);
    TScriptedServer server(false);
    server.Reply = c.Reply;
    TAutoUpdateChecker::SetBaseUrl(QStringLiteral("http://") + server.Url());
    TFormAutoUpdate form(FHost);
    SetGpsFormatsChanged(true);
    auto checker = TAutoUpdateChecker::Create(0, form);
    ASSERT_TRUE(kptest::waitUntil([&] { return checker->Finished(); }, 10000));
    ASSERT_EQ(server.Requests.size(), 1);
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QSize pixels = screen->size() * screen->devicePixelRatio();
    const QString query = QStringLiteral("?version=1.1&langid=%1&gps=nmea&screen=%2x%3&did=rw-abcdefghijk")
                              .arg(Translate(u"langid"))
                              .arg(pixels.width())
                              .arg(pixels.height());
    EXPECT_EQ(server.Requests[0], "GET /kestrilplayer.php" + query.toUtf8() + " HTTP/1.1\r\nHost: " +
                                      server.Url().toUtf8() + "\r\nUser-Agent: KESTRIL PLAYER 1.1 (KESTRIL)\r\n\r\n");
    EXPECT_FALSE(GpsFormatsChanged());
    EXPECT_EQ(form.isVisible(), c.Offered);
    if (c.Offered) {
      EXPECT_EQ(!form.ButtonAuto()->isHidden(), c.AutoOffered);
    }
    ASSERT_EQ(FHost.Ads.size(), c.Ads);
    if (c.Ads) {
      EXPECT_EQ(FHost.Ads.takeFirst(), "http://127.0.0.1:1/a" + query);
    }
  }
}

TEST_F(UpdateCheck, CancelIsStickyForTheRun)
{
  TScriptedServer server(false);
  server.Reply = Ok("version=1.2\r\ndownloadurl=https://127.0.0.1:1/kp");
  TAutoUpdateChecker::SetBaseUrl("http://" + server.Url());
  TFormAutoUpdate form(FHost);
  for (const bool cancelled : {false, true}) {
    auto checker = TAutoUpdateChecker::Create(0, form);
    ASSERT_TRUE(kptest::waitUntil([&] { return checker->Finished(); }, 10000));
    EXPECT_EQ(form.isVisible(), !cancelled);
    if (!cancelled) form.ButtonCancelClick();
  }
  EXPECT_TRUE(UpdateCancelled());
  EXPECT_EQ(server.Connections, 2);
}

TEST_F(UpdateCheck, FailuresShowNothing)
{
  TFormAutoUpdate form(FHost);
  // A refused port, and a server that never answers (ended by the time-out).
  quint16 refused = 0;
  {
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
    refused = probe.serverPort();
  }
  TScriptedServer silent(false);
  silent.Reply = "stall";
  TAutoUpdateChecker::SetTimeoutMs(300);
  for (const QString &base : {QStringLiteral("http://127.0.0.1:%1").arg(refused), "http://" + silent.Url()}) {
    SCOPED_TRACE(base.toStdString());
    TAutoUpdateChecker::SetBaseUrl(base);
    auto checker = TAutoUpdateChecker::Create(0, form);
    EXPECT_TRUE(kptest::waitUntil([&] { return checker->Finished(); }, 5000));
    EXPECT_FALSE(form.isVisible());
  }
  EXPECT_TRUE(FHost.Ads.isEmpty());
  // Without a base address no request is ever made.
  TAutoUpdateChecker::SetBaseUrl(QString());
  auto none = TAutoUpdateChecker::Create(0, form);
  EXPECT_TRUE(kptest::waitUntil([&] { return none->Finished(); }, 2000));
  EXPECT_EQ(silent.Connections, 1);
}

TEST_F(UpdateCheck, ShortCheckerReplacingALongOneMakesOneConnection)
{
  TScriptedServer server(false);
  server.Reply = Ok("version=1.0");
  TAutoUpdateChecker::SetBaseUrl("http://" + server.Url());
  TFormAutoUpdate form(FHost);
  auto checker = TAutoUpdateChecker::Create(1500, form);
  checker->Stop();
  checker = TAutoUpdateChecker::Create(500, form);
  EXPECT_TRUE(kptest::waitUntil([&] { return checker->Finished(); }, 5000));
  EXPECT_FALSE(kptest::waitUntil([&] { return server.Connections > 1; }, 2500));
  EXPECT_EQ(server.Connections, 1);
}

namespace {

class SelfUpdate : public UpdateCheck {
protected:
  void SetUp() override
  {
    UpdateCheck::SetUp();
    FRunning = FDir.filePath(QStringLiteral("kp_v1.0"));
    QFile running(FRunning);
    ASSERT_TRUE(running.open(QIODevice::WriteOnly));
    running.write("old program");
    running.close();
    running.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  }

  // Offers DownloadUrl, runs the automatic update, and waits for its end.
  void Run(TFormAutoUpdate &form, const QString &downloadUrl, bool trust, int timeoutMs = 30000)
  {
    TFormAutoUpdate::THooks hooks;
    hooks.ProgramPath = FRunning;
    hooks.Launch = [this](const QString &program, const QStringList &args) {
      FLaunched << program << args;
      return true;
    };
    hooks.Quit = [this] { ++FQuits; };
    if (trust) hooks.CaCertificates = {TScriptedServer::Certificate()};
    hooks.TimeoutMs = timeoutMs;
    form.SetHooks(hooks);
    TDialogPrompts prompts;
    prompts.Message = [this](const QString &text) { FMessages << text; };
    prompts.Failure = prompts.Message;
    form.SetPrompts(prompts);
    TUpdateReply reply;
    ParseResponse(("version=1.2\r\ndownloadurl=" + downloadUrl).toUtf8(), reply);
    ASSERT_TRUE(form.Offer(reply));
    form.ButtonAutoClick();
  }

  QStringList Files() const { return QDir(FDir.path()).entryList(QDir::Files, QDir::Name); }

  QTemporaryDir FDir;
  QString FRunning;
  QStringList FLaunched, FMessages;
  int FQuits = 0;
};

} // namespace

TEST_F(SelfUpdate, SuccessRenamesAndLaunches)
{
  TScriptedServer server(true);
  const QByteArray program(150000, 'p');
  server.Reply = Ok(program);
  TFormAutoUpdate form(FHost);
  Run(form, "https://" + server.Url() + "/kp", true);
  ASSERT_TRUE(kptest::waitUntil([&] { return FQuits > 0; }, 10000)) << FMessages.join('|').toStdString();
  EXPECT_EQ(FLaunched, QStringList({FDir.filePath("kp"), "/whatsnew", "/del" + FDir.filePath("kp_v1.1")}));
  EXPECT_EQ(Files(), QStringList({"kp", "kp_v1.1"}));
  QFile installed(FDir.filePath("kp"));
  ASSERT_TRUE(installed.open(QIODevice::ReadOnly));
  EXPECT_EQ(installed.readAll(), program);
  EXPECT_TRUE(installed.permissions() & QFileDevice::ExeOwner);
  EXPECT_EQ(FHost.Stops, 1);
  EXPECT_FALSE(FHost.MainVisible);
  EXPECT_TRUE(FMessages.isEmpty());
}

TEST_F(SelfUpdate, FailedDownloadsLeaveNoFileAndBringTheWindowBack)
{
  struct Case {
    const char *Name;
    QByteArray Reply;
    bool Trust;
    bool CloseWindow;
  } cases[] = {
      {"short body", "HTTP/1.1 200 OK\r\nContent-Length: 200000\r\n\r\n" + QByteArray(1000, 'p'), true, false},
      {"too small", Ok(QByteArray(102399, 'p')), true, false},
      {"404", "HTTP/1.1 404 Not Found\r\nContent-Length: 3\r\n\r\nno!", true, false},
      {"stalled", "stall", true, false},
      {"untrusted", Ok(QByteArray(150000, 'p')), false, false},
      {"window closed", "stall", true, true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Name);
    FMessages.clear();
    TScriptedServer server(true);
    server.Reply = c.Reply;
    TFormAutoUpdate form(FHost);
    Run(form, "https://" + server.Url() + "/kp", c.Trust, 500);
    EXPECT_FALSE(FHost.MainVisible);
    if (c.CloseWindow) {
      ASSERT_TRUE(kptest::waitUntil([&] { return server.Requests.size() == 1; }, 5000));
      form.close();
    }
    ASSERT_TRUE(kptest::waitUntil([&] { return !form.Downloading(); }, 10000));
    EXPECT_EQ(FMessages, c.CloseWindow ? QStringList() : QStringList({"Error"}));
    EXPECT_TRUE(FHost.MainVisible);
    EXPECT_EQ(Files(), QStringList({"kp_v1.0"}));
    EXPECT_TRUE(FLaunched.isEmpty());
  }
  EXPECT_EQ(FQuits, 0);
}

TEST_F(SelfUpdate, LaunchFailureUndoesTheRenames)
{
  TScriptedServer server(true);
  server.Reply = Ok(QByteArray(150000, 'p'));
  TFormAutoUpdate form(FHost);
  Run(form, "https://" + server.Url() + "/kp", true);
  TFormAutoUpdate::THooks hooks;
  ASSERT_TRUE(form.Downloading());
  // Swap in a launcher that fails while the download runs.
  hooks.ProgramPath = FRunning;
  hooks.Launch = [](const QString &, const QStringList &) { return false; };
  hooks.Quit = [this] { ++FQuits; };
  hooks.CaCertificates = {TScriptedServer::Certificate()};
  form.SetHooks(hooks);
  ASSERT_TRUE(kptest::waitUntil([&] { return !form.Downloading(); }, 10000));
  EXPECT_EQ(FMessages, QStringList({"Error"}));
  EXPECT_EQ(Files(), QStringList({"kp_v1.0"}));
  EXPECT_TRUE(FHost.MainVisible);
  EXPECT_EQ(FQuits, 0);
}

TEST_F(SelfUpdate, PlainDownloadIsOnlyOfferedInTheBrowser)
{
  TFormAutoUpdate form(FHost);
  QStringList opened;
  TFormAutoUpdate::THooks hooks;
  hooks.ProgramPath = FRunning;
  hooks.OpenUrl = [&](const QString &url) { opened << url; };
  form.SetHooks(hooks);
  TUpdateReply reply;
  ASSERT_TRUE(ParseResponse("version=1.2\r\ndownloadurl=http://127.0.0.1/kp", reply));
  ASSERT_TRUE(form.Offer(reply));
  EXPECT_TRUE(form.ButtonAuto()->isHidden());
  EXPECT_FALSE(form.ButtonBrowser()->isHidden());
  form.ButtonAutoClick();
  EXPECT_FALSE(form.Downloading());
  form.ButtonBrowserClick();
  EXPECT_EQ(opened, QStringList({"http://127.0.0.1/kp"}));
  EXPECT_FALSE(form.isVisible());
  // A reply naming no web address at all offers nothing.
  ASSERT_TRUE(ParseResponse("version=1.2\r\ndownloadurl=file:///etc/passwd", reply));
  EXPECT_FALSE(form.Offer(reply));
  EXPECT_EQ(Files(), QStringList({"kp_v1.0"}));
}

TEST_F(SelfUpdate, UncreatableFileIsReportedAndNothingStarts)
{
  TFormAutoUpdate form(FHost);
  FRunning = FDir.filePath("missing-folder/kp");
  Run(form, "https://127.0.0.1:1/kp", true);
  EXPECT_EQ(FMessages, QStringList({"Cannot create file\r\n" + FDir.filePath("missing-folder/kp_v1.2")}));
  EXPECT_FALSE(form.Downloading());
  EXPECT_TRUE(FHost.MainVisible);
  EXPECT_EQ(FHost.Stops, 0);
}
