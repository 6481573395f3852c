#include "GpsLogFiles.h"

#include "GpsLogNaming.h"
#include "UnitGpsConverters.h"
#include "UnitMovingInfo.h"
#include "UnitTranslate.h"
#include "UnitUtilsFiles.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace kp {

namespace {

bool IsTheLog(const QString &target, const QString &log)
{
  return target == log || IsSameExistingFile(target, log);
}

bool HasFix(const TTrackInfo &track)
{
  for (const TTrackInfoItem &item : track.Items)
    if (item.Kind == ikGps && !item.NoFix) return true;
  return false;
}

bool Exists(const QString &path)
{
  return QFileInfo::exists(path) || QFileInfo(path).isSymLink();
}

} // namespace

QString GpsLogFormatFile(const QString &path, const TGpsInfoConverter &format)
{
  return GpsLogSideFileName(path, format.GetExt(), format.GetFileSuffix());
}

QString GpsLogFormatLabel(const TGpsInfoConverter &format)
{
  return format.GetName() + QStringLiteral(" (") + format.GetFileSuffix() + QLatin1Char('.') + format.GetExt() +
         QLatin1Char(')');
}

std::unique_ptr<TMovingInfo> LoadGpsLog(const QString &path, bool &noFix)
{
  TTrackInfo track;
  if (!GpsConvertersLoad(LoadFileToString(path), path, track, &noFix)) return nullptr;
  auto info = TMovingInfo::LoadFromTrackInfo(track, path, false);
  noFix = !info;
  return info;
}

int GpsLogFixCount(const TMovingInfo &info)
{
  int fixes = 0;
  for (const TMovingPoint &point : info.Points) fixes += !point.NoFix;
  return fixes;
}

double GpsLogFixSpan(const TMovingInfo &info)
{
  const auto hasFix = [](const TMovingPoint &point) { return !point.NoFix; };
  const auto first = std::find_if(info.Points.begin(), info.Points.end(), hasFix);
  if (first == info.Points.end()) return -1;
  const auto last = std::find_if(info.Points.rbegin(), info.Points.rend(), hasFix);
  return last->Time - first->Time;
}

QStringList GpsLogExistingTargets(const QString &path, const std::vector<const TGpsInfoConverter *> &formats)
{
  QStringList existing;
  for (const TGpsInfoConverter *format : formats) {
    const QString target = GpsLogFormatFile(path, *format);
    if (!IsTheLog(target, path) && Exists(target) && !existing.contains(target)) existing << target;
  }
  return existing;
}

bool ConvertGpsLog(const QString &path, const std::vector<const TGpsInfoConverter *> &formats, QStringList &failures,
                   const QStringList &keep)
{
  TTrackInfo track;
  {
    bool noFix = false;
    const auto info = LoadGpsLog(path, noFix);
    if (!info && !noFix) {
      failures << path + QStringLiteral(": cannot be read as a GPS log");
      return false;
    }
    if (info) info->ToTrackInfo(track);
  }
  // Every format would be an empty shell (a 0-byte ".dat", a GPX without
  // points) that looks like a converted track.
  if (!HasFix(track)) {
    failures << path + QStringLiteral(": ") + Translate(u"GPSLog_NoFix");
    return false;
  }
  bool allWritten = true;
  for (const TGpsInfoConverter *format : formats) {
    QString target = GpsLogFormatFile(path, *format);
    if (IsTheLog(target, path)) {
      failures << target + QStringLiteral(": skipped, it is the log itself");
      allWritten = false;
      continue;
    }
    if (keep.contains(target)) continue;
    QByteArray text;
    if (!format->ExportToText(track, text)) {
      failures << target + QStringLiteral(": the track cannot be written as ") + format->GetCaption();
      allWritten = false;
      continue;
    }
    QString error;
    if (!SaveStringToFile(target, text, error)) {
      failures << target + QStringLiteral(": ") + error;
      allWritten = false;
    }
  }
  return allWritten;
}

QStringList GpsLogFilesToDelete(const QString &path)
{
  QStringList files;
  for (const TGpsInfoConverter *format : GpsExportConverters()) {
    const QString side = GpsLogFormatFile(path, *format);
    if (!IsTheLog(side, path) && !files.contains(side) && Exists(side)) files << side;
  }
  if (Exists(path)) files << path;
  return files;
}

bool DeleteGpsLog(const QString &path, const QStringList &files, QStringList &failures)
{
  for (const QString &file : files) {
    QFile f(file);
    if (Exists(file) && !f.remove()) failures << file + QStringLiteral(": ") + f.errorString();
  }
  return !Exists(path);
}

bool DeleteGpsLog(const QString &path, QStringList &failures)
{
  return DeleteGpsLog(path, GpsLogFilesToDelete(path), failures);
}

} // namespace kp
