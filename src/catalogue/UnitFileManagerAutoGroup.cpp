// The automatic grouping pass without its cubic cost. The rule is "join the
// best qualifying pair, repeat", the best pair being the lowest (score, gap,
// i, j) with i < j the rows' current positions. Only rows less than 6 hours
// apart can qualify, so each row's partners are found through an index of
// row starts, and after a join only the joined row and the row moved into
// the freed slot are examined again. The qualifying pairs live in an ordered
// set keyed exactly like the rule, so its first element is the pair the
// literal double loop would pick.
#include "UnitFileManager.h"
#include "UnitFileManagerPairs.h"

#include <algorithm>
#include <set>
#include <tuple>
#include <unordered_map>

namespace kp {

using namespace catalogue;

namespace {

struct TPairKey {
  int Score;
  double Gap;
  int I, J; // positions, I < J
  bool operator<(const TPairKey &o) const { return std::tie(Score, Gap, I, J) < std::tie(o.Score, o.Gap, o.I, o.J); }
};

class TAutoGrouper {
public:
  explicit TAutoGrouper(std::vector<TFileItem> &rows) : FRows(rows)
  {
    const int n = int(rows.size());
    FIdAt.resize(size_t(n));
    FPosOf.resize(size_t(n));
    FStartOf.assign(size_t(n), 0);
    FPartners.resize(size_t(n));
    for (int i = 0; i < n; ++i) {
      FIdAt[size_t(i)] = i;
      FPosOf[size_t(i)] = i;
      Index(i);
    }
    for (int i = 0; i < n; ++i) Attach(i);
  }

  bool Run()
  {
    bool joined = false;
    while (!FPairs.empty()) {
      const TPairKey best = *FPairs.begin();
      Join(best.I, best.J);
      joined = true;
    }
    return joined;
  }

private:
  static constexpr double kSlack = 1e-9; // days; widens the candidate window

  const TFileItem &RowOf(int id) const { return FRows[size_t(FPosOf[size_t(id)])]; }

  static bool Valid(const TFileItem &row)
  {
    return row.Summary.StartTime > 0 && row.Summary.StartTime < row.Summary.EndTime;
  }

  void Index(int id)
  {
    const TFileItem &row = RowOf(id);
    if (!Valid(row)) return;
    FStartOf[size_t(id)] = row.Summary.StartTime;
    FByStart.insert({row.Summary.StartTime, id});
    FMaxLength = std::max(FMaxLength, row.Summary.EndTime - row.Summary.StartTime);
  }

  void Unindex(int id) { FByStart.erase({FStartOf[size_t(id)], id}); }

  void Link(int a, int b)
  {
    if (FPartners[size_t(a)].count(b)) return;
    const int pa = FPosOf[size_t(a)], pb = FPosOf[size_t(b)];
    const int i = std::min(pa, pb), j = std::max(pa, pb);
    int score = 0;
    double gap = 1;
    if (!PairQualifies(FRows[size_t(i)], FRows[size_t(j)], score, gap)) return;
    const TPairKey key{score, gap, i, j};
    FPairs.insert(key);
    FPartners[size_t(a)].emplace(b, key);
    FPartners[size_t(b)].emplace(a, key);
  }

  void Unlink(int id)
  {
    for (const auto &[other, key] : FPartners[size_t(id)]) {
      FPairs.erase(key);
      FPartners[size_t(other)].erase(id);
    }
    FPartners[size_t(id)].clear();
  }

  // Links the row with every row close enough in time to qualify.
  void Attach(int id)
  {
    const TFileItem &row = RowOf(id);
    if (!Valid(row)) return;
    const double from = row.Summary.StartTime - kSixHours - FMaxLength - kSlack;
    const double to = row.Summary.EndTime + kSixHours + kSlack;
    for (auto it = FByStart.lower_bound({from, -1}); it != FByStart.end() && it->first <= to; ++it)
      if (it->second != id) Link(id, it->second);
  }

  void Join(int i, int j)
  {
    const int a = FIdAt[size_t(i)], b = FIdAt[size_t(j)];
    Unlink(a);
    Unlink(b);
    Unindex(a);
    Unindex(b);
    QuickMerge(FRows[size_t(i)], FRows[size_t(j)]);
    const int last = int(FRows.size()) - 1;
    int moved = -1;
    if (j != last) {
      moved = FIdAt[size_t(last)];
      FIdAt[size_t(j)] = moved;
      FPosOf[size_t(moved)] = j;
    }
    RemoveRow(FRows, size_t(j));
    FIdAt.pop_back();
    FPosOf[size_t(b)] = -1;
    // The moved row's pairs were keyed by its old position.
    if (moved >= 0) Unlink(moved);
    Index(a);
    Attach(a);
    if (moved >= 0) Attach(moved);
  }

  std::vector<TFileItem> &FRows;
  std::vector<int> FIdAt;  // position -> row id
  std::vector<int> FPosOf; // row id -> position, -1 once joined away
  std::vector<double> FStartOf;
  std::vector<std::unordered_map<int, TPairKey>> FPartners;
  std::set<std::pair<double, int>> FByStart;
  std::set<TPairKey> FPairs;
  double FMaxLength = 0;
};

} // namespace

bool catalogue::AutoGroupRows(std::vector<TFileItem> &rows)
{
  TAutoGrouper grouper(rows);
  return grouper.Run();
}

} // namespace kp
