#include "GpsLogNaming.h"

#include "UnitUtils.h"
#include "UnitUtilsFiles.h"

#include <QFile>
#include <sys/stat.h>

namespace kp {

QString GpsLogSideFileName(const QString &logPath, const QString &ext, const QString &suffix)
{
  return SanitizedPath(ChangeFileExt(logPath, suffix + QLatin1Char('.') + ext));
}

bool IsSameExistingFile(const QString &a, const QString &b)
{
  struct stat sa {
  }, sb{};
  if (::stat(QFile::encodeName(a).constData(), &sa) != 0) return false;
  if (::stat(QFile::encodeName(b).constData(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

} // namespace kp
