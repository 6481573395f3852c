#pragma once
// One GET over a plain or TLS socket, with the update protocol's exact
// request text and reply framing (UpdateProtocol.h). Main thread: socket
// events arrive on the event loop and Finished is emitted once per Get,
// never from inside Get or Abort.
//
// A transfer fails when the address is not http or https, the connection
// or the TLS handshake fails (the system's certificate check, or the
// certificates given), the reply is malformed or above its cap, or no data
// arrives for the time-out (30 s by default, also for connecting).

#include "UpdateProtocol.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QTimer>
#include <memory>

class QTcpSocket;

namespace kp {

class THttpTransfer : public QObject {
  Q_OBJECT
public:
  explicit THttpTransfer(QObject *parent = nullptr);
  ~THttpTransfer() override;

  void SetTimeoutMs(int ms) { FTimeoutMs = ms; }
  // Certificates trusted instead of the system's (tests); empty: the system's.
  void SetCaCertificates(const QList<QSslCertificate> &certificates) { FCaCertificates = certificates; }

  // Starts a GET of Url (an earlier transfer is dropped without a signal).
  void Get(const QString &url, int64_t bodyCap);
  // Drops the transfer without a signal.
  void Abort();
  bool Running() const { return FSocket != nullptr; }
  // Body bytes received so far and the announced length (-1 unknown).
  int64_t BodyReceived() const { return FReader ? FReader->Body().size() : 0; }
  int64_t ContentLength() const { return FReader ? FReader->ContentLength() : -1; }

signals:
  void Progress();
  // Ok with the body, or not ok with an empty body and a reason.
  void Finished(bool ok, const QByteArray &body, const QString &error);

private:
  void OnConnected();
  void OnReadyRead();
  void OnDisconnected();
  void OnError();
  void Finish(bool ok, const QString &error);
  void DropSocket();

  QTcpSocket *FSocket = nullptr;
  std::unique_ptr<THttpReplyReader> FReader;
  QByteArray FRequest;
  QTimer FIdle;
  int FTimeoutMs = 30000;
  QList<QSslCertificate> FCaCertificates;
};

} // namespace kp
