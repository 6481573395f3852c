#include "FileListCommands.h"
#include "FileListModel.h"
#include "FileListTestSupport.h"
#include "MainMenus.h"
#include "UiTestSupport.h"
#include "UnitSnapshot.h"
#include "UnitTranslate.h"
#include "WindowPlacement.h"
#include "UnitRegSettings.h"

#include "DateTime.h"

#include <QAction>
#include <QItemSelectionModel>
#include <QTableView>
#include "FileManagerTestAccess.h"

#include <gtest/gtest.h>

using namespace kp;

namespace kptest {

TFileItem ListRow(const QStringList &paths, bool locked)
{
  TFileItem row;
  for (const QString &p : paths) {
    TFileItemSubitem f;
    f.FileName = p;
    f.Name = p.section('/', -1);
    f.Locked = locked ? 1 : 0;
    f.StartTime = 45000 + row.Files.size() / 1440.0;
    f.EndTime = f.StartTime + 1 / 1440.0;
    row.Files.push_back(f);
  }
  row.Summary = row.Files.front();
  row.Summary.FileName = paths.join(", ");
  row.Summary.Locked = locked ? lsLocked : lsNone;
  return row;
}

} // namespace kptest

namespace {

struct AppFirst {
  AppFirst() { kptest::ensureApplication(); }
};

struct ListFixture : ::testing::Test, AppFirst {
  kptest::ScopedSettings settings;
  QTableView view;
  TMainMenus *menus = nullptr;
  TFileListModel model;
  std::unique_ptr<TFileManager> manager;
  kptest::TRecordingListHost host;
  std::unique_ptr<TFileListCommands> commands;

  void SetUp() override
  {
    kptest::ensureApplication();
    InitLanguages();
    menus = new TMainMenus(&view);
    menus->Build(nullptr);
    manager = std::make_unique<TFileManager>(false, [](int) {});
    model.SetFileManager(manager.get());
    view.setModel(&model);
    commands = std::make_unique<TFileListCommands>(host, model, view, *menus);
  }
  void Rows(std::vector<TFileItem> rows)
  {
    TFileManagerTestAccess::SetRows(*manager, std::move(rows));
    commands->FileManagerChanged(-1);
  }
  void Select(std::initializer_list<int> rows)
  {
    view.selectionModel()->clearSelection();
    for (int r : rows)
      view.selectionModel()->setCurrentIndex(model.index(r, 0),
                                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
    commands->UpdateEnabling();
  }
  bool Enabled(const char *name) { return menus->Action(QLatin1String(name))->isEnabled(); }
};

} // namespace

TEST_F(ListFixture, DeleteAllAsksWithTwentyNamesAndEveryFileCounted)
{
  std::vector<TFileItem> rows;
  for (int i = 0; i < 25; ++i)
    rows.push_back(kptest::ListRow({QStringLiteral("/card/T%1A.MOV").arg(i, 2, 10, QLatin1Char('0')),
                                    QStringLiteral("/card/T%1B.MOV").arg(i, 2, 10, QLatin1Char('0'))}));
  rows.push_back(kptest::ListRow({"/card/LOCKED.MOV"}, true));
  Rows(rows);
  host.Answer = false;
  commands->DeleteAllUnlocked();
  ASSERT_EQ(host.Questions.size(), 1);
  const QString q = host.Questions.front();
  EXPECT_EQ(q.count("... "), 5);
  EXPECT_EQ(q.count(".MOV\r\n"), 20);
  EXPECT_TRUE(q.contains(": 50\r\n")) << q.toStdString();
  EXPECT_FALSE(q.contains("LOCKED"));
  EXPECT_EQ(manager->GetCount(), 26); // No changes nothing
}

TEST_F(ListFixture, EnablingFollowsTheSelection)
{
  Rows({kptest::ListRow({"/c/A.MOV"}, true), kptest::ListRow({"/c/B.MOV", "/c/C.MOV"})});
  Select({0, 1});
  EXPECT_TRUE(Enabled("N_FileList_SetLock"));
  EXPECT_TRUE(Enabled("N_FileList_UnsetLock"));
  EXPECT_FALSE(Enabled("N_FileList_DelDisk")); // a locked row keeps its files
  EXPECT_FALSE(Enabled("N_FileList_Open"));    // two rows
  EXPECT_TRUE(Enabled("N_FileList_Ungroup"));
  EXPECT_TRUE(Enabled("N_FileList_Group_With"));
  Select({1});
  EXPECT_TRUE(Enabled("N_FileList_DelDisk"));
  EXPECT_TRUE(Enabled("N_FileList_Open"));
  EXPECT_FALSE(Enabled("N_FileList_UnsetLock"));
  Select({});
  EXPECT_FALSE(Enabled("N_FileList_Open"));
  EXPECT_TRUE(Enabled("N_FileList_Refresh"));
}

TEST_F(ListFixture, ReselectsByCaptionAfterTheRowMoved)
{
  Rows({kptest::ListRow({"/c/A.MOV"}), kptest::ListRow({"/c/B.MOV"}), kptest::ListRow({"/c/C.MOV"})});
  Select({2});
  commands->SelectedCaption = model.Caption(2);
  manager->SortByColumn(flcName); // same column again: reversed
  manager->SortByColumn(flcName);
  commands->FileManagerChanged(-1);
  ASSERT_GE(commands->CurrentRow(), 0);
  EXPECT_EQ(model.Caption(commands->CurrentRow()), commands->SelectedCaption);
}

TEST(FileListNames, SnapshotExportAndFilterTexts)
{
  TFormatSettings fs = FormatSettings();
  fs.shortDateFormat = "d/m/yyyy";
  fs.dateSeparator = '/';
  fs.longTimeFormat = "h:nn:ss";
  fs.timeSeparator = ':';
  const TFormatSettings saved = FormatSettings();
  SetFormatSettings(fs);
  const QString name = SnapshotFileName("Frame", EncodeDateTimeOr0(2024, 1, 2, 10, 0, 0), 83456);
  SetFormatSettings(saved);
  EXPECT_TRUE(name.startsWith("Frame ")) << name.toStdString();
  EXPECT_TRUE(name.endsWith(" (0-01-23.456).jpg")) << name.toStdString();
  EXPECT_FALSE(name.contains('/'));
  EXPECT_EQ(WithExportExtension("trip", "gpx"), "trip.gpx");
  EXPECT_EQ(WithExportExtension("trip.GPX", "gpx"), "trip.GPX");
  EXPECT_EQ(QtFilters("Google Earth (.kml)|*.kml|"), QStringList{"Google Earth (.kml) (*.kml)"});
}

TEST(WindowPlacementTest, ResetKeepsOnlyIdAndFormats)
{
  kptest::ensureApplication();
  kptest::ScopedSettings settings;
  settings::InstallationId.Write("aBcDeFgHiJk");
  settings::GpsFormatsSeen.Write("dat,nmea");
  settings::Volume.Write(40);
  bool closed = false, launched = false;
  EXPECT_TRUE(ResetAllSettings(
      [&] {
        closed = true;
        settings::PosLeft.Write(5);
      },
      [&] { return launched = true; }));
  EXPECT_TRUE(closed && launched);
  EXPECT_EQ(settings::InstallationId.Read(), "aBcDeFgHiJk");
  EXPECT_EQ(settings::GpsFormatsSeen.Read(), "dat,nmea");
  EXPECT_EQ(settings::Volume.Read(), 100);
  EXPECT_EQ(settings::PosLeft.ReadOr(-7), -7);
}

TEST(WindowPlacementTest, NotStoredWhileHiddenOrMinimised)
{
  kptest::ensureApplication();
  kptest::ScopedSettings settings;
  QWidget window;
  TWindowPlacement placement(&window, 10);
  window.setGeometry(10, 20, 300, 200);
  placement.Flush();
  EXPECT_EQ(settings::PosLeft.ReadOr(-1), -1); // hidden
  window.show();
  window.setGeometry(30, 40, 320, 240);
  ASSERT_TRUE(kptest::waitUntil([&] { return settings::PosWidth.ReadOr(-1) == 320; }, 2000));
  window.showMinimized();
  kptest::spin(50);
  placement.Flush();
  EXPECT_NE(settings::PosState.ReadOr(-1), 1);
}
