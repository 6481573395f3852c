// The small disks the saving tests fail on, and what becomes of those tests
// where no disk can be mounted.

#include "SmallDisk.h"
#include "TestSupport.h"

#include <QFileInfo>
#include <QProcess>

#include <unistd.h>

namespace {

// Errno of writing Size bytes to a new file in Folder; 0 when all went in.
int writeError(const QString &folder, qsizetype size)
{
  const int fd = ::open(QFile::encodeName(folder + QStringLiteral("/new")).constData(), O_WRONLY | O_CREAT, 0644);
  if (fd < 0) return errno;
  const QByteArray block(size, 'n');
  const ssize_t written = ::write(fd, block.constData(), size_t(block.size()));
  const int error = written == block.size() ? 0 : written < 0 ? errno : ENOSPC;
  ::close(fd);
  return error;
}

} // namespace

TEST(SmallDisk, EachKindRefusesAsItsNameSays)
{
  KP_SMALL_DISK(readOnly, kptest::TSmallDisk::ReadOnly);
  EXPECT_EQ(writeError(readOnly.Path(), 1), EROFS);
  KP_SMALL_DISK(full, kptest::TSmallDisk::Full);
  EXPECT_EQ(writeError(full.Path(), 1), ENOSPC);
  KP_SMALL_DISK(small, kptest::TSmallDisk::Small);
  EXPECT_EQ(writeError(small.Path(), 2 << 20), ENOSPC);
}

// The case above again, in a copy of this program that may not mount (as
// root, without the capability): under CI it fails, elsewhere it skips, and
// either way it says why.
TEST(SmallDisk, WhereMountingIsRefusedCIFailsAndOthersSkipWithTheReason)
{
  QString program = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
  QStringList args = {QStringLiteral("--gtest_filter=SmallDisk.EachKindRefusesAsItsNameSays")};
  if (::geteuid() == 0) {
    KP_REQUIRE_TOOL(setpriv, "setpriv");
    args = QStringList{QStringLiteral("--bounding-set=-sys_admin"), QStringLiteral("--"), program} + args;
    program = setpriv;
  }
  for (const bool ci : {true, false}) {
    SCOPED_TRACE(ci ? "under CI" : "elsewhere");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CI"), ci ? QStringLiteral("true") : QStringLiteral("false"));
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(program, args);
    ASSERT_TRUE(child.waitForFinished(60000));
    const QString output = QString::fromLocal8Bit(child.readAll());
    EXPECT_EQ(child.exitCode(), ci ? 1 : 0) << output.toStdString();
    EXPECT_TRUE(output.contains(ci ? QStringLiteral("[  FAILED  ] SmallDisk.EachKindRefusesAsItsNameSays")
                                   : QStringLiteral("[  SKIPPED ] SmallDisk.EachKindRefusesAsItsNameSays")))
        << output.toStdString();
    EXPECT_TRUE(
        output.contains(QStringLiteral("cannot mount a tmpfs: ") + QString::fromLocal8Bit(std::strerror(EPERM))))
        << output.toStdString();
  }
}
