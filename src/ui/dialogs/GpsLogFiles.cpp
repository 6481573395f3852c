#include "GpsLogFiles.h"

#include "GpsLogNaming.h"
#include "UnitGpsConverters.h"
#include "UnitMovingInfo.h"
#include "UnitUtilsFiles.h"

#include <QFile>
#include <QFileInfo>

namespace kp {

namespace {

bool IsTheLog(const QString &target, const QString &log)
{
  return target == log || IsSameExistingFile(target, log);
}

} // namespace

bool ConvertGpsLog(const QString &path, const std::vector<const TGpsInfoConverter *> &formats, QStringList &failures)
{
  TTrackInfo track;
  {
    const auto info = TMovingInfo::LoadFromFile(path, false);
    if (!info) {
      failures << path + QStringLiteral(": cannot be read as a GPS log");
      return false;
    }
    info->ToTrackInfo(track);
  }
  bool allWritten = true;
  for (const TGpsInfoConverter *format : formats) {
    QString target = GpsLogSideFileName(path, format->GetExt());
    if (IsTheLog(target, path)) {
      failures << target + QStringLiteral(": skipped, it is the log itself");
      allWritten = false;
      continue;
    }
    QByteArray text;
    if (!format->ExportToText(track, text)) {
      failures << target + QStringLiteral(": the track cannot be written as ") + format->GetCaption();
      allWritten = false;
      continue;
    }
    if (!SaveStringToFile(target, text)) {
      failures << target + QStringLiteral(": cannot be written");
      allWritten = false;
    }
  }
  return allWritten;
}

bool DeleteGpsLog(const QString &path, QStringList &failures)
{
  for (const TGpsInfoConverter *format : GpsExportConverters()) {
    const QString side = GpsLogSideFileName(path, format->GetExt());
    if (IsTheLog(side, path) || !QFileInfo::exists(side)) continue;
    if (!QFile::remove(side)) failures << side + QStringLiteral(": cannot be deleted");
  }
  QFile log(path);
  if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink()) return true;
  if (!log.remove()) {
    failures << path + QStringLiteral(": ") + log.errorString();
    return false;
  }
  return true;
}

} // namespace kp
