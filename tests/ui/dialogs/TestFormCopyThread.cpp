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

constexpr TCopyDelays kNoDelays{0, 0, 0};

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

class CopyEngine : public ::testing::Test {
protected:
  void SetUp() override
  {
    kptest::ensureApplication();
    QDir().mkpath(Src());
  }
  QString Src() const { return FDir.path() + QStringLiteral("/card"); }
  QString Dst() const { return FDir.path() + QStringLiteral("/copies"); }
  QString Make(const QString &name, int64_t size, int seed = 1)
  {
    const QString path = Src() + QLatin1Char('/') + name;
    EXPECT_TRUE(kptest::writeFileBytes(path, Pattern(size, seed)));
    return path;
  }
  static TFileItemSubitem Video(const QString &path, int64_t recordedSize, const QString &track = {})
  {
    TFileItemSubitem f;
    f.FileName = path;
    f.Size = recordedSize;
    f.TrackFileName = track;
    return f;
  }
  static TCopySnapshot RunToEnd(TFormCopyThread &t)
  {
    t.Start();
    EXPECT_TRUE(kptest::waitUntil([&] { return t.Snapshot().Finished; }, 20000));
    return t.Snapshot();
  }
  QTemporaryDir FDir;
};

TEST_F(CopyEngine, CopiesEveryFileOfTheRecordingInOrder)
{
  TFileItem item;
  const QString v1 = Make(QStringLiteral("A.MOV"), 0), t1 = Make(QStringLiteral("A.DAT"), 700, 2);
  const QString v2 = Make(QStringLiteral("B.MOV"), 1 << 20, 3), t2 = Make(QStringLiteral("B.DAT"), 900, 4);
  const QString v3 = Make(QStringLiteral("C.MOV"), (1 << 20) + 1, 5);
  // An unknown recorded size counts as the size on disk.
  item.Files = {Video(v1, 0, t1), Video(v2, -1, t2), Video(v3, (1 << 20) + 1)};
  TFormCopyThread t(item, Dst(), kNoDelays);
  EXPECT_EQ(t.Files(), (QStringList{v1, t1, v2, t2, v3}));
  const TCopySnapshot s = RunToEnd(t);
  EXPECT_TRUE(s.Error.isEmpty()) << s.Error.toStdString();
  EXPECT_EQ(s.CurrentIndex, 5);
  EXPECT_EQ(s.TotalBytes, 700 + (1 << 20) + 900 + (1 << 20) + 1);
  EXPECT_EQ(s.CopiedBytes, s.TotalBytes);
  for (const QString &f : t.Files())
    EXPECT_EQ(kptest::readFileBytes(f), kptest::readFileBytes(Dst() + QLatin1Char('/') + ExtractFileName(f))) << f.toStdString();
  EXPECT_EQ(QFileInfo(Dst() + QStringLiteral("/B.MOV")).lastModified(), QFileInfo(v2).lastModified());
}

TEST_F(CopyEngine, ReplaceQuestion)
{
  struct Case {
    bool Answer;
    bool SourceLocked;
  };
  for (const Case c : {Case{true, true}, Case{true, false}, Case{false, true}}) {
    SCOPED_TRACE(c.Answer);
    const QString source = Make(QStringLiteral("R.MOV"), 3000, 7);
    SetFileLocked(source, c.SourceLocked);
    const QString target = Dst() + QStringLiteral("/R.MOV");
    QDir().mkpath(Dst());
    SetFileLocked(target, false);
    ASSERT_TRUE(kptest::writeFileBytes(target, Pattern(5000, 8)));
    ASSERT_TRUE(SetFileTimes(target, 0, 40000.25));
    const QDateTime before = QFileInfo(target).lastModified();
    ASSERT_TRUE(SetFileLocked(target, true));
    TFileItem item;
    item.Files = {Video(source, -1)};
    TFormCopyThread t(item, Dst(), kNoDelays);
    t.Start();
    ASSERT_TRUE(kptest::waitUntil([&] { return t.Snapshot().ReplacePending; }, 5000));
    EXPECT_EQ(t.Snapshot().TargetName, target);
    t.AnswerReplace(c.Answer);
    ASSERT_TRUE(kptest::waitUntil([&] { return t.Snapshot().Finished; }, 5000));
    EXPECT_TRUE(t.Snapshot().Error.isEmpty());
    EXPECT_EQ(kptest::readFileBytes(target), c.Answer ? kptest::readFileBytes(source) : Pattern(5000, 8));
    EXPECT_EQ(IsFileLocked(target), c.Answer ? c.SourceLocked : true);
    if (!c.Answer) {
      EXPECT_EQ(QFileInfo(target).lastModified(), before);
    }
    SetFileLocked(source, false);
  }
}

TEST_F(CopyEngine, CancelledOrFailedCopiesLeaveNoPartialTarget)
{
  struct Case {
    const char *Name;
    std::function<void(const QString &source)> Disturb; // while paused after the first block
    bool ExpectError;
  };
  const Case cases[] = {
    {"cancelled", {}, false},
    {"source shrinks", [](const QString &s) { QFile::resize(s, (3 << 20) / 2); }, true},
    {"source vanishes", [](const QString &s) { QFile::resize(s, 0); }, true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Name);
    const QString source = Make(QStringLiteral("BIG.MOV"), 3 << 20, 9);
    const QString target = Dst() + QStringLiteral("/BIG.MOV");
    QFile::remove(target);
    TFileItem item;
    item.Files = {Video(source, -1)};
    TFormCopyThread t(item, Dst(), kNoDelays);
    t.SetPaused(true);
    t.Start();
    ASSERT_TRUE(kptest::waitUntil([&] { return t.Snapshot().CopiedBytes > 0; }, 5000));
    EXPECT_TRUE(QFileInfo::exists(target));
    if (c.Disturb) {
      c.Disturb(source);
      t.SetPaused(false);
    } else {
      t.Terminate();
    }
    ASSERT_TRUE(kptest::waitUntil([&] { return t.Snapshot().Finished; }, 5000));
    const TCopySnapshot s = t.Snapshot();
    EXPECT_EQ(!s.Error.isEmpty(), c.ExpectError) << s.Error.toStdString();
    if (c.ExpectError) {
      EXPECT_TRUE(s.Error.contains(source) && s.Error.contains(target));
    }
    EXPECT_EQ(s.Cancelled, !c.ExpectError);
    EXPECT_FALSE(QFileInfo::exists(target));
  }
}

TEST_F(CopyEngine, UnreadableSourcesStopTheCopy)
{
  const QString ok = Make(QStringLiteral("OK.MOV"), 100);
  QDir().mkpath(Src() + QStringLiteral("/DIR.MOV"));
  for (const QString &bad : {Src() + QStringLiteral("/GONE.MOV"), Src() + QStringLiteral("/DIR.MOV")}) {
    SCOPED_TRACE(bad.toStdString());
    TFileItem item;
    item.Files = {Video(bad, 10), Video(ok, -1)};
    TFormCopyThread t(item, Dst(), kNoDelays);
    const TCopySnapshot s = RunToEnd(t);
    EXPECT_TRUE(s.Error.startsWith(bad));
    EXPECT_EQ(s.CurrentIndex, 0);
    EXPECT_TRUE(QDir(Dst()).entryList(QDir::Files).isEmpty());
  }
}

TEST_F(CopyEngine, TargetThatIsTheSourceIsSkipped)
{
  const QString source = Make(QStringLiteral("SELF.MOV"), 4096, 11);
  const QByteArray bytes = kptest::readFileBytes(source);
  TFileItem item;
  item.Files = {Video(source, -1)};
  TFormCopyThread t(item, Src(), kNoDelays);
  const TCopySnapshot s = RunToEnd(t);
  EXPECT_TRUE(s.Error.isEmpty());
  EXPECT_EQ(s.CopiedBytes, 0);
  EXPECT_EQ(kptest::readFileBytes(source), bytes);
}

TEST_F(CopyEngine, ClosingWhileTheQuestionWaitsEndsPromptly)
{
  const QString source = Make(QStringLiteral("Q.MOV"), 100);
  QDir().mkpath(Dst());
  ASSERT_TRUE(kptest::writeFileBytes(Dst() + QStringLiteral("/Q.MOV"), "old"));
  TFileItem item;
  item.Files = {Video(source, -1), Video(Make(QStringLiteral("Q2.MOV"), 10), -1)};
  auto t = std::make_unique<TFormCopyThread>(item, Dst(), TCopyDelays{});
  t->Start();
  ASSERT_TRUE(kptest::waitUntil([&] { return t->Snapshot().ReplacePending; }, 5000));
  QElapsedTimer clock;
  clock.start();
  t.reset(); // terminates and joins
  EXPECT_LT(clock.elapsed(), 2000);
  EXPECT_EQ(kptest::readFileBytes(Dst() + QStringLiteral("/Q.MOV")), "old");
  EXPECT_FALSE(QFileInfo::exists(Dst() + QStringLiteral("/Q2.MOV")));
}

} // namespace
