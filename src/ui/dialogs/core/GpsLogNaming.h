#pragma once
// Names of the files the GPS-log window writes and deletes beside a log.
// Converting and deleting use the same function, so a delete removes exactly
// what a conversion wrote.

#include <QString>

namespace kp {

// Log with the extension of its file-name part replaced by Suffix + "." +
// Ext (or that appended when it has none), with the file-name characters
// that SaveStringToFile replaces already replaced.
QString GpsLogSideFileName(const QString &logPath, const QString &ext, const QString &suffix = {});

// True when both paths name one existing file (same device and inode), so a
// name differing only in case on a card is caught too.
bool IsSameExistingFile(const QString &a, const QString &b);

} // namespace kp
