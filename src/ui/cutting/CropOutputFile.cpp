#include "CropOutputFile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace kp {

namespace {

QString ErrnoText(int error)
{
  return QString::fromLocal8Bit(std::strerror(error));
}

// An open descriptor of a file made for this call alone, or -1.
int CreateUnique(const QString &path, QString &temp)
{
  static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = path + QStringLiteral(".tmp-");
    for (int i = 0; i < 6; ++i) temp += QLatin1Char(letters[QRandomGenerator::global()->bounded(62)]);
    // 0666 less the umask, as any file the program makes.
    const int fd = ::open(QFile::encodeName(temp).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

bool WriteAll(int fd, const QByteArray &data)
{
  qsizetype done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += n;
  }
  return true;
}

void SyncFolder(const QString &path)
{
  const int fd =
      ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

} // namespace

QString CreateTempBeside(const QString &path, QString &error)
{
  QString temp;
  const int fd = CreateUnique(path, temp);
  if (fd < 0) {
    error = ErrnoText(errno);
    return {};
  }
  ::close(fd);
  return temp;
}

bool CommitTemp(const QString &temp, const QString &path, QString &error)
{
  const QByteArray from = QFile::encodeName(temp), to = QFile::encodeName(path);
  const int fd = ::open(from.constData(), O_RDONLY | O_CLOEXEC);
  int failure = fd < 0 || ::fsync(fd) != 0 ? errno : 0;
  if (fd >= 0) ::close(fd);
  if (failure == 0 && ::rename(from.constData(), to.constData()) != 0) failure = errno;
  if (failure != 0) {
    error = ErrnoText(failure);
    ::unlink(from.constData());
    return false;
  }
  SyncFolder(path);
  return true;
}

bool SaveFileComplete(const QString &path, const QByteArray &data, QString &error)
{
  QString temp;
  const int fd = CreateUnique(path, temp);
  if (fd < 0) {
    error = ErrnoText(errno);
    return false;
  }
  const bool written = WriteAll(fd, data);
  const int writeError = errno;
  if (::close(fd) != 0 || !written) {
    error = ErrnoText(written ? errno : writeError);
    ::unlink(QFile::encodeName(temp).constData());
    return false;
  }
  return CommitTemp(temp, path, error);
}

} // namespace kp
