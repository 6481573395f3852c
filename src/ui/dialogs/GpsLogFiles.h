#pragma once
// What the GPS-log window does to files: converting a log into side files
// of the ticked export formats, and deleting a log with those side files.
// Both name side files with GpsLogFormatFile, so a delete removes exactly
// what a conversion wrote. Failures come back as readable lines; nothing
// throws. Any thread.

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

namespace kp {

class TGpsInfoConverter;
class TMovingInfo;

// The side file a format writes beside the log (formats sharing an
// extension differ by their suffix).
QString GpsLogFormatFile(const QString &path, const TGpsInfoConverter &format);
// The format's row in the window: its name and the ending of its file.
QString GpsLogFormatLabel(const TGpsInfoConverter &format);
// A log's telemetry; null when it has none. NoFix then tells a log of a
// known format that holds no fix (only "no fix" sentences) from a file that
// no format reads.
std::unique_ptr<TMovingInfo> LoadGpsLog(const QString &path, bool &noFix);
// The points of a log that have a position.
int GpsLogFixCount(const TMovingInfo &info);
// The time from a log's first to its last point with a position, in days;
// -1 without such a point.
double GpsLogFixSpan(const TMovingInfo &info);

// The side files converting the log into Formats would replace: those that
// exist, the log itself left out.
QStringList GpsLogExistingTargets(const QString &path, const std::vector<const TGpsInfoConverter *> &formats);

// Writes one side file per converter; true when every one was written or
// is one of Keep (existing files the user chose not to replace). A side
// file that would be the log itself is skipped and reported; a log without
// a single fix writes nothing and says so.
bool ConvertGpsLog(const QString &path, const std::vector<const TGpsInfoConverter *> &formats, QStringList &failures,
                   const QStringList &keep = {});

// What a delete of the log removes: its existing side files of every export
// format, then the log itself.
QStringList GpsLogFilesToDelete(const QString &path);
// Deletes Files (as GpsLogFilesToDelete listed them for the log Path).
// Missing files are not failures; true when the log is gone.
bool DeleteGpsLog(const QString &path, const QStringList &files, QStringList &failures);
bool DeleteGpsLog(const QString &path, QStringList &failures);

} // namespace kp
