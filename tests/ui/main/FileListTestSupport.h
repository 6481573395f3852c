#pragma once
// A recording host for the list commands, and the list they act on.

#include "FileListCommands.h"
#include "FileListModel.h"
#include "IFileListHost.h"
#include "MainMenus.h"
#include "UiTestSupport.h"
#include "UnitFileManager.h"
#include "UnitTranslate.h"

#include <QStringList>
#include <QTableView>
#include <gtest/gtest.h>
#include <memory>

namespace kptest {

struct TRecordingListHost : kp::IFileListHost {
  QStringList Questions, Messages, Opened, Shown;
  QStringList Failures;       // the messages that report a failure
  QList<QStringList> Details; // the files listed apart, per question and failure

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
  bool AskYesNo(const QString &text, bool, const QStringList &details) override
  {
    Questions << text;
    Details << details;
    return Answer;
  }
  void ShowMessage(const QString &text) override { Messages << text; }
  void ShowFailure(const QString &text, const QStringList &details) override
  {
    Messages << text;
    Failures << text;
    Details << details;
  }
  QString ChooseSaveFile(const QString &, const QStringList &, int &filterIndex, const QString &) override
  {
    filterIndex = SaveFilter;
    return SaveAs;
  }
  void ProcessEvents() override {}
  void SetBusy(bool) override {}
};

struct TAppFirst {
  TAppFirst() { ensureApplication(); }
};

// A list view with the menus, a catalogue and the commands over them.
struct TListFixture : ::testing::Test, TAppFirst {
  ScopedSettings Settings;
  QTableView View;
  kp::TMainMenus *Menus = new kp::TMainMenus(&View);
  kp::TFileListModel Model;
  kp::TFileManager Manager{false, [](int) {}};
  TRecordingListHost Host;
  std::unique_ptr<kp::TFileListCommands> Commands;

  void SetUp() override
  {
    kp::InitLanguages();
    kp::SetCurLang(kp::LangEnglish);
    Menus->Build(nullptr);
    Model.SetFileManager(&Manager);
    View.setModel(&Model);
    Commands = std::make_unique<kp::TFileListCommands>(Host, Model, View, *Menus);
  }
};

} // namespace kptest
