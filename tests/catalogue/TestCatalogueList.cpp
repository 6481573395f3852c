// The list operations: sorting, lock state, deleting and removing rows,
// tracks attached by hand, times and durations, adding files.
#include "CatalogueTestSupport.h"
#include "Errors.h"
#include "UnitMovingInfo.h"
#include "UnitTranslate.h"

#include <QDir>
#include <QFileInfo>
#include <sys/stat.h>

using namespace kp;
using namespace kpcat;

namespace {

class ListOps : public CatalogueTest {};

mode_t ModeOf(const QString &path)
{
  struct stat st {};
  ::stat(QFile::encodeName(path).constData(), &st);
  return st.st_mode & 0777;
}

TFileItem Named(const QString &name, int64_t duration, int width = 0, int height = 0)
{
  TFileItem row = Row("/card/" + name + ".MOV", At(10, 0), At(10, 1));
  row.Summary.DurationMs = duration;
  row.Summary.Width = width;
  row.Summary.Height = height;
  return row;
}

QStringList Names(const std::vector<TFileItem> &rows)
{
  QStringList out;
  for (const TFileItem &r : rows) out += r.Summary.Name;
  return out;
}

} // namespace

TEST_F(ListOps, SortColumnsToggleAndCompareByTheirRules)
{
  auto fm = MakeManager();
  SetRows(*fm, {Named("b", 3, 1920, 1080), Named("A", 1, 1280, 720), Named("c", 2, 640, 480)});
  fm->Sort();
  EXPECT_EQ(Names(Rows(*fm)), (QStringList{"A", "b", "c"})); // letter case ignored
  fm->SortByColumn(flcResolution);
  EXPECT_EQ(Names(Rows(*fm)), (QStringList{"c", "A", "b"}));
  fm->SortByColumn(flcResolution);
  EXPECT_FALSE(fm->GetSortAscending());
  EXPECT_EQ(Names(Rows(*fm)), (QStringList{"b", "A", "c"}));
  fm->SortByColumn(flcResolution);
  EXPECT_TRUE(fm->GetSortAscending());
  fm->SortByColumn(flcResolution);
  fm->SortByColumn(flcDuration); // another column starts ascending
  EXPECT_TRUE(fm->GetSortAscending());
  EXPECT_EQ(Names(Rows(*fm)), (QStringList{"A", "c", "b"}));
  EXPECT_EQ(FNotified, 5);
  fm->SortByColumn(flcLocation); // by character codes: "/card/A" < "/card/b"
  EXPECT_EQ(Names(Rows(*fm)), (QStringList{"A", "b", "c"}));
  SetRows(*fm, {Named("b", 3), Named("B", 3), Named("a", 3)});
  fm->SortByColumn(flcName);
  EXPECT_EQ(Names(Rows(*fm)).first(), "a");
}

TEST_F(ListOps, SortIsTheMiddlePivotQuicksort)
{
  // Equal rows move the way the two-index partition moves them.
  std::vector<TFileItem> rows = {Named("x1", 5), Named("x2", 5), Named("x3", 5)};
  kp::catalogue::SortRows(rows, flcDuration, false);
  EXPECT_EQ(Names(rows), (QStringList{"x3", "x2", "x1"}));
  rows = {Named("x1", 5), Named("x2", 5)};
  kp::catalogue::SortRows(rows, flcDuration, true);
  EXPECT_EQ(Names(rows), (QStringList{"x2", "x1"}));
  rows = {Named("p", 2), Named("q", 1), Named("r", 2), Named("s", 1), Named("t", 2)};
  kp::catalogue::SortRows(rows, flcDuration, false);
  EXPECT_EQ(Names(rows), (QStringList{"s", "q", "t", "p", "r"}));
  rows = {Named("p", 2), Named("q", 1)};
  kp::catalogue::SortRows(rows, 12, false); // no such column: all rows equal
  EXPECT_EQ(Names(rows), (QStringList{"q", "p"}));
  std::vector<TFileItem> many;
  for (int k = 0; k < 500; ++k) many.push_back(Named(QString::number(k), (k * 7919) % 101));
  kp::catalogue::SortRows(many, flcDuration, true);
  for (size_t k = 1; k < many.size(); ++k) ASSERT_GE(many[k - 1].Summary.DurationMs, many[k].Summary.DurationMs);
}

TEST_F(ListOps, LockStateIsTheWriteBits)
{
  const QString a = Make("DCIM/FILE0001.MOV"), b = Make("DCIM/FILE0002.MOV"), c = Make("DCIM/FILE0003.MOV");
  TFileItem row = Row(a, At(10, 0), At(10, 1));
  row.Files.push_back(Row(b, At(10, 1), At(10, 2)).Files[0]);
  row.Files.push_back(Row(c, At(10, 2), At(10, 3)).Files[0]);
  auto fm = MakeManager();
  SetRows(*fm, {row});
  EXPECT_FALSE(fm->HasLocked());
  EXPECT_FALSE(fm->SetGroupLocked(0, true, b)); // stale identity
  EXPECT_TRUE(fm->SetGroupLocked(0, true, a));
  for (const QString &p : {a, b, c}) {
    EXPECT_EQ(ModeOf(p) & 0222, 0u) << p.toStdString();
    EXPECT_TRUE(IsFileLocked(p));
  }
  EXPECT_EQ(fm->GetGroup(0).Summary.Locked, lsLocked);
  EXPECT_TRUE(fm->HasLocked());
  TFileListItem item;
  fm->FillListItem(0, item);
  EXPECT_EQ(item.ImageIndex, fliLocked);

  ASSERT_TRUE(SetFileLocked(b, false));
  EXPECT_NE(ModeOf(b) & 0200, 0u);
  EXPECT_FALSE(IsFileLocked(b));
  EXPECT_TRUE(fm->SetGroupLocked(0, false));
  EXPECT_EQ(fm->GetGroup(0).Summary.Locked, lsNone);
  EXPECT_EQ(FNotified, 2);

  // A file whose permission cannot change keeps showing what the disk holds.
  SetRows(*fm, {Row(PathIn("missing.MOV"), At(10, 0), At(10, 1))});
  EXPECT_FALSE(fm->SetGroupLocked(0, true));
  EXPECT_EQ(fm->GetGroup(0).Summary.Locked, lsNone);
  EXPECT_FALSE(fm->SetGroupLocked(3, true));
}

TEST_F(ListOps, DeleteTakesTracksAndSubtitlesAlong)
{
  const QString x = Make("DCIM/X.MOV"), xdat = Make("DCIM/X.dat"), xsrt = Make("DCIM/X.srt");
  const QString y = Make("DCIM/Y.MOV"), ysrt = Make("DCIM/Y.srt");
  TFileItem rx = Row(x, At(10, 0), At(10, 1));
  rx.Files[0].TrackFileName = xdat;
  ASSERT_TRUE(SetFileLocked(x, true));
  const TFileItem ry = Row(y, At(11, 0), At(11, 1));
  auto fm = MakeManager();
  SetRows(*fm, {rx, ry});
  EXPECT_TRUE(fm->DeleteGroupFiles(fm->GetGroup(0)));
  EXPECT_FALSE(QFileInfo::exists(x));
  EXPECT_FALSE(QFileInfo::exists(xdat));
  EXPECT_FALSE(QFileInfo::exists(xsrt));
  EXPECT_EQ(RowPaths(Rows(*fm)), QStringList{y});
  EXPECT_EQ(fm->IndexOfFile(x), -1);
  EXPECT_EQ(FNotified, 1);
  EXPECT_TRUE(fm->DeleteGroupFiles(fm->GetGroup(0)));
  EXPECT_FALSE(QFileInfo::exists(y));
  EXPECT_TRUE(QFileInfo::exists(ysrt)); // no track file: only the video goes
  EXPECT_EQ(fm->GetCount(), 0);
}

TEST_F(ListOps, DeleteKeepsTracksOthersUse)
{
  const QString log = Make("GPS/trip.log"), logSrt = Make("GPS/trip.srt");
  const QString a = Make("DCIM/A.MOV"), b = Make("DCIM/B.MOV");
  TFileItem ra = Row(a, At(10, 0), At(10, 1)), rb = Row(b, At(10, 5), At(10, 6));
  ra.Files[0].TrackFileName = log;
  rb.Files[0].TrackFileName = log;
  auto fm = MakeManager();
  SetRows(*fm, {ra, rb});
  EXPECT_TRUE(fm->DeleteGroupFiles(ra));
  EXPECT_FALSE(QFileInfo::exists(a));
  EXPECT_TRUE(QFileInfo::exists(log));
  EXPECT_TRUE(QFileInfo::exists(logSrt));
  EXPECT_TRUE(fm->DeleteGroupFiles(fm->GetGroup(0))); // the last user takes it along
  EXPECT_FALSE(QFileInfo::exists(log));
  EXPECT_FALSE(QFileInfo::exists(logSrt));
}

TEST_F(ListOps, FailedDeleteKeepsWhatStayed)
{
  const QString gone = Make("DCIM/FILE0001.MOV");
  const QString stuck = PathIn("DCIM/FILE0002.MOV");
  ASSERT_TRUE(QDir().mkpath(stuck + "/inside")); // a folder cannot be unlinked
  const QString stuckDat = Make("DCIM/FILE0002.dat");
  TFileItem row = Row(gone, At(10, 0), At(10, 1));
  row.Files.push_back(Row(stuck, At(10, 1), At(10, 2)).Files[0]);
  row.Files[1].TrackFileName = stuckDat;
  auto fm = MakeManager();
  SetRows(*fm, {row});
  fm->Refresh();
  QStringList failed, reasons;
  EXPECT_FALSE(fm->DeleteGroupFiles(fm->GetGroup(0), &failed, &reasons));
  EXPECT_EQ(failed, (QStringList{stuck, stuckDat}));
  EXPECT_EQ(reasons, (QStringList{SystemErrorText(EISDIR), Translate(u"Mes_StaysWithVideo")}));
  EXPECT_FALSE(QFileInfo::exists(gone));
  EXPECT_TRUE(QFileInfo::exists(stuckDat)); // its video stayed, so does its track
  ASSERT_EQ(fm->GetCount(), 1);
  const TFileItem left = fm->GetGroup(0);
  EXPECT_EQ(left.Summary.FileName, stuck);
  EXPECT_EQ(left.Summary.Name, "FILE0002");
  EXPECT_EQ(fm->IndexOfFile(gone), -1);
}

// A card log shared by two files of one row: when one video cannot be
// deleted it stays listed, and so does the log it still uses.
TEST_F(ListOps, FailedDeleteKeepsTheSharedTrackOfTheStayingVideo)
{
  const QString log = Make("GPS/trip.log"), logSrt = Make("GPS/trip.srt");
  const QString gone = Make("DCIM/FILE0001.MOV");
  const QString stuck = PathIn("DCIM/FILE0002.MOV");
  ASSERT_TRUE(QDir().mkpath(stuck + "/inside")); // a folder cannot be unlinked
  for (const bool stuckFirst : {false, true}) {
    if (!QFileInfo::exists(gone)) Make("DCIM/FILE0001.MOV");
    TFileItem row = Row(gone, At(10, stuckFirst ? 2 : 0), At(10, stuckFirst ? 3 : 1));
    row.Files.push_back(Row(stuck, At(10, 1), At(10, 2)).Files[0]);
    row.Files[0].TrackFileName = log;
    row.Files[1].TrackFileName = log;
    auto fm = MakeManager();
    SetRows(*fm, {row});
    fm->Refresh();
    EXPECT_FALSE(fm->DeleteGroupFiles(fm->GetGroup(0)));
    EXPECT_FALSE(QFileInfo::exists(gone));
    EXPECT_TRUE(QFileInfo::exists(log)) << stuckFirst;
    EXPECT_TRUE(QFileInfo::exists(logSrt)) << stuckFirst;
    EXPECT_EQ(RowPaths(Rows(*fm)), QStringList{stuck});
  }
}

TEST_F(ListOps, RemoveGroupAndClear)
{
  auto fm = MakeManager();
  SetRows(*fm, {Named("a", 1), Named("b", 2)});
  fm->RemoveGroup(Named("zzz", 1));
  EXPECT_EQ(fm->GetCount(), 2);
  EXPECT_EQ(FNotified, 1); // not in the list: still sorted and notified
  fm->RemoveGroup(fm->GetGroup(0));
  EXPECT_EQ(Names(Rows(*fm)), QStringList{"b"});
  EXPECT_EQ(fm->IndexOfFile("/card/a.MOV"), -1);
  fm->Clear();
  EXPECT_EQ(fm->GetCount(), 0);
  EXPECT_EQ(FNotified, 3);
  EXPECT_EQ(fm->GetGroup(0).Files.size(), 0u);
  EXPECT_EQ(fm->GetGroup(-1).Summary.FileName, "");
}

TEST_F(ListOps, GetGroupByFile)
{
  const QString listed = AddMovie("DCIM/FILE0001.MOV", At(10, 1));
  const QString fresh = AddMovie("DCIM/FILE0002.MOV", At(10, 2), 61000);
  auto fm = MakeManager();
  SetRows(*fm, {Row(listed, At(10, 0), At(10, 1))});
  TFileItem item;
  item.DateText = "untouched";
  EXPECT_FALSE(fm->GetGroupByFile(PathIn("DCIM/none.MOV"), item));
  EXPECT_EQ(item.DateText, "untouched");
  EXPECT_TRUE(fm->GetGroupByFile(listed.toLower().replace("/dcim/", "/DCIM/"), item) ||
              fm->GetGroupByFile(listed, item));
  EXPECT_EQ(item.Summary.FileName, listed);
  EXPECT_EQ(FNotified, 0);
  EXPECT_TRUE(fm->GetGroupByFile(fresh, item));
  EXPECT_EQ(item.Summary.FileName, fresh);
  EXPECT_EQ(item.Summary.DurationSource, dsHeader);
  EXPECT_EQ(item.Summary.DurationMs, 61000);
  EXPECT_EQ(fm->GetCount(), 2);
  EXPECT_EQ(FNotified, 1);
}

TEST_F(ListOps, TimesAndDurationsSetByHand)
{
  auto fm = MakeManager();
  TFileItem row = Row("/card/FILE0001.MOV", At(10, 0), At(10, 1));
  row.Files[0].DurationSource = dsEstimated;
  SetRows(*fm, {row, Row("/card/FILE0009.MOV", At(11, 0), At(11, 1))});
  fm->SetFileDuration("/card/FILE0001.MOV", 61000);
  TFileItem g = fm->GetGroup(0);
  EXPECT_NEAR(g.Summary.StartTime, At(10, 0, 59) - 1.0 / 1440, 1e-9);
  EXPECT_EQ(g.DurationText, "1:01");
  EXPECT_EQ(g.Summary.DurationSource, dsHeader);
  EXPECT_EQ(FNotified, 1);
  fm->SetFileDuration("/card/unknown.MOV", 5000);
  EXPECT_EQ(FNotified, 1);

  EXPECT_FALSE(fm->ShiftGroupTime(1, 1.0 / 24, "/card/FILE0001.MOV"));
  EXPECT_TRUE(fm->ShiftGroupTime(1, 1.0 / 24, "/card/FILE0009.MOV"));
  EXPECT_NEAR(fm->GetGroup(1).Summary.StartTime, At(12, 0), 1e-9);
  EXPECT_EQ(fm->GetGroup(1).DateText, "today 12:00");
  EXPECT_EQ(FNotified, 2);
}

TEST_F(ListOps, AttachedLogMovesTheRow)
{
  const QString log = Make("GPS/trip.log", DatTrackBytes(At(10, 0), 1800));
  auto fm = MakeManager();
  TFileItem row = Row("/card/FILE0001.MOV", At(12, 0), At(12, 15));
  row.Files.push_back(Row("/card/FILE0002.MOV", At(12, 15), At(12, 30)).Files[0]);
  TFileManager::RecalcItem(row, {});
  SetRows(*fm, {row});
  EXPECT_TRUE(fm->SetGroupTrack(0, log));
  EXPECT_EQ(FNotified, 0);
  const TFileItem g = fm->GetGroup(0);
  EXPECT_NEAR(g.Summary.EndTime, At(10, 30), 1e-9);
  EXPECT_NEAR(g.Summary.StartTime, At(10, 0), 1e-9);
  EXPECT_EQ(g.Files[0].TrackFileName, log);
  EXPECT_TRUE(g.Summary.HasTrack);
  // A log that lies within the row and disagrees leaves the times alone.
  SetRows(*fm, {Row("/card/FILE0003.MOV", At(9, 0), At(11, 0))});
  EXPECT_TRUE(fm->SetGroupTrack(0, log));
  EXPECT_NEAR(fm->GetGroup(0).Summary.StartTime, At(9, 0), 1e-9);
  EXPECT_FALSE(fm->SetGroupTrack(4, log));
}

TEST_F(ListOps, PlayedTelemetryRefillsTheTrack)
{
  const QString track = Make("DCIM/FILE0001.dat", DatTrackBytes(At(10, 0), 600));
  std::unique_ptr<TMovingInfo> telemetry = TMovingInfo::LoadFromFile(track, false);
  ASSERT_TRUE(telemetry);
  auto fm = MakeManager();
  SetRows(*fm, {Row("/card/FILE0001.MOV", At(10, 2), At(10, 5))});
  fm->UpdateFileTrack("/card/unknown.MOV", *telemetry);
  EXPECT_EQ(telemetry->GetStartTime(), At(10, 0));
  fm->UpdateFileTrack("/card/FILE0001.MOV", *telemetry);
  const TFileItemSubitem f = fm->GetGroup(0).Files[0];
  EXPECT_GE(f.TrackStartTime, At(10, 2) - 1e-9);
  EXPECT_LE(f.TrackEndTime, At(10, 5) + 1e-9);
  EXPECT_NEAR(f.TrackLength, 1800, 15);
  EXPECT_TRUE(fm->GetGroup(0).Summary.HasTrack);
  EXPECT_EQ(FNotified, 0);
}

TEST_F(ListOps, RefreshFollowsUnitsAndWords)
{
  auto fm = std::make_unique<TFileManager>(false, [](int32_t) {});
  TFileItem row = Row("/card/FILE0001.MOV", At(10, 0), At(10, 1));
  row.Files[0].HasTrack = true;
  row.Files[0].TrackLength = 16093.44;
  SetRows(*fm, {row});
  fm->Refresh();
  EXPECT_EQ(fm->GetGroup(0).DistanceText, "16.1km");
  SetUseBritishUnits(true);
  fm->Refresh();
  EXPECT_EQ(fm->GetGroup(0).DistanceText, "10.0mi");
}
