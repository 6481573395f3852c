#include "UnitFormAutoUpdate.h"

#include "IAuxHost.h"
#include "MessageBoxes.h"
#include "Numbers.h"
#include "UnitTranslate.h"
#include "UnitUtilsDesktop.h"
#include "UnitUtilsFiles.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <unistd.h>

namespace kp {

namespace {

bool GUpdateCancelled = false;

// Below this a download cannot be the program.
constexpr qsizetype MinProgramBytes = 102400;

} // namespace

bool UpdateCancelled()
{
  return GUpdateCancelled;
}
void SetUpdateCancelled(bool cancelled)
{
  GUpdateCancelled = cancelled;
}

TFormAutoUpdate::TFormAutoUpdate(IUpdateHost &host, QWidget *parent)
  : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint), FHost(host), FPrompts(DefaultDialogPrompts(this))
{
  setObjectName(QStringLiteral("FormAutoUpdate"));
  setWindowIcon(LoadResourceIcon(QStringLiteral("icon_update.ico")));
  setAutoFillBackground(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor(230, 230, 230));
  setPalette(pal);
  FReply.Version = QStringLiteral("1.0");

  FPictureLeft = new QLabel(this);
  FPictureLeft->setPixmap(QPixmap::fromImage(LoadResourceBitmap(QStringLiteral("Form_Update_left.bmp"))));
  FPictureRight = new QLabel(this);
  FPictureRight->setPixmap(QPixmap::fromImage(LoadResourceBitmap(QStringLiteral("Form_Update_right.bmp"))));
  FLabelNewVersion = new QLabel(this);
  FLabelWantDownload = new QLabel(this);
  FLabelVersion = new QLabel(this);
  FLabelVersion->setObjectName(QStringLiteral("LabelVersion"));
  FProgress = new QProgressBar(this);
  FProgress->setTextVisible(false);
  FLabelProgress = new QLabel(this);
  FLabelProgress->setObjectName(QStringLiteral("LabelProgress"));
  FButtonAuto = new QPushButton(this);
  FButtonBrowser = new QPushButton(this);
  FButtonCancel = new QPushButton(this);

  auto *middle = new QVBoxLayout;
  middle->addWidget(FLabelNewVersion);
  middle->addWidget(FLabelWantDownload);
  middle->addWidget(FLabelVersion);
  middle->addWidget(FProgress);
  auto *buttons = new QHBoxLayout;
  buttons->addWidget(FButtonAuto);
  buttons->addWidget(FLabelProgress, 1);
  buttons->addWidget(FButtonBrowser);
  buttons->addWidget(FButtonCancel);
  middle->addLayout(buttons);
  auto *row = new QHBoxLayout(this);
  row->addWidget(FPictureLeft, 0, Qt::AlignTop);
  row->addLayout(middle, 1);
  row->addWidget(FPictureRight, 0, Qt::AlignTop | Qt::AlignRight);

  connect(FButtonAuto, &QPushButton::clicked, this, &TFormAutoUpdate::ButtonAutoClick);
  connect(FButtonBrowser, &QPushButton::clicked, this, &TFormAutoUpdate::ButtonBrowserClick);
  connect(FButtonCancel, &QPushButton::clicked, this, &TFormAutoUpdate::ButtonCancelClick);
  connect(&FDownload, &THttpTransfer::Progress, this, &TFormAutoUpdate::OnDownloadProgress);
  connect(&FDownload, &THttpTransfer::Finished, this,
          [this](bool ok, const QByteArray &body, const QString &) { OnDownloadFinished(ok, body); });
  SetHooks(THooks());
  ApplyLanguage();
}

void TFormAutoUpdate::ApplyLanguage()
{
  setWindowTitle(Translate(u"Update_Title"));
  FLabelNewVersion->setText(Translate(u"Update_NewVersion"));
  FLabelWantDownload->setText(Translate(u"Update_WantDownload") + QStringLiteral(" ?"));
  FButtonAuto->setText(Translate(u"Update_Btn_Auto"));
  FButtonBrowser->setText(Translate(u"Update_Btn_Browser"));
  FButtonCancel->setText(Translate(u"Cancel"));
}

void TFormAutoUpdate::SetHooks(const THooks &hooks)
{
  FHooks = hooks;
  if (FHooks.ProgramPath.isEmpty()) FHooks.ProgramPath = GetAppFileNameW();
  if (!FHooks.Launch)
    FHooks.Launch = [](const QString &program, const QStringList &args) {
      return QProcess::startDetached(program, args);
    };
  if (!FHooks.Quit) FHooks.Quit = [] { QCoreApplication::quit(); };
  if (!FHooks.OpenUrl) FHooks.OpenUrl = [this](const QString &url) { OpenWithDesktop(url, CantOpenReport(this)); };
  FDownload.SetTimeoutMs(FHooks.TimeoutMs);
  FDownload.SetCaCertificates(FHooks.CaCertificates);
}

bool TFormAutoUpdate::Offer(const TUpdateReply &reply)
{
  if (FDownloading) return false;
  FReply = reply;
  // Only a TLS download is installed automatically; a plain one is only
  // offered in the browser, and only web addresses are opened at all.
  const bool autoUsable = IsHttpsUrl(reply.DownloadUrl);
  const bool browserUsable = IsHttpUrl(reply.DownloadWeb) || IsHttpsUrl(reply.DownloadWeb);
  if (!autoUsable && !browserUsable) return false;
  FButtonAuto->setVisible(autoUsable);
  FButtonAuto->setEnabled(autoUsable);
  FButtonBrowser->setVisible(browserUsable);
  show();
  raise();
  return true;
}

void TFormAutoUpdate::showEvent(QShowEvent *event)
{
  FProgress->setValue(0);
  FProgress->setVisible(FDownloading);
  FLabelProgress->setVisible(FDownloading);
  if (!FDownloading) FLabelProgress->clear();
  FLabelVersion->setText(FReply.VersionText);
  QWidget::showEvent(event);
}

void TFormAutoUpdate::closeEvent(QCloseEvent *event)
{
  if (FDownloading) {
    FClosedDuringDownload = true;
    FDownload.Abort();
    EndFailedUpdate(false);
  }
  QWidget::closeEvent(event);
}

void TFormAutoUpdate::ButtonBrowserClick()
{
  if (IsHttpUrl(FReply.DownloadWeb) || IsHttpsUrl(FReply.DownloadWeb)) FHooks.OpenUrl(FReply.DownloadWeb);
  close();
}

void TFormAutoUpdate::ButtonCancelClick()
{
  SetUpdateCancelled(true);
  close();
  FHost.ShowMainWindow();
}

void TFormAutoUpdate::ButtonAutoClick()
{
  if (FDownloading || !IsHttpsUrl(FReply.DownloadUrl)) return;
  const QString name = VersionedExeName(FHooks.ProgramPath, FReply.VersionText);
  QFile::remove(name);
  FNewFile.setFileName(name);
  if (!FNewFile.open(QIODevice::ReadWrite | QIODevice::Truncate)) {
    FPrompts.Failure(QStringLiteral("Cannot create file\r\n") + name);
    return;
  }
  FDownloading = true;
  FClosedDuringDownload = false;
  FButtonAuto->setEnabled(false);
  FButtonBrowser->hide();
  FProgress->setValue(0);
  FProgress->show();
  FLabelProgress->show();
  FHost.StopPlayback();
  FHost.HideMainWindow();
  setWindowFlags((windowFlags() | Qt::CustomizeWindowHint | Qt::WindowTitleHint) &
                 ~(Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint | Qt::WindowSystemMenuHint));
  show();
  FDownload.Get(FReply.DownloadUrl, MaxDownloadBytes);
}

void TFormAutoUpdate::OnDownloadProgress()
{
  const int64_t length = FDownload.ContentLength();
  const int64_t received = FDownload.BodyReceived();
  if (length <= 0) return;
  FProgress->setMaximum(int(Clamp<int64_t>(length, 1, INT32_MAX)));
  FProgress->setValue(int(Clamp<int64_t>(received, 0, INT32_MAX)));
  const int64_t kb = Round(double(received) / 1024.0);
  const int64_t percent = Round(SafeDiv(double(received) * 100.0, double(length)));
  FLabelProgress->setText(QStringLiteral("%1 %2 (%3%)").arg(kb).arg(Translate(u"Kb")).arg(percent));
}

void TFormAutoUpdate::OnDownloadFinished(bool ok, const QByteArray &body)
{
  if (!FDownloading) return;
  if (!ok || body.size() < MinProgramBytes || !WriteNewProgram(body)) {
    EndFailedUpdate(true);
    return;
  }
  const TRenamePlan plan =
      MakeRenamePlan(FHooks.ProgramPath, FReply.VersionText, [](const QString &p) { return QFileInfo::exists(p); });
  QString error;
  if (!ExecuteRenamePlan(plan, FHooks.Launch, error)) {
    qWarning("self-update: %s", qPrintable(error));
    EndFailedUpdate(true);
    return;
  }
  FDownloading = false;
  hide();
  FHooks.Quit();
}

// The download as the new program: the running file's mode, on the disk
// before the renames.
bool TFormAutoUpdate::WriteNewProgram(const QByteArray &body)
{
  if (!FNewFile.isOpen()) return false;
  const bool ok = FNewFile.resize(0) && FNewFile.write(body) == body.size() && FNewFile.flush() &&
                  ::fsync(FNewFile.handle()) == 0 &&
                  FNewFile.setPermissions(QFileInfo(FHooks.ProgramPath).permissions());
  FNewFile.close();
  return ok;
}

// Every ending but the restart: the new file goes, the main window comes back.
void TFormAutoUpdate::EndFailedUpdate(bool say)
{
  FDownloading = false;
  FDownload.Abort();
  FNewFile.close();
  if (!FNewFile.fileName().isEmpty()) QFile::remove(FNewFile.fileName());
  setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint);
  FButtonAuto->setEnabled(true);
  if (say && !FClosedDuringDownload) FPrompts.Failure(QStringLiteral("Error"));
  FHost.ShowMainWindow();
  hide();
}

} // namespace kp
