#include "UnitTempFiles.h"
#include "FoundationLog.h"

#include "Errors.h"
#include "UnitTranslate.h"
#include "UnitUtilsFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kp {

namespace {

// Makes Path as a folder closed to others, or accepts it when it already is
// one of this user's, closed to others and no symbolic link.
bool OwnPrivateFolder(const QString &path)
{
  const QByteArray native = QFile::encodeName(path);
  if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st {};
  if (::lstat(native.constData(), &st) != 0) return false;
  return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}

// The folder of every process of the program of this user.
QString ProgramFolder()
{
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) return runtime + QStringLiteral("/kestril-player");
  // The shared folder holds every user's: the name says whose it is.
  return QDir::tempPath() + QStringLiteral("/kestril-player-%1").arg(::getuid());
}

// Whether Path is a file of this user's (no link) that holds Bytes and
// nothing else: the same text written earlier in this session.
bool HoldsExactly(const QByteArray &path, const QByteArray &bytes)
{
  const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  QFile file;
  const bool same = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::getuid() &&
                    st.st_size == bytes.size() && file.open(fd, QIODevice::ReadOnly) && file.readAll() == bytes;
  file.close();
  ::close(fd);
  return same;
}

QString NumberedName(const QString &name, int n)
{
  if (n == 1) return name;
  const int dot = name.lastIndexOf(QLatin1Char('.'));
  const QString stem = dot > 0 ? name.left(dot) : name, ext = dot > 0 ? name.mid(dot) : QString();
  return QStringLiteral("%1 (%2)%3").arg(stem).arg(n).arg(ext);
}

} // namespace

QString TempFilesFolder()
{
  const QString program = ProgramFolder();
  const QString own = program + QStringLiteral("/%1").arg(::getpid());
  if (OwnPrivateFolder(program) && OwnPrivateFolder(own)) return own;
  qCWarning(lcKpFoundation).noquote() << "temporary files: no private folder at" << own;
  return {};
}

QString CreateTempFile(const QString &name, const QByteArray &bytes, QString &error)
{
  const QString folder = TempFilesFolder();
  if (folder.isEmpty()) {
    error = Translate(u"Mes_NoTempFolder");
    return {};
  }
  // The folder is this process's alone, so the numbers run out only with
  // the disk: opening one track many times finds its own file again.
  for (int n = 1;; ++n) {
    const QString path = folder + QLatin1Char('/') + NumberedName(name, n);
    const QByteArray native = QFile::encodeName(path);
    // O_EXCL: a name taken by anything, a dangling link included, is passed over.
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      const int failure = errno;
      if (failure == EEXIST && HoldsExactly(native, bytes)) return path;
      if (failure == EEXIST || failure == ELOOP) continue;
      error = SystemErrorText(failure);
      return {};
    }
    const bool written = WriteAllToFd(fd, bytes);
    if (::close(fd) == 0 && written) return path;
    error = SystemErrorText(errno);
    ::unlink(native.constData());
    return {};
  }
}

void RemoveTempFilesFolder()
{
  const QString own = ProgramFolder() + QStringLiteral("/%1").arg(::getpid());
  if (QFileInfo(own).isDir() && !QFileInfo(own).isSymLink()) QDir(own).removeRecursively();
}

void RemoveStaleTempFolders()
{
  const QString program = ProgramFolder();
  if (!QFileInfo(program).isDir() || !OwnPrivateFolder(program)) return;
  for (const QString &entry : QDir(program).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks)) {
    bool number = false;
    const qint64 pid = entry.toLongLong(&number);
    if (!number || pid <= 0 || pid == ::getpid()) continue;
    // Gone when no process has the number any more (EPERM: one runs).
    if (::kill(pid_t(pid), 0) == 0 || errno != ESRCH) continue;
    QDir(program + QLatin1Char('/') + entry).removeRecursively();
  }
}

} // namespace kp
