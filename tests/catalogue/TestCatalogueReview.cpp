// Cases found when the catalogue was read over again: operations on a row
// index while a search runs, and deletes that partly fail.
#include "CatalogueTestSupport.h"

#include <QDir>
#include <QFileInfo>

using namespace kp;
using namespace kpcat;

namespace {

class Review : public CatalogueTest {
protected:
  QString Make(const QString &relative, const QByteArray &bytes = "x")
  {
    const QString path = PathIn(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    EXPECT_TRUE(WriteFile(path, bytes));
    return path;
  }
};

} // namespace

// Without the row's identity an index may point at another row once the
// search has added or sorted rows, so such calls are refused until it ends.
TEST_F(Review, IndexOperationsWithoutIdentityWaitForTheSearch)
{
  const QString a = "/card/FILE0001.MOV", b = "/card/FILE0002.MOV";
  TFileManager fm(true, [](int32_t) {});
  fm.SetRows({Row(a, At(10, 0), At(10, 1)), Row(b, At(10, 1), At(10, 2))});
  fm.SetSearchRoots({PathIn("nothing-here")});
  fm.Start();
  ASSERT_TRUE(fm.Searching()); // the thread's first 200 ms are a pause
  EXPECT_FALSE(fm.ShiftGroupTime(0, 1.0 / 24));
  EXPECT_FALSE(fm.SetGroupLocked(0, true));
  EXPECT_FALSE(fm.SetGroupTrack(0, PathIn("none.log")));
  EXPECT_FALSE(fm.Ungroup(0));
  EXPECT_FALSE(fm.JoinGroups({0, 1}, true));
  EXPECT_NEAR(fm.GetGroup(0).Summary.StartTime, At(10, 0), 1e-9);
  // With the identity the row is found again under the lock.
  EXPECT_TRUE(fm.ShiftGroupTime(0, 1.0 / 24, a));
  fm.WaitFor();
  EXPECT_FALSE(fm.Searching());
  const int row = fm.IndexOfFile(b);
  ASSERT_GE(row, 0);
  EXPECT_TRUE(fm.ShiftGroupTime(row, 1.0 / 24));
}

// A card log shared by two files of one row: when one video cannot be
// deleted it stays listed, and so does the log it still uses.
TEST_F(Review, FailedDeleteKeepsTheTrackTheStayingVideoUses)
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
    fm->SetRows({row});
    fm->Refresh();
    EXPECT_FALSE(fm->DeleteGroupFiles(fm->GetGroup(0)));
    EXPECT_FALSE(QFileInfo::exists(gone));
    EXPECT_TRUE(QFileInfo::exists(log)) << stuckFirst;
    EXPECT_TRUE(QFileInfo::exists(logSrt)) << stuckFirst;
    EXPECT_EQ(RowPaths(fm->Rows()), QStringList{stuck});
  }
}
