// The operations behind the recording list: sorting, lock state, removing
// rows, attaching tracks, shifting times, adding files.
#include "UnitFileManager.h"
#include "RecordingTelemetry.h"
#include "UnitFileManagerPairs.h"
#include "UnitMovingInfo.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace kp {

namespace {

constexpr double kSixSeconds = 6.0 / SecsPerDay;

template <typename T>
int Sign(T a, T b)
{
  return (a > b) - (a < b);
}

int CompareColumn(const TFileItem &a, const TFileItem &b, int column)
{
  const TFileItemSubitem &x = a.Summary, &y = b.Summary;
  switch (column) {
  case flcName: return Sign(x.Name.toUpper().compare(y.Name.toUpper(), Qt::CaseSensitive), 0);
  case flcDuration: return Sign(x.DurationMs, y.DurationMs);
  case flcDateTime: return Sign(x.StartTime, y.StartTime);
  case flcDistance: return Sign(x.TrackLength, y.TrackLength);
  case flcSpeed: return Sign(x.AvgSpeed, y.AvgSpeed);
  case flcLocation: return Sign(x.FileName.compare(y.FileName, Qt::CaseSensitive), 0);
  case flcSize: return Sign(x.Size, y.Size);
  case flcResolution: return Sign(int64_t(x.Width) + x.Height, int64_t(y.Width) + y.Height);
  default: return 0;
  }
}

// The classic two-index partition around the middle row, following the
// pivot by index when it is swapped. Kept literally: the order it leaves
// equal rows in feeds the grouping's tie-break.
class TRowSorter {
public:
  TRowSorter(std::vector<TFileItem> &rows, int column, bool descending)
    : FRows(rows), FColumn(column), FDescending(descending)
  {
  }

  void Sort(int l, int r)
  {
    while (l < r) {
      int i = l, j = r, p = (l + r) >> 1;
      do {
        while (Compare(i, p) < 0) ++i;
        while (Compare(j, p) > 0) --j;
        if (i <= j) {
          if (i != j) std::swap(FRows[size_t(i)], FRows[size_t(j)]);
          if (p == i)
            p = j;
          else if (p == j)
            p = i;
          ++i;
          --j;
        }
      } while (i <= j);
      // The two parts are disjoint, so sorting the smaller one first only
      // bounds the recursion depth; the result is the same.
      if (j - l < r - i) {
        if (l < j) Sort(l, j);
        l = i;
      } else {
        if (i < r) Sort(i, r);
        r = j;
      }
    }
  }

private:
  int Compare(int a, int b) const
  {
    if (a == b) return 0;
    const int c = CompareColumn(FRows[size_t(a)], FRows[size_t(b)], FColumn);
    return FDescending ? -c : c;
  }

  std::vector<TFileItem> &FRows;
  int FColumn;
  bool FDescending;
};

bool SpansAgree(double a, double b)
{
  return std::abs(a - b) < kSixSeconds || std::abs(SafeDiv(a, a + b, 0.0) - 0.5) < 0.01;
}

} // namespace

void catalogue::SortRows(std::vector<TFileItem> &rows, int column, bool descending)
{
  if (rows.size() < 2) return;
  TRowSorter(rows, column, descending).Sort(0, int(rows.size()) - 1);
}

void TFileManager::SortLocked()
{
  catalogue::SortRows(FItems, FSortColumn, FSortDescending);
}

void TFileManager::Sort()
{
  std::lock_guard<std::mutex> lock(FLock);
  SortLocked();
}

void TFileManager::SortAndNotify()
{
  Sort();
  Changed(-1);
}

void TFileManager::SortByColumn(int column)
{
  {
    std::lock_guard<std::mutex> lock(FLock);
    if (column == FSortColumn) {
      FSortDescending = !FSortDescending;
    } else {
      FSortColumn = column;
      FSortDescending = false;
    }
  }
  SortAndNotify();
}

void TFileManager::SetSortColumn(int column)
{
  std::lock_guard<std::mutex> lock(FLock);
  FSortColumn = column;
}

void TFileManager::SetSortAscending(bool ascending)
{
  std::lock_guard<std::mutex> lock(FLock);
  FSortDescending = !ascending;
}

int TFileManager::GetSortColumn() const
{
  std::lock_guard<std::mutex> lock(FLock);
  return FSortColumn;
}

bool TFileManager::GetSortAscending() const
{
  std::lock_guard<std::mutex> lock(FLock);
  return !FSortDescending;
}

bool TFileManager::HasLocked() const
{
  std::lock_guard<std::mutex> lock(FLock);
  return std::any_of(FItems.begin(), FItems.end(), [](const TFileItem &r) { return r.Summary.Locked != lsNone; });
}

bool TFileManager::SetGroupLocked(int index, bool lock, const QString &identity, QStringList *kept)
{
  QStringList paths;
  {
    std::lock_guard<std::mutex> guard(FLock);
    const int row = FindRowByIdentity(index, identity);
    if (row < 0) return false;
    for (const TFileItemSubitem &f : FItems[size_t(row)].Files) paths += f.FileName;
  }
  // The row shows what the disk holds afterwards, not what was asked: a
  // read-only mount keeps its files unprotected.
  std::vector<bool> states;
  QStringList unchanged;
  for (const QString &path : paths) {
    SetFileLocked(path, lock);
    // A file that is gone cannot take the state: it is reported with the rest.
    states.push_back(IsFileLocked(path));
    if (states.back() != lock || !QFileInfo::exists(path)) unchanged += path;
  }
  {
    std::lock_guard<std::mutex> guard(FLock);
    std::vector<int> touched;
    for (qsizetype k = 0; k < paths.size(); ++k) {
      int file = -1;
      const int row = IndexOfFileLocked(paths[k], &file);
      if (row < 0) continue;
      FItems[size_t(row)].Files[size_t(file)].Locked = states[size_t(k)] ? 1 : 0;
      if (std::find(touched.begin(), touched.end(), row) == touched.end()) touched.push_back(row);
    }
    for (int row : touched) RecalcLocked(FItems[size_t(row)]);
  }
  Changed(-1);
  if (kept) *kept = unchanged;
  return unchanged.isEmpty();
}

void TFileManager::RemoveGroup(const TFileItem &item)
{
  {
    std::lock_guard<std::mutex> lock(FLock);
    for (size_t r = 0; r < FItems.size(); ++r) {
      if (FItems[r].Summary.FileName != item.Summary.FileName) continue;
      ForgetPathsLocked(FItems[r]);
      RemoveRowLocked(int(r));
      break;
    }
    SortLocked();
  }
  Changed(-1);
}

bool TFileManager::SetGroupTrack(int index, const QString &logFileName, const QString &identity)
{
  TFileItem copy;
  int hint = -1;
  {
    std::lock_guard<std::mutex> lock(FLock);
    hint = FindRowByIdentity(index, identity);
    if (hint < 0) return false;
    copy = FItems[size_t(hint)];
  }
  for (TFileItemSubitem &f : copy.Files) {
    f.ResetTrackPart();
    f.TrackFileName = logFileName;
  }
  FindGpsFiles(copy);
  if (const std::unique_ptr<TMovingInfo> log = TMovingInfo::LoadFromFile(logFileName, true)) {
    const TFileItemSubitem &s = copy.Summary;
    const double rowSpan = s.EndTime - s.StartTime;
    const double logSpan = log->GetEndTime() - log->GetStartTime();
    const bool apart = log->GetStartTime() > s.EndTime || log->GetEndTime() < s.StartTime;
    const bool misplaced =
        SpansAgree(rowSpan, logSpan) && std::abs(s.EndTime - log->GetEndTime()) > (logSpan + rowSpan) / 20;
    if (misplaced || apart) {
      const double d = log->GetEndTime() - s.EndTime;
      for (TFileItemSubitem &f : copy.Files) {
        f.StartTime += d;
        f.EndTime += d;
      }
    }
  }
  FitTracksToFiles(copy);
  std::lock_guard<std::mutex> lock(FLock);
  WriteBackLocked(copy, hint);
  return true;
}

void TFileManager::UpdateFileTrack(const QString &fileName, TMovingInfo &telemetry)
{
  TDateTime start = 0, end = 0;
  {
    std::lock_guard<std::mutex> lock(FLock);
    int file = -1;
    const int row = IndexOfFileLocked(fileName, &file);
    if (row < 0) return;
    start = FItems[size_t(row)].Files[size_t(file)].StartTime;
    end = FItems[size_t(row)].Files[size_t(file)].EndTime;
  }
  TFileItemSubitem span;
  span.StartTime = start;
  span.EndTime = end;
  CropToFile(span, telemetry);
  std::lock_guard<std::mutex> lock(FLock);
  int file = -1;
  const int row = IndexOfFileLocked(fileName, &file);
  if (row < 0) return;
  CopyTrackInfo(FItems[size_t(row)].Files[size_t(file)], &telemetry);
  RecalcLocked(FItems[size_t(row)]);
}

bool TFileManager::ShiftGroupTime(int index, double offset, const QString &identity)
{
  {
    std::lock_guard<std::mutex> lock(FLock);
    const int row = FindRowByIdentity(index, identity);
    if (row < 0) return false;
    for (TFileItemSubitem &f : FItems[size_t(row)].Files) {
      f.StartTime += offset;
      f.EndTime += offset;
    }
    RecalcLocked(FItems[size_t(row)]);
  }
  Changed(-1);
  return true;
}

void TFileManager::SetFileDuration(const QString &fileName, int64_t durationMs)
{
  {
    std::lock_guard<std::mutex> lock(FLock);
    int file = -1;
    const int row = IndexOfFileLocked(fileName, &file);
    if (row < 0) return;
    TFileItemSubitem &f = FItems[size_t(row)].Files[size_t(file)];
    f.DurationMs = durationMs;
    f.StartTime = f.EndTime - double(durationMs) / MSecsPerDay;
    f.DurationSource = dsHeader;
    FitTimesToGps(FItems[size_t(row)]);
    RecalcLocked(FItems[size_t(row)]);
  }
  Changed(-1);
}

bool TFileManager::GetGroupByFile(const QString &fileName, TFileItem &item)
{
  {
    std::lock_guard<std::mutex> lock(FLock);
    const int row = IndexOfFileLocked(fileName, nullptr);
    if (row >= 0) {
      item = FItems[size_t(row)];
      return true;
    }
  }
  if (!QFileInfo(fileName).isFile()) return false;
  const int added = AddVideoFile(fileName, nullptr);
  PreviewByIdentity(fileName, added);
  {
    std::lock_guard<std::mutex> lock(FLock);
    const int row = IndexOfFileLocked(fileName, nullptr);
    if (row < 0) return false;
    item = FItems[size_t(row)];
  }
  Changed(-1);
  return true;
}

bool TFileManager::AddFolder(const QString &folder)
{
  size_t before = 0;
  {
    std::lock_guard<std::mutex> lock(FLock);
    before = FItems.size();
  }
  ScanFolder(folder, 0, true);
  std::vector<QString> added;
  {
    std::lock_guard<std::mutex> lock(FLock);
    for (size_t r = before; r < FItems.size(); ++r) added.push_back(FItems[r].Files.front().FileName);
  }
  for (size_t k = 0; k < added.size() && !FStop.load(); ++k) PreviewByIdentity(added[k], int(before + k));
  SetStatus(QString());
  Changed(-1);
  return !added.empty();
}

} // namespace kp
