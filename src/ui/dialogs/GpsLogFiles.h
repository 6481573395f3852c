#pragma once
// What the GPS-log window does to files: converting a log into side files
// of the ticked export formats, and deleting a log with those side files.
// Both name side files with GpsLogSideFileName, so a delete removes exactly
// what a conversion wrote. Failures come back as readable lines; nothing
// throws. Any thread.

#include <QString>
#include <QStringList>
#include <vector>

namespace kp {

class TGpsInfoConverter;

// Writes one side file per converter; true when every one was written.
// A side file that would be the log itself is skipped and reported.
bool ConvertGpsLog(const QString &path, const std::vector<const TGpsInfoConverter *> &formats, QStringList &failures);

// Deletes the log's side files of every export format, then the log.
// Missing files are not failures; true when the log is gone.
bool DeleteGpsLog(const QString &path, QStringList &failures);

} // namespace kp
