#pragma once
// The copy window: one per copy command, a parentless top-level with its own
// task-bar entry, showing the progress of its TFormCopyThread every 100 ms.
//
// Lifetime. The window frees itself. Closing it while the copy runs hides
// it and asks the engine to stop; the engine finishes its block and removes
// its temporary file, and the next timer pass deletes the window. Main
// thread only; the engine is polled, never waited for, except when the
// application quits (a running copy is stopped and cleaned up then).

#include "UnitFormCopyText.h"
#include "UnitFormCopyThread.h"

#include <QWidget>
#include <memory>
#include <optional>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

namespace kp {

class IDialogHost;

class TFormCopy : public QWidget {
  Q_OBJECT
public:
  explicit TFormCopy(IDialogHost *host, TCopyDelays delays = {});
  ~TFormCopy() override;

  // Asks for the folder and starts copying every file of Item; closes the
  // window when the user cancels the folder.
  void StartCopy(const TFileItem &item);

  // For tests and the main window's status.
  TFormCopyThread *Thread() const { return FThread.get(); }
  bool Done() const { return FDone; }
  bool Failed() const { return FFailed; }
  QString FileText() const;

protected:
  void closeEvent(QCloseEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;

private:
  void FormCreate();
  void TimerTimer();
  void ButtonPauseClick();
  void ButtonOpenFolderClick();
  void AskReplace(const QString &target);
  void ShowFailure(const QString &error);
  void ShowDone(const TCopyLabels &labels);
  void HideProgressFigures();

  IDialogHost *FHost;
  const TCopyDelays FDelays;
  std::unique_ptr<TFormCopyThread> FThread;
  TCopyClock FClock;
  TCopyWords FWords;
  bool FDone = false;
  bool FClosing = false;
  bool FFailed = false;
  std::optional<bool> FReplaceAll; // the answer for every further file, once given
  QTimer *FTimer;
  QLabel *FFileCaption, *FFile, *FSizeCaption, *FSize, *FTimeCaption, *FTime;
  QLabel *FSpeedCaption, *FSpeed, *FRemainsCaption, *FRemains;
  QPushButton *FButtonOpenFolder, *FButtonPause;
  QProgressBar *FProgress;
};

} // namespace kp
