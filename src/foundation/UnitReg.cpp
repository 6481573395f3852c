#include "UnitReg.h"
#include "FoundationLog.h"

#include "Errors.h"
#include "UnitRegFile.h"
#include "UnitRegSettings.h"
#include "UnitUtils.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QStandardPaths>

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kp {

namespace {

constexpr QLatin1String FileName("settings.conf");
constexpr QLatin1String LockName("settings.lock");

// Serialises the threads of this process; the lock file serialises
// processes. Also guards the two values below.
std::mutex g_mutex;
QString g_dir;
std::function<void()> g_beforeReplace;

QString DirLocked()
{
  if (!g_dir.isEmpty()) return g_dir;
  const QString fromEnv = qEnvironmentVariable(SettingsDirVariable);
  if (!fromEnv.isEmpty()) return fromEnv;
  const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
  return config.isEmpty() ? QString() : config + QLatin1String("/kestril-player");
}

QString NormalKey(const QString &key)
{
  QString k = key;
  k.replace(QLatin1Char('/'), QLatin1Char('\\'));
  while (k.startsWith(QLatin1Char('\\'))) k.remove(0, 1);
  while (k.endsWith(QLatin1Char('\\'))) k.chop(1);
  return k.toCaseFolded();
}

bool IsProgramKey(TRegRoot root, const QString &key)
{
  static const QString kProgramKey = NormalKey(SettingsKey);
  return root == SettingsRoot && NormalKey(key) == kProgramKey;
}

// Holds an exclusive lock on the folder's lock file while it lives.
class TProcessLock {
public:
  explicit TProcessLock(const QString &dir)
  {
    FFd = ::open(QFile::encodeName(dir + QLatin1Char('/') + LockName).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (FFd < 0) {
      FError = errno;
      return;
    }
    while (::flock(FFd, LOCK_EX) != 0 && errno == EINTR) {}
  }
  ~TProcessLock()
  {
    if (FFd >= 0) ::close(FFd); // closing drops the lock
  }
  TProcessLock(const TProcessLock &) = delete;
  TProcessLock &operator=(const TProcessLock &) = delete;
  bool Held() const { return FFd >= 0; }
  // Why the lock file could not be opened.
  int Error() const { return FError; }

private:
  int FFd = -1;
  int FError = 0;
};

// 0, or the error that kept the file from being read; a file that does not
// exist holds no values.
int LoadValues(const QString &path, TSettingsValues &values)
{
  values = TSettingsValues();
  const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? 0 : errno;
  QFile file;
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    return EIO;
  }
  values = TSettingsValues::FromText(file.readAll());
  return 0;
}

// What stopped a change from being stored: the settings file, the step
// that failed (for the log) and the system's reason (for the user too).
struct TSaveFailure {
  QString File, Step;
  int Error = 0;
};

// Told the first time a change cannot be stored (see SetSaveFailureNotice).
std::function<void(const QString &, const QString &)> g_notice;
bool g_noticeGiven = false;
// The failures already logged this session: a store that cannot be written
// fails the same way for every change after the first.
QSet<QString> g_logged;

// Logs each kind of failure once; the user hears of the first one only.
void SaveFailed(const TSaveFailure &failure)
{
  const QString reason = SystemErrorText(failure.Error);
  const QString line = QStringLiteral("%1: %2 (\"%3\")").arg(failure.Step, reason, failure.File);
  bool log = false;
  std::function<void(const QString &, const QString &)> notice;
  {
    std::lock_guard<std::mutex> guard(g_mutex);
    log = !g_logged.contains(line);
    g_logged.insert(line);
    if (!g_noticeGiven && g_notice) {
      g_noticeGiven = true;
      notice = g_notice;
    }
  }
  if (log) qCWarning(lcKpFoundation).noquote() << "settings:" << line;
  if (notice) notice(failure.File, reason);
}

// Makes Dir and the folders on its way; 0, or the error of the first one
// that could not be made (a read-only home fails at its first missing
// folder, not at the last).
int MakeFolders(const QString &dir)
{
  const QByteArray path = QFile::encodeName(QDir::cleanPath(dir));
  for (qsizetype end = path.indexOf('/', 1);; end = path.indexOf('/', end + 1)) {
    const QByteArray step = end < 0 ? path : path.left(end);
    if (::mkdir(step.constData(), 0777) != 0 && errno != EEXIST) return errno;
    if (end < 0) break;
  }
  struct stat st {};
  if (::stat(path.constData(), &st) != 0) return errno;
  return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
}

bool ModifyValuesLocked(const std::function<bool(TSettingsValues &)> &change, TSaveFailure &failure)
{
  const QString dir = DirLocked();
  const QString path = dir + QLatin1Char('/') + FileName;
  if (dir.isEmpty()) {
    failure = {FileName, QStringLiteral("no folder for the settings"), ENOENT};
    return false;
  }
  if (const int error = MakeFolders(dir)) {
    failure = {path, QStringLiteral("cannot create the folder \"%1\"").arg(dir), error};
    return false;
  }
  TProcessLock lock(dir);
  if (!lock.Held()) {
    failure = {path, QStringLiteral("cannot lock the folder \"%1\"").arg(dir), lock.Error()};
    return false;
  }
  RemoveStaleTempFiles(path);
  TSettingsValues values;
  if (const int error = LoadValues(path, values)) {
    failure = {path, QStringLiteral("cannot read the file"), error};
    return false;
  }
  if (!change(values)) return true;
  QString step;
  int error = 0;
  if (ReplaceFileAtomically(path, values.ToText(), g_beforeReplace, step, error)) return true;
  failure = {path, step, error};
  return false;
}

bool ClearSettingsLocked(TSaveFailure &failure)
{
  const QString dir = DirLocked();
  if (dir.isEmpty() || !QDir(dir).exists()) return true;
  TProcessLock lock(dir);
  const QString path = dir + QLatin1Char('/') + FileName;
  RemoveStaleTempFiles(path);
  if (::unlink(QFile::encodeName(path).constData()) != 0 && errno != ENOENT) {
    const int error = errno;
    failure = {path, QStringLiteral("cannot remove the file"), error};
    return false;
  }
  return true;
}

// Runs Step under the lock; a failure is logged, and told once.
bool Store(const std::function<bool(TSaveFailure &)> &step)
{
  TSaveFailure failure;
  bool stored = false;
  {
    std::lock_guard<std::mutex> guard(g_mutex);
    stored = step(failure);
  }
  if (!stored) SaveFailed(failure);
  return stored;
}

// Reads the store, lets Change alter it and writes it back when Change says
// it changed something.
bool ModifyValues(const std::function<bool(TSettingsValues &)> &change)
{
  return Store([&](TSaveFailure &failure) { return ModifyValuesLocked(change, failure); });
}

} // namespace

QString SettingsDir()
{
  std::lock_guard<std::mutex> guard(g_mutex);
  return DirLocked();
}

QString SettingsFilePath()
{
  const QString dir = SettingsDir();
  return dir.isEmpty() ? QString() : dir + QLatin1Char('/') + FileName;
}

void SetSettingsDir(const QString &dir)
{
  std::lock_guard<std::mutex> guard(g_mutex);
  g_dir = dir;
}

QString RegReadString(TRegRoot root, const QString &key, const QString &name, const QString &def)
{
  if (!IsProgramKey(root, key)) return def;
  std::lock_guard<std::mutex> guard(g_mutex);
  const QString dir = DirLocked();
  TSettingsValues values;
  QString value;
  if (dir.isEmpty() || LoadValues(dir + QLatin1Char('/') + FileName, values) != 0 || !values.Get(name, value))
    return def;
  return value;
}

bool RegWriteString(TRegRoot root, const QString &key, const QString &name, const QString &value)
{
  if (!IsProgramKey(root, key)) return false;
  return ModifyValues([&](TSettingsValues &values) {
    QString old;
    if (values.Get(name, old) && old == value) return false;
    values.Set(name, value);
    return true;
  });
}

bool RegDeleteValue(TRegRoot root, const QString &key, const QString &name)
{
  if (!IsProgramKey(root, key)) return false;
  return ModifyValues([&](TSettingsValues &values) { return values.Remove(name); });
}

QString ReadSetting(const QString &name, const QString &def)
{
  return RegReadString(SettingsRoot, SettingsKey, name, def);
}

bool WriteSetting(const QString &name, const QString &value)
{
  return RegWriteString(SettingsRoot, SettingsKey, name, value);
}

int32_t ReadSettingInt(const QString &name, int32_t def)
{
  const QString text = ReadSetting(name, QString());
  return text.isEmpty() ? def : StrToIntDef(QStringView(text), def);
}

bool WriteSettingInt(const QString &name, int32_t value)
{
  return WriteSetting(name, QString::number(value));
}

double ReadSettingFloat(const QString &name, double def)
{
  const QString text = ReadSetting(name, QString());
  return text.isEmpty() ? def : StrToFloatAny(QStringView(text), def);
}

bool WriteSettingFloat(const QString &name, double value, int digits, bool fixed)
{
  return WriteSetting(name, FloatToStrDot(value, digits, fixed));
}

bool ReadSettingBool(const QString &name, bool def)
{
  const QString text = ReadSetting(name, QString());
  if (text == QLatin1String("true")) return true;
  if (text == QLatin1String("false")) return false;
  return def;
}

bool WriteSettingBool(const QString &name, bool value)
{
  return WriteSetting(name, value ? QStringLiteral("true") : QStringLiteral("false"));
}

bool DeleteSetting(const QString &name)
{
  return RegDeleteValue(SettingsRoot, SettingsKey, name);
}

bool ClearSettings()
{
  return Store(ClearSettingsLocked);
}

void SetSaveFailureNotice(std::function<void(const QString &file, const QString &reason)> notice)
{
  std::lock_guard<std::mutex> guard(g_mutex);
  g_notice = std::move(notice);
  g_noticeGiven = false;
  g_logged.clear();
}

namespace settings {
QString ColumnWidthName(int designIndex)
{
  return QStringLiteral("col%1_w").arg(designIndex);
}

QString ColumnIndexName(int position)
{
  return QStringLiteral("col%1_i").arg(position);
}
} // namespace settings

namespace testing {
void SetBeforeReplaceHook(std::function<void()> hook)
{
  std::lock_guard<std::mutex> guard(g_mutex);
  g_beforeReplace = std::move(hook);
}
} // namespace testing

} // namespace kp
