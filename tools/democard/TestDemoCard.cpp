// The demo card as the program will see it: every file is read back with the
// program's own readers (track formats, side files, movie headers) and the
// movies also with ffprobe.

#include "DemoCard.h"
#include "TestSupport.h"
#include "UnitGpsConverters.h"
#include "UnitMOV.h"
#include "UnitMovingInfo.h"
#include "UnitUtils.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>

namespace {

using namespace kp;
using namespace kp::demo;

constexpr double kSecond = 1.0 / 86400.0;
constexpr double kMs = kSecond / 1000.0;

struct TRun {
  int ExitCode = -1;
  QString Output;
};

TRun RunGenerator(const QStringList &args)
{
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(QStringLiteral(KP_MAKE_DEMO_CARD), args);
  TRun run;
  if (!p.waitForFinished(180000)) {
    p.kill();
    p.waitForFinished();
    return run;
  }
  run.Output = QString::fromLocal8Bit(p.readAll());
  run.ExitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  return run;
}

TRun RunTool(const QString &tool, const QStringList &args)
{
  QProcess p;
  p.start(tool, args);
  TRun run;
  if (!p.waitForFinished(60000)) {
    p.kill();
    p.waitForFinished();
    return run;
  }
  run.Output = QString::fromUtf8(p.readAllStandardOutput());
  run.ExitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
  return run;
}

std::vector<TTrackInfoItem> ItemsOf(const TTrackInfo &info, uint8_t kind)
{
  std::vector<TTrackInfoItem> out;
  for (const TTrackInfoItem &it : info.Items)
    if (it.Kind == kind) out.push_back(it);
  return out;
}

double Median(std::vector<double> v)
{
  if (v.empty()) return 0;
  std::nth_element(v.begin(), v.begin() + v.size() / 2, v.end());
  return v[v.size() / 2];
}

// Strongest braking of a fragment in g, relative to the sensor's resting
// reading (the median), as the program centres it.
double StrongestBraking(const std::vector<TTrackInfoItem> &samples)
{
  std::vector<double> x;
  for (const TTrackInfoItem &s : samples) x.push_back(s.Lon);
  const double rest = Median(x);
  double lowest = 0;
  for (double v : x) lowest = std::min(lowest, v - rest);
  return lowest;
}

// Any write bit (the "user" bit would tell what root may do instead).
bool Writable(const QString &path)
{
  const auto bits = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
  return (QFile::permissions(path) & bits) != 0;
}

class DemoCard : public ::testing::Test {
protected:
  void SetUp() override
  {
    SetLocalTimeOffset(SystemLocalTimeOffset());
    SetGpsFormatsWriter([](const QString &) {});
    SetGpsFormats(QString());
    ASSERT_TRUE(FTemp.isValid());
  }
  void TearDown() override { SetGpsFormatsWriter({}); }

  QString Card(const QString &name = QStringLiteral("card")) const { return FTemp.filePath(name); }

  QTemporaryDir FTemp;
};

// Each fragment's track: the camera format, one fix a second from the
// receiver's first fix, G-sensor samples ten a second from the first frame
// to the last fix, a clean and plausible drive.
void CheckTrack(const TDemoFragment &f, const QString &root)
{
  SCOPED_TRACE(f.Name.toStdString());
  const QString dat = f.TrackPath(root);
  // The catalogue pairs the movie with this track: the first import format
  // that names a track file for it.
  QString found;
  for (const TGpsInfoConverter *c : GpsImportConverters())
    if (!(found = c->FindTrackFile(f.MoviePath(root))).isEmpty()) break;
  EXPECT_EQ(QFileInfo(found).canonicalFilePath(), QFileInfo(dat).canonicalFilePath());

  TTrackInfo info;
  ASSERT_TRUE(GpsConvertersLoad(LoadFileToString(dat), dat, info));
  const auto fixes = ItemsOf(info, ikGps);
  const auto samples = ItemsOf(info, ikGSensor);
  ASSERT_EQ(int(fixes.size()), int(f.Seconds - f.FixFromSeconds));
  ASSERT_EQ(int(samples.size()), int(f.Seconds - 1) * kStepsPerSecond + 1);
  EXPECT_NEAR(fixes.front().Time, f.Start + f.FixFromSeconds * kSecond, kMs);
  for (size_t i = 1; i < fixes.size(); ++i) ASSERT_NEAR(fixes[i].Time - fixes[i - 1].Time, kSecond, kMs);
  EXPECT_NEAR(samples.back().Time, fixes.back().Time, kMs);
  EXPECT_NEAR(samples.front().Time, f.Start, kMs);
  for (const TTrackInfoItem &s : samples) ASSERT_NEAR(s.Alt, 1.0, 0.6) << "Z holds gravity";

  const auto telemetry = TMovingInfo::LoadFromFile(dat, false);
  ASSERT_TRUE(telemetry);
  ASSERT_EQ(telemetry->Points.size(), fixes.size()) << "cleaning dropped a fix";
  double integral = 0;
  for (size_t i = 0; i < telemetry->Points.size(); ++i) {
    const TMovingPoint &p = telemetry->Points[i];
    EXPECT_FALSE(p.NoFix) << "fix " << i << " looks like a receiver fault";
    EXPECT_LE(fixes[i].Speed, 125);
    if (i > 0) integral += (fixes[i].Speed + fixes[i - 1].Speed) / 2 / 3.6;
  }
  // The track's length agrees with its speeds (the receiver's wander while
  // standing adds a little).
  EXPECT_NEAR(telemetry->GetTrackLength(), integral, 0.05 * integral + 0.5 * double(fixes.size()));
}

// An intact movie: the program's header reader and ffprobe agree on it.
void CheckMovie(const TDemoFragment &f, const QString &root, const QString &ffprobe)
{
  SCOPED_TRACE(f.Name.toStdString());
  const QString mov = f.MoviePath(root);
  TMOVReader reader(mov, true);
  ASSERT_TRUE(reader.HasMoov()) << reader.LastError().toStdString();
  EXPECT_EQ(reader.DurationMs, int64_t(f.Seconds * 1000));
  int32_t width = 0, height = 0;
  reader.GetVideoSize(width, height);
  EXPECT_EQ(width, 320);
  EXPECT_EQ(height, 180);
  EXPECT_NEAR(reader.GetVideoFPS(), 10.0, 0.01);

  // The sample tables: ten frames a second, a key frame every second, frame
  // types readable from their delimiters, PCM sound.
  TMOVReader full(mov, false);
  ASSERT_TRUE(full.HasMoov());
  EXPECT_TRUE(full.HasPCMAudio());
  const TMOVTrack *video = full.FindVideoTrack();
  ASSERT_NE(video, nullptr);
  ASSERT_EQ(int64_t(video->Samples.size()), int64_t(f.Seconds * 10));
  const auto keys =
      std::count_if(video->Samples.begin(), video->Samples.end(), [](const TMOVSample &s) { return s.KeyFrame; });
  EXPECT_EQ(keys, int64_t(f.Seconds));
  EXPECT_EQ(full.GetFrameTypes(), QStringLiteral("PPPPPPPPP")) << "the frames after a key frame";

  const TRun probe = RunTool(ffprobe, {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                                       QStringLiteral("format=duration:stream=codec_name"), QStringLiteral("-of"),
                                       QStringLiteral("default=nw=1"), mov});
  ASSERT_EQ(probe.ExitCode, 0);
  EXPECT_TRUE(probe.Output.contains(QLatin1String("codec_name=h264")));
  EXPECT_TRUE(probe.Output.contains(QLatin1String("codec_name=pcm_s16le")));
  const qsizetype at = probe.Output.indexOf(QLatin1String("duration="));
  ASSERT_GE(at, 0);
  const double seconds = StrToFloatAny(QStringView(probe.Output).mid(at + 9).split(QLatin1Char('\n')).front(), -1);
  EXPECT_NEAR(seconds * 1000, double(reader.DurationMs), 1.0);
}

void CheckFileTime(const QString &path, TDateTime expected)
{
  TDateTime created = 0, modified = 0;
  ASSERT_TRUE(GetFileTimes(path, created, modified)) << path.toStdString();
  EXPECT_NEAR(modified, expected, kMs) << path.toStdString();
}

// A trip's GPS log: the camera's tab-separated log with altitude, one line
// every 2 s, sized so the catalogue's estimate of its span holds.
void CheckLog(const TDemoTrip &trip, const QString &root)
{
  SCOPED_TRACE(trip.LogName.toStdString());
  const QString path = QDir(root).filePath(trip.LogName);
  TTrackInfo info;
  ASSERT_TRUE(GpsConvertersLoad(LoadFileToString(path), path, info));
  const auto fixes = ItemsOf(info, ikGps);
  ASSERT_EQ(fixes.size(), info.Items.size());
  ASSERT_GE(fixes.size(), size_t(2));
  for (const TTrackInfoItem &f : fixes) {
    EXPECT_GT(f.Alt, 10.0);
    EXPECT_GE(f.Speed, 0.0);
    EXPECT_GE(f.Course, 0.0);
  }
  const double span = (fixes.back().Time - fixes.front().Time) / kSecond;
  const double estimate = double(QFileInfo(path).size() / 58 * 2);
  EXPECT_NEAR(estimate, span, 0.1 * span);
  CheckFileTime(path, fixes.back().Time);
}

// The power cut: one fragment, the trip's last, lost its index.
void CheckDamaged(const TDemoCard &card, const QString &root, const QString &ffprobe)
{
  qint64 smallestIntact = INT64_MAX;
  for (const TDemoFragment &f : card.Fragments)
    if (!f.Damaged) smallestIntact = std::min(smallestIntact, QFileInfo(f.MoviePath(root)).size());
  const auto damaged =
      std::count_if(card.Fragments.begin(), card.Fragments.end(), [](const TDemoFragment &f) { return f.Damaged; });
  ASSERT_EQ(damaged, 1);
  const TDemoFragment &cut = card.Fragments.back();
  ASSERT_TRUE(cut.Damaged);
  const qint64 cutSize = QFileInfo(cut.MoviePath(root)).size();
  EXPECT_GT(cutSize, 0);
  EXPECT_LT(cutSize, smallestIntact);
  EXPECT_FALSE(TMOVReader(cut.MoviePath(root), true).HasMoov());
  EXPECT_NE(RunTool(ffprobe, {QStringLiteral("-v"), QStringLiteral("error"), cut.MoviePath(root)}).ExitCode, 0);
}

// Exactly one fragment is locked, the one with the hard braking, and its
// movie is read-only on disk.
void CheckLocked(const TDemoCard &card, const QString &root)
{
  double hardest = 0;
  int hardestAt = -1, locked = 0;
  for (size_t i = 0; i < card.Fragments.size(); ++i) {
    const TDemoFragment &f = card.Fragments[i];
    locked += f.Locked;
    EXPECT_EQ(Writable(f.MoviePath(root)), !f.Locked) << f.Name.toStdString();
    TTrackInfo info;
    ASSERT_TRUE(GpsConvertersLoad(LoadFileToString(f.TrackPath(root)), f.TrackPath(root), info));
    const double braking = StrongestBraking(ItemsOf(info, ikGSensor));
    if (braking < hardest) {
      hardest = braking;
      hardestAt = int(i);
    }
  }
  EXPECT_EQ(locked, 1);
  ASSERT_GE(hardestAt, 0);
  EXPECT_TRUE(card.Fragments[size_t(hardestAt)].Locked);
  EXPECT_LT(hardest, -kLockThresholdG);
}

void CheckCard(const QString &root, const TDemoOptions &options, const QString &ffprobe)
{
  const TDemoCard card = DemoCardPlan(options);
  ASSERT_EQ(card.Trips.size(), size_t(3));
  for (const TDemoFragment &f : card.Fragments) {
    CheckTrack(f, root);
    CheckFileTime(f.MoviePath(root), f.End());
    CheckFileTime(f.TrackPath(root), f.End());
    if (!f.Damaged) CheckMovie(f, root, ffprobe);
  }
  for (const TDemoTrip &trip : card.Trips) CheckLog(trip, root);
  EXPECT_EQ(GpsFormats(), QStringLiteral("dat600,log600"));
  CheckDamaged(card, root, ffprobe);
  CheckLocked(card, root);
}

TEST_F(DemoCard, Generates)
{
  KP_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  KP_REQUIRE_TOOL(ffprobe, "ffprobe");
  const TRun run = RunGenerator({QStringLiteral("--quick"), Card()});
  ASSERT_EQ(run.ExitCode, 0) << run.Output.toStdString();
  CheckCard(Card(), {true}, ffprobe);
}

// The card the demo script makes: one-minute fragments.
TEST_F(DemoCard, GeneratesTheDemoCard)
{
  KP_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  KP_REQUIRE_TOOL(ffprobe, "ffprobe");
  const TRun run = RunGenerator({Card()});
  ASSERT_EQ(run.ExitCode, 0) << run.Output.toStdString();
  const TDemoCard card = DemoCardPlan({false});
  EXPECT_EQ(card.Fragments.size(), size_t(12));
  EXPECT_EQ(card.Fragments.front().Seconds, 60);
  CheckCard(Card(), {false}, ffprobe);
}

TEST_F(DemoCard, SameCardEveryTimeAndKeptWhenUpToDate)
{
  KP_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  ASSERT_EQ(RunGenerator({QStringLiteral("--quick"), Card(QStringLiteral("a"))}).ExitCode, 0);
  ASSERT_EQ(RunGenerator({QStringLiteral("--quick"), Card(QStringLiteral("b"))}).ExitCode, 0);
  QDirIterator it(Card(QStringLiteral("a")), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  int compared = 0;
  while (it.hasNext()) {
    const QString a = it.next();
    const QString b = Card(QStringLiteral("b")) + a.mid(Card(QStringLiteral("a")).size());
    EXPECT_EQ(kptest::readFileBytes(a), kptest::readFileBytes(b)) << a.toStdString();
    ++compared;
  }
  EXPECT_GT(compared, 30);

  // A second run leaves an up-to-date card alone; --force writes it anew.
  const QString mov = DemoCardPlan({true}).Fragments.front().MoviePath(Card(QStringLiteral("a")));
  ASSERT_TRUE(QFile::remove(mov));
  const TRun again = RunGenerator({QStringLiteral("--quick"), Card(QStringLiteral("a"))});
  EXPECT_EQ(again.ExitCode, 0);
  EXPECT_TRUE(again.Output.contains(QLatin1String("up to date"))) << again.Output.toStdString();
  EXPECT_FALSE(QFileInfo::exists(mov));
  ASSERT_EQ(RunGenerator({QStringLiteral("--quick"), QStringLiteral("--force"), Card(QStringLiteral("a"))}).ExitCode,
            0);
  EXPECT_TRUE(QFileInfo::exists(mov));

  // A card from another version of the generator is replaced.
  const QString stamp = Card(QStringLiteral("a")) + QStringLiteral("/.kestril-demo-card");
  ASSERT_TRUE(kptest::writeFileBytes(stamp, "kestril demo card (quick), movies 0, data 00\n"));
  ASSERT_TRUE(QFile::remove(mov));
  ASSERT_EQ(RunGenerator({QStringLiteral("--quick"), Card(QStringLiteral("a"))}).ExitCode, 0);
  EXPECT_TRUE(QFileInfo::exists(mov));
  EXPECT_EQ(kptest::readFileBytes(stamp),
            kptest::readFileBytes(Card(QStringLiteral("b")) + QStringLiteral("/.kestril-demo-card")));
}

TEST_F(DemoCard, NeverWritesIntoSomeoneElsesFolder)
{
  KP_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  ASSERT_TRUE(QDir().mkpath(Card()));
  const QString notes = Card() + QStringLiteral("/notes.txt");
  ASSERT_TRUE(kptest::writeFileBytes(notes, "mine"));
  const TRun run = RunGenerator({QStringLiteral("--force"), Card()});
  EXPECT_NE(run.ExitCode, 0);
  EXPECT_TRUE(run.Output.contains(QLatin1String("not a demo card"))) << run.Output.toStdString();
  EXPECT_EQ(kptest::readFileBytes(notes), QByteArray("mine"));
  EXPECT_EQ(QDir(Card()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).size(), 1);
}

} // namespace
