#pragma once
// Files the program hands to other programs (a track for the globe viewer)
// live in a folder of this user and this process: under $XDG_RUNTIME_DIR (or
// the shared temporary folder) in "kestril-player[-<uid>]/<pid>", every part
// made by this user and closed to others. Each file is made new: a name
// already taken, by a file or a symbolic link, is never written through.

#include <QByteArray>
#include <QString>

namespace kp {

// This process's folder, made when missing; empty when a folder on the way
// is not this user's own (or cannot be made).
QString TempFilesFolder();

// Writes Bytes to a new file in this process's folder under Name (a file
// name, no folder), or under the first of its numbered names ("<name> (2)",
// ...) that is free; a name that already holds these very bytes is used as
// it is. The path, or empty with Error saying why.
QString CreateTempFile(const QString &name, const QByteArray &bytes, QString &error);

// Removes this process's folder with what it holds.
void RemoveTempFilesFolder();

// Removes the folders of processes of the program that no longer run (their
// files stay behind after a crash).
void RemoveStaleTempFolders();

} // namespace kp
