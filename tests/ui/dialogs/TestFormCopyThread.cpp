// The copy engine on temporary files: list order, byte-identical copies,
// the replace question, cancelling, failures and a target that is the source.

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
#include <gtest/gtest.h>

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
    auto t = std::make_unique<TFormCopyThread>(item, folder.isEmpty() ? Dst() : folder, TCopyDelays{0, 0, 0});
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
    EXPECT_TRUE(QFileInfo::exists(Dst("BIG.MOV")));
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
    EXPECT_TRUE(QDir(Dst()).entryList(QDir::Files).isEmpty());
  }
  // A source that cannot be opened names both files and stops the list.
  const QString gone = FDir.path() + QStringLiteral("/GONE.MOV");
  auto t = Start({Video(gone, 10), Video(Make("OK.MOV", 100))});
  const TCopySnapshot s = Finish(*t);
  EXPECT_TRUE(s.Error.startsWith(gone + QLatin1Char('\n') + Dst("GONE.MOV"))) << s.Error.toStdString();
  EXPECT_TRUE(QDir(Dst()).entryList(QDir::Files).isEmpty());
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
