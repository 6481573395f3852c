// The copy engine on temporary files: list order, side files, byte-identical
// copies with their times, the replace question, cancelling, failures, a
// copy killed midway, the speed after a pause and a target that is the
// source.

#include "Errors.h"
#include "SmallDisk.h"
#include "TestSupport.h"
#include "UiTestSupport.h"
#include "UnitFileManager.h"
#include "UnitFormCopyThread.h"
#include "UnitUtils.h"
#include "UnitUtilsFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace kp;

namespace {

QByteArray Pattern(int64_t size, int seed)
{
  QByteArray b(qsizetype(size), Qt::Uninitialized);
  uint32_t x = 2463534242u + uint32_t(seed);
  for (char &c : b) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    c = char(x);
  }
  return b;
}

TFileItemSubitem Video(const QString &path, int64_t recordedSize = -1, const QString &track = {})
{
  TFileItemSubitem f;
  f.FileName = path;
  f.Size = recordedSize;
  f.TrackFileName = track;
  return f;
}

class CopyEngine : public ::testing::Test {
protected:
  void SetUp() override { kptest::ensureApplication(); }
  QString Dst(const QString &name = {}) const { return FDir.path() + QStringLiteral("/copies/") + name; }
  QString Make(const QString &name, int64_t size, int seed = 1)
  {
    const QString path = FDir.path() + QLatin1Char('/') + name;
    EXPECT_TRUE(kptest::writeFileBytes(path, Pattern(size, seed)));
    return path;
  }
  // An engine over Files, started (paused when asked).
  std::unique_ptr<TFormCopyThread> Start(std::vector<TFileItemSubitem> files, bool paused = false,
                                         const QString &folder = {})
  {
    TFileItem item;
    item.Files = std::move(files);
    auto t = std::make_unique<TFormCopyThread>(item, folder.isEmpty() ? Dst() : folder, TCopyDelays{});
    t->SetPaused(paused);
    t->Start();
    return t;
  }
  static TCopySnapshot Finish(TFormCopyThread &t)
  {
    EXPECT_TRUE(kptest::waitUntil([&] { return t.Snapshot().Finished; }, 20000));
    return t.Snapshot();
  }
  QTemporaryDir FDir;
};

TEST_F(CopyEngine, CopiesEveryFileOfTheRecordingInOrder)
{
  const QString v1 = Make("A.MOV", 0), t1 = Make("A.DAT", 700, 2), v2 = Make("B.MOV", 1 << 20, 3);
  const QString t2 = Make("B.DAT", 900, 4), v3 = Make("C.MOV", (1 << 20) + 1, 5);
  // An unknown recorded size counts as the size on disk.
  auto t = Start({Video(v1, 0, t1), Video(v2, -1, t2), Video(v3, (1 << 20) + 1)});
  EXPECT_EQ(t->Files(), (QStringList{v1, t1, v2, t2, v3}));
  const TCopySnapshot s = Finish(*t);
  EXPECT_TRUE(s.Error.isEmpty()) << s.Error.toStdString();
  EXPECT_EQ(s.CurrentIndex, 5);
  EXPECT_EQ(s.TotalBytes, 700 + (1 << 20) + 900 + (1 << 20) + 1);
  EXPECT_EQ(s.CopiedBytes, s.TotalBytes);
  for (const QString &f : t->Files())
    EXPECT_EQ(kptest::readFileBytes(f), kptest::readFileBytes(Dst(ExtractFileName(f)))) << f.toStdString();
  EXPECT_EQ(QFileInfo(Dst("B.MOV")).lastModified(), QFileInfo(v2).lastModified());
}

TEST_F(CopyEngine, ReplaceQuestion)
{
  struct Case {
    bool Answer, SourceLocked;
  };
  for (const Case c : {Case{true, true}, Case{true, false}, Case{false, true}}) {
    SCOPED_TRACE(testing::Message() << c.Answer << c.SourceLocked);
    const QString source = Make("R.MOV", 3000, 7), target = Dst("R.MOV");
    SetFileLocked(source, c.SourceLocked);
    QDir().mkpath(Dst());
    SetFileLocked(target, false);
    ASSERT_TRUE(kptest::writeFileBytes(target, "old") && SetFileTimes(target, 0, 40000.25));
    const QDateTime before = QFileInfo(target).lastModified();
    ASSERT_TRUE(SetFileLocked(target, true));
    auto t = Start({Video(source)});
    ASSERT_TRUE(kptest::waitUntil([&] { return t->Snapshot().ReplacePending; }, 5000));
    EXPECT_EQ(t->Snapshot().TargetName, target);
    t->AnswerReplace(c.Answer);
    EXPECT_TRUE(Finish(*t).Error.isEmpty());
    EXPECT_EQ(kptest::readFileBytes(target), c.Answer ? kptest::readFileBytes(source) : "old");
    EXPECT_EQ(IsFileLocked(target), c.Answer ? c.SourceLocked : true);
    EXPECT_EQ(QFileInfo(target).lastModified() == before, !c.Answer);
    SetFileLocked(source, false);
  }
}

TEST_F(CopyEngine, CancelledOrFailedCopiesLeaveNoPartialTarget)
{
  struct Case {
    const char *Name;
    int64_t ShrinkTo; // while paused after the first block; -1 cancels instead
  };
  for (const Case c : {Case{"cancelled", -1}, Case{"source shrinks", (3 << 20) / 2}, Case{"source emptied", 0}}) {
    SCOPED_TRACE(c.Name);
    const QString source = Make("BIG.MOV", 3 << 20, 9);
    auto t = Start({Video(source), Video(Make("NEXT.MOV", 10))}, true);
    ASSERT_TRUE(kptest::waitUntil([&] { return t->Snapshot().CopiedBytes > 0; }, 5000));
    // Written under a hidden name: the target's own name waits for the end.
    EXPECT_FALSE(QFileInfo::exists(Dst("BIG.MOV")));
    EXPECT_EQ(QDir(Dst()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    if (c.ShrinkTo < 0) {
      t->Terminate();
    } else {
      QFile::resize(source, c.ShrinkTo);
      t->SetPaused(false);
    }
    const TCopySnapshot s = Finish(*t);
    EXPECT_EQ(s.Cancelled, c.ShrinkTo < 0);
    EXPECT_EQ(s.Error.isEmpty(), c.ShrinkTo < 0) << s.Error.toStdString();
    EXPECT_EQ(s.CurrentIndex, 0);
    EXPECT_TRUE(QDir(Dst()).entryList(QDir::Files | QDir::Hidden).isEmpty());
  }
  // A source that cannot be opened names both files and stops the list.
  const QString gone = FDir.path() + QStringLiteral("/GONE.MOV");
  auto t = Start({Video(gone, 10), Video(Make("OK.MOV", 100))});
  const TCopySnapshot s = Finish(*t);
  EXPECT_TRUE(s.Error.startsWith(gone + QLatin1Char('\n') + Dst("GONE.MOV"))) << s.Error.toStdString();
  EXPECT_TRUE(QDir(Dst()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(CopyEngine, FailedReplaceKeepsTheOldTarget)
{
  const QString source = Make("OLD.MOV", 3 << 20, 15);
  QDir().mkpath(Dst());
  ASSERT_TRUE(kptest::writeFileBytes(Dst("OLD.MOV"), "the user's copy"));
  auto t = Start({Video(source)}, true);
  ASSERT_TRUE(kptest::waitUntil([&] { return t->Snapshot().ReplacePending; }, 5000));
  t->AnswerReplace(true);
  ASSERT_TRUE(kptest::waitUntil([&] { return t->Snapshot().CopiedBytes > 0; }, 5000));
  QFile::resize(source, 1 << 20); // the card is pulled
  t->SetPaused(false);
  EXPECT_FALSE(Finish(*t).Error.isEmpty());
  EXPECT_EQ(kptest::readFileBytes(Dst("OLD.MOV")), "the user's copy");
  EXPECT_EQ(QDir(Dst()).entryList(QDir::Files | QDir::Hidden), QStringList{"OLD.MOV"});
}

TEST_F(CopyEngine, FileThatAppearsWhileCopyingIsNotReplacedUnasked)
{
  for (const bool answer : {false, true}) {
    SCOPED_TRACE(answer);
    const QString source = Make("NEW.MOV", 3 << 20, 27);
    auto t = Start({Video(source)}, true);
    ASSERT_TRUE(kptest::waitUntil([&] { return t->Snapshot().CopiedBytes > 0; }, 5000));
    ASSERT_TRUE(kptest::writeFileBytes(Dst("NEW.MOV"), "saved meanwhile"));
    t->SetPaused(false);
    ASSERT_TRUE(kptest::waitUntil([&] { return t->Snapshot().ReplacePending; }, 5000));
    t->AnswerReplace(answer);
    EXPECT_TRUE(Finish(*t).Error.isEmpty());
    EXPECT_EQ(kptest::readFileBytes(Dst("NEW.MOV")), answer ? kptest::readFileBytes(source) : "saved meanwhile");
    EXPECT_EQ(QDir(Dst()).entryList(QDir::Files | QDir::Hidden), QStringList{"NEW.MOV"});
    QFile::remove(Dst("NEW.MOV"));
  }
}

TEST_F(CopyEngine, SideFilesAndUnreadableTracksGoAlong)
{
  const QString video = Make("FILE0001.MOV", 5000, 21), track = Make("FILE0001.DAT", 6, 22);
  const QString side = Make("FILE0001.3GF", 40, 23);
  auto t = Start({Video(video)}); // the track could not be read: not paired
  EXPECT_EQ(t->Files(), (QStringList{video, track, side}));
  const TCopySnapshot s = Finish(*t);
  EXPECT_TRUE(s.Error.isEmpty()) << s.Error.toStdString();
  EXPECT_EQ(s.TotalBytes, 5000 + 6 + 40);
  for (const QString &f : t->Files())
    EXPECT_EQ(kptest::readFileBytes(f), kptest::readFileBytes(Dst(ExtractFileName(f)))) << f.toStdString();
}

TEST_F(CopyEngine, CopiesKeepTheSourcesAccessAndWriteTimes)
{
  const QString source = Make("T.MOV", 3 << 20, 17);
  // Last read long ago, last written later: reading it moves its access time.
  const timespec times[2] = {{1577880000, 0}, {1622548800, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(source).constData(), times, 0), 0);
  auto t = Start({Video(source)});
  EXPECT_TRUE(Finish(*t).Error.isEmpty());
  struct stat st {};
  ASSERT_EQ(::stat(QFile::encodeName(Dst("T.MOV")).constData(), &st), 0);
  EXPECT_EQ(st.st_atim.tv_sec, times[0].tv_sec);
  EXPECT_EQ(st.st_mtim.tv_sec, times[1].tv_sec);
}

TEST_F(CopyEngine, PausedTimeIsNoCopyingTime)
{
  const int64_t size = 8 << 20;
  TFileItem item;
  item.Files = {Video(Make("P.MOV", size, 19))};
  // Windows shorter than the pause, longer than copying the rest takes.
  TFormCopyThread t(item, Dst(), TCopyDelays{700});
  t.SetPaused(true);
  QElapsedTimer clock;
  clock.start();
  t.Start();
  ASSERT_TRUE(kptest::waitUntil([&] { return t.Snapshot().CopiedBytes > 0; }, 5000));
  const qint64 pausedAt = clock.elapsed();
  kptest::spin(1500); // the user's pause
  const qint64 paused = clock.elapsed() - pausedAt;
  t.SetPaused(false);
  const TCopySnapshot s = Finish(t);
  const double activeSeconds = double(clock.elapsed() - paused) / 1000.0;
  // A speed, once measured, is no slower than the copy really was.
  EXPECT_TRUE(s.Speed == 0 || double(s.Speed) * activeSeconds >= double(size) / 2)
      << s.Speed << " B/s over " << activeSeconds << " s";
}

// Run by KilledMidwayLeavesNoTarget in a process of its own: copies the
// file it is given and waits, paused after the first block, to be killed.
TEST(CopyEngineChild, CopiesUntilKilled)
{
  const QString source = qEnvironmentVariable("KP_COPY_CHILD_SOURCE");
  if (source.isEmpty()) GTEST_SKIP() << "started by CopyEngine.KilledMidwayLeavesNoTarget";
  TFileItem item;
  item.Files = {Video(source)};
  TFormCopyThread t(item, qEnvironmentVariable("KP_COPY_CHILD_FOLDER"), TCopyDelays{});
  t.SetPaused(true);
  t.Start();
  ASSERT_TRUE(kptest::waitUntil([&] { return t.Snapshot().CopiedBytes > 0; }, 10000));
  std::printf("copying\n");
  std::fflush(stdout);
  kptest::waitUntil([] { return false; }, 60000);
}

TEST_F(CopyEngine, KilledMidwayLeavesNoTarget)
{
  const QString source = Make("KILL.MOV", 6 << 20, 25);
  QProcess child;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("KP_COPY_CHILD_SOURCE", source);
  env.insert("KP_COPY_CHILD_FOLDER", Dst());
  child.setProcessEnvironment(env);
  child.start(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget(),
              {QStringLiteral("--gtest_filter=CopyEngineChild.CopiesUntilKilled")});
  ASSERT_TRUE(child.waitForStarted(10000));
  QByteArray said;
  ASSERT_TRUE(kptest::waitUntil(
      [&] {
        child.waitForReadyRead(10);
        said += child.readAllStandardOutput();
        return said.contains("copying\n");
      },
      20000))
      << said.toStdString();
  ::kill(pid_t(child.processId()), SIGKILL);
  ASSERT_TRUE(child.waitForFinished(10000));
  EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);
  EXPECT_FALSE(QFileInfo::exists(Dst("KILL.MOV")));
  // Only the hidden temporary file is left, never the target's name.
  const QStringList left = QDir(Dst()).entryList(QDir::Files | QDir::Hidden);
  ASSERT_EQ(left.size(), 1);
  EXPECT_TRUE(left[0].startsWith(".KILL.MOV.")) << left[0].toStdString();
  // The next copy into the folder, of another recording, clears what the
  // killed one left, and only that: the user's files that look alike stay.
  QStringList users{".KILL.MOV.backup.part", ".KILL.MOV.old.part", ".KILL.MOV.v2.part", "KILL.MOV.tmp-draft1"};
  for (const QString &name : users) ASSERT_TRUE(kptest::writeFileBytes(Dst(name), "mine"));
  auto next = Start({Video(Make("NEXT.MOV", 1 << 20, 26))});
  EXPECT_TRUE(Finish(*next).Error.isEmpty());
  users << "NEXT.MOV";
  users.sort();
  EXPECT_EQ(QDir(Dst()).entryList(QDir::Files | QDir::Hidden, QDir::Name), users);
  EXPECT_EQ(kptest::readFileBytes(Dst("NEXT.MOV")), Pattern(1 << 20, 26));
}

// Nothing waits once a file's data is synced: a recording of nine small
// files takes a moment, not 0.7 s a file, with every time and lock kept.
TEST_F(CopyEngine, CopiesWithoutWaitingAndKeepsTimesAndLocks)
{
  std::vector<TFileItemSubitem> files;
  for (int i = 0; i < 9; ++i) {
    const QString source = Make(QStringLiteral("F%1.MOV").arg(i), 64 << 10, 30 + i);
    ASSERT_TRUE(SetFileTimes(source, 0, 46000.5 + i));
    if (i % 3 == 0) {
      ASSERT_TRUE(SetFileLocked(source, true));
    }
    files.push_back(Video(source));
  }
  QElapsedTimer clock;
  clock.start();
  auto t = Start(files);
  const TCopySnapshot s = Finish(*t);
  EXPECT_LT(clock.elapsed(), 2000);
  EXPECT_TRUE(s.Error.isEmpty()) << s.Error.toStdString();
  for (const TFileItemSubitem &f : files) {
    const QString target = Dst(ExtractFileName(f.FileName));
    SCOPED_TRACE(target.toStdString());
    struct stat a {
    }, b{};
    ASSERT_EQ(::stat(QFile::encodeName(f.FileName).constData(), &a), 0);
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &b), 0);
    EXPECT_EQ(a.st_mtim.tv_sec, b.st_mtim.tv_sec);
    EXPECT_EQ(a.st_mtim.tv_nsec, b.st_mtim.tv_nsec);
    EXPECT_EQ(IsFileLocked(target), IsFileLocked(f.FileName));
    SetFileLocked(f.FileName, false);
  }
}

// Finished files wait hidden for their group's sync; a cancel still names
// them, whole, with their times and locks, and leaves nothing else.
TEST_F(CopyEngine, FinishedFilesTakeTheirNamesWholeEvenWhenCancelled)
{
  std::vector<TFileItemSubitem> files;
  QStringList names;
  for (int i = 0; i < 3; ++i) {
    const QString source = Make(QStringLiteral("G%1.MOV").arg(i), (1 << 20) + 7000 * i, 50 + i);
    ASSERT_TRUE(SetFileTimes(source, 0, 45000.25 + i));
    files.push_back(Video(source));
    names << ExtractFileName(source);
  }
  ASSERT_TRUE(SetFileLocked(files[1].FileName, true));
  // The fourth file's question holds the copy while the three wait.
  files.push_back(Video(Make("Q.MOV", 100, 60)));
  QDir().mkpath(Dst());
  ASSERT_TRUE(kptest::writeFileBytes(Dst("Q.MOV"), "the user's"));
  auto t = Start(files);
  ASSERT_TRUE(kptest::waitUntil([&] { return t->Snapshot().ReplacePending; }, 5000));
  EXPECT_EQ(t->Snapshot().TargetName, Dst("Q.MOV"));
  EXPECT_EQ(QDir(Dst()).entryList(QDir::Files), QStringList{"Q.MOV"});
  EXPECT_EQ(QDir(Dst()).entryList(QDir::Files | QDir::Hidden).size(), 4);
  t->Terminate();
  const TCopySnapshot s = Finish(*t);
  EXPECT_TRUE(s.Cancelled);
  EXPECT_TRUE(s.Error.isEmpty()) << s.Error.toStdString();
  for (int i = 0; i < 3; ++i) {
    const QString &source = files[size_t(i)].FileName, target = Dst(names[i]);
    EXPECT_EQ(kptest::readFileBytes(target), kptest::readFileBytes(source));
    EXPECT_EQ(QFileInfo(target).lastModified(), QFileInfo(source).lastModified());
    EXPECT_EQ(IsFileLocked(target), i == 1);
  }
  EXPECT_EQ(kptest::readFileBytes(Dst("Q.MOV")), "the user's");
  EXPECT_EQ(QDir(Dst()).entryList(QDir::Files | QDir::Hidden), names + QStringList{"Q.MOV"});
  SetFileLocked(files[1].FileName, false);
}

// A folder the user cannot write to, or a disk that fills up: the failure
// names the file and the system's reason, and nothing is left behind.
TEST_F(CopyEngine, ReadOnlyFolderOrFullDiskIsNamedAndLeavesNothing)
{
  const QString source = Make("RO.MOV", 300 << 10, 40);
  for (const auto kind : {kptest::TSmallDisk::ReadOnly, kptest::TSmallDisk::Full}) {
    KP_SMALL_DISK(disk, kind);
    SCOPED_TRACE(disk.Name());
    auto t = Start({Video(source)}, false, disk.Path());
    const TCopySnapshot s = Finish(*t);
    EXPECT_EQ(s.Error, source + "\n" + disk.Path("RO.MOV") + "\n" +
                           SystemErrorText(kind == kptest::TSmallDisk::ReadOnly ? EROFS : ENOSPC));
    EXPECT_EQ(disk.Entries(), QStringList{});
  }
}

TEST_F(CopyEngine, TargetThatIsTheSourceIsSkipped)
{
  const QString source = Make("SELF.MOV", 4096, 11);
  auto t = Start({Video(source)}, false, FDir.path());
  const TCopySnapshot s = Finish(*t);
  EXPECT_TRUE(s.Error.isEmpty());
  EXPECT_EQ(s.CopiedBytes, 0);
  EXPECT_EQ(kptest::readFileBytes(source), Pattern(4096, 11));
}

TEST_F(CopyEngine, ClosingWhileTheQuestionWaitsEndsPromptly)
{
  QDir().mkpath(Dst());
  ASSERT_TRUE(kptest::writeFileBytes(Dst("Q.MOV"), "old"));
  TFileItem item;
  item.Files = {Video(Make("Q.MOV", 100)), Video(Make("Q2.MOV", 10))};
  auto t = std::make_unique<TFormCopyThread>(item, Dst(), TCopyDelays{}); // the real pauses
  t->Start();
  ASSERT_TRUE(kptest::waitUntil([&] { return t->Snapshot().ReplacePending; }, 5000));
  QElapsedTimer clock;
  clock.start();
  t.reset(); // terminates and joins
  EXPECT_LT(clock.elapsed(), 2000);
  EXPECT_EQ(kptest::readFileBytes(Dst("Q.MOV")), "old");
  EXPECT_FALSE(QFileInfo::exists(Dst("Q2.MOV")));
}

} // namespace
