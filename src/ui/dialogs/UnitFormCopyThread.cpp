#include "UnitFormCopyThread.h"

#include "Numbers.h"
#include "RecordingFiles.h"
#include "UnitUtils.h"
#include "UnitUtilsFiles.h"
#include "WholeFileWriter.h"
#include "WorkerThreads.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kp {

namespace {

int64_t MonotonicMs()
{
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QString ErrnoText(int error)
{
  return QString::fromLocal8Bit(std::strerror(error));
}

int OpenRetry(const QString &path, int flags, mode_t mode = 0)
{
  const QByteArray name = QFile::encodeName(path);
  int fd;
  do fd = ::open(name.constData(), flags | O_CLOEXEC, mode);
  while (fd < 0 && errno == EINTR);
  return fd;
}

bool WriteAll(int fd, const char *data, int64_t size)
{
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size_t(size));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= n;
  }
  return true;
}

// Gives the file its final size before the data arrives, so the blocks land
// in reserved space. Where the file system cannot reserve, the size is set
// without writing zeros: the data follows at once.
bool ReserveSize(int fd, int64_t size)
{
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  if (st.st_size > size && ::ftruncate(fd, 0) != 0) return false;
  if (st.st_size == size) return true;
  if (size > 0 && ::fallocate(fd, 0, 0, off_t(size)) == 0) return true;
  if (size > 0 && errno != EOPNOTSUPP && errno != ENOSYS) return false;
  return ::ftruncate(fd, off_t(size)) == 0;
}

// The source is read without moving its last-access time where the system
// lets this process do so (its owner); elsewhere the time taken before
// reading is what the copy keeps.
int OpenSource(const QString &path)
{
  const int fd = OpenRetry(path, O_RDONLY | O_NOATIME);
  return fd < 0 && errno == EPERM ? OpenRetry(path, O_RDONLY) : fd;
}

TCopyStamp StampOf(const struct stat &st)
{
  return {int64_t(st.st_atim.tv_sec), int64_t(st.st_atim.tv_nsec), int64_t(st.st_mtim.tv_sec),
          int64_t(st.st_mtim.tv_nsec), true};
}

bool ApplyStamp(const QString &path, const TCopyStamp &stamp)
{
  if (!stamp.Valid) return false;
  timespec times[2] = {};
  times[0].tv_sec = time_t(stamp.AccessSec);
  times[0].tv_nsec = long(stamp.AccessNsec);
  times[1].tv_sec = time_t(stamp.WriteSec);
  times[1].tv_nsec = long(stamp.WriteNsec);
  return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

// The source's descriptor, closed on every way out of the copy.
class TSourceFile {
public:
  explicit TSourceFile(const QString &path) : FFd(OpenSource(path)) {}
  ~TSourceFile()
  {
    if (FFd >= 0) ::close(FFd);
  }
  TSourceFile(const TSourceFile &) = delete;
  TSourceFile &operator=(const TSourceFile &) = delete;
  int Fd() const { return FFd; }

private:
  int FFd;
};

} // namespace

int64_t SmoothCopySpeed(int64_t speed, int64_t rate)
{
  if (speed == 0) return rate;
  if (speed > rate) return Round(double(speed) * 0.2 + double(rate) * 0.8);
  return Round(double(speed) * 0.5 + double(rate) * 0.5);
}

TFormCopyThread::TFormCopyThread(const TFileItem &item, const QString &folder, TCopyDelays delays)
  : FDelays(delays), FPaused(delays.StartPaused)
{
  FFiles = RecordingCopyFiles(item);
  for (const QString &path : FFiles) {
    const auto video = std::find_if(item.Files.begin(), item.Files.end(),
                                    [&path](const TFileItemSubitem &f) { return f.FileName == path; });
    FTotalBytes += video != item.Files.end() && video->Size >= 0 ? video->Size : GetFileSize64(path);
  }
  FTargetFolder = folder;
  if (!FTargetFolder.endsWith(QLatin1Char('/'))) FTargetFolder += QLatin1Char('/');
  ForceDirs(FTargetFolder);
  FBuffer.resize(size_t(BlockSize));
  FState.FileCount = int(FFiles.size());
  FState.TotalBytes = FTotalBytes;
}

TFormCopyThread::~TFormCopyThread()
{
  Terminate();
  WaitFor();
}

void TFormCopyThread::Start()
{
  if (FThread.joinable()) return;
  FThread = std::thread([this] {
    if (RunWorkerBody([this] { Execute(); })) return;
    FFinished.clear();
    // The window shows a failure instead of copying on for ever.
    std::lock_guard<std::mutex> lock(FLock);
    if (FState.Error.isEmpty()) FState.Error = FState.SourceName + QLatin1Char('\n') + FState.TargetName;
    FState.Finished = true;
  });
}

void TFormCopyThread::Terminate()
{
  std::lock_guard<std::mutex> lock(FLock);
  FTerminate = true;
  FAnswered.notify_all();
}

void TFormCopyThread::WaitFor()
{
  if (FThread.joinable()) FThread.join();
}

TCopySnapshot TFormCopyThread::Snapshot() const
{
  std::lock_guard<std::mutex> lock(FLock);
  return FState;
}

void TFormCopyThread::SetPaused(bool paused)
{
  std::lock_guard<std::mutex> lock(FLock);
  FPaused = paused;
}

bool TFormCopyThread::Paused() const
{
  std::lock_guard<std::mutex> lock(FLock);
  return FPaused;
}

void TFormCopyThread::AnswerReplace(bool replace)
{
  std::lock_guard<std::mutex> lock(FLock);
  FReplaceAnswer = replace;
  FHasAnswer = true;
  FAnswered.notify_all();
}

bool TFormCopyThread::Terminated() const
{
  std::lock_guard<std::mutex> lock(FLock);
  return FTerminate;
}

void TFormCopyThread::Fail(const QString &source, const QString &target, const QString &why)
{
  std::lock_guard<std::mutex> lock(FLock);
  // The first failure is what stopped the copy.
  if (FState.Error.isEmpty()) FState.Error = source + QLatin1Char('\n') + target + QLatin1Char('\n') + why;
}

bool TFormCopyThread::AskReplace(const QString &source, const QString &target)
{
  std::unique_lock<std::mutex> lock(FLock);
  FState.SourceName = source;
  FState.TargetName = target;
  FHasAnswer = false;
  FState.ReplacePending = true;
  FAnswered.wait(lock, [this] { return FHasAnswer || FTerminate; });
  FState.ReplacePending = false;
  return FHasAnswer && FReplaceAnswer && !FTerminate;
}

void TFormCopyThread::Execute()
{
  ForceDirs(FTargetFolder);
  // What killed copies left is cleared in one look at the folder, not one
  // a file.
  QStringList targets;
  for (const QString &source : FFiles) targets << FTargetFolder + ExtractFileName(source);
  TWholeFileWriter::RemoveStaleTemporaries(targets);
  bool completed = true;
  for (int i = 0; i < FFiles.size(); ++i) {
    const QString source = FFiles[i];
    const QString target = FTargetFolder + ExtractFileName(source);
    {
      std::lock_guard<std::mutex> lock(FLock);
      FState.CurrentIndex = i;
      FState.SourceName = source;
      FState.TargetName = target;
    }
    if (Terminated() || !CopyOneFile(source, target)) {
      completed = false;
      break;
    }
    const bool groupFull = FFinishedBytes >= PublishBytes || int(FFinished.size()) >= PublishFiles;
    if (groupFull && !PublishFinished()) {
      completed = false;
      break;
    }
  }
  // Files finished before a cancel or a failure keep their copies.
  completed = PublishFinished() && completed;
  // One sync of the folder makes every rename of this copy lasting.
  QString error;
  const bool synced = TWholeFileWriter::SyncFolder(FTargetFolder, error);
  std::lock_guard<std::mutex> lock(FLock);
  if (completed && !synced) {
    FState.Error = FTargetFolder + QLatin1Char('\n') + error;
    completed = false;
  }
  if (completed) FState.CurrentIndex = FState.FileCount;
  FState.Cancelled = FTerminate && FState.Error.isEmpty() && !completed;
  FState.Finished = true;
}

bool TFormCopyThread::CopyOneFile(const QString &source, const QString &target)
{
  const TSourceFile in(source);
  struct stat ss {};
  if (in.Fd() < 0 || ::fstat(in.Fd(), &ss) != 0) {
    Fail(source, target, ErrnoText(errno));
    return false;
  }
  // The times the source had before this copy read it.
  const TCopyStamp stamp = StampOf(ss);
  struct stat ts {};
  const bool exists = ::stat(QFile::encodeName(target).constData(), &ts) == 0;
  if (exists) {
    // Copying a file onto itself would truncate the only copy: it is there
    // already.
    if (ts.st_dev == ss.st_dev && ts.st_ino == ss.st_ino) {
      std::lock_guard<std::mutex> lock(FLock);
      ++FState.AlreadyThere;
      return true;
    }
    if (!AskReplace(source, target)) return !Terminated();
  }
  auto out = std::make_unique<TWholeFileWriter>(target);
  if (!WriteTemporary(in.Fd(), int64_t(ss.st_size), source, *out)) return false;
  // The copy takes the source's times before its data is synced, so one
  // sync makes both lasting, and keeps them through the rename.
  ApplyStamp(out->Temporary(), stamp);
  FFinishedBytes += int64_t(ss.st_size);
  FFinished.push_back({std::move(out), source, exists, IsFileLocked(source)});
  return true;
}

// The files of a group are synced together once all are written: one
// flush of the disk instead of one a file.
bool TFormCopyThread::PublishFinished()
{
  std::vector<TFinishedFile> group;
  group.swap(FFinished);
  FFinishedBytes = 0;
  std::vector<TWholeFileWriter *> writers;
  for (TFinishedFile &f : group) writers.push_back(f.Out.get());
  TWholeFileWriter::SyncTogether(writers); // failing, each file syncs alone
  for (TFinishedFile &f : group) {
    bool published = false;
    if (!Publish(*f.Out, f.Source, f.Replace, published)) return false;
    if (published && f.Locked) SetFileLocked(f.Out->Target(), true);
  }
  return true;
}

bool TFormCopyThread::WriteTemporary(int in, int64_t size, const QString &source, TWholeFileWriter &out)
{
  const QString &target = out.Target();
  if (!out.Create(TWholeFileWriter::StaleRemoved)) {
    Fail(source, target, out.Error());
    return false;
  }
  if (!ReserveSize(out.Handle(), size)) {
    Fail(source, target, ErrnoText(errno));
    return false;
  }
  return WriteBlocks(in, out.Handle(), size, source, target);
}

bool TFormCopyThread::Publish(TWholeFileWriter &out, const QString &source, bool replace, bool &published)
{
  const QString &target = out.Target();
  published = false;
  // A file that appeared under the name while copying is not replaced
  // unasked.
  if (!replace && out.Commit(false, TWholeFileWriter::SyncLater)) {
    published = true;
    return true;
  }
  if (!replace && !out.TargetExists()) {
    Fail(source, target, out.Error());
    return false;
  }
  if (!replace && !AskReplace(source, target)) return true; // the temporary goes with the writer
  // A replaced target loses its protection only now that its successor is
  // complete.
  const bool wasLocked = IsFileLocked(target);
  if (wasLocked) SetFileLocked(target, false);
  if (!out.Commit(true, TWholeFileWriter::SyncLater)) {
    Fail(source, target, out.Error());
    if (wasLocked) SetFileLocked(target, true); // the old file stays as it was

    return false;
  }
  published = true;
  return true;
}

void TFormCopyThread::AddProgress(int64_t bytes, int64_t &windowBytes, int64_t &windowStartMs)
{
  windowBytes += bytes;
  const int64_t now = MonotonicMs();
  std::lock_guard<std::mutex> lock(FLock);
  FState.CopiedBytes += bytes;
  if (now - windowStartMs > FDelays.SpeedWindowMs) {
    const int64_t rate = Round(double(windowBytes) * 1000.0 / double(now - windowStartMs));
    FState.Speed = SmoothCopySpeed(FState.Speed, rate);
    windowStartMs = now;
    windowBytes = 0;
  }
}

bool TFormCopyThread::WriteBlocks(int in, int out, int64_t size, const QString &source, const QString &target)
{
  int64_t done = 0, windowBytes = 0, windowStartMs = MonotonicMs();
  while (done < size) {
    if (Terminated()) return false;
    const size_t want = size_t(std::min<int64_t>(BlockSize, size - done));
    ssize_t n;
    do n = ::read(in, FBuffer.data(), want);
    while (n < 0 && errno == EINTR);
    if (n < 0) {
      Fail(source, target, ErrnoText(errno));
      return false;
    }
    if (n == 0) {
      Fail(source, target, QStringLiteral("The file ended before its size."));
      return false;
    }
    if (!WriteAll(out, FBuffer.data(), n)) {
      Fail(source, target, ErrnoText(errno));
      return false;
    }
    // The disk starts on each block at once; the sync before the name
    // reports any failure.
    ::sync_file_range(out, off_t(done), off_t(n), SYNC_FILE_RANGE_WRITE);
    done += n;
    AddProgress(n, windowBytes, windowStartMs);
    WaitWhilePaused(windowStartMs);
  }
  return true;
}

void TFormCopyThread::WaitWhilePaused(int64_t &windowStartMs)
{
  if (!Paused()) return;
  const int64_t pausedAt = MonotonicMs();
  while (Paused() && !Terminated()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  // A pause is no time spent copying: the measuring window moves past it.
  windowStartMs += MonotonicMs() - pausedAt;
}

} // namespace kp
