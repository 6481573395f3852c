// The list commands on rows in memory, and the names and settings they use.

#include "FileListTestSupport.h"

#include "DateTime.h"
#include "Errors.h"
#include "FileManagerTestAccess.h"
#include "UnitRegSettings.h"
#include "UnitSnapshot.h"
#include "WindowPlacement.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QTemporaryDir>

using namespace kp;

namespace {

// A row of one file per path, locked as asked.
TFileItem ListRow(const QStringList &paths, bool locked = false)
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

struct ListFixture : kptest::TListFixture {
  void Rows(std::vector<TFileItem> rows)
  {
    TFileManagerTestAccess::SetRows(Manager, std::move(rows));
    Commands->FileManagerChanged(-1);
  }
  void Select(std::initializer_list<int> rows)
  {
    View.selectionModel()->clearSelection();
    for (int r : rows)
      View.selectionModel()->setCurrentIndex(Model.index(r, 0),
                                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
    Commands->UpdateEnabling();
  }
  bool Enabled(const char *name) { return Menus->Action(QLatin1String(name))->isEnabled(); }
};

} // namespace

// However many files go, the question is a summary (their count and size)
// with every name on a line of its own in the details.
TEST_F(ListFixture, DeleteAllAsksWithACountAndEveryNameInTheDetails)
{
  std::vector<TFileItem> rows;
  for (int i = 0; i < 25; ++i)
    rows.push_back(ListRow({QStringLiteral("/card/T%1A.MOV").arg(i, 2, 10, QLatin1Char('0')),
                            QStringLiteral("/card/T%1B.MOV").arg(i, 2, 10, QLatin1Char('0'))}));
  rows.push_back(ListRow({"/card/LOCKED.MOV"}, true));
  Rows(rows);
  Host.Answer = false;
  Commands->DeleteAllUnlocked();
  ASSERT_EQ(Host.Questions.size(), 1);
  const QString q = Host.Questions.front();
  EXPECT_FALSE(q.contains(".MOV")) << q.toStdString();
  EXPECT_TRUE(q.contains(": 50 (0.0 MB)\r\n")) << q.toStdString();
  ASSERT_EQ(Host.Details.front().size(), 50);
  EXPECT_EQ(Host.Details.front()[1], "/card/T00B.MOV");
  EXPECT_FALSE(Host.Details.front().join(' ').contains("LOCKED"));
  EXPECT_EQ(Manager.GetCount(), 26); // No changes nothing
}

TEST_F(ListFixture, LockThatDidNotTakeIsReported)
{
  QTemporaryDir dir;
  const QString kept = dir.filePath("FILE0001.MOV"), gone = dir.filePath("FILE0002.MOV");
  ASSERT_TRUE(kptest::writeFileBytes(kept, "x"));
  Rows({ListRow({kept, gone})});
  Select({0});
  for (const bool lock : {true, false}) {
    Host.Messages.clear();
    Commands->SetLock(lock);
    ASSERT_EQ(Host.Failures.size(), 1) << lock;
    EXPECT_EQ(Host.Failures[0], "The protection of these files could not be changed:\r\nCount: 1 (0.0 MB)");
    EXPECT_EQ(Host.Details.back(), QStringList{gone});
    Host.Failures.clear();
    EXPECT_EQ(IsFileLocked(kept), lock);
  }
  ASSERT_TRUE(kptest::writeFileBytes(gone, "x"));
  Host.Messages.clear();
  Commands->SetLock(true);
  EXPECT_TRUE(Host.Messages.isEmpty());
  SetFileLocked(kept, false);
  SetFileLocked(gone, false);
}

TEST_F(ListFixture, DeletingSeveralRowsReportsEveryFileThatStayed)
{
  QTemporaryDir dir;
  // A folder where a movie stood cannot be unlinked, even by root.
  const QString stuck = dir.filePath("FILE0001.MOV"), gone = dir.filePath("FILE0002.MOV");
  ASSERT_TRUE(QDir().mkpath(stuck + "/inside"));
  ASSERT_TRUE(kptest::writeFileBytes(gone, "x"));
  Rows({ListRow({stuck}), ListRow({gone})});
  Select({0, 1});
  Commands->DeleteFromDisk();
  EXPECT_FALSE(QFileInfo::exists(gone));
  ASSERT_EQ(Host.Failures.size(), 1);
  EXPECT_TRUE(Host.Failures[0].startsWith("These files could not be deleted:\r\nCount: 1 ("))
      << Host.Failures[0].toStdString();
  EXPECT_EQ(Host.Details.back(), QStringList{stuck + ": " + SystemErrorText(EISDIR)});
}

TEST_F(ListFixture, EnablingFollowsTheSelection)
{
  Rows({ListRow({"/c/A.MOV"}, true), ListRow({"/c/B.MOV", "/c/C.MOV"})});
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
  Rows({ListRow({"/c/A.MOV"}), ListRow({"/c/B.MOV"}), ListRow({"/c/C.MOV"})});
  Select({2});
  Commands->SelectedCaption = Model.Caption(2);
  Manager.SortByColumn(flcName); // same column again: reversed
  Manager.SortByColumn(flcName);
  Commands->FileManagerChanged(-1);
  ASSERT_GE(Commands->CurrentRow(), 0);
  EXPECT_EQ(Model.Caption(Commands->CurrentRow()), Commands->SelectedCaption);
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
