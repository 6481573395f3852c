#pragma once
// Replacing the running program by a downloaded one: the versioned file
// names and the renames that swap the files, undone when the new program
// cannot be started. QtCore only; the file system and the launcher are
// passed in so the whole plan runs in a temporary folder under test.

#include <QString>
#include <QStringList>
#include <functional>

namespace kp {

// Running with "_v" + V put before the extension of its file name (a
// trailing "_v" + digits and dots there removed first; nothing put in for
// an empty V). V is used through SanitizeFileName. The result is never
// Running itself: such a name gets "_" before its extension.
QString VersionedExeName(const QString &running, const QString &version);

struct TRenamePlan {
  QString Running; // the program's file now
  QString NewFile; // where the download is written
  QString Current; // the name the new program gets
  QString Old;     // the name the running program's file moves to
};
// Exists tells whether a file is present (the Old name gets "_" appended
// while it names one).
TRenamePlan MakeRenamePlan(const QString &running, const QString &versionText,
                           const std::function<bool(const QString &)> &exists);

// Starts Program with Arguments detached; false when it could not be started.
using TLauncher = std::function<bool(const QString &program, const QStringList &arguments)>;

// Moves Running to Old and NewFile to Current, then launches Current with
// "/whatsnew" and "/del" + Old. Any failure undoes the renames that were
// made and deletes the new file; Error then says what went wrong.
bool ExecuteRenamePlan(const TRenamePlan &plan, const TLauncher &launch, QString &error);

} // namespace kp
