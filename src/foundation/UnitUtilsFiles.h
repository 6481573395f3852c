#pragma once
// Drives, folders, whole-file writing, file times, file-name sanitising and
// the program's embedded resources. None of these throws: a missing file,
// drive or resource gives false, 0 or an empty result.
//
// A "drive" is a mounted volume, named by the folder it is mounted on.

#include "DateTime.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace kp {

// ---------------------------------------------------------------- drives

// GetDriveState results.
enum TDriveState : int {
  dsNotReady = 0,   // no such folder, or no medium
  dsError = 1,      // any other failure
  dsEmpty = 2,      // ready, no entries
  dsHasEntries = 3, // ready, at least one entry
};

struct TVolume {
  QString Root;   // the folder the volume is mounted on
  QString Device; // the block device, "/dev/sdb1"
  QString FsType;
};

// Where the drive functions look: the kernel's device tree and the table of
// mounted volumes. Tests point both at a fake tree.
struct TDriveSources {
  QString SysRoot = QStringLiteral("/sys");
  QString MountsFile = QStringLiteral("/proc/self/mounts");
};
TDriveSources DriveSources();
void SetDriveSources(const TDriveSources &sources);

// The mounted volumes that sit on a block device, in mount order.
QList<TVolume> ListVolumes();
// The volume mounted exactly on Root (the last one when several are).
bool FindVolume(const QString &root, TVolume &volume);

// True when the volume's block device hangs below a USB device.
bool IsUsbDrive(const QString &root);
// True when the kernel reports the volume's disk as removable.
bool IsRemovableDrive(const QString &root);
TDriveState GetDriveState(const QString &root);
// Bytes free to the user and total bytes of the file system holding Root;
// false (both untouched) when the query fails.
bool GetDiskSpace(const QString &root, int64_t &freeBytes, int64_t &totalBytes);
// A camera's memory card: a removable volume on the USB bus, readable, of a
// size above 0. A card in a reader on the mmc bus is not one.
bool IsCardDrive(const QString &root);
// Roots of every mounted card, in mount order.
QStringList CardDrives();
// The volume's label; empty when it has none.
QString GetVolumeLabel(const QString &root);

// ---------------------------------------------------------------- folders

// The ids the program asks for.
enum TSpecialFolder : int {
  sfDesktop = 0,
  sfDocuments = 5,
  sfVideos = 14,
  sfDesktopDirectory = 16,
};
// The user's folder of that kind, which need not exist yet (what writes into
// it makes it); empty for an unknown id.
QString GetSpecialFolder(int id);

// Creates the folder and its missing parents; true when it exists
// afterwards, and for an empty path.
bool ForceDirs(const QString &path);

// ---------------------------------------------------------------- files

// Writes all of Data to an open descriptor, retrying short writes and
// interrupted calls; false on any error.
bool WriteAllToFd(int fd, const QByteArray &data);

// File names the program builds: replaces ":", '"', "*", "<", ">", "?", "|"
// and both slashes by "_". Use it on a name made from date or time text
// before joining it to a folder.
QString SanitizeFileName(const QString &name);
// Replaces those characters (slashes excepted) in the last component of
// Path only: the user's folders may legally hold them.
void SanitizePath(QString &path);
QString SanitizedPath(const QString &path);

// Sanitises Path in place and writes Text as the file's whole content,
// replacing a file of that name (TWholeFileWriter: the file is whole or
// untouched). False, with the system's reason in Error, when the file could
// not be written.
bool SaveStringToFile(QString &path, const QByteArray &text);
bool SaveStringToFile(QString &path, const QByteArray &text, QString &error);

// The file's size in bytes; 0 when it is missing or not a regular file.
int64_t GetFileSize64(const QString &path);

// Sets the last-access and last-write times to Modified (a local
// date-time). The creation time cannot be set on Linux and Created is
// ignored; a Modified of 0 or less leaves the times alone and gives false.
bool SetFileTimes(const QString &path, TDateTime created, TDateTime modified);
// Copies the last-access and last-write times to the nanosecond.
bool CopyFileTimes(const QString &source, const QString &dest);

// Full path of the running program.
QString GetAppFileNameW();

// ---------------------------------------------------------------- resources

// Resources are compiled into the program under ":/" + their file name
// ("translate_en.txt", "gm.html").
QString ResourcePath(const QString &name);
bool ResourceExists(const QString &name);
// The resource's bytes; empty when there is no such resource.
QByteArray LoadResourceText(const QString &name);

} // namespace kp
