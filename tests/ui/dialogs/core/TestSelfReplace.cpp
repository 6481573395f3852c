// Versioned program names and the rename plan, run in a temporary folder.

#include "SelfReplace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kp;

TEST(SelfReplace, VersionedExeName)
{
  struct Case {
    QString Running, Version, Expected;
  } cases[] = {
      {"/opt/kp/kestril-player", "1.2", "/opt/kp/kestril-player_v1.2"},
      {"/opt/kp/kestril-player_v1.2", "1.3", "/opt/kp/kestril-player_v1.3"},
      {"/opt/kp/kestril-player_v1.2", "", "/opt/kp/kestril-player"},
      {"/opt/kp/kestril-player.AppImage", "2.0", "/opt/kp/kestril-player_v2.0.AppImage"},
      {"/opt/kp/kestril-player_v1.10.AppImage", "", "/opt/kp/kestril-player.AppImage"},
      // The version text cannot leave the program's folder.
      {"/opt/kp/kp", "../../etc/x", "/opt/kp/kp_v.._.._etc_x"},
      {"/opt/kp/kp", "1:2?", "/opt/kp/kp_v1_2_"},
      // Never the running file itself.
      {"/opt/kp/kp_v1.2", "1.2", "/opt/kp/kp_v1.2_"},
      {"/opt/kp/kp.bin", "", "/opt/kp/kp_.bin"},
      // A dotted folder is not an extension.
      {"/opt/k.p/kp", "1.5", "/opt/k.p/kp_v1.5"},
  };
  for (const Case &c : cases) EXPECT_EQ(VersionedExeName(c.Running, c.Version), c.Expected) << c.Running.toStdString();
}

TEST(SelfReplace, OldNameGetsUnderscoresWhileTaken)
{
  const QStringList taken = {"/d/kp_v1.1", "/d/kp_v1.1_"};
  const auto exists = [&](const QString &p) { return taken.contains(p); };
  const TRenamePlan plan = MakeRenamePlan("/d/kp", "1.2", exists);
  EXPECT_EQ(plan.NewFile, "/d/kp_v1.2");
  EXPECT_EQ(plan.Current, "/d/kp");
  EXPECT_EQ(plan.Old, "/d/kp_v1.1__");
  EXPECT_EQ(MakeRenamePlan("/d/kp_v1.1", "1.2", exists).Old, "/d/kp_v1.1__");
}

namespace {

void Write(const QString &path, const QByteArray &bytes)
{
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

QByteArray Read(const QString &path)
{
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

TEST(SelfReplace, RenamesLaunchAndUndo)
{
  for (const bool launches : {true, false}) {
    SCOPED_TRACE(launches ? "launch works" : "launch fails");
    QTemporaryDir dir;
    const QString running = dir.filePath("kp_v1.0");
    Write(running, "old");
    const TRenamePlan plan = MakeRenamePlan(running, "1.2", [](const QString &p) { return QFileInfo::exists(p); });
    Write(plan.NewFile, "new");
    QString program;
    QStringList args;
    QString error;
    const bool ok = ExecuteRenamePlan(
        plan,
        [&](const QString &p, const QStringList &a) {
          program = p;
          args = a;
          return launches;
        },
        error);
    EXPECT_EQ(ok, launches);
    EXPECT_EQ(program, dir.filePath("kp"));
    EXPECT_EQ(args, QStringList({"/whatsnew", "/del" + dir.filePath("kp_v1.1")}));
    if (launches) {
      EXPECT_EQ(Read(dir.filePath("kp")), "new");
      EXPECT_EQ(Read(dir.filePath("kp_v1.1")), "old");
      EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
    } else {
      EXPECT_FALSE(error.isEmpty());
      EXPECT_EQ(Read(running), "old");
      EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"kp_v1.0"}));
    }
  }
}
