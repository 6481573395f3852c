// What the catalogue takes from the system: lock state as write bits, file
// deletion, file facts, the search roots and the mount table.
#include "UnitFileManager.h"
#include "UnitUtilsFiles.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace kp {

namespace {

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

// The process's umask without changing it (umask() would race with other
// threads); Linux reports it in /proc/self/status.
mode_t CurrentUmask()
{
  QFile f(QStringLiteral("/proc/self/status"));
  if (f.open(QIODevice::ReadOnly)) {
    while (!f.atEnd()) {
      const QByteArray line = f.readLine();
      if (line.startsWith("Umask:")) {
        bool ok = false;
        const uint v = line.mid(6).trimmed().toUInt(&ok, 8);
        if (ok) return mode_t(v & 0777);
      }
    }
  }
  return 022;
}

// Mount-table fields escape blanks and the like as \ooo.
QString UnescapeMountField(const QByteArray &field)
{
  QByteArray out;
  for (qsizetype i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      bool ok = false;
      const int v = field.mid(i + 1, 3).toInt(&ok, 8);
      if (ok) {
        out += char(v);
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return QString::fromLocal8Bit(out);
}

QString WithSlash(QString path)
{
  if (!path.endsWith(QLatin1Char('/')) && !path.endsWith(QLatin1Char('\\'))) path += QLatin1Char('/');
  return path;
}

} // namespace

bool IsFileLocked(const QString &path)
{
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0) return false;
  return (st.st_mode & kWriteBits) == 0;
}

bool SetFileLocked(const QString &path, bool lock)
{
  const QByteArray name = QFile::encodeName(path);
  struct stat st {};
  if (::stat(name.constData(), &st) != 0) return false;
  const mode_t perms = st.st_mode & 07777;
  if (lock) return ::chmod(name.constData(), perms & ~kWriteBits) == 0;
  const mode_t wanted = kWriteBits & ~CurrentUmask();
  if (::chmod(name.constData(), perms | (wanted ? wanted : S_IWUSR)) == 0) return true;
  return errno == EPERM && ::chmod(name.constData(), perms | kWriteBits) == 0;
}

bool ForceDeleteFile(const QString &path, int *error)
{
  const auto fail = [error](int code) {
    if (error) *error = code;
    return false;
  };
  if (path.isEmpty()) return fail(ENOENT);
  const QByteArray name = QFile::encodeName(path);
  struct stat st {};
  if (::lstat(name.constData(), &st) != 0) return fail(errno);
  if (!S_ISLNK(st.st_mode) && (st.st_mode & S_IWUSR) == 0) ::chmod(name.constData(), (st.st_mode & 07777) | S_IWUSR);
  if (::unlink(name.constData()) != 0) return fail(errno);
  if (error) *error = 0;
  return true;
}

bool ReadFileRecord(const QString &path, TFileRecord &record)
{
  struct stat st {};
  if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  record.ReadOnly = (st.st_mode & kWriteBits) == 0;
  record.Size = int64_t(st.st_size);
  GetFileTimes(path, record.Created, record.Modified);
  return true;
}

bool MountOf(const QString &path, QString &mountRoot, QString &fsType)
{
  QFile f(DriveSources().MountsFile);
  if (!f.open(QIODevice::ReadOnly)) return false;
  const QString target = WithSlash(path);
  qsizetype best = -1;
  // The whole table is read: a later mount on the same point hides an
  // earlier one, which ">=" keeps.
  for (const QByteArray &line : f.readAll().split('\n')) {
    const QList<QByteArray> fields = line.simplified().split(' ');
    if (fields.size() < 3) continue;
    const QString root = WithSlash(UnescapeMountField(fields[1]));
    if (target.startsWith(root) && root.size() >= best) {
      best = root.size();
      mountRoot = root;
      fsType = QString::fromLatin1(fields[2]);
    }
  }
  return best >= 0;
}

bool IsNetworkFsType(const QString &fsType)
{
  static const QStringList kNetwork = {
      QStringLiteral("nfs"),       QStringLiteral("nfs4"),         QStringLiteral("cifs"),
      QStringLiteral("smb3"),      QStringLiteral("smbfs"),        QStringLiteral("ncpfs"),
      QStringLiteral("afs"),       QStringLiteral("9p"),           QStringLiteral("ceph"),
      QStringLiteral("glusterfs"), QStringLiteral("fuse.sshfs"),   QStringLiteral("fuse.davfs"),
      QStringLiteral("davfs"),     QStringLiteral("fuse.smbnetfs")};
  return kNetwork.contains(fsType.toLower());
}

TSearchRootInputs SystemSearchRootInputs()
{
  TSearchRootInputs in;
  in.CurrentFolder = QDir::currentPath();
  in.ProgramFolder = ExtractFilePath(GetAppFileNameW());
  in.DesktopFolder = GetSpecialFolder(sfDesktopDirectory);
  MountOf(in.CurrentFolder, in.CurrentMountRoot, in.CurrentFsType);
  in.CardRoots = CardDrives();
  return in;
}

QStringList SearchRoots(const TSearchRootInputs &in)
{
  QStringList roots;
  const auto add = [&](const QString &root) {
    if (root.isEmpty()) return;
    if (!in.DesktopFolder.isEmpty() && root.contains(in.DesktopFolder)) return;
    if (roots.contains(root, Qt::CaseInsensitive)) return;
    roots += root;
  };
  add(WithSlash(in.CurrentFolder));
  if (!in.ProgramFolder.isEmpty()) add(WithSlash(in.ProgramFolder));
  if (!in.CurrentMountRoot.isEmpty() && !IsNetworkFsType(in.CurrentFsType))
    add(WithSlash(in.CurrentMountRoot) + QStringLiteral("DCIM/"));
  for (const QString &card : in.CardRoots) add(WithSlash(card));
  return roots;
}

bool IsGpsLogPath(const QString &p, const QString &ext)
{
  if (ext == QLatin1String(".log"))
    return (p.contains(QLatin1String("log")) || p.contains(QLatin1String("gps"))) &&
           !p.contains(QLatin1String("/nandlog/"));
  if (ext == QLatin1String(".plt")) return p.contains(QLatin1String("/tracks/"));
  if (ext == QLatin1String(".gpx")) return p.contains(QLatin1String("/symdvr/"));
  return false;
}

} // namespace kp
