#include "HttpTransfer.h"

#include <QLoggingCategory>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>

namespace kp {

Q_LOGGING_CATEGORY(lcUpdate, "kp.update")

THttpTransfer::THttpTransfer(QObject *parent) : QObject(parent)
{
  FIdle.setSingleShot(true);
  connect(&FIdle, &QTimer::timeout, this, [this] { Finish(false, QStringLiteral("time-out")); });
}

THttpTransfer::~THttpTransfer()
{
  DropSocket();
}

void THttpTransfer::Get(const QString &url, int64_t bodyCap)
{
  Abort();
  FReader = std::make_unique<THttpReplyReader>(bodyCap);
  const TUrlParts parts = SplitUrl(url);
  if (!parts.Valid) {
    // Reported from the event loop like every other ending.
    FSocket = new QTcpSocket(this);
    QTimer::singleShot(0, FSocket, [this, socket = FSocket] {
      if (FSocket == socket) Finish(false, QStringLiteral("not an http or https address"));
    });
    return;
  }
  FRequest = RequestText(parts);
  if (parts.Tls) {
    auto *ssl = new QSslSocket(this);
    if (!FCaCertificates.isEmpty()) {
      QSslConfiguration config = ssl->sslConfiguration();
      config.setCaCertificates(FCaCertificates);
      ssl->setSslConfiguration(config);
    }
    connect(ssl, &QSslSocket::encrypted, this, &THttpTransfer::OnConnected);
    connect(ssl, &QSslSocket::sslErrors, this, [this](const QList<QSslError> &errors) {
      Finish(false, errors.isEmpty() ? QStringLiteral("TLS error") : errors.first().errorString());
    });
    FSocket = ssl;
  } else {
    FSocket = new QTcpSocket(this);
    connect(FSocket, &QTcpSocket::connected, this, &THttpTransfer::OnConnected);
  }
  connect(FSocket, &QTcpSocket::readyRead, this, &THttpTransfer::OnReadyRead);
  connect(FSocket, &QTcpSocket::disconnected, this, &THttpTransfer::OnDisconnected);
  connect(FSocket, &QTcpSocket::errorOccurred, this, &THttpTransfer::OnError);
  FIdle.start(FTimeoutMs);
  if (parts.Tls)
    static_cast<QSslSocket *>(FSocket)->connectToHostEncrypted(parts.Host, parts.Port);
  else
    FSocket->connectToHost(parts.Host, parts.Port);
}

void THttpTransfer::Abort()
{
  FIdle.stop();
  DropSocket();
}

void THttpTransfer::DropSocket()
{
  if (!FSocket) return;
  QTcpSocket *socket = FSocket;
  FSocket = nullptr;
  socket->disconnect(this);
  socket->abort();
  socket->deleteLater();
}

void THttpTransfer::OnConnected()
{
  FIdle.start(FTimeoutMs);
  FSocket->write(FRequest);
}

void THttpTransfer::OnReadyRead()
{
  if (!FSocket) return;
  const QByteArray bytes = FSocket->readAll();
  if (bytes.isEmpty()) return;
  FIdle.start(FTimeoutMs);
  FReader->Feed(bytes);
  if (FReader->Finished()) {
    Finish(FReader->Succeeded(), FReader->Error());
    return;
  }
  emit Progress();
}

void THttpTransfer::OnDisconnected()
{
  if (!FSocket) return;
  FReader->Feed(FSocket->readAll());
  FReader->Close();
  Finish(FReader->Succeeded(), FReader->Error());
}

void THttpTransfer::OnError()
{
  if (!FSocket) return;
  if (FSocket->error() == QAbstractSocket::RemoteHostClosedError) {
    OnDisconnected();
    return;
  }
  Finish(false, FSocket->errorString());
}

void THttpTransfer::Finish(bool ok, const QString &error)
{
  if (!FSocket) return;
  FIdle.stop();
  const QByteArray body = ok ? FReader->Body() : QByteArray();
  DropSocket();
  if (!ok) qCInfo(lcUpdate) << "transfer failed:" << error;
  emit Finished(ok, body, error);
}

} // namespace kp
