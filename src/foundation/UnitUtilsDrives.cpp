// Drives are mounted volumes. What the kernel knows about the device under a
// volume (its bus, whether it is removable) is read from sysfs:
// /sys/class/block/<name> links into /sys/devices, where every USB device on
// the way to the block device has a "subsystem" link to .../bus/usb.

#include "UnitUtilsFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>

#include <cerrno>
#include <dirent.h>
#include <mutex>
#include <sys/statvfs.h>

namespace kp {

namespace {

std::mutex g_sourcesMutex;
TDriveSources g_sources;

// Mount-table fields write blanks, tabs, newlines and backslashes as "\ooo".
QString DecodeMountField(const QByteArray &field)
{
  QByteArray out;
  for (int i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const QByteArray oct = field.mid(i + 1, 3);
      bool ok = false;
      const int v = oct.toInt(&ok, 8);
      if (ok && oct.size() == 3 && v < 256) {
        out += char(v);
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return QFile::decodeName(out);
}

QString TrimmedRoot(const QString &root)
{
  QString r = QDir::cleanPath(root);
  return r.isEmpty() ? root : r;
}

// The sysfs folder of the volume's block device (a partition or a whole
// disk), symbolic links resolved; empty when sysfs does not know it.
QString DeviceSysDir(const QString &root)
{
  TVolume volume;
  if (!FindVolume(root, volume)) return {};
  QString name = QFileInfo(volume.Device).fileName();
  const QString realDevice = QFileInfo(volume.Device).canonicalFilePath(); // /dev/disk/by-label/... links
  if (!realDevice.isEmpty()) name = QFileInfo(realDevice).fileName();
  return QFileInfo(DriveSources().SysRoot + QLatin1String("/class/block/") + name).canonicalFilePath();
}

// The whole disk that holds the device: a partition's parent folder.
QString DiskSysDir(const QString &deviceDir)
{
  if (deviceDir.isEmpty()) return {};
  if (QFileInfo::exists(deviceDir + QLatin1String("/partition"))) return QFileInfo(deviceDir).path();
  return deviceDir;
}

bool IsUsbDevice(const QString &dir)
{
  const QFileInfo link(dir + QLatin1String("/subsystem"));
  return link.isSymLink() && QFileInfo(link.symLinkTarget()).fileName() == QLatin1String("usb");
}

} // namespace

TDriveSources DriveSources()
{
  std::lock_guard<std::mutex> guard(g_sourcesMutex);
  return g_sources;
}

void SetDriveSources(const TDriveSources &sources)
{
  std::lock_guard<std::mutex> guard(g_sourcesMutex);
  g_sources = sources;
}

QList<TVolume> ListVolumes()
{
  QList<TVolume> volumes;
  QFile mounts(DriveSources().MountsFile);
  if (!mounts.open(QIODevice::ReadOnly)) return volumes;
  const QList<QByteArray> lines = mounts.readAll().split('\n');
  for (const QByteArray &line : lines) {
    const QList<QByteArray> fields = line.simplified().split(' ');
    if (fields.size() < 3 || !fields[0].startsWith("/dev/")) continue;
    volumes.append(
        {TrimmedRoot(DecodeMountField(fields[1])), DecodeMountField(fields[0]), QString::fromUtf8(fields[2])});
  }
  return volumes;
}

bool FindVolume(const QString &root, TVolume &volume)
{
  const QString wanted = TrimmedRoot(root);
  bool found = false;
  for (const TVolume &v : ListVolumes()) {
    if (v.Root == wanted) {
      volume = v;
      found = true;
    }
  }
  return found;
}

bool IsUsbDrive(const QString &root)
{
  const QString devices = QFileInfo(DriveSources().SysRoot + QLatin1String("/devices")).canonicalFilePath();
  QString dir = DiskSysDir(DeviceSysDir(root));
  if (devices.isEmpty()) return false;
  while (dir.startsWith(devices + QLatin1Char('/'))) {
    if (IsUsbDevice(dir)) return true;
    dir = QFileInfo(dir).path();
  }
  return false;
}

bool IsRemovableDrive(const QString &root)
{
  const QString disk = DiskSysDir(DeviceSysDir(root));
  if (disk.isEmpty()) return false;
  QFile flag(disk + QLatin1String("/removable"));
  return flag.open(QIODevice::ReadOnly) && flag.readAll().trimmed() == "1";
}

TDriveState GetDriveState(const QString &root)
{
  if (root.isEmpty()) return dsNotReady;
  DIR *dir = ::opendir(QFile::encodeName(root).constData());
  if (!dir) {
    const int e = errno;
    return (e == ENOENT || e == ENOTDIR || e == ENOMEDIUM || e == ENXIO || e == ENODEV) ? dsNotReady : dsError;
  }
  TDriveState state = dsEmpty;
  errno = 0;
  while (const dirent *entry = ::readdir(dir)) {
    const char *n = entry->d_name;
    if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
    state = dsHasEntries;
    break;
  }
  if (state == dsEmpty && errno != 0) state = dsError;
  ::closedir(dir);
  return state;
}

bool GetDiskSpace(const QString &root, int64_t &freeBytes, int64_t &totalBytes)
{
  struct statvfs st {};
  if (root.isEmpty() || ::statvfs(QFile::encodeName(root).constData(), &st) != 0) return false;
  int64_t freeProduct = 0, totalProduct = 0;
  if (__builtin_mul_overflow(int64_t(st.f_bavail), int64_t(st.f_frsize), &freeProduct) ||
      __builtin_mul_overflow(int64_t(st.f_blocks), int64_t(st.f_frsize), &totalProduct))
    return false;
  freeBytes = freeProduct;
  totalBytes = totalProduct;
  return true;
}

bool IsCardDrive(const QString &root)
{
  TVolume volume;
  if (!FindVolume(root, volume) || !IsRemovableDrive(root) || !IsUsbDrive(root)) return false;
  const TDriveState state = GetDriveState(root);
  if (state != dsEmpty && state != dsHasEntries) return false;
  int64_t freeBytes = 0, totalBytes = 0;
  return GetDiskSpace(root, freeBytes, totalBytes) && totalBytes > 0;
}

QStringList CardDrives()
{
  QStringList roots;
  for (const TVolume &v : ListVolumes()) {
    if (!roots.contains(v.Root) && IsCardDrive(v.Root)) roots.append(v.Root);
  }
  return roots;
}

QString GetVolumeLabel(const QString &root)
{
  const QStorageInfo info(root);
  return info.isValid() ? info.name() : QString();
}

} // namespace kp
