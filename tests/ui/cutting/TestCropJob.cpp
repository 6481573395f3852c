// The cutting job on real recordings (a generated demo card and a B-frame
// source), with ffmpeg and ffprobe as oracles.
#include "CuttingTestSupport.h"
#include "RecordingTelemetry.h"
#include "ReportRecorder.h"
#include "CropRules.h"
#include "Errors.h"
#include "SmallDisk.h"
#include "TestSupport.h"
#include "UiTestSupport.h"
#include "UnitGpsConverterSRT.h"
#include "UnitRegSettings.h"
#include "UnitTranslate.h"
#include "UnitUtilsFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTime>
#include <csignal>
#include <unistd.h>
#include <gtest/gtest.h>

using namespace kp;
using kptest::CardMovie;

namespace {

// Runs a tool; its standard output, or its standard error after "ERR:".
QString Tool(const QString &tool, const QStringList &args)
{
  QProcess p;
  p.start(tool, args);
  p.waitForFinished(120000);
  const QString err = QString::fromUtf8(p.readAllStandardError()).trimmed();
  if (p.exitCode() != 0 || !err.isEmpty()) return QStringLiteral("ERR:") + err;
  return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// Cues of a SubRip text: "start --> end|text" without numbers, blanks at
// line ends or empty cues.
QStringList Cues(QString srt)
{
  srt.remove(QChar(0xFEFF)).remove(u'\r').remove(QRegularExpression(QStringLiteral("<[^>]*>")));
  QStringList cues;
  for (const QString &block : srt.split(QStringLiteral("\n\n"), Qt::SkipEmptyParts)) {
    QStringList lines = block.split(u'\n');
    if (lines.size() < 3) continue;
    for (QString &l : lines) l = l.trimmed();
    cues << lines[1] + u'|' + lines.mid(2).join(u'/');
  }
  return cues;
}

// Each cue of a cut's SubRip file: its start (seconds), its fix and the
// metres its trip counter shows.
struct TCue {
  double Start = 0, Lat = 0, Lon = 0, Trip = 0;
};

std::vector<TCue> TripCues(const QString &srtPath)
{
  static const QRegularExpression cue(QStringLiteral(
      "(\\d\\d:\\d\\d:\\d\\d,\\d+) --> .*\\n.*\\n([NS])([0-9.]+)\\s+([EW])([0-9.]+)\\s*\\n.*\\n\\D*(\\d+)"));
  std::vector<TCue> cues;
  const QString srt = QString::fromUtf8(kptest::readFileBytes(srtPath)).remove(u'\r');
  for (const auto &m : cue.globalMatch(srt))
    cues.push_back({QTime::fromString(m.captured(1), QStringLiteral("HH:mm:ss,zzz")).msecsSinceStartOfDay() / 1000.0,
                    m.captured(3).toDouble() * (m.captured(2) == u"S" ? -1 : 1),
                    m.captured(5).toDouble() * (m.captured(4) == u"W" ? -1 : 1), m.captured(6).toDouble()});
  return cues;
}

// Whether every fix of a ".dat" lies between its block's two marks.
bool FixesInsideTheirBlocks(const QString &datPath)
{
  for (const QString &block : QString::fromLatin1(kptest::readFileBytes(datPath)).split(QStringLiteral("[B]"))) {
    std::vector<std::pair<TDateTime, bool>> lines; // time, a mark
    for (const QString &line : block.split(u'\n'))
      if (const QStringList f = line.trimmed().split(u'\t'); f[0] == u"[G]" && f.size() > 2)
        lines.push_back({ParseISODateTime(f[1]), f[2] == u"N0.000000"});
    if (lines.size() < 2 || !lines.front().second || !lines.back().second) return false;
    for (size_t i = 1; i + 1 < lines.size(); ++i)
      if (lines[i].second || !(lines.front().first < lines[i].first && lines[i].first < lines.back().first))
        return false;
  }
  return true;
}

// The way along the fixes each fragment shows (T1 <= t < T2), and between
// fragments too when Across.
double WayShown(const std::vector<TCropItem> &items, bool across)
{
  double way = 0;
  const TMovingPoint *last = nullptr;
  for (const TCropItem &item : items) {
    const TDateTime t1 = item.StartTime + double(item.DurationMs * item.P1 / MSecsPerDay);
    const TDateTime t2 = item.StartTime + double(item.DurationMs * item.P2 / MSecsPerDay);
    if (!across) last = nullptr;
    for (const TMovingPoint &p : item.Info->Points) {
      if (p.NoFix || p.Time < t1 || p.Time >= t2) continue;
      if (last) way += GeoDistance(last->Lon, last->Lat, p.Lon, p.Lat);
      last = &p;
    }
  }
  return way;
}

QByteArray Checksum(const QString &path)
{
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256) : QByteArray();
}

class CropJob : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(QFile::exists(CardMovie(2))) << "no demo card in " KP_CUTTING_CARD;
    ASSERT_TRUE(FOut.isValid());
    kptest::ensureApplication();
    InitLanguages();
  }

  TCropItem Item(const QString &movie, bool telemetry, long double p1, long double p2, long double speed = 1,
                 bool bigFps = true)
  {
    TCropItem item;
    EXPECT_TRUE(ReadCropSource(movie, 0, item)) << movie.toStdString();
    if (telemetry) item.Info = TMovingInfo::LoadFromFile(ChangeFileExt(movie, QStringLiteral(".DAT")), false);
    EXPECT_TRUE(!telemetry || item.Info) << movie.toStdString();
    item.P1 = p1;
    item.P2 = p2;
    item.Speed = speed;
    item.BigFPS = bigFps;
    return item;
  }

  TCropOutcome Run(const QString &name, const TCropJobOptions &options = {}, TMOVProgressEvent progress = {})
  {
    TCropJob job(FItems, name, options, FHost, std::move(progress), [this](const QString &m) { FMessages << m; });
    const TCropOutcome outcome = job.Run();
    FOutput = job.OutputName();
    return outcome;
  }

  QString Out(const QString &name) const { return FOut.filePath(name); }

  // A fragment with its telemetry as the player loads it.
  TCropItem Played(const QString &movie, long double p1, long double p2, long double speed = 1)
  {
    TCropItem item = Item(movie, false, p1, p2, speed, !(speed > 1));
    item.Info = TRecordingTelemetry().LoadFile(FHost.Catalogue.PreviewFile(movie));
    EXPECT_TRUE(CropItemHasTrack(item)) << movie.toStdString();
    return item;
  }

  // The cut as the list holds it and its telemetry as the player loads it.
  std::pair<TFileItemSubitem, std::unique_ptr<TMovingInfo>> ReadBack(const QString &movie)
  {
    TFileItemSubitem file = FHost.Catalogue.PreviewFile(movie);
    return {file, TRecordingTelemetry().LoadFile(file)};
  }

  kptest::ScopedSettings FSettings;
  QTemporaryDir FOut;
  std::vector<TCropItem> FItems;
  kptest::TFakeCropHost FHost;
  QStringList FMessages;
  QString FOutput;
};

} // namespace

TEST_F(CropJob, TwoFragmentsWithEveryTrackAndSideFile)
{
  KP_REQUIRE_TOOL(ffprobe, "ffprobe");
  KP_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  FItems = {Item(CardMovie(2), true, 0.105L, 0.4L), Item(CardMovie(3), true, 0.2L, 0.9L, 4, false)};
  TCropJobOptions options;
  options.VideoSubtitles = true;
  double lastSeconds = -1;
  ASSERT_EQ(Run(Out(QStringLiteral("joined.mp4")), options,
                [&](double s, double) {
                  lastSeconds = std::max(lastSeconds, s);
                  return true;
                }),
            TCropOutcome::Finished)
      << FMessages.join(u'\n').toStdString();
  // PCM sound forces a QuickTime movie; the folder is remembered.
  EXPECT_EQ(FOutput, Out(QStringLiteral("joined.mov")));
  EXPECT_EQ(settings::CopyFolder.Read(), FOut.path() + u'/');
  EXPECT_EQ(FHost.Calls, QStringList({"stop", "hide", "show", "stop", "add " + FOutput}));
  EXPECT_TRUE(FMessages.isEmpty()) << FMessages.join(u'\n').toStdString();
  EXPECT_NEAR(double(FItems[0].P1), 0.1, 1e-9) << "the start moves back to a key frame";
  EXPECT_GT(lastSeconds, 20);

  EXPECT_EQ(Tool(ffmpeg, {"-v", "error", "-i", FOutput, "-f", "null", "-"}), QString());
  EXPECT_EQ(
      Tool(ffprobe, {"-v", "error", "-show_entries", "stream=codec_type", "-of", "csv=p=0", FOutput}).split(u'\n'),
      QStringList({"video", "audio", "subtitle"}));
  const QStringList counts =
      Tool(ffprobe, {"-v", "error", "-count_frames", "-count_packets", "-select_streams", "v", "-show_entries",
                     "stream=nb_read_frames,nb_read_packets", "-of", "csv=p=0", FOutput})
          .split(u',');
  ASSERT_EQ(counts.size(), 2);
  EXPECT_EQ(counts[0], counts[1]) << "decoded frames and packets";

  // The text track and the ".srt" side file carry the same cues; the side
  // file starts with one byte-order mark and numbers each fragment from 1.
  const QByteArray srt = kptest::readFileBytes(Out(QStringLiteral("joined.srt")));
  ASSERT_TRUE(srt.startsWith("\xEF\xBB\xBF"
                             "1\r\n"));
  EXPECT_EQ(srt.count("\xEF\xBB\xBF"), 1);
  EXPECT_EQ(QString::fromUtf8(srt).count(QRegularExpression(QStringLiteral("(^|\\n)\\x{FEFF}?1\\r\\n"))), 2);
  QStringList track = Cues(Tool(ffmpeg, {"-v", "error", "-i", FOutput, "-map", "0:s", "-f", "srt", "-"}));
  QStringList side = Cues(QString::fromUtf8(srt));
  ASSERT_GT(track.size(), 10);
  ASSERT_EQ(track.size(), side.size());
  // The track's last cue lasts to the end of the movie's longest track.
  track.back().remove(12, 17);
  side.back().remove(12, 17);
  EXPECT_EQ(track, side);

  // ".dat": two blocks, each between zero-position marks, read back as a track.
  const QString dat = QString::fromLatin1(kptest::readFileBytes(Out(QStringLiteral("joined.dat"))));
  ASSERT_TRUE(dat.startsWith(QStringLiteral("[C]\r\n"))) << "a cut's track";
  const QStringList blocks = dat.mid(5).split(QStringLiteral("[B]\r\n"));
  ASSERT_EQ(blocks.size(), 2);
  for (const QString &block : blocks) {
    const QStringList lines = block.trimmed().split(QStringLiteral("\r\n"));
    ASSERT_GE(lines.size(), 3);
    for (const QString &mark : {lines.front(), lines.back()})
      EXPECT_TRUE(mark.endsWith(QStringLiteral("\tN0.000000\tE0.000000\t0\t0"))) << mark.toStdString();
  }
  const auto back = TMovingInfo::LoadFromFile(Out(QStringLiteral("joined.dat")), false);
  ASSERT_TRUE(back);
  EXPECT_GT(back->Points.size(), 20u);
}

TEST_F(CropJob, FragmentWithoutTelemetryStillAdvancesTheClock)
{
  // A source that lost its movie since it was added, 15 s without
  // telemetry, then 6 s with it: the side files begin at 15 s.
  const QString lost = Out(QStringLiteral("lost.mov"));
  ASSERT_TRUE(QFile::copy(CardMovie(6), lost));
  FItems = {Item(lost, false, 0, 0.5L), Item(CardMovie(4), false, 0, 0.25L), Item(CardMovie(5), true, 0.5L, 0.6L)};
  FItems[0].Info = Item(CardMovie(6), true, 0, 1).Info;
  ASSERT_TRUE(QFile::resize(lost, 100));
  ASSERT_EQ(Run(Out(QStringLiteral("clock.mov"))), TCropOutcome::Finished) << FMessages.join(u'\n').toStdString();
  const QStringList cues = Cues(QString::fromUtf8(kptest::readFileBytes(Out(QStringLiteral("clock.srt")))));
  ASSERT_FALSE(cues.isEmpty());
  // The source that lost its index is named.
  EXPECT_EQ(FMessages, QStringList(lost + QStringLiteral("\r\n\r\n") + Translate(u"Cropping_ShortFragment")));
  const double start = FItems[1].DurationMs * double(FItems[1].P2 - FItems[1].P1) / 1000;
  const auto srtTime = [](double seconds) { return QString::fromLatin1(SrtFormatTime(seconds / SecsPerDay)); };
  EXPECT_GE(cues.front().left(12), srtTime(start)) << cues.front().toStdString();
  EXPECT_LE(cues.back().mid(17, 12), srtTime(start + 6.5)) << cues.back().toStdString();
  EXPECT_EQ(kptest::readFileBytes(Out(QStringLiteral("clock.dat"))).count("[B]"), 0);
}

TEST_F(CropJob, SideFileThatCannotBeSavedIsNamedAndTheMovieStays)
{
  FItems = {Item(CardMovie(2), true, 0.5L, 0.6L)};
  ASSERT_TRUE(QDir().mkdir(Out(QStringLiteral("cut.dat"))));
  EXPECT_EQ(Run(Out(QStringLiteral("cut.mov"))), TCropOutcome::Finished);
  ASSERT_EQ(FMessages.size(), 1);
  EXPECT_TRUE(FMessages[0].startsWith(Out(QStringLiteral("cut.dat: ")))) << FMessages[0].toStdString();
  EXPECT_TRUE(QFileInfo(Out(QStringLiteral("cut.mov"))).size() > 0);
  EXPECT_FALSE(kptest::readFileBytes(Out(QStringLiteral("cut.srt"))).isEmpty());
  // A movie (without PCM sound, so its name stays) named like its own side
  // file keeps its content.
  const TCropItem card = FItems[0];
  FItems = {Item(QStringLiteral(KP_CUTTING_SOURCES "/aac_b_aud_1.mov"), false, 0, 1)};
  FItems[0].Info = card.Info;
  FItems[0].StartTime = card.StartTime + card.DurationMs * 0.5 / MSecsPerDay;
  FMessages.clear();
  EXPECT_EQ(Run(Out(QStringLiteral("named.srt"))), TCropOutcome::Finished);
  EXPECT_TRUE(kptest::readFileBytes(Out(QStringLiteral("named.srt"))).startsWith(QByteArray("\0\0\0", 3)));
  EXPECT_EQ(FMessages.size(), 1);
}

TEST_F(CropJob, CancelledJobLeavesNoFile)
{
  FItems = {Item(CardMovie(2), true, 0, 0.5L), Item(CardMovie(3), true, 0, 0.5L)};
  int calls = 0;
  EXPECT_EQ(Run(Out(QStringLiteral("cancelled.mov")), {},
                [&](double, double) {
                  ++calls;
                  return false;
                }),
            TCropOutcome::Cancelled);
  EXPECT_GE(calls, 1);
  EXPECT_EQ(QDir(FOut.path()).entryList(QDir::Files), QStringList());
  EXPECT_EQ(FHost.Calls, QStringList({"stop", "hide", "show"})) << "no hand-over";
}

TEST_F(CropJob, OutputThatWouldReplaceASourceIsRefused)
{
  // Copies of two card files, so that a fault cannot damage the card.
  const QString movie = Out(QStringLiteral("clip.mov")), dat = Out(QStringLiteral("clip.DAT"));
  ASSERT_TRUE(QFile::copy(CardMovie(2), movie));
  ASSERT_TRUE(QFile::copy(ChangeFileExt(CardMovie(2), QStringLiteral(".DAT")), dat));
  ASSERT_TRUE(QFile::link(movie, Out(QStringLiteral("link.mov"))));
  ASSERT_TRUE(QDir().mkdir(Out(QStringLiteral("side"))));
  ASSERT_TRUE(QFile::link(dat, Out(QStringLiteral("side/cut.dat"))));
  const QByteArray movieSum = Checksum(movie), datSum = Checksum(dat);
  // Output name, meta ticked, the source it would replace.
  const std::tuple<QString, bool, QString> cases[] = {
      {movie, true, movie},
      {Out(QStringLiteral("link.mp4")), false, movie},
      {Out(QStringLiteral("side/cut.mp4")), true, dat},
  };
  for (const auto &[name, meta, source] : cases) {
    FItems = {Item(movie, true, 0, 0.2L)};
    FMessages.clear();
    FHost.Calls.clear();
    TCropJobOptions options;
    options.Meta = meta;
    EXPECT_EQ(Run(name, options), TCropOutcome::Refused) << name.toStdString();
    EXPECT_EQ(FMessages, QStringList(Translate(u"Cropping_SameFile") + QStringLiteral("\r\n") + source));
    EXPECT_TRUE(FHost.Calls.isEmpty());
  }
  EXPECT_EQ(Checksum(movie), movieSum);
  EXPECT_EQ(Checksum(dat), datSum);
  // Without the ".dat" the side folder's link is not in the way.
  FItems = {Item(movie, true, 0, 0.2L)};
  TCropJobOptions options;
  options.Meta = false;
  EXPECT_EQ(Run(Out(QStringLiteral("side/cut.mp4")), options), TCropOutcome::Finished);
  EXPECT_EQ(Checksum(dat), datSum);
}

TEST_F(CropJob, WriterThatCannotStartReportsAndShowsTheMainWindow)
{
  FItems = {Item(CardMovie(2), false, 0, 0.2L)};
  kptest::TReportRecorder reports;
  // A folder not made yet (the videos folder before the first save) is made.
  EXPECT_EQ(Run(Out(QStringLiteral("not yet/made/cut.mov"))), TCropOutcome::Finished);
  EXPECT_TRUE(QFileInfo(Out(QStringLiteral("not yet/made/cut.mov"))).isFile());
  FHost.Calls.clear();
  // One that cannot be made (a file stands in its way) is the user's to
  // mend: one plain message, no report.
  ASSERT_TRUE(kptest::writeFileBytes(Out(QStringLiteral("plain")), "x"));
  EXPECT_EQ(Run(Out(QStringLiteral("plain/cut.mov"))), TCropOutcome::Failed);
  EXPECT_EQ(FMessages, QStringList(FileFailureMessage(Out(QStringLiteral("plain/cut.mov")), SystemErrorText(ENOTDIR))));
  EXPECT_EQ(reports.Shown(), QStringList());
  EXPECT_EQ(FHost.Calls, QStringList({"show"}));
  // An empty name starts nothing and stores no folder.
  settings::CopyFolder.Write(QStringLiteral("/kept/"));
  EXPECT_EQ(Run(QString()), TCropOutcome::NotStarted);
  EXPECT_EQ(settings::CopyFolder.Read(), QStringLiteral("/kept/"));
}

TEST_F(CropJob, WholeCardFragmentAtSpeedOneShowsEveryFrame)
{
  KP_REQUIRE_TOOL(ffprobe, "ffprobe");
  FItems = {Item(CardMovie(2), true, 0, 1)};
  ASSERT_EQ(Run(Out(QStringLiteral("whole.mov"))), TCropOutcome::Finished);
  EXPECT_EQ(Tool(ffprobe, {"-v", "error", "-count_frames", "-select_streams", "v", "-show_entries",
                           "stream=nb_read_frames,nb_frames", "-of", "csv=p=0", FOutput}),
            QStringLiteral("600,600"));
}

TEST_F(CropJob, FailedItemIsReportedAndTheJobGoesOn)
{
  kptest::TReportRecorder reports;
  FItems = {Item(CardMovie(2), false, 0, 0.1L), Item(CardMovie(3), false, 0, 0.1L)};
  int calls = 0;
  // The first item's first progress call fails (as a repaint may).
  ASSERT_EQ(Run(Out(QStringLiteral("failed.mov")), {},
                [&](double, double) {
                  if (++calls == 1) throw std::runtime_error("repaint failed");
                  return true;
                }),
            TCropOutcome::Finished);
  EXPECT_EQ(FMessages, QStringList(QStringLiteral("repaint failed")));
  const QStringList shown = reports.Shown();
  ASSERT_EQ(shown.size(), 1);
  EXPECT_TRUE(shown[0].contains(QStringLiteral(", repaint failed\r\n"))) << shown[0].toStdString();
  // The movie holds the second item alone.
  EXPECT_NEAR(double(TMOVReader(FOutput, true).DurationMs), FItems[1].DurationMs * 0.1, 1100);
}

TEST_F(CropJob, CutKilledMidwayLeavesNoFileUnderItsName)
{
  const QString child = qEnvironmentVariable("KP_CUT_KILL_TARGET");
  if (!child.isEmpty()) {
    // The child: cuts until its first progress inside the copy, says so,
    // and waits to be killed.
    FItems = {Item(CardMovie(2), true, 0, 1), Item(CardMovie(3), true, 0, 1)};
    Run(child, {}, [&](double seconds, double) {
      if (seconds > 0) {
        kptest::writeFileBytes(child + QStringLiteral(".started"), "1");
        for (;;) ::pause();
      }
      return true;
    });
    FAIL() << "the child was not stopped";
  }
  const QString target = Out(QStringLiteral("killed.mov"));
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("KP_CUT_KILL_TARGET"), target);
  process.setProcessEnvironment(env);
  process.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=CropJob.CutKilledMidwayLeavesNoFileUnderItsName")});
  ASSERT_TRUE(process.waitForStarted(10000));
  const bool started = kptest::waitUntil([&] { return QFile::exists(target + QStringLiteral(".started")); }, 60000);
  process.kill(); // SIGKILL
  process.waitForFinished(10000);
  ASSERT_TRUE(started) << process.readAllStandardOutput().toStdString();
  const QStringList left = QDir(FOut.path()).entryList(QDir::Files | QDir::Hidden);
  EXPECT_FALSE(left.contains(QStringLiteral("killed.mov"))) << left.join(u' ').toStdString();
  // Hidden, as the copy's are.
  for (const QString &name : left)
    EXPECT_TRUE(name == QStringLiteral("killed.mov.started") || name.startsWith(QStringLiteral(".killed.mov.")))
        << name.toStdString();
  // The next cut to the same name clears what the killed one left, and
  // only that: the user's files that look alike stay.
  QStringList users{".killed.mov.backup.part", ".killed.mov.old.part", ".killed.mov.v2.part", "killed.mov.tmp-draft1"};
  for (const QString &name : users) ASSERT_TRUE(kptest::writeFileBytes(Out(name), "mine"));
  FItems = {Item(CardMovie(2), false, 0, 0.1L)};
  ASSERT_EQ(Run(target), TCropOutcome::Finished);
  users << "killed.mov"
        << "killed.mov.started";
  users.sort();
  EXPECT_EQ(QDir(FOut.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name), users);
}

// A file that takes the movie's name while the job runs is the user's: it
// stays unless the user agrees now.
TEST_F(CropJob, FileThatAppearsWhileCuttingIsReplacedOnlyWhenAgreed)
{
  for (const bool agree : {false, true}) {
    SCOPED_TRACE(agree);
    const QString target = Out(QStringLiteral("appeared.mov"));
    QFile::remove(target);
    FItems = {Item(CardMovie(2), false, 0, 0.1L)};
    QStringList asked;
    TCropJobEvents events;
    events.AskReplace = [&](const QStringList &names) {
      asked << names;
      return agree;
    };
    const auto progress = [&](double, double) {
      if (!QFile::exists(target)) kptest::writeFileBytes(target, "the user's");
      return true;
    };
    TCropJob job(
        FItems, target, {}, FHost, progress, [this](const QString &m) { FMessages << m; }, events);
    EXPECT_EQ(job.Run(), agree ? TCropOutcome::Finished : TCropOutcome::Refused);
    EXPECT_EQ(asked, QStringList(target));
    EXPECT_EQ(kptest::readFileBytes(target) == "the user's", !agree);
    EXPECT_EQ(QDir(FOut.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"appeared.mov"}));
  }
}

// A folder that cannot be written, a full disk and one that fills during
// the copy: one plain message naming the movie and the reason, no crash
// report, nothing left.
TEST_F(CropJob, DiskThatRefusesTheMovieGivesOnePlainMessage)
{
  kptest::TReportRecorder reports;
  for (const auto kind : {kptest::TSmallDisk::ReadOnly, kptest::TSmallDisk::Full, kptest::TSmallDisk::Small}) {
    KP_SMALL_DISK(disk, kind);
    SCOPED_TRACE(disk.Name());
    FItems = {Item(CardMovie(2), true, 0, 1), Item(CardMovie(3), true, 0, 1)};
    FMessages.clear();
    EXPECT_EQ(Run(disk.Path(QStringLiteral("cut.mov"))), TCropOutcome::Failed);
    EXPECT_EQ(FMessages,
              QStringList(FileFailureMessage(disk.Path(QStringLiteral("cut.mov")),
                                             SystemErrorText(kind == kptest::TSmallDisk::ReadOnly ? EROFS : ENOSPC))));
    EXPECT_EQ(reports.Shown(), QStringList());
    EXPECT_EQ(disk.Entries(), QStringList());
  }
}

TEST_F(CropJob, TruncatedSourceGivesAShorterFragmentAndSaysSo)
{
  KP_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  // A camera file cut off by a power loss: with its index first (it keeps
  // the samples before the cut), and with its index last (it has none).
  const QString faststart = Out(QStringLiteral("faststart.mov")), indexLast = Out(QStringLiteral("indexlast.mov"));
  ASSERT_EQ(Tool(ffmpeg, {"-v", "error", "-i", CardMovie(2), "-c", "copy", "-movflags", "+faststart", faststart}),
            QString());
  ASSERT_TRUE(QFile::copy(CardMovie(2), indexLast));
  for (const QString &source : {faststart, indexLast}) {
    ASSERT_TRUE(QFile::resize(source, QFileInfo(source).size() / 2));
    const QString cut = Out(QFileInfo(source).baseName() + QStringLiteral("-cut.mov"));
    FItems = {Item(CardMovie(3), false, 0, 0.1L), Item(CardMovie(2), false, 0, 1), Item(CardMovie(4), true, 0, 0.1L)};
    FItems[1].FileName = source;
    FMessages.clear();
    ASSERT_EQ(Run(cut), TCropOutcome::Finished) << FMessages.join(u'\n').toStdString();
    ASSERT_EQ(FMessages.size(), 1) << source.toStdString();
    EXPECT_EQ(FMessages[0], source + QStringLiteral("\r\n\r\n") + Translate(u"Cropping_ShortFragment"));
    // The last fragment's subtitles begin where the copied part ends.
    const double before = double(TMOVReader(cut, true).DurationMs) - FItems[2].DurationMs * 0.1;
    EXPECT_LT(before, FItems[0].DurationMs * 0.1 + FItems[1].DurationMs * 0.75) << source.toStdString();
    const QStringList cues =
        Cues(QString::fromUtf8(kptest::readFileBytes(Out(QFileInfo(source).baseName() + QStringLiteral("-cut.srt")))));
    ASSERT_FALSE(cues.isEmpty());
    const auto srtTime = [](double ms) { return QString::fromLatin1(SrtFormatTime(ms / MSecsPerDay)); };
    EXPECT_GE(cues.front().left(12), srtTime(before - 1500)) << cues.front().toStdString();
    EXPECT_LE(cues.front().left(12), srtTime(before + 1500)) << cues.front().toStdString();
  }
}

TEST_F(CropJob, DatReadBackGivesEveryFixOnceWhereTheCutShowsIt)
{
  // A selection across two files, then two adjacent fragments of one file.
  FItems = {Item(CardMovie(2), true, 0.9L, 1), Item(CardMovie(3), true, 0, 0.2L), Item(CardMovie(4), true, 0.3L, 0.5L),
            Item(CardMovie(4), true, 0.5L, 0.6L)};
  ASSERT_EQ(Run(Out(QStringLiteral("fixes.mov"))), TCropOutcome::Finished) << FMessages.join(u'\n').toStdString();
  const auto back = TMovingInfo::LoadFromFile(Out(QStringLiteral("fixes.dat")), false);
  ASSERT_TRUE(back);

  // Where each source fix is shown in the cut (seconds from its start), once.
  struct TShown {
    double Lon, Lat, At;
    TDateTime Time = 0; // in the source
  };
  std::vector<TShown> expected;
  double offset = 0;
  for (const TCropItem &item : FItems) {
    const TDateTime t1 = item.StartTime + double(item.DurationMs * item.P1 / MSecsPerDay);
    const TDateTime t2 = item.StartTime + double(item.DurationMs * item.P2 / MSecsPerDay);
    // A fix at the fragment's end is the next frame's, not the fragment's.
    for (const TMovingPoint &p : item.Info->Points) {
      if (p.NoFix || p.Time < t1 || p.Time >= t2) continue;
      const bool seen = std::any_of(expected.begin(), expected.end(), [&](const TShown &s) {
        return s.Time == p.Time && s.Lon == p.Lon && s.Lat == p.Lat;
      });
      if (!seen) expected.push_back({p.Lon, p.Lat, offset + (p.Time - t1) * SecsPerDay, p.Time});
    }
    // The next piece starts where this one's picture ends: the movie holds
    // its source's frames from the one at P1 to the one at P2.
    const TMOVReader source(item.FileName, false);
    const TMOVTrack &video = *source.FindVideoTrack();
    const auto frame = [&](long double p) {
      return video.Samples[size_t(std::min<int32_t>(TrackSampleIndexAt(video, p), int32_t(video.Samples.size()) - 1))];
    };
    offset += double(frame(item.P2).DecodeTime + frame(item.P2).Duration - frame(item.P1).DecodeTime) / video.TimeScale;
  }
  std::vector<TShown> read;
  for (const TMovingPoint &p : back->Points)
    if (!p.NoFix) read.push_back({p.Lon, p.Lat, (p.Time - back->StartTime) * SecsPerDay});
  ASSERT_EQ(read.size(), expected.size()) << "each fix once";
  for (size_t i = 0; i < read.size(); ++i) {
    EXPECT_NEAR(read[i].Lon, expected[i].Lon, 1e-6) << i;
    EXPECT_NEAR(read[i].Lat, expected[i].Lat, 1e-6) << i;
    EXPECT_NEAR(read[i].At, expected[i].At, 0.01) << i;
  }
  // The timeline starts with the first fragment's picture.
  EXPECT_NEAR((back->EndTime - back->StartTime) * SecsPerDay, offset, 0.4);
}

// A fragment cut at four times the speed: each subtitle (side file and text
// track alike) is cued on the faster movie but shows when its fix was taken,
// so 10 s into the movie it shows the fix of 40 s into the fragment. The
// ".dat" keeps the movie's one time axis: its fixes are re-timed.
TEST_F(CropJob, SpeedChangedCutShowsWhenEachFixWasTaken)
{
  FItems = {Item(CardMovie(2), true, 0, 1, 4, false)};
  ASSERT_EQ(Run(Out(QStringLiteral("fast.mov"))), TCropOutcome::Finished) << FMessages.join(u'\n').toStdString();
  const TCropItem &item = FItems[0];
  const TDateTime t1 = item.StartTime + double(item.DurationMs * item.P1 / MSecsPerDay);
  QString srt = QString::fromUtf8(kptest::readFileBytes(Out(QStringLiteral("fast.srt"))));
  srt.remove(QChar(0xFEFF));
  const QStringList blocks = srt.split(QStringLiteral("\r\n\r\n"), Qt::SkipEmptyParts);
  ASSERT_GT(blocks.size(), 10);
  int wrong = 0;
  for (const QString &block : blocks) {
    const QStringList lines = block.split(QStringLiteral("\r\n"));
    ASSERT_GE(lines.size(), 3);
    const QTime cue = QTime::fromString(lines[1].left(12), QStringLiteral("HH:mm:ss,zzz"));
    const double recordedSeconds = 4 * cue.msecsSinceStartOfDay() / 1000.0;
    const auto fix = std::find_if(item.Info->Points.begin(), item.Info->Points.end(), [&](const TMovingPoint &p) {
      return std::fabs((p.Time - t1) * SecsPerDay - recordedSeconds) < 0.1;
    });
    if (fix != item.Info->Points.end() && lines[2].trimmed() == DateTimeToStr(fix->Time)) continue;
    if (++wrong <= 3) ADD_FAILURE() << lines[1].toStdString() << " shows " << lines[2].toStdString();
  }
  EXPECT_EQ(wrong, 0);
  // The ".dat": a quarter of the fixes over a quarter of the time.
  const auto back = TMovingInfo::LoadFromFile(Out(QStringLiteral("fast.dat")), false);
  ASSERT_TRUE(back);
  const double span = (back->Points.back().Time - back->Points.front().Time) * SecsPerDay;
  EXPECT_NEAR(span, double(CropItemOutputMs(item)) / 1000, 2);
}

// Two pieces that do not touch in the camera's time (15 s apart): read back,
// the ".dat" keeps the first piece on the camera's time and gives the second
// the times that follow it in the movie, so the gap is gone from the second
// piece only.
TEST_F(CropJob, PiecesThatDoNotTouchKeepTheFirstOnTheCamerasTime)
{
  FItems = {Item(CardMovie(6), true, 0.25L, 0.75L), Item(CardMovie(7), true, 0, 0.5L)};
  ASSERT_EQ(Run(Out(QStringLiteral("apart.mov"))), TCropOutcome::Finished) << FMessages.join(u'\n').toStdString();
  const auto at = [](const TCropItem &item, long double p) {
    return item.StartTime + double(item.DurationMs * p / MSecsPerDay);
  };
  const TDateTime t1a = at(FItems[0], FItems[0].P1), t1b = at(FItems[1], FItems[1].P1);
  const double gap = (t1b - at(FItems[0], FItems[0].P2)) * SecsPerDay;
  ASSERT_GT(gap, 10);
  const double firstLength = double(CropItemOutputMs(FItems[0])) / 1000;
  const auto back = TMovingInfo::LoadFromFile(Out(QStringLiteral("apart.dat")), false);
  ASSERT_TRUE(back);
  EXPECT_NEAR((back->StartTime - t1a) * SecsPerDay, 0, 1) << "the movie starts on the camera's time";
  int matched[2] = {0, 0};
  for (const TMovingPoint &p : back->Points) {
    if (p.NoFix) continue;
    for (int piece = 0; piece < 2; ++piece) {
      const TCropItem &item = FItems[size_t(piece)];
      for (const TMovingPoint &s : item.Info->Points) {
        if (s.NoFix || std::fabs(s.Lon - p.Lon) > 1e-6 || std::fabs(s.Lat - p.Lat) > 1e-6) continue;
        // Where the movie shows the fix, on the first piece's time.
        const double expected = piece == 0 ? (s.Time - t1a) * SecsPerDay : firstLength + (s.Time - t1b) * SecsPerDay;
        EXPECT_NEAR((p.Time - t1a) * SecsPerDay, expected, 0.6) << "piece " << piece;
        ++matched[piece];
      }
    }
  }
  EXPECT_GT(matched[0], 20);
  EXPECT_GT(matched[1], 20);
  EXPECT_NEAR(back->GetTrackLength(), WayShown(FItems, false), 1) << "no way between pieces recorded apart";
}

// A 4x and a 1/8 cut of the demo card's FILE0007-9 (A at 1:00 and B at
// 4:00 of FILE0006-9), read back as the list and the player read it: every
// fix on the frame its subtitle is on and inside its block, the list counts
// every fix and the way its subtitles count.
TEST_F(CropJob, SpeedChangedCutsTrackIsWhereItsSubtitlesAre)
{
  for (const long double speed : {4.0L, 1.0L / 8}) {
    SCOPED_TRACE(double(speed));
    FItems = {Played(CardMovie(7), 0, 1, speed), Played(CardMovie(8), 0, 1, speed), Played(CardMovie(9), 0, 1, speed)};
    const QString movie = Out(QStringLiteral("speed%1.mov").arg(double(speed)));
    ASSERT_EQ(Run(movie), TCropOutcome::Finished) << FMessages.join(u'\n').toStdString();
    const std::vector<TCue> cues = TripCues(ChangeFileExt(movie, QStringLiteral(".srt")));
    ASSERT_GT(cues.size(), 40u);
    EXPECT_TRUE(FixesInsideTheirBlocks(ChangeFileExt(movie, QStringLiteral(".dat"))));
    const auto [file, telemetry] = ReadBack(movie);
    EXPECT_EQ(file.TrackPoints, int(cues.size()));
    EXPECT_NEAR(file.TrackLength, cues.back().Trip, 1);
    size_t placed = 0;
    for (const TMovingPoint &p : telemetry->Points)
      for (const TCue &cue : cues)
        if (std::fabs(cue.Lat - p.Lat) < 1e-6 && std::fabs(cue.Lon - p.Lon) < 1e-6) {
          ++placed;
          EXPECT_NEAR((p.Time - file.StartTime) * SecsPerDay, cue.Start, 0.05); // half a source frame
        }
    EXPECT_EQ(placed, cues.size());
  }
}

// A card like a user's whose trip crosses midnight: a lossless cut of the
// whole trip reads the way its fixes measure, in the list and the
// subtitles; a cut from 0:45 to 1:05 (pieces short enough to show the fix
// before them) counts from 0 at its first fix to the way driven.
TEST_F(CropJob, CutsOfATripReadTheWayItsFixesMeasure)
{
  KP_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  QTemporaryDir card;
  QString error;
  const QStringList movies = kptest::MakeMidnightCard(card.path(), ffmpeg, error);
  ASSERT_EQ(movies.size(), 3) << error.toStdString();
  for (const bool whole : {true, false}) {
    FItems = whole ? std::vector{Played(movies[0], 0, 1), Played(movies[1], 0, 1), Played(movies[2], 0, 1)}
                   : std::vector{Played(movies[0], 45.0L / 60, 1), Played(movies[1], 0, 5.0L / 60)};
    const QString movie = Out(QStringLiteral("trip%1.mov").arg(whole));
    ASSERT_EQ(Run(movie), TCropOutcome::Finished) << FMessages.join(u'\n').toStdString();
    const std::vector<TCue> cues = TripCues(ChangeFileExt(movie, QStringLiteral(".srt")));
    ASSERT_FALSE(cues.empty());
    EXPECT_EQ(cues.front().Trip, 0) << whole;
    EXPECT_NEAR(cues.back().Trip, WayShown(FItems, true), 1) << whole;
    EXPECT_NEAR(ReadBack(movie).first.TrackLength, WayShown(FItems, true), 1) << whole;
  }
}

// A camera whose sound runs a quarter of a second past its picture (the
// movie's header then gives the sound's length): cut whole, at 1x and at
// 1/8, every piece's subtitles and ".dat" fixes stand on that piece's own
// picture, and the text track ends with the movie's picture.
TEST_F(CropJob, EachPiecesTrackStandsOnItsOwnPictureWhenTheSoundRunsLonger)
{
  KP_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  constexpr double kOverhang = 0.25;
  QStringList movies;
  for (const int n : {7, 8, 9}) {
    const QString movie = Out(QFileInfo(CardMovie(n)).fileName());
    ASSERT_EQ(Tool(ffmpeg, {"-v", "error", "-i", CardMovie(n), "-map", "0", "-c:v", "copy", "-c:a", "pcm_s16le", "-af",
                            QStringLiteral("apad=pad_dur=%1").arg(kOverhang), "-map_metadata", "0", movie}),
              QString());
    for (const QString &ext : {QStringLiteral(".DAT"), QStringLiteral(".3GF")})
      ASSERT_TRUE(QFile::copy(ChangeFileExt(CardMovie(n), ext), ChangeFileExt(movie, ext)));
    // The camera closed the file when its sound ended.
    TDateTime created = 0, modified = 0;
    ASSERT_TRUE(GetFileTimes(CardMovie(n), created, modified));
    ASSERT_TRUE(SetFileTimes(movie, 0, modified + kOverhang / SecsPerDay));
    movies << movie;
  }
  for (const long double speed : {1.0L, 1.0L / 8}) {
    SCOPED_TRACE(double(speed));
    FItems = {Played(movies[0], 0, 1, speed), Played(movies[1], 0, 1, speed), Played(movies[2], 0, 1, speed)};
    ASSERT_GT(FItems[0].DurationMs, 60100) << "the header gives the sound's length";
    const QString movie = Out(QStringLiteral("longer-sound-%1.mov").arg(double(speed)));
    ASSERT_EQ(Run(movie), TCropOutcome::Finished) << FMessages.join(u'\n').toStdString();
    EXPECT_EQ(FMessages, QStringList()) << "an intact source is not short";
    // Where each source fix belongs in the cut: its piece's picture starts
    // where the pictures before it end.
    const auto expectedAt = [&](double lat, double lon) {
      double pictures = 0;
      for (const TCropItem &item : FItems) {
        for (const TMovingPoint &p : item.Info->Points)
          if (!p.NoFix && std::fabs(p.Lat - lat) < 1e-6 && std::fabs(p.Lon - lon) < 1e-6)
            return pictures + (p.Time - item.StartTime) * SecsPerDay / double(speed);
        pictures += TMOVReader(item.FileName, false).FindVideoTrack()->DurationMs / 1000.0 / double(speed);
      }
      return -1.0;
    };
    const std::vector<TCue> cues = TripCues(ChangeFileExt(movie, QStringLiteral(".srt")));
    ASSERT_GT(cues.size(), 170u);
    int wrong = 0;
    for (const TCue &cue : cues)
      if (std::fabs(cue.Start - expectedAt(cue.Lat, cue.Lon)) > 0.05 && ++wrong <= 3)
        ADD_FAILURE() << "cue at " << cue.Start << " s belongs at " << expectedAt(cue.Lat, cue.Lon) << " s";
    const auto [file, telemetry] = ReadBack(movie);
    ASSERT_TRUE(telemetry);
    for (const TMovingPoint &p : telemetry->Points) {
      const double at = (p.Time - file.StartTime) * SecsPerDay;
      if (!p.NoFix && std::fabs(at - expectedAt(p.Lat, p.Lon)) > 0.05 && ++wrong <= 6)
        ADD_FAILURE() << "fix at " << at << " s belongs at " << expectedAt(p.Lat, p.Lon) << " s";
    }
    EXPECT_EQ(wrong, 0);
    const TMOVReader cut(movie, false);
    for (const TMOVTrack &t : cut.Tracks) {
      if (t.Kind != mtkText) continue;
      EXPECT_LE(t.DurationMs, cut.FindVideoTrack()->DurationMs + 1) << "the text track outlasts the picture";
    }
  }
}
