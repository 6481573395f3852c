#include "UnitReg.h"
#include "FoundationLog.h"

#include "UnitRegFile.h"
#include "UnitRegSettings.h"
#include "UnitUtils.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
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
    if (FFd < 0) return;
    while (::flock(FFd, LOCK_EX) != 0 && errno == EINTR) {}
  }
  ~TProcessLock()
  {
    if (FFd >= 0) ::close(FFd); // closing drops the lock
  }
  TProcessLock(const TProcessLock &) = delete;
  TProcessLock &operator=(const TProcessLock &) = delete;
  bool Held() const { return FFd >= 0; }

private:
  int FFd = -1;
};

bool LoadValues(const QString &path, TSettingsValues &values)
{
  QFile file(path);
  if (!file.exists()) {
    values = TSettingsValues();
    return true;
  }
  if (!file.open(QIODevice::ReadOnly)) return false;
  values = TSettingsValues::FromText(file.readAll());
  return true;
}

void Warn(const QString &what)
{
  qCWarning(lcKpFoundation).noquote() << "settings:" << what;
}

// What stopped a change from being stored: the settings file and why.
struct TSaveFailure {
  QString File, Reason;
};

QString ErrnoReason()
{
  return QString::fromLocal8Bit(std::strerror(errno));
}

// Told the first time a change cannot be stored (see SetSaveFailureNotice).
std::function<void(const QString &, const QString &)> g_notice;
bool g_noticeGiven = false;

// Logs every failure; the user hears of the first one only.
void SaveFailed(const TSaveFailure &failure)
{
  Warn(failure.Reason + QStringLiteral(" (\"%1\")").arg(failure.File));
  std::function<void(const QString &, const QString &)> notice;
  {
    std::lock_guard<std::mutex> guard(g_mutex);
    if (g_noticeGiven || !g_notice) return;
    g_noticeGiven = true;
    notice = g_notice;
  }
  notice(failure.File, failure.Reason);
}

bool ModifyValuesLocked(const std::function<bool(TSettingsValues &)> &change, TSaveFailure &failure)
{
  const QString dir = DirLocked();
  const QString path = dir + QLatin1Char('/') + FileName;
  if (dir.isEmpty()) {
    failure = {FileName, QStringLiteral("no folder for the settings")};
    return false;
  }
  if (!QDir().mkpath(dir)) {
    // The folder's own error, as the last step of the path gives it.
    ::mkdir(QFile::encodeName(dir).constData(), 0700);
    failure = {path, QStringLiteral("cannot create the folder \"%1\": %2").arg(dir, ErrnoReason())};
    return false;
  }
  TProcessLock lock(dir);
  if (!lock.Held()) {
    failure = {path, QStringLiteral("cannot lock the folder \"%1\": %2").arg(dir, ErrnoReason())};
    return false;
  }
  RemoveStaleTempFiles(path);
  TSettingsValues values;
  if (!LoadValues(path, values)) {
    failure = {path, QStringLiteral("cannot read the file: %1").arg(ErrnoReason())};
    return false;
  }
  if (!change(values)) return true;
  QString error;
  if (ReplaceFileAtomically(path, values.ToText(), g_beforeReplace, error)) return true;
  failure = {path, error};
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
    failure = {path, QStringLiteral("cannot remove the file: %1").arg(ErrnoReason())};
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
  if (dir.isEmpty() || !LoadValues(dir + QLatin1Char('/') + FileName, values) || !values.Get(name, value)) return def;
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
