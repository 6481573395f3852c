#pragma once
// Every file the user keeps (a copy, a cut movie and its side files, an
// exported track, a converted log, a snapshot, the camera's set-up file) is
// written by this one helper, so that it appears under its name whole or
// not at all, whatever ends the program:
// - the bytes go into a new hidden file beside the target,
//   "." + name + ".kp-" + 16 random hex digits + ".part", made for this
//   writer alone;
// - Commit syncs it, gives it the target's name without replacing a file of
//   that name unless asked, and syncs the folder, checking every result;
// - any failure, and a writer dropped without Commit, removes it.
// A writer holds an exclusive lock on its temporary file while it lives;
// the system lets go of it when the writer ends, however it ends. So a
// temporary file in the target's folder that nobody holds, whatever target
// it was for, is what a killed copy or cut left behind: Create removes every
// such file before making its own, and never one that a writer of this or
// another process holds. Only names of exactly that form are taken for one:
// a user's file that merely looks alike (".name.old.part") is never touched.
// Where the folder's file system may be shared with other computers (NFS,
// SMB, a network FUSE mount), their writers' locks may not be seen here, so
// nothing there is taken for stale.
//
// One thread per writer; no exceptions.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <sys/types.h>
#include <vector>

namespace kp {

class TWholeFileWriter {
public:
  // What the temporary name carries between the target's name and the
  // random digits.
  static constexpr const char *TemporaryMark = ".kp-";

  explicit TWholeFileWriter(const QString &target);
  // Discards the temporary file unless Commit succeeded.
  ~TWholeFileWriter();
  TWholeFileWriter(const TWholeFileWriter &) = delete;
  TWholeFileWriter &operator=(const TWholeFileWriter &) = delete;

  // Makes the temporary file (after removing stale ones in the target's
  // folder unless the caller did so for a whole group of targets); false
  // with the reason when it cannot be made.
  enum TStaleScan { RemoveStale, StaleRemoved };
  bool Create(TStaleScan stale = RemoveStale);
  // The temporary file's descriptor, open for reading and writing; -1
  // before Create and after Commit or Discard.
  int Handle() const { return FFd; }
  const QString &Target() const { return FTarget; }
  const QString &Temporary() const { return FTemporary; }

  // Appends all of Data at the descriptor's position; false with the
  // reason (the temporary stays until Discard or destruction).
  bool Write(const QByteArray &data);
  // Syncs the data, gives the file the target's name and syncs the folder.
  // Without Replace an existing target is left alone: the call fails with
  // TargetExists() true and the temporary file kept for a second Commit.
  // Any other failure removes the temporary file. A folder that cannot be
  // synced fails the call after the rename: the file is then in place.
  // A writer of many files into one folder may leave the folder to one
  // SyncFolder after the last (SyncLater): a file that has its name is
  // whole either way, and only the renames since the last sync may be
  // lost to a power cut, leaving temporary files the next write clears.
  enum TFolderSync { SyncNow, SyncLater };
  bool Commit(bool replace, TFolderSync folderSync = SyncNow);
  // Makes the data of a group of writers lasting with one sync of their
  // file system (a sync of each file flushes the disk for each): their
  // Commit then only collects their own write failures. Writers in the
  // order they were made, each written in full (through its Handle; a later
  // Write undoes this). False when a sync failed: those writers' Commit
  // syncs their own files, naming the failing one.
  static bool SyncTogether(const std::vector<TWholeFileWriter *> &writers);
  // Makes the renames in Path's folder lasting; false with the reason.
  static bool SyncFolder(const QString &path, QString &error);
  // Removes the temporary file.
  void Discard();

  bool TargetExists() const { return FTargetExists; }
  // The system's reason for the last failure.
  const QString &Error() const { return FError; }

  // Removes the temporary files in Target's folder that writers which have
  // ended left behind; the count removed. For tests and for Create.
  static int RemoveStaleTemporaries(const QString &target);
  // The same for the folders of many targets, reading each folder once.
  static int RemoveStaleTemporaries(const QStringList &targets);
  // Whether a lock on a file system of that type (statfs's f_type) on that
  // device is seen by every writer that may use it: true for file systems
  // of this computer alone.
  static bool LocksSeenByEveryWriter(int64_t fsType, dev_t device);

private:
  static int RemoveStaleIn(const QByteArray &folder);
  static bool IsTemporaryName(const QByteArray &name);

  bool Fail(int error);
  bool Rename(bool replace);
  bool SyncData();

  QString FTarget, FTemporary;
  int FFd = -1;
  bool FTargetExists = false;
  bool FDataSynced = false;
  QString FError;
};

// Writes Data as the whole content of Path through a TWholeFileWriter;
// false with the system's reason in Error (and nothing left behind).
bool SaveFileWhole(const QString &path, const QByteArray &data, bool replace, QString &error);

} // namespace kp
