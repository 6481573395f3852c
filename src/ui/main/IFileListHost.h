#pragma once
// What the list commands need of the rest of the main window: playback, the
// loaded recording, the other windows and the user's answers. The main
// window implements it; tests record it. Main thread only.

#include <QString>
#include <QStringList>
#include <vector>

namespace kp {

class TMovingInfo;
struct TFileItem;

class IFileListHost {
public:
  virtual ~IFileListHost() = default;

  // Playback.
  virtual bool IsSelectedGroupLoaded() const = 0;
  virtual bool NothingLoaded() const = 0; // the play button is disabled
  virtual void StopPlayback() = 0;
  // The loaded recording's tracks, one per file (null for a file without).
  virtual std::vector<const TMovingInfo *> LoadedTracks() const = 0;
  // The list-click handler: loads the selected recording paused.
  virtual void ListClick() = 0;

  // Other windows and services.
  virtual void RestartUpdateChecker(int delayMs) = 0;
  virtual void ShowProperties(const TFileItem &row) = 0;
  // The GPS-log window on these logs; Tick: the ones to tick and select
  // (empty: leave the window's own choice).
  virtual void ShowGpsLogs(const QStringList &logs, const QStringList &tick, bool onlyTicked) = 0;
  virtual void OpenDocument(const QString &path) = 0;
  virtual void ShowInFileManager(const QString &path) = 0;

  // The user. Details: the files a question or a report is about, listed
  // apart from its summary Text so that no list makes it outgrow the screen.
  virtual bool AskYesNo(const QString &text, bool warning, const QStringList &details) = 0;
  virtual void ShowMessage(const QString &text) = 0;
  // Something the user asked for failed.
  virtual void ShowFailure(const QString &text, const QStringList &details) = 0;
  // A save dialog; empty when cancelled. Filters are Qt's "caption (*.ext)";
  // FilterIndex in: the one to preselect, out: the one chosen.
  virtual QString ChooseSaveFile(const QString &proposed, const QStringList &filters, int &filterIndex,
                                 const QString &defaultSuffix) = 0;
  // Lets the event loop run (long loops over the list), without user input.
  virtual void ProcessEvents() = 0;
  virtual void SetBusy(bool busy) = 0;
};

} // namespace kp
