#pragma once
// A recording host for the list commands, and rows made in memory.

#include "IFileListHost.h"
#include "UnitFileManager.h"

#include <QStringList>

namespace kptest {

struct TRecordingListHost : kp::IFileListHost {
  QStringList Questions, Messages, Opened, Shown;
  bool Answer = true;
  bool Loaded = false;
  int Stops = 0, Clicks = 0, Restarts = 0;
  QString SaveAs;
  int SaveFilter = 0;

  bool IsSelectedGroupLoaded() const override { return Loaded; }
  bool NothingLoaded() const override { return !Loaded; }
  void StopPlayback() override { ++Stops; }
  std::vector<const kp::TMovingInfo *> LoadedTracks() const override { return {}; }
  void ListClick() override { ++Clicks; }
  void RestartUpdateChecker(int) override { ++Restarts; }
  void ShowProperties(const kp::TFileItem &row) override { Shown << row.Summary.Name; }
  void ShowGpsLogs(const QStringList &, const QStringList &tick, bool) override { Shown << tick; }
  void OpenDocument(const QString &path) override { Opened << path; }
  void ShowInFileManager(const QString &path) override { Opened << path; }
  bool AskYesNo(const QString &text, bool) override
  {
    Questions << text;
    return Answer;
  }
  void ShowMessage(const QString &text) override { Messages << text; }
  QString ChooseSaveFile(const QString &, const QStringList &, int &filterIndex, const QString &) override
  {
    filterIndex = SaveFilter;
    return SaveAs;
  }
  void ProcessEvents() override {}
  void SetBusy(bool) override {}
};

// A row of one file per path, locked as asked.
kp::TFileItem ListRow(const QStringList &paths, bool locked = false);

} // namespace kptest
