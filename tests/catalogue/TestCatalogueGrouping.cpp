// Joining fragments into recordings, splitting them, and matching card logs.
#include "CatalogueTestSupport.h"
#include "UnitMovingInfo.h"

#include <QDir>
#include <random>

using namespace kp;
using namespace kpcat;

namespace {

const QString kDir = QStringLiteral("/media/card/DCIM/100MEDIA/");

QString Clip(int n)
{
  return kDir + QStringLiteral("FILE%1.MOV").arg(n, 4, 10, QLatin1Char('0'));
}

double Minutes(double m)
{
  return m / 1440.0;
}

class Grouping : public CatalogueTest {};

bool Joined(std::vector<TFileItem> rows)
{
  kp::catalogue::AutoGroupRows(rows);
  return rows.size() == 1;
}

} // namespace

TEST_F(Grouping, TimeGapAndNameDistance)
{
  const TFileItem a = Row(Clip(1), At(10, 0), At(10, 1));
  const TFileItem b = Row(Clip(2), At(10, 1, 10), At(10, 2, 10));
  EXPECT_NEAR(kp::catalogue::RowTimeGap(a, b), 10 / SecsPerDay, 1e-9);
  EXPECT_EQ(kp::catalogue::RowTimeGap(a, a), 1);
  EXPECT_EQ(kp::catalogue::RowTimeGap(a, Row(Clip(3), 0, At(10, 5))), 1);
  EXPECT_EQ(kp::catalogue::RowNameDistance(a, b), 4);
  EXPECT_EQ(kp::catalogue::RowNameDistance(a, a), -1);
  // Nested, with 5 s of slack at both ends.
  EXPECT_EQ(kp::catalogue::RowTimeGap(a, Row(Clip(4), At(9, 59, 56), At(10, 1, 4))), 1);

  auto fm = MakeManager();
  SetRows(*fm, {a, b});
  EXPECT_EQ(fm->TimeGap(0, 0), 1);
  EXPECT_EQ(fm->TimeGap(0, 5), 1);
  EXPECT_EQ(fm->NameDistance(0, 1), 4);
  EXPECT_NEAR(IntervalOverlap(At(10, 0), At(10, 2), At(10, 1), At(10, 5)), Minutes(1), 1e-9);
  EXPECT_LT(IntervalOverlap(At(10, 0), At(10, 2), At(10, 3), At(10, 5)), 0);
  EXPECT_EQ(IntervalOverlap(0, At(10, 2), At(10, 1), At(10, 5)), 0);
}

TEST_F(Grouping, WhichPairsJoin)
{
  // Touching fragments 10 s apart.
  EXPECT_TRUE(Joined({Row(Clip(1), At(10, 0), At(10, 1)), Row(Clip(2), At(10, 1, 10), At(10, 2, 10))}));
  // An hour apart: only when one lasts more than four hours.
  EXPECT_FALSE(Joined({Row(Clip(1), At(10, 0), At(10, 1)), Row(Clip(2), At(11, 1), At(11, 2))}));
  EXPECT_TRUE(Joined({Row(Clip(1), At(5, 59), At(10, 0)), Row(Clip(2), At(11, 0), At(11, 1))}));
  EXPECT_FALSE(Joined({Row(Clip(1), At(6, 0), At(10, 0)), Row(Clip(2), At(11, 0), At(11, 1))}));
  // The 6-minute band: below it any pair qualifies, at it the duration rule
  // applies (two one-minute clips 6 minutes apart stay apart).
  EXPECT_TRUE(Joined({Row(Clip(1), At(10, 0), At(10, 1)), Row(Clip(2), At(10, 6, 59), At(10, 8))}));
  EXPECT_FALSE(Joined({Row(Clip(1), At(10, 0), At(10, 1)), Row(Clip(2), At(10, 7, 1), At(10, 8))}));
  EXPECT_TRUE(Joined({Row(Clip(1), At(10, 0), At(10, 25)), Row(Clip(2), At(10, 31), At(10, 32))}));
  // Seven hours apart never, however long.
  EXPECT_FALSE(Joined({Row(Clip(1), At(0, 0), At(3, 0)), Row(Clip(2), At(10, 0), At(23, 0))}));
  // A copy within another never joins it.
  EXPECT_FALSE(Joined({Row(Clip(1), At(10, 0), At(10, 10)), Row(Clip(2), At(10, 2), At(10, 5))}));
  // Rows that share time: neighbours in one camera's numbering in one
  // folder (a row of several files included, the counter's turn too) may
  // share up to 6 minutes, any other pair at most a second.
  TFileItem grouped = Row(Clip(1), At(10, 0), At(10, 20));
  kp::catalogue::QuickMerge(grouped, Row(Clip(3), At(9, 40), At(10, 0)));
  const struct {
    QString A, B;
    int SharedSeconds;
    bool Joins;
  } shared[] = {
      {Clip(1), Clip(2), 600, false},
      {Clip(1), Clip(2), 120, true},
      {Clip(1), Clip(3), 120, false},
      {Clip(1), "/media/card/DCIM/101MEDIA/FILE0002.MOV", 120, false},
      {Clip(1), kDir + "cut.MOV", 3, false},
      {Clip(1), kDir + "cut.MOV", 1, true},
      {kDir + "FILE9999.MOV", Clip(1), 120, true},
      {"", Clip(4), 120, true},
  };
  for (const auto &c : shared) {
    const TFileItem a = c.A.isEmpty() ? grouped : Row(c.A, At(10, 0), At(10, 20));
    const TDateTime from = a.Summary.EndTime - c.SharedSeconds / SecsPerDay;
    EXPECT_EQ(Joined({a, Row(c.B, from, from + Minutes(20))}), c.Joins)
        << c.A.toStdString() << " and " << c.B.toStdString() << " sharing " << c.SharedSeconds;
  }
  // Rows without times never join.
  EXPECT_FALSE(Joined({Row(Clip(1), 0, 0), Row(Clip(2), 0, 0)}));
}

TEST_F(Grouping, BestPairFirst)
{
  // Equal scores: the smaller gap joins first, so C's file follows A's.
  std::vector<TFileItem> rows = {Row(Clip(1), At(10, 0), At(10, 1)), Row(Clip(2), At(10, 1, 30), At(10, 2, 30)),
                                 Row(Clip(3), At(9, 58), At(9, 59, 50))};
  ASSERT_TRUE(kp::catalogue::AutoGroupRows(rows));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(RowPaths(rows), QStringList{Clip(1) + "+" + Clip(3) + "+" + Clip(2)});
  // A lower score beats a smaller gap: names in another folder score worse.
  rows = {Row(Clip(1), At(10, 0), At(10, 1)), Row("/other/place/X.MOV", At(10, 1, 5), At(10, 2)),
          Row(Clip(2), At(10, 1, 50), At(10, 2, 50))};
  kp::catalogue::AutoGroupRows(rows);
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows[0].Files[1].FileName, Clip(2));
}

TEST_F(Grouping, FastPassMatchesTheLiteralOne)
{
  std::mt19937 rng(20240510);
  const QStringList folders = {"/card/DCIM/100MEDIA/FILE", "/card/DCIM/101MEDIA/FILE", "/home/u/Videos/trip_"};
  int joins = 0;
  for (int round = 0; round < 400; ++round) {
    const int n = round < 395 ? 2 + int(rng() % 40) : 200;
    std::vector<TFileItem> rows;
    for (int k = 0; k < n; ++k) {
      // Times on a 10 s grid within a day make equal gaps, and so ties, common.
      const double start = At(6, 0) + double(rng() % 8000) * 10 / SecsPerDay;
      const int kind = int(rng() % 10);
      const double length = kind == 0 ? 0 : (kind == 1 ? Minutes(10 + rng() % 400) : Minutes(1 + rng() % 3));
      const QString path = folders[rng() % folders.size()] + QString::number(rng() % 60);
      rows.push_back(kind == 2 ? Row(path, 0, start + length, 0) : Row(path, start, start + length));
    }
    std::vector<TFileItem> literal = rows;
    AutoGroupRowsLiteral(literal);
    kp::catalogue::AutoGroupRows(rows);
    ASSERT_EQ(RowPaths(rows), RowPaths(literal)) << "round " << round;
    for (size_t k = 0; k < rows.size(); ++k) {
      ASSERT_EQ(rows[k].Summary.StartTime, literal[k].Summary.StartTime);
      ASSERT_EQ(rows[k].Summary.EndTime, literal[k].Summary.EndTime);
      ASSERT_EQ(rows[k].Summary.DurationMs, literal[k].Summary.DurationMs);
    }
    joins += n - int(rows.size());
  }
  EXPECT_GT(joins, 1000); // the inputs did exercise joining
}

TEST_F(Grouping, AutoGroupRecalculatesSortsAndNotifies)
{
  auto fm = MakeManager();
  fm->SetSortColumn(flcDateTime);
  SetRows(*fm, {Row(Clip(2), At(10, 1, 5), At(10, 2)), Row(Clip(9), At(12, 0), At(12, 1)),
                Row(Clip(1), At(10, 0), At(10, 1)), Row(Clip(3), At(10, 2, 5), At(10, 3))});
  fm->AutoGroup();
  EXPECT_EQ(FNotified, 1);
  const std::vector<TFileItem> rows = Rows(*fm);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].Summary.Name, "FILE0001-3");
  EXPECT_EQ(rows[0].Summary.FileName, Clip(1) + ", " + Clip(2) + ", " + Clip(3));
  EXPECT_EQ(rows[1].Summary.Name, "FILE0009");
}

TEST_F(Grouping, JoinGroupsByHand)
{
  auto fm = MakeManager();
  fm->SetSortColumn(flcDateTime);
  SetRows(*fm, {Row(Clip(1), At(10, 0), At(10, 1)), Row(Clip(2), At(10, 1), At(10, 2)),
                Row(Clip(3), At(10, 2), At(10, 3)), Row(Clip(4), At(11, 0), At(11, 1))});
  EXPECT_FALSE(fm->JoinGroups({1}, true));
  EXPECT_FALSE(fm->JoinGroups({0, 1}, true, {Clip(1), Clip(3)})); // stale identity
  EXPECT_EQ(FNotified, 0);
  // Duplicates count once; the target may come last.
  EXPECT_TRUE(fm->JoinGroups({2, 0, 0, 1, 7, -1}, true));
  EXPECT_EQ(FNotified, 1);
  std::vector<TFileItem> rows = Rows(*fm);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].Summary.Name, "FILE0001-3");
  EXPECT_EQ(rows[0].Files.size(), 3u);
  EXPECT_EQ(rows[1].Summary.Name, "FILE0004");
  // Without recalculation only the quick merge: start, end, duration.
  EXPECT_TRUE(fm->JoinGroups({0, 1}, false));
  EXPECT_EQ(FNotified, 1);
  rows = Rows(*fm);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].Summary.Name, "FILE0001-3");
  EXPECT_EQ(rows[0].Summary.EndTime, At(11, 1));
  EXPECT_EQ(rows[0].Summary.DurationMs, 240000);
}

TEST_F(Grouping, UngroupOneAndAll)
{
  auto fm = MakeManager();
  fm->SetSortColumn(flcDateTime);
  TFileItem trip = Row(Clip(1), At(10, 0), At(10, 1));
  trip.Files.push_back(Row(Clip(2), At(10, 1), At(10, 2)).Files[0]);
  trip.Files.push_back(Row(Clip(3), At(10, 2), At(10, 3)).Files[0]);
  SetRows(*fm, {Row(Clip(9), At(12, 0), At(12, 1)), trip});
  EXPECT_TRUE(fm->Ungroup(0));
  EXPECT_EQ(FNotified, 0); // a one-file row stays as it is
  EXPECT_FALSE(fm->Ungroup(1, Clip(2)));
  EXPECT_TRUE(fm->Ungroup(1, Clip(1)));
  EXPECT_EQ(FNotified, 1);
  EXPECT_EQ(RowPaths(Rows(*fm)), (QStringList{Clip(1), Clip(2), Clip(3), Clip(9)}));

  fm->UngroupAll(); // nothing to split, still notified
  EXPECT_EQ(FNotified, 2);
  fm->JoinGroups({0, 1}, true);
  fm->JoinGroups({1, 2}, true);
  fm->SetSortColumn(flcName);
  fm->UngroupAll();
  EXPECT_EQ(RowPaths(Rows(*fm)), (QStringList{Clip(1), Clip(2), Clip(3), Clip(9)}));
  for (const TFileItem &row : Rows(*fm)) EXPECT_EQ(row.Summary.FileName, row.Files[0].FileName);
}

TEST_F(Grouping, CardLogsGoToTheFilesTheyCoverBest)
{
  auto fm = MakeManager();
  TFileItem withTrack = Row(Clip(2), At(10, 0), At(10, 10));
  withTrack.Files[0].TrackFileName = "/card/GPS/b.log";
  SetRows(*fm, {Row(Clip(1), At(10, 0), At(10, 10)), withTrack, Row(Clip(3), At(20, 0), At(20, 1))});
  AddGpsLog(*fm, {"/card/GPS/a.log", At(9, 0), At(10, 2)});
  AddGpsLog(*fm, {"/card/GPS/b.log", At(10, 1), At(12, 0)});
  AddGpsLog(*fm, {"/card/GPS/c.log", At(10, 5), At(10, 9)});
  fm->MatchGpsLogs();
  const std::vector<TFileItem> rows = Rows(*fm);
  // b.log overlaps 9 minutes; the file has no track then, so the log becomes
  // its track; the log is a name only here and loads nothing, so it is cleared.
  EXPECT_EQ(rows[0].Files[0].TrackFileName, "");
  EXPECT_EQ(rows[0].Files[0].Log.FileName, "");
  // A file with a track keeps it and records the best other log.
  EXPECT_EQ(rows[1].Files[0].TrackFileName, "/card/GPS/b.log");
  EXPECT_EQ(rows[1].Files[0].Log.FileName, "/card/GPS/c.log");
  EXPECT_EQ(rows[1].Files[0].Log.StartTime, At(10, 5));
  EXPECT_EQ(rows[2].Files[0].Log.FileName, ""); // no log overlaps
  EXPECT_EQ(FNotified, 0);
}

TEST_F(Grouping, CardLogBecomesTheTrack)
{
  const QString log = PathIn("GPS/trip.log");
  QDir().mkpath(PathIn("GPS"));
  ASSERT_TRUE(WriteFile(log, DatTrackBytes(At(10, 0), 600)));
  auto fm = MakeManager();
  SetRows(*fm, {Row(PathIn("v.MOV"), At(10, 1), At(10, 4))});
  AddGpsLog(*fm, {log, At(9, 0), At(10, 20)});
  AddGpsLog(*fm, {PathIn("GPS/other.log"), At(10, 3), At(10, 30)});
  fm->MatchGpsLogs();
  const TFileItemSubitem f = fm->GetGroup(0).Files[0];
  EXPECT_EQ(f.TrackFileName, log);
  EXPECT_TRUE(f.HasTrack);
  // The log covers ten minutes; the file's distance is that of the three it
  // shows (36 km/h), the figure the player finds when it loads the file.
  EXPECT_EQ(f.TrackStartTime, At(10, 1));
  EXPECT_NEAR(f.TrackLength, 1800, 20);
  EXPECT_TRUE(fm->GetGroup(0).Summary.HasTrack);
  const std::unique_ptr<TMovingInfo> loaded = TMovingInfo::LoadFromFile(log, false);
  ASSERT_TRUE(loaded);
  fm->UpdateFileTrack(f.FileName, *loaded);
  EXPECT_EQ(fm->GetGroup(0).Files[0].TrackLength, f.TrackLength);
  EXPECT_EQ(fm->GetGroup(0).DistanceText, QStringLiteral("1.80km"));
}
