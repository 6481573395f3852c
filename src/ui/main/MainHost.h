#pragma once
// The main window as its collaborators see it: one adapter that answers the
// host interfaces with the window's widgets, dialogs and message boxes, so
// the collaborators never include the window. Messages to the user are
// shown here and nowhere else. Main thread only; owned by the window.

#include "IFileListHost.h"

#include <QObject>

namespace kp {

class TFormMain;

class TMainHost : public QObject, public IFileListHost {
  Q_OBJECT
public:
  explicit TMainHost(TFormMain &window);

  bool IsSelectedGroupLoaded() const override;
  bool NothingLoaded() const override;
  void StopPlayback() override;
  std::vector<const TMovingInfo *> LoadedTracks() const override;
  void ListClick() override;
  void RestartUpdateChecker(int delayMs) override;
  void ShowProperties(const TFileItem &row) override;
  void ShowGpsLogs(const QStringList &logs, const QStringList &tick, bool onlyTicked) override;
  void OpenDocument(const QString &path) override;
  void ShowInFileManager(const QString &path) override;
  bool AskYesNo(const QString &text, bool warning) override;
  void ShowMessage(const QString &text) override;
  QString ChooseSaveFile(const QString &proposed, const QStringList &filters, int &filterIndex,
                         const QString &defaultSuffix) override;
  void ProcessEvents() override;
  void SetBusy(bool busy) override;

private:
  TFormMain &FWindow;
};

// CR LF as the message boxes show line breaks.
QString MessageText(QString text);

} // namespace kp
