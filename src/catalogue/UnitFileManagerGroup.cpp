// Joining rows into recordings and splitting them again; matching card GPS
// logs to the files they cover.
#include "UnitFileManager.h"
#include "UnitFileManagerPairs.h"

#include <algorithm>
#include <cmath>

namespace kp {

namespace catalogue {

namespace {

constexpr double kFiveSeconds = 5.0 / SecsPerDay;
// Two files' ends may disagree by a fix interval without sharing a moment;
// times read from clocks of whole milliseconds compare with 1 ms to spare.
constexpr double kOneSecond = 1.0 / SecsPerDay;
constexpr double kOneMs = 0.001 / SecsPerDay;

// A file's place in its camera's numbering: the folder and the name around
// the last run of digits of its base name make the sequence, the digits
// its number ("FILE0042.MOV": sequence ".../FILE####.MOV", number 42).
struct TCameraNumber {
  QString Sequence;
  int64_t Number = -1;
  int64_t Wrap = 0; // 10^digits: the counter starts again after Wrap - 1
};

TCameraNumber CameraNumber(const QString &path)
{
  TCameraNumber n;
  const qsizetype nameStart = path.lastIndexOf(QLatin1Char('/')) + 1;
  qsizetype end = path.lastIndexOf(QLatin1Char('.'));
  if (end < nameStart) end = path.size();
  const auto digit = [&path](qsizetype i) { return path[i] >= QLatin1Char('0') && path[i] <= QLatin1Char('9'); };
  qsizetype last = end;
  while (last > nameStart && !digit(last - 1)) --last;
  qsizetype first = last;
  while (first > nameStart && digit(first - 1)) --first;
  // Longer runs are dates and times, not a counter.
  const qsizetype digits = last - first;
  if (digits == 0 || digits > 9) return n;
  n.Number = 0;
  n.Wrap = 1;
  for (qsizetype i = first; i < last; ++i) {
    n.Number = n.Number * 10 + (path[i].unicode() - u'0');
    n.Wrap *= 10;
  }
  n.Sequence = path.left(first) + QString(digits, QLatin1Char('#')) + path.mid(last);
  return n;
}

// B is the file the camera started after A: the next number, or the
// counter's first (0 or 1) after its last.
bool Follows(const TCameraNumber &a, const TCameraNumber &b)
{
  if (a.Number < 0 || b.Number < 0 || a.Sequence != b.Sequence) return false;
  return b.Number == a.Number + 1 || (a.Number == a.Wrap - 1 && b.Number <= 1);
}

// Some file of one row is the neighbour of some file of the other in one
// camera's numbering in one folder. A row that is already a group has its
// ends anywhere in its files: the quick merge keeps them unsorted.
bool NeighboursInNumbering(const TFileItem &a, const TFileItem &b)
{
  std::vector<TCameraNumber> numbers;
  numbers.reserve(b.Files.size());
  for (const TFileItemSubitem &f : b.Files) numbers.push_back(CameraNumber(f.FileName));
  for (const TFileItemSubitem &f : a.Files) {
    const TCameraNumber x = CameraNumber(f.FileName);
    if (x.Number < 0) continue;
    for (const TCameraNumber &y : numbers)
      if (Follows(x, y) || Follows(y, x)) return true;
  }
  return false;
}

// The gap of two rows that share Overlap days, or 1 (never join). A camera
// whose clock ran wrong or jumped leaves a fragment overlapping the next
// one by up to minutes; any other pair of rows that shares time holds the
// same moments twice (a cut saved beside the fragments it came from) and
// one trip would count them twice and play them interleaved.
double SharedGap(const TFileItem &a, const TFileItem &b, double overlap)
{
  if (overlap <= kOneSecond + kOneMs) return overlap;
  return overlap <= kSixMinutes + kOneMs && NeighboursInNumbering(a, b) ? overlap : 1;
}

} // namespace

double RowTimeGap(const TFileItem &a, const TFileItem &b)
{
  const double s1 = a.Summary.StartTime, e1 = a.Summary.EndTime;
  const double s2 = b.Summary.StartTime, e2 = b.Summary.EndTime;
  if (&a == &b || !(s1 < e1) || !(s2 < e2) || !(s1 > 0) || !(s2 > 0)) return 1;
  // One within the other (a copy of the same span) never joins.
  if ((s1 - kFiveSeconds <= s2 && e2 <= e1 + kFiveSeconds) || (s2 - kFiveSeconds <= s1 && e1 <= e2 + kFiveSeconds))
    return 1;
  if (s2 <= e1 && e1 <= e2) return SharedGap(a, b, e1 - s2);
  if (s1 <= e2 && e2 <= e1) return SharedGap(a, b, e2 - s1);
  double gap = 1;
  if (e1 > 0) gap = std::min(gap, std::abs(e1 - s2));
  if (e2 > 0) gap = std::min(gap, std::abs(e2 - s1));
  return gap;
}

int RowNameDistance(const TFileItem &a, const TFileItem &b)
{
  const QString &x = a.Summary.FileName;
  const QString &y = b.Summary.FileName;
  const qsizetype n = std::min(x.size(), y.size());
  qsizetype p = 0;
  while (p < n && x[p] == y[p]) ++p;
  return int(std::max(x.size(), y.size()) - p - 1);
}

void QuickMerge(TFileItem &target, const TFileItem &other)
{
  target.Files.insert(target.Files.end(), other.Files.begin(), other.Files.end());
  TFileItemSubitem &s = target.Summary;
  s.StartTime = std::min(s.StartTime, other.Summary.StartTime);
  s.EndTime = std::max(s.EndTime, other.Summary.EndTime);
  s.DurationMs += other.Summary.DurationMs;
}

bool PairQualifies(const TFileItem &a, const TFileItem &b, int &score, double &gap)
{
  gap = RowTimeGap(a, b);
  if (!(gap < kSixHours)) return false;
  if (gap >= kSixMinutes) {
    // One of the two must last more than four times the gap.
    const int64_t g4 = Round(gap / 0.25 * MSecsPerDay);
    if (!(a.Summary.DurationMs > g4 || b.Summary.DurationMs > g4)) return false;
  }
  score = std::min(std::max(RowNameDistance(a, b) - 4, 0), kWorstScore);
  return true;
}

void RemoveRow(std::vector<TFileItem> &rows, size_t k)
{
  if (k + 1 != rows.size()) rows[k] = std::move(rows.back());
  rows.pop_back();
}

} // namespace catalogue

using namespace catalogue;

double IntervalOverlap(TDateTime s1, TDateTime e1, TDateTime s2, TDateTime e2)
{
  if (0 < s1 && s1 < e1 && 0 < s2 && s2 < e2) return std::min(e1, e2) - std::max(s1, s2);
  return 0;
}

void TFileManager::AutoGroup()
{
  {
    std::lock_guard<std::mutex> lock(FLock);
    AutoGroupLocked();
  }
  Changed(-1);
}

void TFileManager::AutoGroupLocked()
{
  // During the pass a joined row carries a quick-merged summary; every row
  // is rebuilt once at the end.
  if (AutoGroupRows(FItems)) RecalcAllLocked();
  SortLocked();
}

bool TFileManager::JoinGroups(std::vector<int> indices, bool recalculate, const QStringList &identities)
{
  bool done = false;
  {
    std::lock_guard<std::mutex> lock(FLock);
    if (identities.isEmpty() && FRunning.load()) return false;
    for (qsizetype k = 0; k < identities.size() && k < qsizetype(indices.size()); ++k)
      if (FindRowByIdentity(indices[size_t(k)], identities[k]) < 0) return false;
    done = JoinGroupsLocked(std::move(indices), recalculate);
  }
  if (done && recalculate) Changed(-1);
  return done;
}

bool TFileManager::JoinGroupsLocked(std::vector<int> indices, bool recalculate)
{
  if (indices.size() < 2) return false;
  int target = indices.front();
  if (target < 0 || size_t(target) >= FItems.size()) return false;
  // Each other row once, in the order given.
  std::vector<int> others;
  for (size_t k = 1; k < indices.size(); ++k) {
    const int i = indices[k];
    if (i == target || i < 0 || size_t(i) >= FItems.size()) continue;
    if (std::find(others.begin(), others.end(), i) == others.end()) others.push_back(i);
  }
  for (int k : others) {
    if (recalculate)
      FItems[size_t(target)].Files.insert(FItems[size_t(target)].Files.end(), FItems[size_t(k)].Files.begin(),
                                          FItems[size_t(k)].Files.end());
    else
      QuickMerge(FItems[size_t(target)], FItems[size_t(k)]);
  }
  // Highest index first, so no row still to be removed is moved; the target
  // is followed when the last row moves.
  std::sort(others.begin(), others.end(), std::greater<int>());
  for (int k : others) {
    const int last = int(FItems.size()) - 1;
    RemoveRow(FItems, size_t(k));
    if (target == last && k != last) target = k;
  }
  if (recalculate) {
    RecalcLocked(FItems[size_t(target)]);
    SortLocked();
  }
  return true;
}

bool TFileManager::Ungroup(int index, const QString &identity)
{
  {
    std::lock_guard<std::mutex> lock(FLock);
    const int row = FindRowByIdentity(index, identity);
    if (row < 0) return false;
    if (FItems[size_t(row)].Files.size() < 2) return true;
    std::vector<TFileItemSubitem> files = std::move(FItems[size_t(row)].Files);
    FItems[size_t(row)].Files.assign(1, files.front());
    RecalcLocked(FItems[size_t(row)]);
    for (size_t k = 1; k < files.size(); ++k) {
      TFileItem single;
      single.Files.push_back(std::move(files[k]));
      RecalcLocked(single);
      FItems.push_back(std::move(single));
    }
    SortLocked();
  }
  Changed(-1);
  return true;
}

void TFileManager::UngroupAll()
{
  {
    std::lock_guard<std::mutex> lock(FLock);
    std::vector<TFileItem> rows;
    for (TFileItem &row : FItems) {
      for (TFileItemSubitem &f : row.Files) {
        TFileItem single;
        single.Files.push_back(std::move(f));
        rows.push_back(std::move(single));
      }
    }
    FItems = std::move(rows);
    RecalcAllLocked();
    SortLocked();
  }
  Changed(-1);
}

double TFileManager::TimeGap(int a, int b) const
{
  std::lock_guard<std::mutex> lock(FLock);
  if (a == b || a < 0 || b < 0 || size_t(a) >= FItems.size() || size_t(b) >= FItems.size()) return 1;
  return RowTimeGap(FItems[size_t(a)], FItems[size_t(b)]);
}

int TFileManager::NameDistance(int a, int b) const
{
  std::lock_guard<std::mutex> lock(FLock);
  if (a < 0 || b < 0 || size_t(a) >= FItems.size() || size_t(b) >= FItems.size()) return -1;
  return RowNameDistance(FItems[size_t(a)], FItems[size_t(b)]);
}

void TFileManager::MatchGpsLogs()
{
  std::vector<QString> marked;
  {
    std::lock_guard<std::mutex> lock(FLock);
    MatchGpsLogsLocked(marked);
  }
  // The newly attached logs are loaded without the lock.
  for (const QString &identity : marked) {
    if (FStop.load()) break;
    TFileItem copy;
    int hint = -1;
    {
      std::lock_guard<std::mutex> lock(FLock);
      hint = IndexOfFileLocked(identity, nullptr);
      if (hint < 0) continue;
      copy = FItems[size_t(hint)];
    }
    FindGpsFiles(copy);
    FitTimesToGps(copy);
    FitTracksToFiles(copy);
    std::lock_guard<std::mutex> lock(FLock);
    WriteBackLocked(copy, hint);
  }
}

void TFileManager::MatchGpsLogsLocked(std::vector<QString> &markedIdentities)
{
  for (TFileItem &row : FItems) {
    bool marked = false;
    for (TFileItemSubitem &f : row.Files) {
      if (!f.Log.FileName.isEmpty()) continue;
      const TGPSLogFileItem *best = nullptr;
      double bestOverlap = 0;
      for (const TGPSLogFileItem &log : FLogs) {
        if (log.FileName == f.TrackFileName) continue;
        const double overlap = IntervalOverlap(f.StartTime, f.EndTime, log.StartTime, log.EndTime);
        if (overlap > bestOverlap) {
          bestOverlap = overlap;
          best = &log;
        }
      }
      if (!best) continue;
      if (f.TrackFileName.isEmpty()) {
        f.TrackFileName = best->FileName;
        marked = true;
      } else {
        f.Log = *best;
      }
    }
    if (marked) markedIdentities.push_back(row.Files.front().FileName);
  }
}

} // namespace kp
