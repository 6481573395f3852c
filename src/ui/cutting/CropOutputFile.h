#pragma once
// The cut's files appear under their names only when they are complete: each
// is written under a temporary name beside its target, flushed to the disk
// and then renamed over it. A job cut short (a crash, a kill, a power loss)
// leaves at most a temporary file, never a part of a movie or side file
// under the name the user chose. Main thread; no exceptions.

#include <QByteArray>
#include <QString>

namespace kp {

// Creates a new empty file beside Path (Path + ".tmp-" + six characters),
// with the permissions of any new file; its name, or empty with Error.
QString CreateTempBeside(const QString &path, QString &error);

// Flushes Temp to the disk, renames it over Path and makes the rename
// durable. On failure Temp is removed, Path left as it was, and Error says
// why.
bool CommitTemp(const QString &temp, const QString &path, QString &error);

// Writes Data as the whole content of Path in the same way.
bool SaveFileComplete(const QString &path, const QByteArray &data, QString &error);

} // namespace kp
