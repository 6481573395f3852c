#include "UnitUtilsFiles.h"

#include "Errors.h"
#include "UnitUtils.h"
#include "WholeFileWriter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kp {

namespace {

bool IsReservedChar(QChar c)
{
  switch (c.unicode()) {
  case ':':
  case '"':
  case '*':
  case '<':
  case '>':
  case '?':
  case '|': return true;
  default: return false;
  }
}

} // namespace

bool WriteAllToFd(int fd, const QByteArray &data)
{
  const char *p = data.constData();
  qsizetype left = data.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    left -= n;
  }
  return true;
}

namespace {

timespec NanosToTimespec(int64_t nanos)
{
  int64_t secs = nanos / 1000000000;
  int64_t rest = nanos % 1000000000;
  if (rest < 0) { // utimensat wants 0 <= tv_nsec < 1e9
    rest += 1000000000;
    --secs;
  }
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(secs);
  ts.tv_nsec = static_cast<long>(rest);
  return ts;
}

} // namespace

// ---------------------------------------------------------------- folders

QString GetSpecialFolder(int id)
{
  QStandardPaths::StandardLocation location;
  switch (id) {
  case sfDesktop:
  case sfDesktopDirectory: location = QStandardPaths::DesktopLocation; break;
  case sfDocuments: location = QStandardPaths::DocumentsLocation; break;
  case sfVideos: location = QStandardPaths::MoviesLocation; break;
  default: return {};
  }
  // Not made here: a folder appears when the user copies or saves into it.
  return QStandardPaths::writableLocation(location);
}

bool ForceDirs(const QString &path)
{
  if (path.isEmpty()) return true;
  QString p = path;
  if (p.size() > 1 && p.endsWith(QLatin1Char('/'))) p.chop(1);
  if (!QFileInfo(p).isDir()) QDir().mkpath(p); // its error shows in the check below
  return QFileInfo(p).isDir();
}

// ---------------------------------------------------------------- files

QString SanitizeFileName(const QString &name)
{
  QString out = name;
  for (QChar &c : out) {
    if (IsReservedChar(c) || c == QLatin1Char('/') || c == QLatin1Char('\\')) c = QLatin1Char('_');
  }
  return out;
}

void SanitizePath(QString &path)
{
  const int start = path.lastIndexOf(QLatin1Char('/')) + 1;
  for (int i = start; i < path.size(); ++i) {
    if (IsReservedChar(path[i])) path[i] = QLatin1Char('_');
  }
}

QString SanitizedPath(const QString &path)
{
  QString out = path;
  SanitizePath(out);
  return out;
}

bool SaveStringToFile(QString &path, const QByteArray &text)
{
  QString error;
  return SaveStringToFile(path, text, error);
}

bool SaveStringToFile(QString &path, const QByteArray &text, QString &error)
{
  SanitizePath(path);
  if (path.isEmpty()) {
    error = SystemErrorText(ENOENT);
    return false;
  }
  return SaveFileWhole(path, text, true, error);
}

int64_t GetFileSize64(const QString &path)
{
  const QFileInfo info(path);
  return info.isFile() ? info.size() : 0;
}

bool SetFileTimes(const QString &path, TDateTime created, TDateTime modified)
{
  Q_UNUSED(created); // Linux keeps no settable creation time
  if (!(modified > 0)) return false;
  const timespec t = NanosToTimespec(LocalDateTimeToFileTime(modified));
  const timespec times[2] = {t, t};
  return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
}

bool CopyFileTimes(const QString &source, const QString &dest)
{
  struct stat st {};
  if (::stat(QFile::encodeName(source).constData(), &st) != 0) return false;
  const timespec times[2] = {st.st_atim, st.st_mtim};
  return ::utimensat(AT_FDCWD, QFile::encodeName(dest).constData(), times, 0) == 0;
}

QString GetAppFileNameW()
{
  if (QCoreApplication::instance()) return QCoreApplication::applicationFilePath();
  return QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
}

// ---------------------------------------------------------------- resources

QString ResourcePath(const QString &name)
{
  return QStringLiteral(":/") + name;
}

bool ResourceExists(const QString &name)
{
  return !name.isEmpty() && QFileInfo(ResourcePath(name)).isFile();
}

QByteArray LoadResourceText(const QString &name)
{
  if (!ResourceExists(name)) return {};
  QFile file(ResourcePath(name));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

} // namespace kp
