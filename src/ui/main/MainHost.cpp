#include "MainHost.h"

#include "UnitFormMain.h"
#include "UnitUtilsDesktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QToolButton>
#include <QUrl>

namespace kp {

QString MessageText(QString text) { return text.replace(QLatin1String("\r\n"), QLatin1String("\n")); }

TMainHost::TMainHost(TFormMain &window) : QObject(&window), FWindow(window) {}

bool TMainHost::IsSelectedGroupLoaded() const { return false; }

bool TMainHost::NothingLoaded() const { return !FWindow.ButtonPlay->isEnabled(); }

void TMainHost::StopPlayback() {}

std::vector<const TMovingInfo *> TMainHost::LoadedTracks() const { return {}; }

void TMainHost::ListClick() {}

void TMainHost::RestartUpdateChecker(int) {}

void TMainHost::ShowProperties(const TFileItem &) {}

void TMainHost::ShowGpsLogs(const QStringList &, const QStringList &, bool) {}

void TMainHost::OpenDocument(const QString &path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

void TMainHost::ShowInFileManager(const QString &path) { ShowInExplorer(path); }

bool TMainHost::AskYesNo(const QString &text, bool warning)
{
  const QString caption = FWindow.windowTitle();
  const auto answer = warning ? QMessageBox::warning(&FWindow, caption, MessageText(text), QMessageBox::Yes | QMessageBox::No,
                                                     QMessageBox::No)
                              : QMessageBox::question(&FWindow, caption, MessageText(text),
                                                      QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
  return answer == QMessageBox::Yes;
}

void TMainHost::ShowMessage(const QString &text) { QMessageBox::information(&FWindow, FWindow.windowTitle(), MessageText(text)); }

QString TMainHost::ChooseSaveFile(const QString &proposed, const QStringList &filters, int &filterIndex,
                                  const QString &defaultSuffix)
{
  QFileDialog dialog(&FWindow);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters(filters);
  if (filterIndex >= 0 && filterIndex < filters.size()) dialog.selectNameFilter(filters[filterIndex]);
  dialog.setDefaultSuffix(defaultSuffix);
  dialog.selectFile(proposed);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  filterIndex = int(filters.indexOf(dialog.selectedNameFilter()));
  return dialog.selectedFiles().front();
}

void TMainHost::ProcessEvents() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

void TMainHost::SetBusy(bool busy)
{
  if (busy)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

} // namespace kp
