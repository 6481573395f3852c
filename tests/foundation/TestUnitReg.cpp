#include "UnitReg.h"
#include "UnitRegFile.h"
#include "UnitRegSettings.h"

#include "LogCapture.h"
#include "SmallDisk.h"
#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstring>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace kp;

namespace {

void RestoreEnv(const char *name, const QByteArray &old)
{
  if (old.isNull())
    qunsetenv(name);
  else
    qputenv(name, old);
}

class SettingsStore : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(FTmp.isValid());
    FDir = FTmp.path() + QLatin1String("/config/kestril-player");
    SetSettingsDir(FDir);
  }
  void TearDown() override
  {
    kp::testing::SetBeforeReplaceHook({});
    SetSettingsDir(QString());
  }
  QString FilePath() const { return FDir + QLatin1String("/settings.conf"); }
  QByteArray FileBytes() const { return kptest::readFileBytes(FilePath()); }
  QStringList TempFiles() const
  {
    return QDir(FDir).entryList({QStringLiteral("settings.conf.kp-????????????????")}, QDir::Files | QDir::Hidden);
  }

  QTemporaryDir FTmp;
  QString FDir;
};

TEST_F(SettingsStore, MissingStoreReadsAsDefaultsAndIsMadeByTheFirstWrite)
{
  EXPECT_EQ(ReadSetting("copyFolder", "dflt"), "dflt");
  EXPECT_EQ(ReadSettingInt("volume", 100), 100);
  EXPECT_EQ(ReadSettingFloat("panel_Browser", 0.6), 0.6);
  EXPECT_TRUE(ReadSettingBool("col_sort_dur", true));
  EXPECT_FALSE(QFileInfo::exists(FilePath()));

  EXPECT_TRUE(WriteSetting("copyFolder", "/home/u/Videos"));
  EXPECT_EQ(ReadSetting("copyFolder", "dflt"), "/home/u/Videos");
  EXPECT_TRUE(QFileInfo::exists(FilePath()));
  EXPECT_TRUE(TempFiles().isEmpty());
}

TEST_F(SettingsStore, TypedReadsTakeOnlyWellFormedText)
{
  // Only the exact texts "true" and "false" are booleans.
  for (const char *text : {"True", "TRUE", "1"}) {
    WriteSetting("b", text);
    EXPECT_FALSE(ReadSettingBool("b", false)) << text;
    EXPECT_TRUE(ReadSettingBool("b", true)) << text;
  }
  WriteSettingBool("b", false);
  EXPECT_EQ(ReadSetting("b", ""), "false");
  EXPECT_FALSE(ReadSettingBool("b", true));
  WriteSettingBool("b", true);
  EXPECT_TRUE(ReadSettingBool("b", false));

  for (const auto &[text, value] : {std::pair("0,75", 0.75), {"0.75", 0.75}, {"abc", 0.6}, {"nan", 0.6}}) {
    WriteSetting("f", text);
    EXPECT_DOUBLE_EQ(ReadSettingFloat("f", 0.6), value) << text;
  }
  WriteSettingFloat("f", 0.6, 3, true);
  EXPECT_EQ(ReadSetting("f", ""), "0.600");

  for (const auto &[text, value] : {std::pair("12abc", 5), {"-7", -7}, {"99999999999", 5}, {"", 5}}) {
    WriteSetting("i", text);
    EXPECT_EQ(ReadSettingInt("i", 5), value) << text;
  }
  WriteSettingInt("i", -2147483647 - 1);
  EXPECT_EQ(ReadSettingInt("i", 0), -2147483647 - 1);
}

TEST_F(SettingsStore, NamesCompareWithoutCaseAndKeepTheirFirstSpelling)
{
  WriteSettingInt("Volume", 5);
  EXPECT_EQ(ReadSettingInt("VOLUME", 100), 5);
  WriteSettingInt("volume", 7);
  EXPECT_EQ(ReadSettingInt("Volume", 100), 7);
  const auto values = TSettingsValues::FromText(FileBytes());
  ASSERT_EQ(values.Count(), 1);
  EXPECT_EQ(values.At(0).first, "Volume");
  EXPECT_TRUE(DeleteSetting("vOlUmE"));
  EXPECT_EQ(ReadSettingInt("volume", 100), 100);
  EXPECT_TRUE(DeleteSetting("volume")); // already gone: still fine
}

TEST_F(SettingsStore, ClearDropsEveryValueUntilTheNextWrite)
{
  WriteSetting("id", "abcdefghijk");
  WriteSetting("gps", "1,2");
  WriteSettingInt("gm_Z", 12);
  EXPECT_TRUE(ClearSettings());
  EXPECT_EQ(ReadSetting("id", ""), "");
  EXPECT_EQ(ReadSetting("gps", "none"), "none");
  EXPECT_EQ(ReadSettingInt("gm_Z", 10), 10);
  EXPECT_TRUE(ClearSettings()); // nothing left to clear
  WriteSetting("id", "zyxwvutsrqp");
  EXPECT_EQ(ReadSetting("id", ""), "zyxwvutsrqp");
  EXPECT_EQ(ReadSetting("gps", "none"), "none");
}

TEST_F(SettingsStore, AnyNameAndValueTextSurvives)
{
  const QList<QPair<QString, QString>> cases = {
      {"a=b", "c=d"},
      {"#hash", "# not a comment"},
      {"back\\slash", "C:\\Videos\\"},
      {"lines", "one\ntwo\r\nthree\\n"},
      {" blanks ", "  both sides  "},
      {"", "empty name"},
      {QString::fromUtf8("Папка"), QString::fromUtf8("/home/u/Відео")},
      {"empty", ""},
  };
  for (const auto &c : cases) ASSERT_TRUE(WriteSetting(c.first, c.second)) << c.first.toStdString();
  for (const auto &c : cases) EXPECT_EQ(ReadSetting(c.first, "?"), c.second) << c.first.toStdString();
  EXPECT_EQ(TSettingsValues::FromText(FileBytes()).Count(), cases.size());
}

TEST_F(SettingsStore, HandEditedFileIsReadWhereItMakesSense)
{
  ASSERT_TRUE(QDir().mkpath(FDir));
  ASSERT_TRUE(kptest::writeFileBytes(FilePath(), "# comment\r\nvolume=40\r\nno equals sign\r\n\r\n"
                                                 "gm_T=roadmap\nvolume=60\n\xff\xfe=bad utf8\n"));
  EXPECT_EQ(ReadSettingInt("volume", 100), 60); // the later line wins
  EXPECT_EQ(ReadSetting("gm_T", ""), "roadmap");
  EXPECT_EQ(ReadSetting("no equals sign", "dflt"), "dflt");
  WriteSetting("id", "x");
  EXPECT_EQ(ReadSettingInt("volume", 100), 60);
}

TEST_F(SettingsStore, OnlyTheProgramsKeyIsKept)
{
  EXPECT_TRUE(RegWriteString(TRegRoot::CurrentUser, "Software\\kestril player", "x", "1"));
  EXPECT_EQ(RegReadString(TRegRoot::CurrentUser, "\\SOFTWARE\\KESTRIL PLAYER\\", "X", ""), "1");
  EXPECT_EQ(ReadSetting("x", ""), "1");

  EXPECT_FALSE(RegWriteString(TRegRoot::ClassesRoot, ".MOV", "", "kestril"));
  EXPECT_FALSE(RegWriteString(TRegRoot::CurrentUser, "\\Software\\Other\\", "x", "2"));
  EXPECT_EQ(RegReadString(TRegRoot::LocalMachine, SettingsKey, "x", "dflt"), "dflt");
  EXPECT_EQ(RegReadString(TRegRoot::CurrentUser, "\\Software\\Other\\", "x", "dflt"), "dflt");
  EXPECT_FALSE(RegDeleteValue(TRegRoot::LocalMachine, SettingsKey, "x"));
  EXPECT_EQ(ReadSetting("x", ""), "1");
}

TEST_F(SettingsStore, FolderComesFromTheEnvironmentUnlessPinned)
{
  const QByteArray oldOverride = qgetenv(SettingsDirVariable);
  const QByteArray oldXdg = qgetenv("XDG_CONFIG_HOME");
  SetSettingsDir(QString());
  qputenv(SettingsDirVariable, QFile::encodeName(FTmp.path() + "/over"));
  EXPECT_EQ(SettingsDir(), FTmp.path() + "/over");
  qunsetenv(SettingsDirVariable);
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(FTmp.path() + "/xdg"));
  EXPECT_EQ(SettingsFilePath(), FTmp.path() + "/xdg/kestril-player/settings.conf");
  SetSettingsDir(FDir);
  EXPECT_EQ(SettingsDir(), FDir);
  RestoreEnv(SettingsDirVariable, oldOverride);
  RestoreEnv("XDG_CONFIG_HOME", oldXdg);
}

TEST_F(SettingsStore, WriteFailureIsReportedAndReadsStayDefault)
{
  const QString blocker = FTmp.path() + "/plainfile";
  ASSERT_TRUE(kptest::writeFileBytes(blocker, "x"));
  SetSettingsDir(blocker + "/kestril-player"); // its parent is a regular file
  kptest::TLogCapture log("kp.foundation");
  EXPECT_FALSE(WriteSetting("volume", "10"));
  EXPECT_EQ(log.LinesWith(blocker + "/kestril-player").size(), 1) << log.Lines().join('\n').toStdString();
  EXPECT_EQ(ReadSettingInt("volume", 100), 100);
  EXPECT_TRUE(ClearSettings());
}

// The log holds a failure once and the user hears of the first of a
// session: the file and the reason, whichever change or thread met it.
TEST_F(SettingsStore, FailureToSaveIsToldOncePerSession)
{
  const QString blocker = FTmp.path() + "/plainfile";
  ASSERT_TRUE(kptest::writeFileBytes(blocker, "x"));
  QStringList told;
  SetSaveFailureNotice([&](const QString &file, const QString &reason) { told << file + " | " + reason; });
  EXPECT_TRUE(WriteSetting("volume", "10")); // a store that works tells nothing
  EXPECT_TRUE(told.isEmpty());
  SetSettingsDir(blocker + "/kestril-player");
  kptest::TLogCapture log("kp.foundation");
  EXPECT_FALSE(WriteSetting("volume", "20"));
  std::thread([] { EXPECT_FALSE(WriteSettingBool("mute", true)); }).join();
  EXPECT_FALSE(DeleteSetting("volume"));
  EXPECT_EQ(log.LinesWith("settings:").size(), 1) << log.Lines().join('\n').toStdString();
  ASSERT_EQ(told.size(), 1);
  EXPECT_TRUE(told[0].startsWith(blocker + "/kestril-player/settings.conf | ")) << told[0].toStdString();
  EXPECT_TRUE(told[0].contains(QString::fromLocal8Bit(std::strerror(ENOTDIR)))) << told[0].toStdString();
  // A new session is told again.
  SetSaveFailureNotice([&](const QString &file, const QString &) { told << file; });
  EXPECT_FALSE(WriteSetting("volume", "30"));
  EXPECT_EQ(told.size(), 2);
  SetSaveFailureNotice({});
}

// A read-only home: the reason is the step's that failed (the first folder
// that cannot be made, or the lock file in a folder that exists), told and
// logged once however many changes fail.
TEST_F(SettingsStore, ReadOnlyHomeGivesItsOwnReasonOnce)
{
  const QByteArray oldXdg = qgetenv("XDG_CONFIG_HOME");
  KP_SMALL_DISK(bare, kptest::TSmallDisk::ReadOnly);
  KP_SMALL_DISK(made, kptest::TSmallDisk::Small);
  ASSERT_TRUE(QDir().mkpath(made.Path(".config/kestril-player")));
  ASSERT_TRUE(made.MakeReadOnly());
  const QString reason = QString::fromLocal8Bit(std::strerror(EROFS));
  for (const kptest::TSmallDisk *home : {&bare, &made}) {
    SCOPED_TRACE(home->Path().toStdString());
    SetSettingsDir(QString());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home->Path(".config")));
    QStringList told;
    SetSaveFailureNotice([&](const QString &file, const QString &why) { told << file + " | " + why; });
    kptest::TLogCapture log("kp.foundation");
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(WriteSettingInt("volume", i));
    EXPECT_FALSE(DeleteSetting("volume"));
    EXPECT_EQ(told, QStringList(home->Path(".config/kestril-player/settings.conf | ") + reason));
    const QStringList lines = log.LinesWith("settings:");
    ASSERT_EQ(lines.size(), 1) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[0].contains(reason)) << lines[0].toStdString();
  }
  SetSaveFailureNotice({});
  RestoreEnv("XDG_CONFIG_HOME", oldXdg);
  SetSettingsDir(FDir);
}

TEST_F(SettingsStore, TwoThreadsWritingLoseNothing)
{
  constexpr int PerThread = 60;
  auto writer = [](const char *prefix) {
    for (int i = 0; i < PerThread; ++i) {
      const QString name = QString::fromLatin1(prefix) + QString::number(i);
      WriteSettingInt(name, i);
      ReadSettingInt(name, -1);
    }
  };
  std::thread a(writer, "main");
  std::thread b(writer, "gps");
  a.join();
  b.join();
  const auto values = TSettingsValues::FromText(FileBytes());
  EXPECT_EQ(values.Count(), 2 * PerThread);
  for (int i = 0; i < PerThread; ++i) {
    EXPECT_EQ(ReadSettingInt(QStringLiteral("main%1").arg(i), -1), i);
    EXPECT_EQ(ReadSettingInt(QStringLiteral("GPS%1").arg(i), -1), i);
  }
  EXPECT_TRUE(TempFiles().isEmpty());
}

TEST_F(SettingsStore, CrashBeforeTheRenameKeepsTheOldFile)
{
  WriteSettingInt("volume", 50);
  WriteSetting("id", "abcdefghijk");
  const QByteArray before = FileBytes();

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Dies the way a crash would: after the new text is on disk, before it
    // replaces the old file.
    kp::testing::SetBeforeReplaceHook([] { ::_exit(42); });
    WriteSettingInt("volume", 80);
    ::_exit(1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 42);

  EXPECT_EQ(FileBytes(), before);
  EXPECT_EQ(ReadSettingInt("volume", 100), 50);
  EXPECT_EQ(TempFiles().size(), 1); // the orphan of the crashed write
  // A user's copies beside it only look like one, whatever their length.
  const QStringList users{"settings.conf.tmp-before-upgrade", "settings.conf.tmp-draft1", ".settings.conf.backup.part",
                          ".settings.conf.old.part",          ".settings.conf.v2.part",   "settings.conf.kp-draft1"};
  for (const QString &name : users) ASSERT_TRUE(kptest::writeFileBytes(FDir + "/" + name, "mine"));

  EXPECT_TRUE(WriteSettingInt("volume", 70));
  for (const QString &name : users) EXPECT_EQ(kptest::readFileBytes(FDir + "/" + name), "mine") << name.toStdString();
  EXPECT_EQ(ReadSettingInt("volume", 100), 70);
  EXPECT_EQ(ReadSetting("id", ""), "abcdefghijk");
  EXPECT_TRUE(TempFiles().isEmpty());
}

TEST_F(SettingsStore, DeclaredSettingsWriteUnderTheirNames)
{
  EXPECT_EQ(settings::PanelRight.ReadOr(250), 250);
  settings::Volume.WriteOrDelete(40, 100);
  EXPECT_EQ(ReadSetting("volume", ""), "40");
  settings::Volume.WriteOrDelete(100, 100);
  EXPECT_EQ(ReadSetting("volume", "gone"), "gone");

  settings::PanelBrowser.Write(0.45678);
  EXPECT_EQ(ReadSetting("panel_Browser", ""), "0.457");
  EXPECT_DOUBLE_EQ(settings::PanelBrowser.Read(), 0.457);
}

} // namespace
