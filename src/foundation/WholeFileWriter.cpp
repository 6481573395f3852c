#include "WholeFileWriter.h"

#include "Errors.h"
#include "FoundationLog.h"

#include <QFile>
#include <QRandomGenerator>
#include <cerrno>
#include <dirent.h>
#include <linux/magic.h>
#include <set>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace kp {

namespace {

QString FolderOf(const QString &path)
{
  const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
  return slash < 0 ? QStringLiteral("./") : path.left(slash + 1);
}

QString NameOf(const QString &path)
{
  return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

// The part of the target's name the temporary name carries; short enough
// that the whole name fits the file system.
QString Stem(const QString &target)
{
  QString stem = NameOf(target);
  while (QFile::encodeName(stem).size() > 200) stem.chop(1);
  return stem;
}

// Name is taken in the folder Dir when it is relative.
int OpenRetry(const QByteArray &name, int flags, mode_t mode = 0, int dir = AT_FDCWD)
{
  int fd;
  do fd = ::openat(dir, name.constData(), flags | O_CLOEXEC, mode);
  while (fd < 0 && errno == EINTR);
  return fd;
}

bool SameInode(int fd, const QByteArray &path)
{
  struct stat a {};
  struct stat b {};
  return ::fstat(fd, &a) == 0 && ::stat(path.constData(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Removes the file Name of the folder Dir when nobody holds it: the writer
// that made it has ended without removing it. The lock is held over the
// removal, so a writer that has just made the file either finds it taken
// and makes another, or finds it gone once it holds the lock (Create checks
// both).
bool RemoveIfUnheld(int dir, const QByteArray &name)
{
  const int fd = OpenRetry(name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK, 0, dir);
  if (fd < 0) return false;
  struct stat st {};
  const bool removed = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
                       ::unlinkat(dir, name.constData(), 0) == 0;
  ::close(fd);
  return removed;
}

// Sixteen hex digits of a 64-bit random number, always all of them, so a
// name the writer made has one length for its target.
constexpr qsizetype kRandomDigits = 16;

QString RandomPart()
{
  return QStringLiteral("%1").arg(QRandomGenerator::global()->generate64(), int(kRandomDigits), 16, QLatin1Char('0'));
}

bool IsRandomPart(const QByteArray &text, qsizetype from)
{
  for (qsizetype i = from; i < from + kRandomDigits; ++i) {
    const char c = text[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

// Renames without replacing; where the file system cannot say so in one
// call, a hard link does, and where it has no links, the name is checked
// first (the only racy way left).
int RenameNoReplace(const QByteArray &from, const QByteArray &to)
{
  if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return errno;
  if (::link(from.constData(), to.constData()) == 0) {
    ::unlink(from.constData());
    return 0;
  }
  if (errno != EPERM && errno != EOPNOTSUPP && errno != EMLINK) return errno;
  struct stat st {};
  if (::lstat(to.constData(), &st) == 0) return EEXIST;
  return ::rename(from.constData(), to.constData()) == 0 ? 0 : errno;
}

} // namespace

TWholeFileWriter::TWholeFileWriter(const QString &target) : FTarget(target) {}

TWholeFileWriter::~TWholeFileWriter()
{
  Discard();
}

int TWholeFileWriter::RemoveStaleTemporaries(const QString &target)
{
  return RemoveStaleTemporaries(QStringList{target});
}

int TWholeFileWriter::RemoveStaleTemporaries(const QStringList &targets)
{
  std::set<QByteArray> folders;
  for (const QString &target : targets) folders.insert(QFile::encodeName(FolderOf(target)));
  int removed = 0;
  for (const QByteArray &folder : folders) removed += RemoveStaleIn(folder);
  return removed;
}

bool TWholeFileWriter::LocksSeenByEveryWriter(int64_t fsType, dev_t device)
{
  switch (uint32_t(fsType)) {
  case EXT4_SUPER_MAGIC:
  case BTRFS_SUPER_MAGIC:
  case XFS_SUPER_MAGIC:
  case F2FS_SUPER_MAGIC:
  case TMPFS_MAGIC:
  case RAMFS_MAGIC:
  case OVERLAYFS_SUPER_MAGIC:
  case MSDOS_SUPER_MAGIC:
  case EXFAT_SUPER_MAGIC:
  case UDF_SUPER_MAGIC:
  case NILFS_SUPER_MAGIC:
  case REISERFS_SUPER_MAGIC:
  case 0x5346544e: // ntfs
  case 0x7366746e: // ntfs3
  case 0x482b:     // hfsplus
  case 0x3153464a: // jfs
  case 0xca451a4e: // bcachefs
  case 0x2fc12fc1: // zfs
    return true;
  // A FUSE file system on a block device (a card's exFAT or NTFS) is a disk
  // of this computer; one without a device may be another computer's.
  case FUSE_SUPER_MAGIC: return major(device) != 0;
  default: return false;
  }
}

int TWholeFileWriter::RemoveStaleIn(const QByteArray &folder)
{
  DIR *dir = ::opendir(folder.constData());
  if (!dir) return 0;
  const int fd = ::dirfd(dir);
  struct statfs fs {};
  struct stat st {};
  if (::fstatfs(fd, &fs) != 0 || ::fstat(fd, &st) != 0 || !LocksSeenByEveryWriter(int64_t(fs.f_type), st.st_dev)) {
    // A writer on another computer holds its lock where this one cannot
    // see it: what looks left behind may still be growing.
    qCDebug(lcKpFoundation).noquote() << "temporary files: not cleared in" << QFile::decodeName(folder)
                                      << "(a file system other computers may write)";
    ::closedir(dir);
    return 0;
  }
  // Raw names, read without a look at each entry: a card folder may hold
  // hundreds of files.
  int removed = 0;
  while (const dirent *entry = ::readdir(dir)) {
    const QByteArray name(entry->d_name);
    if (!IsTemporaryName(name) || !RemoveIfUnheld(fd, name)) continue;
    qCInfo(lcKpFoundation).noquote() << "temporary files: removed" << QFile::decodeName(folder + name)
                                     << "left by a writer that ended";
    ++removed;
  }
  ::closedir(dir);
  return removed;
}

bool TWholeFileWriter::IsTemporaryName(const QByteArray &name)
{
  // Only the exact form Create makes, for any target: a user's
  // ".notes.txt.old.part" or "notes.txt.tmp-draft1" is the user's.
  static const QByteArray mark(TemporaryMark), suffix(".part");
  const qsizetype stemEnd = name.size() - suffix.size() - kRandomDigits - mark.size();
  return stemEnd > 1 && name.startsWith('.') && name.endsWith(suffix) && name.sliced(stemEnd, mark.size()) == mark &&
         IsRandomPart(name, stemEnd + mark.size());
}

bool TWholeFileWriter::Fail(int error)
{
  FError = SystemErrorText(error);
  return false;
}

bool TWholeFileWriter::Create(TStaleScan stale)
{
  Discard();
  FTargetExists = false;
  FError.clear();
  if (stale == RemoveStale) RemoveStaleTemporaries(FTarget);
  const QString prefix = FolderOf(FTarget) + QLatin1Char('.') + Stem(FTarget) + QLatin1String(TemporaryMark);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const QString temporary = prefix + RandomPart() + QStringLiteral(".part");
    const QByteArray name = QFile::encodeName(temporary);
    const int fd = OpenRetry(name, O_RDWR | O_CREAT | O_EXCL, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return Fail(errno);
    // Another writer's clean-up may have taken the file for a stale one
    // before the lock was on it: then it goes, and a new one is made. (A
    // file system without locks leaves the file unlocked and in place.)
    const bool taken = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    if (taken || !SameInode(fd, name)) {
      ::close(fd);
      continue;
    }
    FFd = fd;
    FTemporary = temporary;
    FDataSynced = false;
    return true;
  }
  return Fail(EEXIST);
}

bool TWholeFileWriter::Write(const QByteArray &data)
{
  if (FFd < 0) return Fail(EBADF);
  FDataSynced = false;
  const char *p = data.constData();
  qsizetype left = data.size();
  while (left > 0) {
    const ssize_t n = ::write(FFd, p, size_t(left));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Fail(n == 0 ? ENOSPC : errno);
    p += n;
    left -= n;
  }
  return true;
}

bool TWholeFileWriter::Rename(bool replace)
{
  const QByteArray from = QFile::encodeName(FTemporary), to = QFile::encodeName(FTarget);
  const int error = replace ? (::rename(from.constData(), to.constData()) == 0 ? 0 : errno) : RenameNoReplace(from, to);
  if (error == 0) return true;
  FTargetExists = error == EEXIST;
  return Fail(error);
}

bool TWholeFileWriter::SyncFolder(const QString &path, QString &error)
{
  const int fd = OpenRetry(QFile::encodeName(FolderOf(path)), O_RDONLY | O_DIRECTORY);
  // File systems that keep no folder data of their own cannot sync it.
  const bool synced = fd >= 0 && (::fsync(fd) == 0 || errno == EINVAL || errno == EOPNOTSUPP);
  const int failure = errno;
  if (fd >= 0) ::close(fd);
  if (!synced) error = SystemErrorText(failure);
  return synced;
}

bool TWholeFileWriter::SyncTogether(const std::vector<TWholeFileWriter *> &writers)
{
  bool synced = true;
  std::map<dev_t, std::vector<TWholeFileWriter *>> byDevice;
  for (TWholeFileWriter *writer : writers) {
    struct stat st {};
    if (writer->FFd >= 0 && ::fstat(writer->FFd, &st) == 0)
      byDevice[st.st_dev].push_back(writer);
    else
      synced = false;
  }
  // The first writer's descriptor was opened before any of the group wrote:
  // the sync reports every write failure on the file system since then.
  for (const auto &[device, group] : byDevice) {
    if (::syncfs(group.front()->FFd) != 0) {
      synced = false;
      continue;
    }
    for (TWholeFileWriter *writer : group) writer->FDataSynced = true;
  }
  return synced;
}

// After a sync of the file system only the file's own write failures are
// left to collect; waiting for its (finished) writes does that without
// another flush of the disk.
bool TWholeFileWriter::SyncData()
{
  if (!FDataSynced) return ::fsync(FFd) == 0;
  int result;
  do
    result =
        ::sync_file_range(FFd, 0, 0, SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
  while (result != 0 && errno == EINTR);
  return result == 0;
}

bool TWholeFileWriter::Commit(bool replace, TFolderSync folderSync)
{
  FTargetExists = false;
  if (FFd < 0) return Fail(EBADF);
  if (!SyncData()) {
    Fail(errno);
    Discard();
    return false;
  }
  if (!Rename(replace)) {
    if (!FTargetExists) Discard();
    return false;
  }
  FTemporary.clear(); // the name is the target's now
  const int closed = ::close(FFd);
  const int error = errno;
  FFd = -1;
  if (closed != 0) return Fail(error);
  return folderSync == SyncLater || SyncFolder(FTarget, FError);
}

void TWholeFileWriter::Discard()
{
  if (FFd >= 0) {
    // Unlinked while still held, so no clean-up takes it for a stale one.
    if (!FTemporary.isEmpty()) ::unlink(QFile::encodeName(FTemporary).constData());
    ::close(FFd);
    FFd = -1;
  }
  FTemporary.clear();
}

bool SaveFileWhole(const QString &path, const QByteArray &data, bool replace, QString &error)
{
  TWholeFileWriter writer(path);
  const bool saved = writer.Create() && writer.Write(data) && writer.Commit(replace);
  if (!saved) error = writer.Error();
  return saved;
}

} // namespace kp
