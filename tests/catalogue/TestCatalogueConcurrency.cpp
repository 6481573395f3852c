// List operations on the owner's thread while the search thread adds and
// previews rows. Meant to run under ThreadSanitizer as well (KP_TSAN); every
// primitive involved is a std one, which the sanitizer sees.
#include "CatalogueTestSupport.h"

#include <QDir>
#include <deque>
#include <random>

using namespace kp;
using namespace kpcat;

namespace {

class Concurrency : public CatalogueTest {
protected:
  // Folders of consecutive one-minute fragments, some with tracks.
  QStringList MakeCard(int folders, int perFolder)
  {
    QStringList movies;
    for (int d = 0; d < folders; ++d) {
      for (int k = 0; k < perFolder; ++k) {
        const int n = d * perFolder + k + 1;
        const QString base = QStringLiteral("DCIM/%1MEDIA/FILE%2").arg(100 + d).arg(n, 4, 10, QLatin1Char('0'));
        const TDateTime end = At(8 + d, 1 + k);
        movies += AddMovie(base + ".MOV", end, 60000);
        if (k % 3 == 0) {
          EXPECT_TRUE(WriteFile(PathIn(base + ".dat"), DatTrackBytes(end - 1.0 / 1440, 60)));
        }
      }
    }
    return movies;
  }
};

// What the main window's redraw does with a change: every visible item.
void Redraw(const TFileManager &fm)
{
  const int count = fm.GetCount();
  for (int i = 0; i < count; ++i) {
    TFileListItem item;
    fm.FillListItem(i, item);
  }
}

// One list operation picked at random, with the row's identity as the main
// window would pass it.
void RandomOperation(TFileManager &fm, std::mt19937 &rng, const QStringList &extras, int &extraIndex)
{
  const int count = std::max(1, fm.GetCount());
  const int i = int(rng() % unsigned(count));
  const TFileItem row = fm.GetGroup(i);
  const QString id = row.Files.empty() ? QStringLiteral("-") : row.Files.front().FileName;
  switch (rng() % 9) {
  case 0: fm.SortByColumn(int(rng() % 8)); break;
  case 1: fm.SetGroupLocked(i, rng() % 2 == 0, id); break;
  case 2:
    if (fm.ShiftGroupTime(i, 1 / SecsPerDay, id)) fm.ShiftGroupTime(i, -1 / SecsPerDay, id);
    break;
  case 3: fm.Ungroup(i, id); break;
  case 4: {
    const int j = int(rng() % unsigned(count));
    const TFileItem other = fm.GetGroup(j);
    if (!other.Files.empty() && i < j) fm.JoinGroups({i, j}, true, {id, other.Files.front().FileName});
    break;
  }
  case 5:
    if (extraIndex < extras.size()) {
      TFileItem item;
      fm.GetGroupByFile(extras[extraIndex++], item);
    }
    break;
  case 6: fm.IndexOfFile(id); break;
  case 7: fm.HasLocked(); break;
  default: fm.GetGpsLogList(); break;
  }
}

} // namespace

TEST_F(Concurrency, ListOperationsWhileTheSearchAddsRows)
{
  const QStringList movies = MakeCard(4, 30);
  QStringList extras;
  for (int k = 0; k < 10; ++k) extras += AddMovie(QStringLiteral("outside/extra%1/E%1.MOV").arg(k), At(20, k), 60000);
  // The extras lie beside the card folder, outside the search root.
  TPostQueue queue;
  std::atomic<int> changes{0};
  TFileManager *self = nullptr;
  auto fm = std::make_unique<TFileManager>(
      true,
      [&](int32_t index) {
        EXPECT_EQ(index, -1);
        ++changes;
        Redraw(*self);
      },
      queue.Post());
  self = fm.get();
  fm->SetSearchRoots({PathIn("DCIM")});
  fm->Start();
  std::mt19937 rng(7);
  int extraIndex = 0, operations = 0;
  while (fm->Searching()) {
    queue.Drain();
    RandomOperation(*fm, rng, extras, extraIndex);
    ++operations;
  }
  fm->WaitFor();
  queue.Drain();
  EXPECT_GT(changes.load(), 0);
  EXPECT_GT(operations, 10);

  // Every file is listed exactly once, whatever ran in between.
  QStringList listed;
  for (const TFileItem &row : Rows(*fm))
    for (const TFileItemSubitem &f : row.Files) listed += f.FileName;
  EXPECT_EQ(listed.removeDuplicates(), 0);
  for (const QString &m : movies) EXPECT_TRUE(listed.contains(m)) << m.toStdString();
  EXPECT_EQ(listed.size(), movies.size() + extraIndex);
  EXPECT_EQ(fm->GetStatus(), "");
  // The owner may go on using the idle catalogue.
  fm->UngroupAll();
  EXPECT_EQ(fm->GetCount(), movies.size() + extraIndex);
}

TEST_F(Concurrency, DestroyedWhileSearching)
{
  MakeCard(2, 20);
  for (int delayMs : {0, 5, 50, 150, 260}) {
    TPostQueue queue;
    int changes = 0;
    {
      TFileManager fm(
          true, [&](int32_t) { ++changes; }, queue.Post());
      fm.SetSearchRoots({Dir()});
      fm.Start();
      std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
      queue.Drain();
      Redraw(fm);
    }
    const int before = changes;
    queue.Drain(); // deliveries queued before the end reach nobody
    EXPECT_EQ(changes, before);
  }
}

// What a refresh keeps is the list once the old search has stopped: the
// search, held by the test while it reads a file's times, goes on to list
// that file and sort when it is stopped. The snapshot holds that row, the
// row the user added by hand meanwhile, and every other row once: a reader
// going row by row while the search still changed rows could skip one.
TEST_F(Concurrency, RefreshTakesTheListOnceTheSearchHasStopped)
{
  MakeCard(1, 6);
  const QString held = AddMovie("DCIM/100MEDIA/FILE0007.MOV", At(8, 7));
  const QString byHand = AddMovie("outside/HAND.MOV", At(20, 0));
  std::atomic<TFileManager *> searching{nullptr};
  std::atomic<bool> reached{false};
  SetFileTimesSource([&](const QString &path, TDateTime &created, TDateTime &modified) {
    if (path == held && !reached.exchange(true)) {
      while (!searching.load()->Stopped()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    created = 0;
    modified = path == byHand ? At(20, 0) : At(8, 1);
    return true;
  });
  TFileManager fm(true, [](int32_t) {});
  searching = &fm;
  fm.SetSearchRoots({PathIn("DCIM")});
  fm.Start();
  ASSERT_TRUE(kptest::waitUntil([&] { return reached.load(); }, 10000));
  TFileItem added;
  ASSERT_TRUE(fm.GetGroupByFile(byHand, added));

  QStringList taken;
  for (const std::vector<TListedVideo> &videos : fm.StopAndListVideos())
    for (const TListedVideo &v : videos) taken << v.FileName;
  EXPECT_FALSE(fm.Searching());
  QStringList final;
  for (const TFileItem &row : Rows(fm))
    for (const TFileItemSubitem &f : row.Files) final << f.FileName;
  EXPECT_EQ(taken, final);
  EXPECT_EQ(taken.count(held), 1);
  EXPECT_EQ(taken.count(byHand), 1);
  EXPECT_EQ(taken.removeDuplicates(), 0);
  SetFileTimesSource({});
}

// Without the row's identity an index may point at another row once the
// search has added or sorted rows, so such calls are refused until it ends.
TEST_F(Concurrency, IndexOperationsWithoutIdentityWaitForTheSearch)
{
  const QString a = "/card/FILE0001.MOV", b = "/card/FILE0002.MOV";
  TFileManager fm(true, [](int32_t) {});
  SetRows(fm, {Row(a, At(10, 0), At(10, 1)), Row(b, At(10, 1), At(10, 2))});
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
