// What goes with a recording's videos on disk (track files, also unreadable
// ones, G-sensor side files, subtitles) when it is copied or deleted; lock
// changes that did not take; folders the search could not read.
#include "CatalogueTestSupport.h"
#include "LogCapture.h"
#include "RecordingFiles.h"
#include "UnitTranslate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kp;
using namespace kpcat;

namespace {

class RecordingFiles : public CatalogueTest {
protected:
  // A camera's fragment: FILEnnnn.MOV with a readable .DAT and a .3GF, as
  // the search pairs them.
  TFileItemSubitem Fragment(int number, bool readableTrack = true, bool side = true)
  {
    const QString base = QStringLiteral("DCIM/100MEDIA/FILE%1").arg(number, 4, 10, QLatin1Char('0'));
    TFileItemSubitem f = Row(Make(base + ".MOV"), At(10, number), At(10, number + 1)).Files[0];
    const QString track = Make(base + ".DAT", readableTrack ? DatTrackBytes(At(10, number), 60) : "\x01garbage");
    // The search keeps no track it could not read.
    if (readableTrack) f.TrackFileName = track;
    if (side) Make(base + ".3GF", QByteArray(40, '\0'));
    return f;
  }
  QString Card(const QString &name) const { return PathIn(QStringLiteral("DCIM/100MEDIA/") + name); }
};

TFileItem RowOf(std::vector<TFileItemSubitem> files)
{
  TFileItem row;
  row.Files = std::move(files);
  TFileManager::RecalcItem(row, {});
  return row;
}

} // namespace

TEST_F(RecordingFiles, CopyTakesTracksSideFilesAndUnreadableTracks)
{
  const TFileItemSubitem readable = Fragment(1), unreadable = Fragment(2, false), bare = Fragment(3, true, false);
  // The neighbour's track is not this video's, whatever its times say.
  TFileItemSubitem lone = Row(Make("DCIM/100MEDIA/FILE0005.MOV"), At(11, 0), At(11, 1)).Files[0];
  Make("DCIM/100MEDIA/FILE0004.DAT", DatTrackBytes(At(11, 0), 60));
  EXPECT_EQ(RecordingCopyFiles(RowOf({readable, unreadable, bare, lone})),
            (QStringList{Card("FILE0001.MOV"), Card("FILE0001.DAT"), Card("FILE0001.3GF"), Card("FILE0002.MOV"),
                         Card("FILE0002.DAT"), Card("FILE0002.3GF"), Card("FILE0003.MOV"), Card("FILE0003.DAT"),
                         Card("FILE0005.MOV")}));
  // A log shared by two files is copied once.
  const QString log = Make("GPS/trip.log", DatTrackBytes(At(10, 0), 600));
  TFileItemSubitem a = lone, b = bare;
  a.TrackFileName = b.TrackFileName = log;
  EXPECT_EQ(RecordingCopyFiles(RowOf({a, b})), (QStringList{Card("FILE0003.MOV"), log, Card("FILE0005.MOV")}));
}

TEST_F(RecordingFiles, DeleteTakesEveryFileAlongAndTheQuestionListsThem)
{
  const TFileItemSubitem one = Fragment(1), two = Fragment(2, false);
  const QString srt = Make("DCIM/100MEDIA/FILE0001.srt");
  const QString neighbour = Make("DCIM/100MEDIA/FILE0003.DAT", DatTrackBytes(At(10, 3), 60));
  auto fm = MakeManager();
  SetRows(*fm, {RowOf({one, two})});
  const std::vector<QStringList> plan = fm->FilesToDelete({fm->GetGroup(0)});
  ASSERT_EQ(plan.size(), 1u);
  const QStringList all = {Card("FILE0001.MOV"), Card("FILE0001.DAT"), Card("FILE0001.3GF"), srt,
                           Card("FILE0002.MOV"), Card("FILE0002.DAT"), Card("FILE0002.3GF")};
  EXPECT_EQ(plan[0], all);
  QStringList failed;
  EXPECT_TRUE(fm->DeleteGroupFiles(fm->GetGroup(0), &failed));
  EXPECT_TRUE(failed.isEmpty());
  for (const QString &path : all) EXPECT_FALSE(QFileInfo::exists(path)) << path.toStdString();
  EXPECT_TRUE(QFileInfo::exists(neighbour));
  EXPECT_EQ(fm->GetCount(), 0);
}

TEST_F(RecordingFiles, SharedTracksStayAndAreNamedOnceForRowsDeletedTogether)
{
  const QString log = Make("GPS/trip.log", DatTrackBytes(At(10, 0), 600));
  const QString logSide = Make("GPS/trip.3gf", QByteArray(20, '\0'));
  TFileItemSubitem a = Fragment(1, true, false), b = Fragment(2, true, false), c = Fragment(3, true, false);
  a.TrackFileName = b.TrackFileName = c.TrackFileName = log;
  auto fm = MakeManager();
  SetRows(*fm, {RowOf({a}), RowOf({b}), RowOf({c})});
  const std::vector<TFileItem> rows = {fm->GetGroup(0), fm->GetGroup(1)};
  // The third row still uses the log: it stays and is not named.
  std::vector<QStringList> plan = fm->FilesToDelete(rows);
  EXPECT_EQ(plan, (std::vector<QStringList>{{rows[0].Files[0].FileName}, {rows[1].Files[0].FileName}}));
  // Without the third row it goes with the first of the two.
  SetRows(*fm, {RowOf({a}), RowOf({b})});
  plan = fm->FilesToDelete({fm->GetGroup(0), fm->GetGroup(1)});
  ASSERT_EQ(plan.size(), 2u);
  EXPECT_EQ(plan[0].mid(1), (QStringList{log, logSide}));
  EXPECT_EQ(plan[1].size(), 1);
}

TEST_F(RecordingFiles, LockChangesThatDidNotTakeAreNamed)
{
  const QString kept = Make("DCIM/FILE0001.MOV"), gone = Make("DCIM/FILE0002.MOV");
  TFileItem row = RowOf({Row(kept, At(10, 0), At(10, 1)).Files[0], Row(gone, At(10, 1), At(10, 2)).Files[0]});
  auto fm = MakeManager();
  SetRows(*fm, {row});
  ASSERT_TRUE(QFile::remove(gone)); // taken away behind the list's back
  for (const bool lock : {true, false}) {
    QStringList unchanged;
    EXPECT_FALSE(fm->SetGroupLocked(0, lock, {}, &unchanged)) << lock;
    EXPECT_EQ(unchanged, QStringList{gone}) << lock;
    EXPECT_EQ(IsFileLocked(kept), lock);
  }
  QStringList unchanged{"stale"};
  ASSERT_TRUE(QFile::remove(kept) && WriteFile(gone, "back"));
  Make("DCIM/FILE0001.MOV");
  EXPECT_TRUE(fm->SetGroupLocked(0, true, {}, &unchanged));
  EXPECT_TRUE(unchanged.isEmpty());
}

TEST_F(RecordingFiles, UnreadableFolderIsLoggedAndShownWhileSearching)
{
  struct Case {
    const char *Name;
    bool NeedsUser; // permissions do not stop root
  };
  for (const Case c : {Case{"folder without read permission", true}, Case{"looping link as a root", false}}) {
    SCOPED_TRACE(c.Name);
    if (c.NeedsUser && ::geteuid() == 0) continue;
    QTemporaryDir dir;
    QString blocked = dir.filePath("DCIM/PRIVATE");
    QStringList roots = {dir.path()};
    if (c.NeedsUser) {
      ASSERT_TRUE(QDir().mkpath(blocked));
      ASSERT_TRUE(QFile::setPermissions(blocked, QFileDevice::Permissions()));
    } else {
      blocked = dir.filePath("loop");
      ASSERT_TRUE(QFile::link(blocked, blocked));
      roots += blocked;
    }
    kptest::TLogCapture log("kp.catalogue");
    std::mutex lock;
    QStringList statuses;
    TFileManager *seen = nullptr;
    TFileManager fm(true, [&](int32_t) {
      std::lock_guard<std::mutex> guard(lock);
      statuses += seen->GetStatus();
    });
    seen = &fm;
    fm.SetSearchRoots(roots);
    fm.Start();
    fm.WaitFor();
    EXPECT_EQ(fm.UnreadableFolders(), QStringList{blocked + "/"});
    EXPECT_EQ(log.LinesWith(blocked).size(), 1) << log.Lines().join('\n').toStdString();
    std::lock_guard<std::mutex> guard(lock);
    EXPECT_FALSE(statuses.filter(blocked).isEmpty()) << statuses.join('\n').toStdString();
    EXPECT_EQ(fm.GetStatus(), ""); // idle again, and what was skipped still told
    EXPECT_EQ(fm.SkippedNotice(), Translate(u"Mes_CantReadFolder") + ": " + blocked + "/");
    QFile::setPermissions(blocked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  }
}

// A card copied under a Latin-1 system: a folder and a file whose names are
// no UTF-8 cannot be listed by a name the program could open again; each is
// counted once (also when two roots meet it) and logged with its bytes.
TEST_F(RecordingFiles, NamesThatAreNotUtf8AreCountedAndLogged)
{
  QTemporaryDir dir;
  const QByteArray root = QFile::encodeName(dir.path());
  ASSERT_EQ(::mkdir((root + "/trip \xfc").constData(), 0755), 0);
  for (const QByteArray &name : {QByteArray("/trip \xfc/FILE0001.MOV"), QByteArray("/b\xe4"
                                                                                   "d.MOV")}) {
    const int fd = ::open((root + name).constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
  }
  ASSERT_TRUE(kptest::writeFileBytes(dir.filePath("GOOD.MOV"), "x"));
  kptest::TLogCapture log("kp.catalogue");
  TFileManager fm(true, [](int32_t) {});
  fm.SetSearchRoots({dir.path(), dir.path() + "/"});
  fm.Start();
  fm.WaitFor();
  ASSERT_EQ(fm.GetCount(), 1);
  EXPECT_TRUE(fm.GetGroup(0).Summary.FileName.endsWith("GOOD.MOV"));
  EXPECT_EQ(fm.UnrepresentableNames(), 2);
  EXPECT_EQ(fm.SkippedNotice(), Translate(u"Mes_NamesNotUtf8") + ": 2");
  EXPECT_EQ(log.LinesWith("trip %FC").size(), 1) << log.Lines().join('\n').toStdString();
  EXPECT_EQ(log.LinesWith("b%E4d.MOV").size(), 1) << log.Lines().join('\n').toStdString();
}
