// The catalogue object: its life cycle, notifications and the shared state
// every other part reads under the lock.
#include "UnitFileManager.h"

#include "WorkerThreads.h"

#include <chrono>

namespace kp {

TFileManager::TFileManager(bool searchOnStart, TFileManagerEvent onChange, TFileManagerPost post)
  : FSearchOnStart(searchOnStart), FNotify(std::make_shared<TNotifyState>()), FPost(std::move(post))
{
  FNotify->OnChange = std::move(onChange);
  FNotify->Owner = std::this_thread::get_id();
  FWords = TCatalogueWords::Current(false);
  FDatFiles.reserve(1000);
  FLogs.reserve(1000);
}

TFileManager::~TFileManager()
{
  Stop();
  if (FThread.joinable()) FThread.join();
}

void TFileManager::Start()
{
  if (!FSearchOnStart || FThread.joinable()) return;
  if (!FHasRootsOverride) FRootsOverride = SearchRoots(SystemSearchRootInputs());
  FRunning.store(true);
  // The status shows at once, so a Clear made before the thread's first
  // step waits for the thread instead of racing it.
  SetStatus(FWords.Initializing);
  FThread = std::thread([this] {
    // A failed pass ends the search; the list keeps what it found so far.
    RunWorkerBody([this] { Execute(); });
    FRunning.store(false);
  });
}

void TFileManager::Stop()
{
  FStop.store(true);
  // A delivery already queued finds the catalogue gone quiet.
  FNotify->Alive.store(false);
}

void TFileManager::WaitFor()
{
  if (FThread.joinable()) FThread.join();
}

void TFileManager::Changed(int32_t index)
{
  (void)index; // the whole list always changes
  if (FStop.load()) return;
  const std::shared_ptr<TNotifyState> state = FNotify;
  if (!FPost || std::this_thread::get_id() == state->Owner) {
    if (state->Alive.load() && state->OnChange) state->OnChange(-1);
    return;
  }
  // One delivery pending at a time: later changes ride along with it.
  if (state->Pending.exchange(true)) return;
  FPost([state] {
    state->Pending.store(false);
    if (state->Alive.load() && state->OnChange) state->OnChange(-1);
  });
}

int TFileManager::GetCount() const
{
  std::lock_guard<std::mutex> lock(FLock);
  if (FItems.empty()) return FStatus.isEmpty() ? 0 : 1;
  return int(FItems.size());
}

QString TFileManager::GetStatus() const
{
  std::lock_guard<std::mutex> lock(FLock);
  return StatusTextLocked();
}

QString TFileManager::StatusTextLocked() const
{
  const QString skipped = SkippedNoticeLocked();
  if (FStatus.isEmpty() || skipped.isEmpty()) return FStatus;
  return FStatus + QStringLiteral("  [") + skipped + QLatin1Char(']');
}

QString TFileManager::SkippedNoticeLocked() const
{
  QStringList parts;
  if (!FUnreadable.isEmpty()) parts << FWords.CantReadFolder + QStringLiteral(": ") + FUnreadable.back();
  if (!FUnrepresentable.isEmpty())
    parts << FWords.NamesNotUtf8 + QStringLiteral(": ") + QString::number(FUnrepresentable.size());
  if (const size_t gone = StillGoneLocked().size())
    parts << FWords.RecordingsGone + QStringLiteral(": ") + QString::number(gone);
  return parts.join(QStringLiteral("; "));
}

void TFileManager::KeepListed(const std::vector<std::vector<TListedVideo>> &recordings)
{
  std::vector<std::vector<TListedVideo>> goneRecordings;
  for (const std::vector<TListedVideo> &videos : recordings) {
    std::vector<TListedVideo> gone;
    for (const TListedVideo &video : videos) {
      TFileRecord record;
      if (!ReadFileRecord(video.FileName, record)) {
        gone.push_back(video);
        continue;
      }
      AddVideoFile(video.FileName, &record);
    }
    if (!gone.empty()) goneRecordings.push_back(std::move(gone));
  }
  std::lock_guard<std::mutex> lock(FLock);
  FGoneRecordings.insert(FGoneRecordings.end(), goneRecordings.begin(), goneRecordings.end());
}

std::vector<std::vector<TListedVideo>> TFileManager::StopAndListVideos()
{
  Stop();
  WaitFor();
  std::vector<std::vector<TListedVideo>> listed;
  std::lock_guard<std::mutex> lock(FLock);
  listed.reserve(FItems.size());
  for (const TFileItem &row : FItems) {
    std::vector<TListedVideo> videos;
    for (const TFileItemSubitem &f : row.Files) videos.push_back({f.FileName, f.Size});
    if (!videos.empty()) listed.push_back(std::move(videos));
  }
  return listed;
}

std::vector<QStringList> TFileManager::StillGoneLocked() const
{
  std::vector<QStringList> still;
  if (FGoneRecordings.empty()) return still;
  // A folder renamed or moved where the search looks brings its videos back
  // under other paths: nothing of them is lost.
  const auto key = [](const QString &path, int64_t size) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1) + QLatin1Char('|') + QString::number(size);
  };
  QSet<QString> listed;
  for (const TFileItem &item : FItems)
    for (const TFileItemSubitem &f : item.Files)
      if (f.Size >= 0) listed.insert(key(f.FileName, f.Size));
  for (const std::vector<TListedVideo> &videos : FGoneRecordings) {
    QStringList paths;
    for (const TListedVideo &v : videos)
      if (v.Size < 0 || !listed.contains(key(v.FileName, v.Size))) paths << v.FileName;
    if (!paths.isEmpty()) still.push_back(paths);
  }
  return still;
}

QStringList TFileManager::GoneFiles() const
{
  std::lock_guard<std::mutex> lock(FLock);
  QStringList files;
  for (const QStringList &paths : StillGoneLocked()) files += paths;
  return files;
}

QStringList TFileManager::UnreadableFolders() const
{
  std::lock_guard<std::mutex> lock(FLock);
  return FUnreadable;
}

int TFileManager::UnrepresentableNames() const
{
  std::lock_guard<std::mutex> lock(FLock);
  return int(FUnrepresentable.size());
}

QString TFileManager::SkippedNotice() const
{
  std::lock_guard<std::mutex> lock(FLock);
  return SkippedNoticeLocked();
}

void TFileManager::SetStatus(const QString &status)
{
  std::lock_guard<std::mutex> lock(FLock);
  FStatus = status;
}

void TFileManager::SleepInterruptible(int ms) const
{
  for (int waited = 0; waited < ms && !FStop.load(); waited += 10)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

int TFileManager::IndexOfFile(const QString &fileName, int *fileIndex) const
{
  std::lock_guard<std::mutex> lock(FLock);
  return IndexOfFileLocked(fileName, fileIndex);
}

int TFileManager::IndexOfFileLocked(const QString &fileName, int *fileIndex) const
{
  const QString key = fileName.toLower();
  if (!FPaths.count(key)) return -1;
  for (size_t r = 0; r < FItems.size(); ++r) {
    const std::vector<TFileItemSubitem> &files = FItems[r].Files;
    for (size_t f = 0; f < files.size(); ++f) {
      if (files[f].FileName.compare(fileName, Qt::CaseInsensitive) == 0) {
        if (fileIndex) *fileIndex = int(f);
        return int(r);
      }
    }
  }
  return -1;
}

int TFileManager::FindRowByIdentity(int index, const QString &identity) const
{
  if (index < 0 || size_t(index) >= FItems.size()) return -1;
  // While the search adds and sorts rows a bare index may name another row.
  if (identity.isEmpty()) return FRunning.load() ? -1 : index;
  const TFileItem &row = FItems[size_t(index)];
  return !row.Files.empty() && row.Files.front().FileName == identity ? index : -1;
}

void TFileManager::ClearRowsLocked()
{
  FItems.clear();
  FPaths.clear();
}

void TFileManager::RemoveRowLocked(int index)
{
  FItems[size_t(index)] = std::move(FItems.back());
  FItems.pop_back();
}

void TFileManager::ForgetPathsLocked(const TFileItem &row)
{
  for (const TFileItemSubitem &f : row.Files) FPaths.erase(f.FileName.toLower());
}

void TFileManager::RecalcAllLocked()
{
  for (TFileItem &row : FItems) RecalcLocked(row);
}

std::vector<TFileItem> TFileManager::Rows() const
{
  std::lock_guard<std::mutex> lock(FLock);
  return FItems;
}

void TFileManager::SetRows(std::vector<TFileItem> rows)
{
  std::lock_guard<std::mutex> lock(FLock);
  FItems = std::move(rows);
  FPaths.clear();
  for (const TFileItem &row : FItems)
    for (const TFileItemSubitem &f : row.Files) FPaths.insert(f.FileName.toLower());
}

void TFileManager::AddGpsLog(const TGPSLogFileItem &log)
{
  std::lock_guard<std::mutex> lock(FLock);
  if (FLogs.size() == FLogs.capacity()) FLogs.reserve(FLogs.capacity() * 2);
  FLogs.push_back(log);
}

TArrayString TFileManager::GetGpsLogList() const
{
  std::lock_guard<std::mutex> lock(FLock);
  TArrayString paths;
  paths.reserve(qsizetype(FLogs.size()));
  for (const TGPSLogFileItem &log : FLogs) paths += log.FileName;
  return paths;
}

std::vector<TGPSLogFileItem> TFileManager::GetGpsLogs() const
{
  std::lock_guard<std::mutex> lock(FLock);
  return FLogs;
}

QStringList TFileManager::GetDatFiles() const
{
  std::lock_guard<std::mutex> lock(FLock);
  return QStringList(FDatFiles.begin(), FDatFiles.end());
}

void TFileManager::AddDatFile(const QString &path)
{
  std::lock_guard<std::mutex> lock(FLock);
  if (FDatFiles.size() == FDatFiles.capacity()) FDatFiles.reserve(FDatFiles.capacity() * 2);
  FDatFiles.push_back(path);
  FDatByName.emplace(ExtractFileNameNoExt(path).toLower(), int(FDatFiles.size()) - 1);
}

QString TFileManager::DatFileFor(const QString &videoFileName) const
{
  const QString key = ExtractFileNameNoExt(videoFileName).toLower();
  std::lock_guard<std::mutex> lock(FLock);
  const auto it = FDatByName.find(key);
  return it == FDatByName.end() ? QString() : FDatFiles[size_t(it->second)];
}

TFileItem TFileManager::GetGroup(int index) const
{
  std::lock_guard<std::mutex> lock(FLock);
  if (index < 0 || size_t(index) >= FItems.size()) return TFileItem{};
  return FItems[size_t(index)];
}

void TFileManager::Clear()
{
  bool cleared = false;
  {
    std::lock_guard<std::mutex> lock(FLock);
    FClearRequested.store(true);
    // While a search runs, its thread empties the list when it ends.
    if (FStatus.isEmpty()) {
      ClearRowsLocked();
      FClearRequested.store(false);
      cleared = true;
    }
  }
  if (cleared) Changed(-1);
}

void TFileManager::Refresh()
{
  const TCatalogueWords words = TCatalogueWords::Current(true);
  {
    std::lock_guard<std::mutex> lock(FLock);
    FWords = words;
    RecalcAllLocked();
  }
  Changed(-1);
}

} // namespace kp
