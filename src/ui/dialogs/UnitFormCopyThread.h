#pragma once
// The copy engine behind the copy window: copies every file of a recording
// (each video, then its track and G-sensor side files) into one folder on a
// thread of its own, in 1 MiB blocks through one buffer. Each file is
// written by a TWholeFileWriter (its size reserved first), takes the
// source's times and then its own name once complete and synced, so no
// target name ever holds a partial copy, whatever ends the program; a
// locked source's copy is locked as it takes its name.
//
// Speed. The disk is set writing each block as soon as it is written, and
// finished files wait under their hidden names in a group (PublishBytes,
// PublishFiles) that one sync of the file system makes lasting (a sync of
// each file would flush the disk for each); each file's own write failures
// are still collected before it takes its name. A cancel or a failure
// still names the files finished before it.
//
// Threading. The constructor builds the list on the caller's thread; Start
// runs the copy on a std::thread. The window polls Snapshot() and writes
// SetPaused, AnswerReplace and Terminate from the main thread; all shared
// state sits under one mutex. The worker never waits for the main thread
// except for a replace answer, and Terminate releases that wait (as No), so
// a main thread that waits for the worker cannot deadlock. The destructor
// terminates and joins.
//
// Failure. A source that cannot be read, ends before its size, or a target
// that cannot be written stops the copy with Error set; a cancelled or
// failed file removes its temporary file and leaves an existing target as
// it was.

#include "UnitFileManager.h"
#include "WholeFileWriter.h"

#include <QString>
#include <QStringList>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace kp {

// What the window shows, copied out under the lock.
struct TCopySnapshot {
  int FileCount = 0;
  int64_t TotalBytes = 0;
  int64_t CopiedBytes = 0;
  int CurrentIndex = 0; // FileCount once all are handled
  int64_t Speed = 0;    // bytes per second, smoothed; 0 until measured
  QString SourceName, TargetName;
  bool ReplacePending = false; // a replace question waits for AnswerReplace
  bool Finished = false;       // the worker has ended (done, failed or cancelled)
  bool Cancelled = false;
  // Files that were in the folder already (the target is the source itself).
  int AlreadyThere = 0;
  QString Error; // source, target and the system's text, one per line
};

// The engine's timing; tests shorten it.
struct TCopyDelays {
  int SpeedWindowMs = 4000; // the speed is measured over windows this long
  bool StartPaused = false; // for tests: paused from the start (after one block)
};

// Last-access and last-write times of a source, taken before it is read
// (reading it moves its last-access time).
struct TCopyStamp {
  int64_t AccessSec = 0, AccessNsec = 0, WriteSec = 0, WriteNsec = 0;
  bool Valid = false;
};

// The next smoothed speed from the current one and a fresh rate: a first
// rate is taken as it is, a drop is followed quickly, a rise slowly.
int64_t SmoothCopySpeed(int64_t speed, int64_t rate);

class TFormCopyThread {
public:
  static constexpr int BlockSize = 1 << 20;
  // Finished files are named in groups of about this many bytes or files.
  static constexpr int64_t PublishBytes = int64_t(64) << 20;
  static constexpr int PublishFiles = 64;

  // Builds the list (RecordingCopyFiles: each video with its recorded size,
  // or its size on disk when that is unknown, then its track and side
  // files) and creates Folder.
  TFormCopyThread(const TFileItem &item, const QString &folder, TCopyDelays delays = {});
  ~TFormCopyThread();
  TFormCopyThread(const TFormCopyThread &) = delete;
  TFormCopyThread &operator=(const TFormCopyThread &) = delete;

  void Start();
  // Asks the worker to stop after its current block; never waits.
  void Terminate();
  // Waits for the worker to end.
  void WaitFor();

  const QStringList &Files() const { return FFiles; }
  QString TargetFolder() const { return FTargetFolder; }
  TCopySnapshot Snapshot() const;
  void SetPaused(bool paused);
  bool Paused() const;
  void AnswerReplace(bool replace);

private:
  struct TFinishedFile {
    std::unique_ptr<TWholeFileWriter> Out;
    QString Source;
    bool Replace = false, Locked = false;
  };

  void Execute();
  // False when the copy stopped (failure or termination); Error is set on
  // failure.
  bool CopyOneFile(const QString &source, const QString &target);
  // Writes the source into Out's temporary file; false on failure or
  // termination (the temporary file goes with Out).
  bool WriteTemporary(int in, int64_t size, const QString &source, TWholeFileWriter &out);
  // Gives the finished file the target's name, replacing a file of that
  // name only when Replace was agreed or the user agrees now; Published is
  // false when the user kept the file. False on failure.
  bool Publish(TWholeFileWriter &out, const QString &source, bool replace, bool &published);
  // Syncs and names every finished file not yet named, in list order; false
  // on failure (the rest of them are removed).
  bool PublishFinished();
  bool WriteBlocks(int in, int out, int64_t size, const QString &source, const QString &target);
  void WaitWhilePaused(int64_t &windowStartMs);
  bool AskReplace(const QString &source, const QString &target);
  bool Terminated() const;
  void Fail(const QString &source, const QString &target, const QString &why);
  void AddProgress(int64_t bytes, int64_t &windowBytes, int64_t &windowStartMs);

  const TCopyDelays FDelays;
  QStringList FFiles;
  QString FTargetFolder;
  int64_t FTotalBytes = 0;
  std::vector<char> FBuffer;
  std::thread FThread;

  // Written files that wait for their name (worker only).
  std::vector<TFinishedFile> FFinished;
  int64_t FFinishedBytes = 0;

  mutable std::mutex FLock;
  mutable std::condition_variable FAnswered;
  // Guarded by FLock.
  TCopySnapshot FState;
  bool FTerminate = false;
  bool FPaused = false;
  bool FHasAnswer = false;
  bool FReplaceAnswer = false;
};

} // namespace kp
