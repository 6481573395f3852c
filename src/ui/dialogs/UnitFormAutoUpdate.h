#pragma once
// The update window: offers a newer version found by the update checker,
// opens its page in the browser or downloads it and replaces the running
// program. Created once at start-up and kept; main thread only. The checker
// and the download use separate transfers, so restarting the checker never
// cuts a download.
//
// A self-update ends in exactly one of two ways: the new program was started
// (the quit hook runs), or the new file is deleted, the main window comes
// back and, unless the window was closed, "Error" is shown.

#include "DialogPrompts.h"
#include "HttpTransfer.h"
#include "SelfReplace.h"
#include "UpdateProtocol.h"

#include <QFile>
#include <QWidget>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace kp {

class IUpdateHost;

// Set by the Cancel button; stays set for the rest of the run.
bool UpdateCancelled();
void SetUpdateCancelled(bool cancelled);

class TFormAutoUpdate : public QWidget {
  Q_OBJECT
public:
  // What the self-update uses of the process; tests replace them.
  struct THooks {
    QString ProgramPath;                          // default: the running program
    TLauncher Launch;                             // default: QProcess::startDetached
    std::function<void()> Quit;                   // default: QCoreApplication::quit
    std::function<void(const QString &)> OpenUrl; // default: the desktop's browser
    QList<QSslCertificate> CaCertificates;        // default: the system's
    int TimeoutMs = 30000;
  };

  TFormAutoUpdate(IUpdateHost &host, QWidget *parent = nullptr);

  void SetHooks(const THooks &hooks);
  void SetPrompts(const TDialogPrompts &prompts) { FPrompts = prompts; }
  IUpdateHost &Host() { return FHost; }
  // Texts of the active language; the main window calls it on a switch.
  void ApplyLanguage();

  // Takes the checker's reply; shows the window when it offers something
  // the user can act on. False when nothing was shown.
  bool Offer(const TUpdateReply &reply);
  const TUpdateReply &Reply() const { return FReply; }
  bool Downloading() const { return FDownloading; }

  void ButtonAutoClick();
  void ButtonBrowserClick();
  void ButtonCancelClick();

  QPushButton *ButtonAuto() const { return FButtonAuto; }
  QPushButton *ButtonBrowser() const { return FButtonBrowser; }

protected:
  void showEvent(QShowEvent *event) override;
  void closeEvent(QCloseEvent *event) override;

private:
  void OnDownloadProgress();
  void OnDownloadFinished(bool ok, const QByteArray &body);
  bool WriteNewProgram(const QByteArray &body);
  void EndFailedUpdate(bool say);

  IUpdateHost &FHost;
  THooks FHooks;
  TDialogPrompts FPrompts;
  TUpdateReply FReply;
  THttpTransfer FDownload;
  QFile FNewFile;
  bool FDownloading = false;
  bool FClosedDuringDownload = false;

  QLabel *FPictureLeft = nullptr;
  QLabel *FPictureRight = nullptr;
  QLabel *FLabelNewVersion = nullptr;
  QLabel *FLabelWantDownload = nullptr;
  QLabel *FLabelVersion = nullptr;
  QLabel *FLabelProgress = nullptr;
  QProgressBar *FProgress = nullptr;
  QPushButton *FButtonAuto = nullptr;
  QPushButton *FButtonBrowser = nullptr;
  QPushButton *FButtonCancel = nullptr;
};

} // namespace kp
