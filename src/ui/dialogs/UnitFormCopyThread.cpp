#include "UnitFormCopyThread.h"

#include "Numbers.h"
#include "UnitUtils.h"
#include "UnitUtilsFiles.h"
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

} // namespace

int64_t SmoothCopySpeed(int64_t speed, int64_t rate)
{
  if (speed == 0) return rate;
  if (speed > rate) return Round(double(speed) * 0.2 + double(rate) * 0.8);
  return Round(double(speed) * 0.5 + double(rate) * 0.5);
}

TFormCopyThread::TFormCopyThread(const TFileItem &item, const QString &folder, TCopyDelays delays) : FDelays(delays)
{
  for (const TFileItemSubitem &file : item.Files) {
    if (!file.FileName.isEmpty()) {
      FFiles.append(file.FileName);
      FTotalBytes += file.Size < 0 ? GetFileSize64(file.FileName) : file.Size;
    }
    if (!file.TrackFileName.isEmpty()) {
      FFiles.append(file.TrackFileName);
      FTotalBytes += GetFileSize64(file.TrackFileName);
    }
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

void TFormCopyThread::SleepMs(int ms) const
{
  std::unique_lock<std::mutex> lock(FLock);
  // Termination cuts the pause short; nothing waits on this condition but
  // the replace question, which re-checks its own predicate.
  FAnswered.wait_for(lock, std::chrono::milliseconds(ms), [this] { return FTerminate; });
}

void TFormCopyThread::Fail(const QString &source, const QString &target, const QString &why)
{
  std::lock_guard<std::mutex> lock(FLock);
  FState.Error = source + QLatin1Char('\n') + target + QLatin1Char('\n') + why;
}

bool TFormCopyThread::AskReplace()
{
  std::unique_lock<std::mutex> lock(FLock);
  FHasAnswer = false;
  FState.ReplacePending = true;
  FAnswered.wait(lock, [this] { return FHasAnswer || FTerminate; });
  FState.ReplacePending = false;
  return FHasAnswer && FReplaceAnswer && !FTerminate;
}

void TFormCopyThread::Execute()
{
  ForceDirs(FTargetFolder);
  QStringList copied;
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
    bool done = false;
    if (Terminated() || !CopyOneFile(source, target, done)) {
      completed = false;
      break;
    }
    if (done) copied.append(source);
  }
  if (completed) {
    {
      std::lock_guard<std::mutex> lock(FLock);
      FState.CurrentIndex = FState.FileCount;
    }
    SleepMs(FDelays.FinalTimesMs);
    // Only files written here: a skipped target keeps its own times.
    for (const QString &source : copied) CopyFileTimes(source, FTargetFolder + ExtractFileName(source));
  }
  std::lock_guard<std::mutex> lock(FLock);
  FState.Cancelled = FTerminate && FState.Error.isEmpty() && !completed;
  FState.Finished = true;
}

bool TFormCopyThread::CopyOneFile(const QString &source, const QString &target, bool &copied)
{
  copied = false;
  const int in = OpenRetry(source, O_RDONLY);
  struct stat ss {};
  if (in < 0 || ::fstat(in, &ss) != 0) {
    Fail(source, target, ErrnoText(errno));
    if (in >= 0) ::close(in);
    return false;
  }
  struct stat ts {};
  if (::stat(QFile::encodeName(target).constData(), &ts) == 0) {
    // Copying a file onto itself would truncate the only copy.
    const bool same = ts.st_dev == ss.st_dev && ts.st_ino == ss.st_ino;
    if (same || !AskReplace()) {
      ::close(in);
      return same || !Terminated();
    }
    if (IsFileLocked(target)) SetFileLocked(target, false);
  }
  const int out = OpenRetry(target, O_WRONLY | O_CREAT, 0666);
  if (out < 0 || !ReserveSize(out, int64_t(ss.st_size))) {
    Fail(source, target, ErrnoText(errno));
    ::close(in);
    if (out >= 0) {
      ::close(out);
      ForceDeleteFile(target);
    }
    return false;
  }
  bool ok = WriteBlocks(in, out, int64_t(ss.st_size), source, target);
  ::close(in);
  if (::close(out) != 0 && ok) {
    Fail(source, target, ErrnoText(errno));
    ok = false;
  }
  if (!ok) {
    ForceDeleteFile(target);
    return false;
  }
  SleepMs(FDelays.BeforeLockMs);
  if (IsFileLocked(source)) SetFileLocked(target, true);
  SleepMs(FDelays.BeforeTimesMs);
  CopyFileTimes(source, target);
  copied = true;
  return true;
}

void TFormCopyThread::AddProgress(int64_t bytes, int64_t &windowBytes, int64_t &windowStartMs)
{
  windowBytes += bytes;
  const int64_t now = MonotonicMs();
  std::lock_guard<std::mutex> lock(FLock);
  FState.CopiedBytes += bytes;
  if (now - windowStartMs > 4000) {
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
    done += n;
    AddProgress(n, windowBytes, windowStartMs);
    while (Paused() && !Terminated()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

} // namespace kp
