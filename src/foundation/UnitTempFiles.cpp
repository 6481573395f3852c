#include "UnitTempFiles.h"
#include "FoundationLog.h"

#include "UnitUtilsFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kp {

namespace {

QString ErrnoText()
{
  return QString::fromLocal8Bit(std::strerror(errno));
}

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
    error = QStringLiteral("no private temporary folder");
    return {};
  }
  for (int n = 1; n <= TempFileNameCount; ++n) {
    const QString path = folder + QLatin1Char('/') + NumberedName(name, n);
    // O_EXCL: a name taken by anything, a dangling link included, is passed over.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST || errno == ELOOP) continue;
      error = ErrnoText();
      return {};
    }
    const bool written = WriteAllToFd(fd, bytes);
    if (::close(fd) == 0 && written) return path;
    error = ErrnoText();
    ::unlink(QFile::encodeName(path).constData());
    return {};
  }
  error = QStringLiteral("every name is taken");
  return {};
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
