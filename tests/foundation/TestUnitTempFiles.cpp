// The private folder of the files handed to other programs: whose it is,
// and what is left of processes that ended.

#include "TestSupport.h"
#include "UnitTempFiles.h"
#include "UnitTranslate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace kp;

namespace {

struct TempFiles : ::testing::Test {
  QTemporaryDir Runtime;
  QByteArray OldRuntime = qgetenv("XDG_RUNTIME_DIR");
  void SetUp() override { qputenv("XDG_RUNTIME_DIR", QFile::encodeName(Runtime.path())); }
  void TearDown() override
  {
    RemoveTempFilesFolder();
    qputenv("XDG_RUNTIME_DIR", OldRuntime);
  }
  QString Program() const { return Runtime.path() + "/kestril-player"; }
};

} // namespace

TEST_F(TempFiles, StaleFoldersGoAtTheNextStartAndLiveOnesStay)
{
  ASSERT_TRUE(QDir().mkpath(Program()));
  ASSERT_TRUE(QFile::setPermissions(Program(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
  const QString ended = Program() + "/1073741823"; // above any pid_max: no such process
  const QString live = Program() + "/1";           // init always runs
  const QString other = Program() + "/notes";
  for (const QString &dir : {ended, live, other}) {
    ASSERT_TRUE(QDir().mkpath(dir + "/inner"));
    ASSERT_TRUE(kptest::writeFileBytes(dir + "/Track 1.kml", "<kml/>"));
  }
  QString error;
  const QString mine = CreateTempFile("Track 1.kml", "<kml/>", error);
  ASSERT_FALSE(mine.isEmpty()) << error.toStdString();
  EXPECT_EQ(QFileInfo(mine).path(), Program() + '/' + QString::number(::getpid()));

  RemoveStaleTempFolders();
  EXPECT_FALSE(QFileInfo::exists(ended));
  EXPECT_TRUE(QFileInfo::exists(live + "/Track 1.kml"));
  EXPECT_TRUE(QFileInfo::exists(other + "/Track 1.kml"));
  EXPECT_TRUE(QFileInfo::exists(mine));
  RemoveTempFilesFolder();
  EXPECT_FALSE(QFileInfo::exists(mine));
}

// A folder on the way that others could write in, or that is a link to one,
// is not used.
TEST_F(TempFiles, AFolderOthersCouldReachIsRefused)
{
  QTemporaryDir elsewhere;
  ASSERT_TRUE(QFile::link(elsewhere.path(), Program()));
  QString error;
  EXPECT_TRUE(CreateTempFile("a.kml", "x", error).isEmpty());
  EXPECT_EQ(error, Translate(u"Mes_NoTempFolder")); // shown to the user
  EXPECT_TRUE(QDir(elsewhere.path()).isEmpty());
  ASSERT_TRUE(QFile::remove(Program()));

  ASSERT_TRUE(QDir().mkpath(Program()));
  ASSERT_TRUE(QFile::setPermissions(Program(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                   QFile::WriteOther | QFile::ExeOther));
  EXPECT_TRUE(CreateTempFile("a.kml", "x", error).isEmpty());
  ASSERT_TRUE(QFile::setPermissions(Program(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
  const QString path = CreateTempFile("a.kml", "x", error);
  EXPECT_TRUE(path.endsWith("/a.kml")) << error.toStdString();
  EXPECT_EQ(CreateTempFile("a.kml", "y", error), path.chopped(6) + "/a (2).kml");
  EXPECT_EQ(kptest::readFileBytes(path), "x");
  // The same bytes again take the file that holds them.
  EXPECT_EQ(CreateTempFile("a.kml", "y", error), path.chopped(6) + "/a (2).kml");
  EXPECT_EQ(CreateTempFile("a.kml", "x", error), path);
}
