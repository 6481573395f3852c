#pragma once
// Asks the update server, a while after it is created, whether a newer
// version exists, and hands the answer to the update window and the
// advertising strip. A main-thread object: a single-shot timer, then one
// transfer; Stop (or destruction) cancels both at once. The main window
// creates one with 5000 ms at start-up and replaces it by one with 500 ms
// when the map page is ready or a new GPS format was seen.
//
// The server's base address is the build option KP_UPDATE_URL; while it
// is empty no request is ever made. Failures are silent.

#include "HttpTransfer.h"
#include "UpdateProtocol.h"

#include <QObject>
#include <QTimer>
#include <memory>

namespace kp {

class TFormAutoUpdate;

class TAutoUpdateChecker : public QObject {
  Q_OBJECT
public:
  // Starts waiting Delay milliseconds at once.
  static std::unique_ptr<TAutoUpdateChecker> Create(int delayMs, TFormAutoUpdate &form);
  TAutoUpdateChecker(int delayMs, TFormAutoUpdate &form);

  void Stop();
  // Nothing more will happen: stopped, or the reply was handled or failed.
  bool Finished() const { return FFinished; }

  // The base address ("https://host[:port]"); the build option by default.
  static QString BaseUrl();
  static void SetBaseUrl(const QString &url);
  // How long a silent server is waited for (30 s by default).
  static void SetTimeoutMs(int ms);
  // The statistics query of this run: language, formats, screen, id.
  static TUpdateQuery CurrentQuery();

private:
  void StartRequest();
  void OnReply(bool ok, const QByteArray &body);

  TFormAutoUpdate &FForm;
  QTimer FDelay;
  THttpTransfer FTransfer;
  TUpdateQuery FQuery;
  bool FFinished = false;
};

} // namespace kp
