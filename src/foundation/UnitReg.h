#pragma once
// The program's persistent settings: string values under the program's own
// key, kept in one UTF-8 file under $XDG_CONFIG_HOME/kestril-player/ (or the
// folder named by KESTRIL_PLAYER_CONFIG_DIR). Every read goes to the file, so
// two running copies of the program see each other's writes; every write
// replaces the file atomically, so a crash never leaves half a file behind.
// Value names compare without regard to case. Safe to use from any thread.

#include <QString>
#include <cstdint>
#include <functional>

namespace kp {

// Only the current user's root holds the program's key; other roots and keys
// read as missing and refuse writes.
enum class TRegRoot { CurrentUser, LocalMachine, ClassesRoot };

inline constexpr TRegRoot SettingsRoot = TRegRoot::CurrentUser;
// The program's key, spelt as callers pass it (surrounding backslashes and
// the case of the letters do not matter).
inline constexpr QLatin1String SettingsKey("\\Software\\KESTRIL PLAYER\\");

// Environment variable that moves the settings folder (tests use it).
inline constexpr const char *SettingsDirVariable = "KESTRIL_PLAYER_CONFIG_DIR";

// The folder that holds the settings file: SetSettingsDir's value when set,
// else $KESTRIL_PLAYER_CONFIG_DIR, else $XDG_CONFIG_HOME/kestril-player.
QString SettingsDir();
QString SettingsFilePath();
// Pins the folder; an empty text returns to the environment's choice.
void SetSettingsDir(const QString &dir);

// The value Name under Root\Key; Default when the key is not the program's,
// the store cannot be read or the value does not exist.
QString RegReadString(TRegRoot root, const QString &key, const QString &name, const QString &def);
// False (and a warning in the log) when the value could not be stored.
bool RegWriteString(TRegRoot root, const QString &key, const QString &name, const QString &value);
// True when the value is gone afterwards (also when it never existed).
bool RegDeleteValue(TRegRoot root, const QString &key, const QString &name);

QString ReadSetting(const QString &name, const QString &def);
bool WriteSetting(const QString &name, const QString &value);
// Decimal integer; Default when missing or not wholly a number.
int32_t ReadSettingInt(const QString &name, int32_t def);
bool WriteSettingInt(const QString &name, int32_t value);
// Point or comma as decimal separator; Default when missing or not a number.
double ReadSettingFloat(const QString &name, double def);
// Written with a point: Digits decimals in fixed format, or the shortest
// exact text cut to Digits decimals.
bool WriteSettingFloat(const QString &name, double value, int digits, bool fixed);
// Exactly "true" or "false"; any other text (other case included) gives
// Default.
bool ReadSettingBool(const QString &name, bool def);
bool WriteSettingBool(const QString &name, bool value);
bool DeleteSetting(const QString &name);
// Removes every setting of the program.
bool ClearSettings();

// Called the first time a change of the settings cannot be stored since the
// notice was set (a session), with the settings file and the reason; later
// failures only reach the log. It runs on the thread whose change failed.
// Empty: nobody is told.
void SetSaveFailureNotice(std::function<void(const QString &file, const QString &reason)> notice);

namespace testing {
// Runs between writing the new file and putting it in place of the old one,
// so tests can stop a write half-way. Empty = nothing.
void SetBeforeReplaceHook(std::function<void()> hook);
} // namespace testing

} // namespace kp
