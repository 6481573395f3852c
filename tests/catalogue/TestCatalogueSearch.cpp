// The search: roots, the folder walk, new rows, the preview of a row and
// the thread's whole pass.
#include "CatalogueTestSupport.h"
#include "LogCapture.h"
#include "UnitUtilsFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <array>
#include <tuple>

using namespace kp;
using namespace kpcat;

namespace {

// The temporary folder is made a mount point of its own, so the folder
// tests for GPS logs see only what the test builds below it.
class Search : public CatalogueTest {
protected:
  void SetUp() override
  {
    CatalogueTest::SetUp();
    FSaved = DriveSources();
    SetMounts({Dir()});
  }
  void TearDown() override
  {
    SetDriveSources(FSaved);
    CatalogueTest::TearDown();
  }
  void SetMounts(const QStringList &mounts)
  {
    QByteArray table = "overlay / overlay rw 0 0\n";
    for (const QString &m : mounts)
      table += "/dev/sdz1 " + QFile::encodeName(m).replace(" ", "\\040") + " vfat rw 0 0\n";
    const QString file = FMounts.filePath("mounts");
    ASSERT_TRUE(WriteFile(file, table));
    TDriveSources sources = FSaved;
    sources.MountsFile = file;
    SetDriveSources(sources);
  }
  QStringList ListedNames(const TFileManager &fm) const
  {
    QStringList names;
    for (const TFileItem &row : Rows(fm))
      for (const TFileItemSubitem &f : row.Files) names += QDir(Dir()).relativeFilePath(f.FileName);
    names.sort();
    return names;
  }
  TDriveSources FSaved;
  QTemporaryDir FMounts;
};

TFileItem OneFile(TDateTime start, TDateTime end, TDateTime trackStart, TDateTime trackEnd)
{
  TFileItem row;
  TFileItemSubitem f;
  f.StartTime = start;
  f.EndTime = end;
  f.DurationMs = Round((end - start) * MSecsPerDay);
  f.TrackStartTime = trackStart;
  f.TrackEndTime = trackEnd;
  row.Files.push_back(f);
  return row;
}

} // namespace

TEST(SearchRoots, OrderDesktopDuplicatesAndNetworkVolumes)
{
  TSearchRootInputs in;
  in.CurrentFolder = "/home/ann/videos";
  in.ProgramFolder = "/opt/kestril/";
  in.DesktopFolder = "/home/ann/Desktop";
  in.CurrentMountRoot = "/";
  in.CurrentFsType = "ext4";
  in.CardRoots = {"/media/ann/CARD", "/HOME/ANN/VIDEOS/"};
  EXPECT_EQ(SearchRoots(in), (QStringList{"/home/ann/videos/", "/opt/kestril/", "/DCIM/", "/media/ann/CARD/"}));

  in.CurrentFolder = "/home/ann/Desktop/trip";
  in.CurrentMountRoot = "/mnt/share/";
  in.CurrentFsType = "nfs4";
  EXPECT_EQ(SearchRoots(in), (QStringList{"/opt/kestril/", "/media/ann/CARD/", "/HOME/ANN/VIDEOS/"}));
  in.CurrentFsType = "cifs";
  EXPECT_FALSE(SearchRoots(in).contains("/mnt/share/DCIM/"));
  in.CurrentFsType = "exfat";
  EXPECT_TRUE(SearchRoots(in).contains("/mnt/share/DCIM/"));
}

TEST(SearchRoots, GpsLogFolders)
{
  const std::tuple<const char *, const char *, bool> cases[] = {
      {"/nandlog/", ".log", false},     {"/gps/", ".log", true},       {"/log/", ".log", true},
      {"/dcim/gpslogs/", ".log", true}, {"/", ".log", false},          {"/gps/", ".plt", false},
      {"/tracks/", ".plt", true},       {"/mytracks/", ".plt", false}, {"/tracks/", ".gpx", false},
      {"/x/symdvr/", ".gpx", true},     {"/gps/", ".txt", false}};
  for (const auto &[folder, ext, log] : cases) EXPECT_EQ(IsGpsLogPath(folder, ext), log) << folder << ext;
}

TEST_F(Search, FolderWalkDepthAndFileKinds)
{
  Make("a/b/c/DEEP3.MOV", MovieBytes(1000));
  Make("a/b/c/d/DEEP4.MOV", MovieBytes(1000));
  Make("NANDLOG/n.log");
  Make("GPS/g.log");
  Make("Log/l.log");
  Make("plain.log");
  Make("x/w.plt");
  Make("TRACKS/t.plt");
  Make("x/w.gpx");
  Make("SYMDVR/s.gpx");
  Make("DATA/FILE0001.DAT");
  Make("clip.mp4", MovieBytes(1000));
  QDir().mkpath(PathIn("elsewhere"));
  Make("elsewhere/LINKED.MOV", MovieBytes(1000));
  ASSERT_TRUE(QFile::link(PathIn("elsewhere"), PathIn("a/linkdir")));
  ASSERT_TRUE(QFile::link(PathIn("clip.mp4"), PathIn("a/linked.MOV")));

  auto fm = MakeManager();
  EXPECT_TRUE(fm->AddFolder(Dir()));
  EXPECT_EQ(ListedNames(*fm), (QStringList{"a/b/c/DEEP3.MOV", "a/linked.MOV", "clip.mp4", "elsewhere/LINKED.MOV"}));
  QStringList logs;
  for (const QString &p : fm->GetGpsLogList()) logs += QDir(Dir()).relativeFilePath(p);
  logs.sort();
  EXPECT_EQ(logs, (QStringList{"GPS/g.log", "Log/l.log", "SYMDVR/s.gpx", "TRACKS/t.plt"}));
  EXPECT_EQ(GetDatFiles(*fm), QStringList{PathIn("DATA/FILE0001.DAT")});
  EXPECT_GE(FNotified, 1);
  EXPECT_EQ(fm->GetStatus(), "");
  EXPECT_FALSE(fm->AddFolder(Dir())); // nothing new
}

TEST_F(Search, FolderTestsLookBelowTheMountPoint)
{
  Make("logan/trip.log");
  SetMounts({PathIn("logan")});
  auto fm = MakeManager();
  fm->AddFolder(PathIn("logan"));
  EXPECT_TRUE(fm->GetGpsLogList().isEmpty());
  SetMounts({Dir()});
  fm->AddFolder(PathIn("logan"));
  EXPECT_EQ(fm->GetGpsLogList(), QStringList{PathIn("logan/trip.log")});
}

TEST_F(Search, GpsLogTimesFromFileTimesOrSize)
{
  const QString log = Make("GPS/trip.log", QByteArray(5800, 'x'));
  FTimes.Set(log, At(10, 0) - 3, At(10, 0)); // file times 3 days apart
  const QString backwards = Make("GPS/back.log", QByteArray(580, 'x'));
  FTimes.Set(backwards, At(11, 0), At(10, 0));
  const QString plausible = Make("GPS/near.log");
  FTimes.Set(plausible, At(9, 0), At(10, 0));
  auto fm = MakeManager();
  fm->AddFolder(Dir());
  std::vector<TGPSLogFileItem> logs = fm->GetGpsLogs();
  ASSERT_EQ(logs.size(), 3u);
  std::sort(logs.begin(), logs.end(), [](const auto &a, const auto &b) { return a.FileName < b.FileName; });
  EXPECT_EQ(logs[0].FileName, backwards);
  EXPECT_NEAR((logs[0].EndTime - logs[0].StartTime) * SecsPerDay, 20, 1e-6);
  EXPECT_EQ(logs[1].FileName, plausible);
  EXPECT_EQ(logs[1].StartTime, At(9, 0));
  EXPECT_EQ(logs[2].FileName, log);
  EXPECT_EQ(logs[2].EndTime, At(10, 0));
  EXPECT_NEAR((logs[2].EndTime - logs[2].StartTime) * SecsPerDay, 200, 1e-6);
}

TEST_F(Search, NewRowsFromFileFacts)
{
  auto fm = MakeManager();
  TFileRecord rec;
  rec.Size = 1234;
  rec.ReadOnly = true;
  rec.Created = At(10, 0);
  rec.Modified = At(10, 1);
  fm->AddVideoFile("/card/DCIM/FI123456.MOV", &rec);
  rec.Created = At(10, 2);
  fm->AddVideoFile("/card/DCIM/FI000000.MOV", &rec); // created after written
  rec.Created = At(5, 0);
  fm->AddVideoFile("/card/DCIM/Fragment of FILE0001 (12-00-00 - 12-01-00).mov", &rec); // 5 h earlier
  rec.Created = At(6, 1);
  rec.Modified = At(10, 1);
  fm->AddVideoFile("/card/DCIM/FI12345A.MOV", &rec); // exactly 4 h: kept

  const std::vector<TFileItem> rows = Rows(*fm);
  ASSERT_EQ(rows.size(), 4u);
  const auto facts = [](const TFileItem &r) {
    return std::tuple(r.Summary.Name, r.Summary.Locked, r.Summary.Size, r.Summary.StartTime, r.Summary.DurationMs,
                      r.Summary.DurationSource, r.DurationText);
  };
  EXPECT_EQ(facts(rows[0]), std::tuple("FILE3456.12", lsLocked, 1234, At(10, 0), 60000, dsEstimated, "~1:00"));
  EXPECT_EQ(facts(rows[1]), std::tuple("FI000000", lsLocked, 1234, 0.0, -1, dsUnknown, "?"));
  EXPECT_EQ(rows[2].Summary.Name, "FILE0001 (fr)");
  EXPECT_EQ(rows[2].Summary.StartTime, 0);
  EXPECT_EQ(rows[3].Summary.Name, "FI12345A");
  EXPECT_EQ(rows[3].Summary.DurationMs, 4 * 3600000);
  EXPECT_EQ(fm->IndexOfFile("/CARD/dcim/fi123456.mov"), 0);
  EXPECT_EQ(fm->IndexOfFile("/card/DCIM/other.MOV"), -1);
}

TEST_F(Search, PreviewReadsHeadersAndTracks)
{
  SetLocalTimeOffset(0);
  const QString movie = AddMovie("DCIM/FILE0001.MOV", At(12, 1, 30), 60000);
  ASSERT_TRUE(WriteFile(PathIn("DCIM/FILE0001.dat"), DatTrackBytes(At(12, 0), 60)));
  const QString lone = AddMovie("DCIM/FILE0005.MOV", At(12, 10), 60000);
  ASSERT_TRUE(WriteFile(PathIn("DCIM/FILE0005.dat"), DatTrackBytes(At(12, 9), 0))); // one fix
  const QString broken = PathIn("DCIM/BROKEN.MOV");
  ASSERT_TRUE(WriteFile(broken, "not a movie"));
  FTimes.Set(broken, At(11, 0), At(11, 1));

  auto fm = MakeManager();
  ASSERT_TRUE(fm->AddFolder(Dir()));
  int fi = -1;
  TFileItemSubitem f = fm->GetGroup(fm->IndexOfFile(movie, &fi)).Files[0];
  EXPECT_EQ(std::tuple(f.DurationSource, f.DurationMs, f.Width, f.Height, f.TrackPoints, f.HasTrack),
            std::tuple(dsHeader, 60000, 640, 360, 61, true));
  EXPECT_NEAR(f.FrameRate, 10, 1e-9);
  EXPECT_EQ(f.TrackFileName, PathIn("DCIM/FILE0001.dat"));
  EXPECT_NEAR(f.TrackLength, 600, 1);
  // 60 s of video and 60 s of track agree: the file takes the track's times.
  EXPECT_NEAR(f.StartTime, At(12, 0), 1e-8);
  EXPECT_NEAR(f.EndTime, At(12, 1), 1e-8);

  f = fm->GetGroup(fm->IndexOfFile(lone)).Files[0];
  EXPECT_EQ(f.TrackFileName, ""); // one point is no track
  EXPECT_EQ(f.TrackStartTime, 0);

  f = fm->GetGroup(fm->IndexOfFile(broken)).Files[0];
  EXPECT_EQ(f.DurationSource, dsNoHeader);
  EXPECT_EQ(f.DurationMs, 60000); // the file times' estimate stays
  EXPECT_EQ(fm->GetGroup(fm->IndexOfFile(broken)).DurationText, "1:00");
}

TEST_F(Search, TracksFoundThroughTheDatList)
{
  const QString movie = AddMovie("DCIM/A/FILE0001.MOV", At(12, 1), 60000);
  QDir().mkpath(PathIn("DATA"));
  ASSERT_TRUE(WriteFile(PathIn("DATA/file0001.DAT"), DatTrackBytes(At(12, 0), 60)));
  auto fm = MakeManager();
  fm->AddFolder(Dir());
  EXPECT_EQ(fm->GetGroup(fm->IndexOfFile(movie)).Files[0].TrackFileName, PathIn("DATA/file0001.DAT"));
}

TEST_F(Search, FileTimesFitTrackTimes)
{
  // File start and end, track start and end, then the file's times after.
  const std::array<TDateTime, 6> cases[] = {
      // 600 s of file and 604 s of track agree: the track's times win.
      {At(12, 0), At(12, 10), At(10, 0), At(10, 10, 4), At(10, 0), At(10, 10, 4)},
      // 600 and 700 s do not; outside the track the file moves to its end.
      {At(12, 0), At(12, 10), At(10, 0), At(10, 11, 40), At(10, 1, 40), At(10, 11, 40)},
      // Overlapping but disagreeing: nothing changes.
      {At(10, 5), At(10, 15), At(10, 0), At(10, 11, 40), At(10, 5), At(10, 15)},
      // Within 1% of the sum agrees too.
      {At(12, 0), At(14, 0), At(10, 0), At(12, 1), At(10, 0), At(12, 1)},
  };
  for (const auto &c : cases) {
    TFileItem row = OneFile(c[0], c[1], c[2], c[3]);
    TFileManager::FitTimesToGps(row);
    EXPECT_NEAR(row.Files[0].StartTime, c[4], 1e-9) << &c - cases;
    EXPECT_NEAR(row.Files[0].EndTime, c[5], 1e-9) << &c - cases;
  }
}

TEST_F(Search, ThreadPassFindsPreviewsMatchesAndGroups)
{
  for (int k = 1; k <= 3; ++k) {
    const QString name = QStringLiteral("DCIM/FILE%1").arg(k, 4, 10, QLatin1Char('0'));
    AddMovie(name + ".MOV", At(12, k), 60000);
    ASSERT_TRUE(WriteFile(PathIn(name + ".dat"), DatTrackBytes(At(12, k - 1), 60)));
  }
  AddMovie("DCIM/FILE0009.MOV", At(18, 1), 60000);
  const QString log = PathIn("GPS/trip.log");
  QDir().mkpath(PathIn("GPS"));
  ASSERT_TRUE(WriteFile(log, DatTrackBytes(At(18, 0), 60)));
  FTimes.Set(log, At(17, 0), At(19, 0));

  TPostQueue queue;
  int changes = 0;
  std::vector<int> counts;
  TFileManager *seen = nullptr;
  auto fm = std::make_unique<TFileManager>(
      true,
      [&](int32_t index) {
        EXPECT_EQ(index, -1);
        ++changes;
        counts.push_back(seen->GetCount());
      },
      queue.Post());
  seen = fm.get();
  fm->SetSearchRoots({Dir()});
  fm->Start();
  EXPECT_TRUE(fm->Searching());
  EXPECT_EQ(fm->GetCount(), 1); // the status row
  TFileListItem status;
  status.ImageIndex = fliLocked;
  fm->FillListItem(0, status);
  ASSERT_EQ(status.SubItems.size(), 1);
  EXPECT_TRUE(status.SubItems[0].startsWith(". . . ")) << status.SubItems[0].toStdString();
  EXPECT_TRUE(status.SubItems[0].endsWith(" . . ."));
  EXPECT_EQ(status.ImageIndex, fliNone);
  fm->WaitFor();
  EXPECT_FALSE(fm->Searching());
  EXPECT_EQ(queue.Size(), 1u); // coalesced while nobody drained
  queue.Drain();
  EXPECT_EQ(changes, 1);

  const std::vector<TFileItem> rows = Rows(*fm);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(fm->GetStatus(), "");
  const TFileItem &trip = rows[0].Files.size() == 3 ? rows[0] : rows[1];
  const TFileItem &single = rows[0].Files.size() == 3 ? rows[1] : rows[0];
  EXPECT_EQ(trip.Summary.Name, "FILE0001-3");
  EXPECT_EQ(trip.Summary.DurationMs, 180000);
  EXPECT_EQ(trip.Summary.DurationSource, dsHeader);
  EXPECT_TRUE(trip.Summary.HasTrack);
  EXPECT_NEAR(trip.Summary.TrackLength, 1800, 3);
  EXPECT_EQ(trip.DistanceText, "1.80");          // no unit word before the first Refresh
  EXPECT_EQ(single.Files[0].TrackFileName, log); // the card log covers it
  EXPECT_EQ(fm->GetGpsLogList(), QStringList{log});
}

TEST_F(Search, ClearDuringSearchEmptiesAtTheEnd)
{
  for (int k = 1; k <= 3; ++k) AddMovie(QStringLiteral("DCIM/FILE000%1.MOV").arg(k), At(12, k), 60000);
  TPostQueue queue;
  TFileManager fm(
      true, [](int32_t) {}, queue.Post());
  fm.SetSearchRoots({Dir()});
  fm.Start();
  fm.Clear();
  EXPECT_EQ(fm.GetCount(), 1); // still searching: the list stays until the end
  fm.WaitFor();
  EXPECT_EQ(fm.GetCount(), 0);
  EXPECT_EQ(fm.GetStatus(), "");
  fm.Clear(); // idle: at once
  EXPECT_EQ(fm.GetCount(), 0);
}

TEST_F(Search, StoppedCatalogueDeliversNothing)
{
  for (int k = 1; k <= 3; ++k) AddMovie(QStringLiteral("DCIM/FILE000%1.MOV").arg(k), At(12, k), 60000);
  TPostQueue queue;
  int changes = 0;
  {
    TFileManager fm(
        true, [&](int32_t) { ++changes; }, queue.Post());
    fm.SetSearchRoots({Dir()});
    fm.Start();
    while (queue.Size() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    fm.Stop();
  } // joins the thread without the queue ever being drained
  queue.Drain();
  EXPECT_EQ(changes, 0);
}

TEST_F(Search, DamagedMovieLeavesOneWarningNamingIt)
{
  const QString good = AddMovie("DCIM/FILE0001.MOV", At(12, 1), 60000);
  const QString damaged = Make("DCIM/FILE0002.MOV", QByteArray(64, '\x5a'));
  kptest::TLogCapture log("kp.catalogue");
  TPostQueue queue;
  TFileManager fm(
      true, [](int32_t) {}, queue.Post());
  fm.SetSearchRoots({Dir()});
  fm.Start();
  fm.WaitFor();
  queue.Drain();
  EXPECT_EQ(fm.GetCount(), 2);
  EXPECT_EQ(log.Lines().size(), 1) << log.Lines().join('\n').toStdString();
  EXPECT_EQ(log.LinesWith(damaged).size(), 1);
  EXPECT_TRUE(log.LinesWith(good).isEmpty());
}
