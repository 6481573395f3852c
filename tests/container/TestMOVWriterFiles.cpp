// Cutting and joining real ffmpeg-made movies at several speeds, with a
// subtitle track. Every output must decode without an error in ffmpeg,
// show the expected streams, packets and durations in ffprobe, play to the
// end in GStreamer, give back its subtitles, and re-read in our reader with
// the tables the writer meant.

#include "Errors.h"
#include "Numbers.h"
#include "WriterSupport.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <map>

using namespace kp;
using namespace kptest;

namespace {

QString SourcesDir()
{
  const QByteArray env = qgetenv("KP_MOV_WRITER_SOURCES");
  return env.isEmpty() ? QStringLiteral(KP_MOV_WRITER_SOURCES_DEFAULT) : QString::fromLocal8Bit(env);
}

QString SourcePath(const char *name)
{
  const QString dir = SourcesDir();
  if (!QFile::exists(dir + QStringLiteral("/.done")))
    QProcess::execute(QStringLiteral("sh"), {QStringLiteral(KP_MOV_WRITER_SOURCES_SCRIPT), dir});
  return dir + QLatin1Char('/') + QLatin1String(name);
}

struct ToolRun {
  int Exit = -1;
  QByteArray Out, Err;
};

ToolRun Execute(const QString &program, const QStringList &args, int timeoutMs = 60000)
{
  QProcess p;
  p.start(program, args);
  if (!p.waitForFinished(timeoutMs)) {
    p.kill();
    p.waitForFinished();
    return {-1, {}, "timed out"};
  }
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
          p.readAllStandardError()};
}

struct Fragment {
  const char *Source;
  double P1, P2, Speed;
  bool BigFPS = false;
};

struct Cue {
  QByteArray Text;
  int64_t StartMs, EndMs;
  bool operator==(const Cue &o) const = default;
};

std::ostream &operator<<(std::ostream &os, const Cue &c)
{
  return os << c.Text.constData() << " " << c.StartMs << "-" << c.EndMs;
}

// What a cut wrote: the output, and the cues and the samples it expects.
struct Cut {
  Output Out;
  QString Path;
  std::vector<Cue> Cues;
  int64_t ClockMs = 0;
  // Where each fragment's first picture is in its source and in the output.
  struct Piece {
    const char *Source;
    double SourceAt, OutputAt; // seconds
  };
  std::vector<Piece> Pieces;
};

double VideoSeconds(const std::vector<TMOVTrack> &tracks)
{
  for (const TMOVTrack &t : tracks)
    if (t.Kind == mtkVideo && t.TimeScale > 0) return double(t.Duration) / t.TimeScale;
  return 0;
}

class MOVWriterFiles : public ::testing::Test {
protected:
  void SetUp() override
  {
    for (const char *tool : {"ffmpeg", "ffprobe", "gst-launch-1.0"}) {
      const QString path = findTool(QLatin1String(tool));
      if (path.isEmpty()) {
        if (underCI()) FAIL() << "test tool missing under CI: " << tool;
        GTEST_SKIP() << "test tool not installed: " << tool;
      }
      Tools[tool] = path;
    }
    if (!QFile::exists(SourcePath("aac_b_aud_1.mov")))
      FAIL() << "writer sources missing in " << qPrintable(SourcesDir());
  }

  // Cuts the fragments in order into one movie, writing subtitle cues every
  // half second of each fragment's output, as the cutting job does.
  Cut Make(const QString &name, const std::vector<Fragment> &frags, bool video = true, bool audio = true,
           bool subtitles = true)
  {
    Cut c;
    // KP_MOV_WRITER_KEEP names a folder that keeps the outputs for a look.
    const QString keep = qEnvironmentVariable("KP_MOV_WRITER_KEEP");
    c.Path = keep.isEmpty() ? Dir.filePath(name) : keep + QLatin1Char('/') + name;
    auto w = std::make_unique<TMOVWriter>(c.Path);
    std::vector<std::unique_ptr<TMOVReader>> readers;
    for (size_t k = 0; k < frags.size(); ++k) {
      const Fragment &f = frags[k];
      readers.push_back(std::make_unique<TMOVReader>(SourcePath(f.Source), false));
      TMOVReader &r = *readers.back();
      EXPECT_TRUE(r.HasMoov()) << f.Source;
      double p1 = f.P1, p2 = f.P2;
      const double outputAt = VideoSeconds(w->Tracks);
      EXPECT_TRUE(w->AppendFragment(p1, p2, f.Speed, f.BigFPS, r, {}, video, audio));
      c.Pieces.push_back({f.Source, p1 * VideoSeconds(r.Tracks), outputAt});
      const int64_t length = Round(double(r.DurationMs) * (p2 - p1) / f.Speed);
      if (subtitles) {
        if (k == 0) w->AddTextTrack("GPS information", 0);
        TSubtitleItems items;
        for (int64_t t = 0; t + 400 <= length; t += 500) {
          const QByteArray text =
              "F" + QByteArray::number(qulonglong(k)) + " " + QByteArray::number(qlonglong(t)) + " km/h \xc3\xa9";
          items.push_back({text, double(c.ClockMs + t) / 86400000.0, double(c.ClockMs + t + 400) / 86400000.0});
          c.Cues.push_back({text, c.ClockMs + t, c.ClockMs + t + 400});
        }
        w->WriteSubtitles(items);
      }
      c.ClockMs += length;
    }
    c.Out = Finish(w, readers.front().get(), c.Path);
    ExpectSameTables(c.Out);
    return c;
  }

  // variableRate: parts at different frame rates. ffmpeg's null output
  // then encodes at one guessed rate (the stream's 30 fps) and reports two
  // 60-fps frames that fall on one tick of it as non-increasing; with the
  // demuxer's own time base it must print nothing either.
  void ExpectDecodesCleanly(const Cut &c, bool variableRate = false)
  {
    const QStringList args = {"-nostdin", "-v", "error", "-i", c.Path, "-f", "null", "-"};
    ToolRun r = Execute(Tools["ffmpeg"], args);
    EXPECT_EQ(r.Exit, 0);
    if (variableRate) {
      for (const QByteArray &line : (r.Out + r.Err).split('\n'))
        if (!line.isEmpty()) {
          EXPECT_TRUE(line.contains("non monotonically increasing dts to muxer") ||
                      line.contains("Last message repeated"))
              << line.constData();
        }
      QStringList own = args;
      own.insert(5, "-enc_time_base");
      own.insert(6, "-1");
      r = Execute(Tools["ffmpeg"], own);
      EXPECT_EQ(r.Exit, 0);
    }
    EXPECT_EQ(r.Out + r.Err, QByteArray()) << qPrintable(c.Path);
  }

  void ExpectPlaysToTheEnd(const Cut &c)
  {
    const ToolRun r = Execute("timeout",
                              {"60", Tools["gst-launch-1.0"], "-q", "playbin", "uri=file://" + c.Path,
                               "video-sink=fakesink", "audio-sink=fakesink", "text-sink=fakesink"},
                              90000);
    EXPECT_EQ(r.Exit, 0) << qPrintable(c.Path) << "\n" << r.Out.constData() << r.Err.constData();
  }

  QJsonObject Probe(const Cut &c)
  {
    const ToolRun r =
        Execute(Tools["ffprobe"], {"-v", "error", "-of", "json", "-count_frames", "-show_streams", "-show_packets",
                                   "-show_entries", "packet=stream_index,dts,size", c.Path});
    EXPECT_EQ(r.Exit, 0) << r.Err.constData();
    return QJsonDocument::fromJson(r.Out).object();
  }

  // ffprobe sees one stream per written track, each with the packets and
  // the duration the writer wrote.
  void ExpectProbe(const Cut &c)
  {
    const QJsonObject probe = Probe(c);
    const QJsonArray streams = probe[QStringLiteral("streams")].toArray();
    ASSERT_EQ(streams.size(), qsizetype(c.Out.Written.size())) << qPrintable(c.Path);
    std::map<int, int> packets;
    std::map<int, qint64> lastDts;
    for (const QJsonValue &v : probe[QStringLiteral("packets")].toArray()) {
      const QJsonObject p = v.toObject();
      const int stream = p[QStringLiteral("stream_index")].toInt();
      ++packets[stream];
      // Decode times rise strictly in every stream.
      const qint64 dts = qint64(p[QStringLiteral("dts")].toDouble());
      if (lastDts.count(stream)) {
        EXPECT_GT(dts, lastDts[stream]) << qPrintable(c.Path) << " stream " << stream;
      }
      lastDts[stream] = dts;
    }
    for (int i = 0; i < streams.size(); ++i) {
      const QJsonObject s = streams[i].toObject();
      const TMOVTrack &t = c.Out.Written[size_t(i)];
      const QString type = s[QStringLiteral("codec_type")].toString();
      EXPECT_EQ(type, t.Kind == mtkVideo ? "video" : t.Kind == mtkAudio ? "audio" : "subtitle");
      const double seconds = double(t.Duration) / t.TimeScale;
      const double probed = s[QStringLiteral("duration")].toString().toDouble();
      // ffmpeg gives a text track the movie's duration.
      if (t.Kind != mtkText) {
        EXPECT_NEAR(probed, seconds, 0.002) << qPrintable(c.Path) << " stream " << i;
      }
      // The edit list hides no frame: every frame held is shown.
      if (t.Kind == mtkVideo) {
        EXPECT_EQ(s[QStringLiteral("nb_read_frames")].toString().toLongLong(), qint64(t.Samples.size()));
        EXPECT_EQ(s[QStringLiteral("nb_frames")].toString().toLongLong(), qint64(t.Samples.size()));
      }
      if (t.PCMFrameSize == 0 && !s[QStringLiteral("codec_name")].toString().startsWith(QLatin1String("pcm"))) {
        EXPECT_EQ(packets[i], int(t.Samples.size())) << qPrintable(c.Path) << " stream " << i;
      }
    }
  }

  std::vector<Cue> Subtitles(const Cut &c)
  {
    const ToolRun r =
        Execute(Tools["ffmpeg"], {"-nostdin", "-v", "error", "-i", c.Path, "-map", "0:s:0", "-f", "srt", "-"});
    EXPECT_EQ(r.Exit, 0) << r.Err.constData();
    EXPECT_EQ(r.Err, QByteArray());
    // A cue: its times, then its text up to a blank line. The sample
    // description's font and size come back as a font tag.
    static const QRegularExpression cue(
        QStringLiteral("(\\d+):(\\d+):(\\d+),(\\d+) --> (\\d+):(\\d+):(\\d+),(\\d+)\\r?\\n((?:[^\\r\\n]+\\r?\\n?)*)"));
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    std::vector<Cue> cues;
    for (const auto &m : cue.globalMatch(QString::fromUtf8(r.Out))) {
      auto ms = [&m](int k) {
        return ((m.captured(k).toLongLong() * 60 + m.captured(k + 1).toLongLong()) * 60 +
                m.captured(k + 2).toLongLong()) *
                   1000 +
               m.captured(k + 3).toLongLong();
      };
      QStringList lines = m.captured(9).remove(tag).split(QLatin1Char('\n'));
      for (QString &line : lines) line = line.trimmed();
      lines.removeAll(QString());
      if (!lines.isEmpty()) cues.push_back({lines.join(QLatin1Char('\n')).toUtf8(), ms(1), ms(5)});
    }
    return cues;
  }

  void ExpectAll(const Cut &c, bool variableRate = false)
  {
    ASSERT_TRUE(c.Out.Reader->HasMoov()) << qPrintable(c.Path);
    ExpectDecodesCleanly(c, variableRate);
    ExpectProbe(c);
    ExpectPlaysToTheEnd(c);
    if (!c.Cues.empty()) {
      // ffmpeg lets the last cue last to the end of the movie (it has no
      // next sample to end it); every other cue comes back as written.
      std::vector<Cue> got = Subtitles(c);
      ASSERT_EQ(got.size(), c.Cues.size()) << qPrintable(c.Path);
      EXPECT_GE(got.back().EndMs, c.Cues.back().EndMs);
      EXPECT_LE(got.back().EndMs, c.Out.Reader->DurationMs + 1);
      got.back().EndMs = c.Cues.back().EndMs;
      EXPECT_EQ(got, c.Cues) << qPrintable(c.Path);
    }
  }

  // The sound of a movie as 16-bit mono samples at Rate, as a player
  // decodes it.
  QByteArray Pcm(const QString &path, int rate)
  {
    const ToolRun r = Execute(Tools["ffmpeg"], {"-nostdin", "-v", "error", "-i", path, "-map", "0:a", "-f", "s16le",
                                                "-ac", "1", "-ar", QString::number(rate), "-"});
    EXPECT_EQ(r.Exit, 0) << r.Err.constData();
    return r.Out;
  }

  // One checksum per packet (with "-c copy") or decoded frame of the
  // streams selected, in order.
  QStringList Md5s(const QString &path, const QStringList &select)
  {
    const ToolRun r = Execute(Tools["ffmpeg"], QStringList{"-nostdin", "-v", "error", "-i", path} + select +
                                                   QStringList{"-f", "framemd5", "-"});
    EXPECT_EQ(r.Exit, 0) << r.Err.constData();
    QStringList sums;
    for (const QByteArray &line : r.Out.split('\n'))
      if (!line.isEmpty() && !line.startsWith('#')) sums << QString::fromLatin1(line.split(',').last().trimmed());
    return sums;
  }

  // The whole source at speed 1, with every check.
  Cut CopyWhole(const char *source)
  {
    Cut c = Make(QStringLiteral("copy_%1").arg(QLatin1String(source)), {{source, 0, 1, 1}}, true, true, false);
    ExpectAll(c);
    return c;
  }

  QTemporaryDir Dir;
  std::map<std::string, QString> Tools;
};

double Seconds(const TMOVTrack &t)
{
  return double(t.Duration) / t.TimeScale;
}

const TMOVTrack &Kind(const Cut &c, TMOVTrackKind kind)
{
  return TrackOfKind(c.Out.Written, kind);
}

TEST_F(MOVWriterFiles, Speed1CutsAndJoinsTwoRecordings)
{
  const Cut c = Make("join.mov", {{"aac_b_aud_1.mov", 0.1, 0.6, 1}, {"aac_b_aud_2.mov", 0.3, 0.9, 1}});
  ExpectAll(c);
  // Both fragments start on a key frame: 0.1 of 120 frames snaps back to 0,
  // 0.3 to frame 30.
  EXPECT_EQ(Kind(c, mtkVideo).Samples.size(), size_t(73 + 79));
}

TEST_F(MOVWriterFiles, Speed2KeyFramesWithBFrames)
{
  const Cut c = Make("speed2.mov", {{"aac_b_aud_1.mov", 0, 1, 2}});
  ExpectAll(c);
  const TMOVTrack &v = Kind(c, mtkVideo);
  EXPECT_LT(v.Samples.size(), 40u);
  EXPECT_NEAR(Seconds(v), 2.0, 0.05);
}

TEST_F(MOVWriterFiles, Speed8KeyFramesWithPCM)
{
  const Cut c = Make("speed8.mov", {{"pcm_nob_aud.mov", 0, 1, 8}});
  ExpectAll(c);
  EXPECT_NEAR(Seconds(Kind(c, mtkVideo)), 0.5, 0.05);
}

TEST_F(MOVWriterFiles, Speed8WithoutDelimitersKeepsKeyFramesOnly)
{
  const Cut c = Make("speed8_noaud.mov", {{"aac_b_noaud.mp4", 0, 1, 8}});
  ExpectAll(c);
  for (const TMOVSample &s : Kind(c, mtkVideo).Samples) EXPECT_TRUE(s.KeyFrame);
}

TEST_F(MOVWriterFiles, HalfSpeedRepeatsSound)
{
  const Cut c = Make("half.mov", {{"aac_b_noaud.mp4", 0, 0.5, 0.5}, {"aac_b_noaud.mp4", 0.5, 1, 1}});
  ExpectAll(c);
  EXPECT_NEAR(Seconds(Kind(c, mtkVideo)), 6.0, 0.1);
}

TEST_F(MOVWriterFiles, MixedSpeedsJoinWithHighFrameRate)
{
  const Cut c = Make(
      "mixed.mov",
      {{"pcm_nob_aud.mov", 0, 0.5, 2, true}, {"pcm_nob_aud.mov", 0.5, 1, 0.5}, {"pcm_nob_aud.mov", 0.25, 0.75, 1}});
  ExpectAll(c, true);
}

TEST_F(MOVWriterFiles, VideoOnlyWithSubtitles)
{
  const Cut c = Make("video_only.mov", {{"aac_b_aud_1.mov", 0, 1, 1}, {"aac_b_aud_2.mov", 0, 1, 2}}, true, false);
  ExpectAll(c);
  ASSERT_EQ(c.Out.Written.size(), 2u);
  EXPECT_EQ(c.Out.Written[1].TrackID, 3); // above the template's unticked sound track
}

TEST_F(MOVWriterFiles, Speed1CopiesKeepEveryFrameAndEverySoundByte)
{
  // 48 kHz PCM whose chunks (the last one shorter) are listed whole, and a
  // B-frame source (its AAC's edit list, which skips the encoder's priming,
  // is not applied: its packets are not compared).
  for (const auto &[source, sound] : {std::pair{"pcm48k_front.mov", true}, std::pair{"aac_b_aud_1.mov", false}}) {
    SCOPED_TRACE(source);
    const Cut c = CopyWhole(source);
    const QStringList frames = Md5s(SourcePath(source), {"-map", "0:v"});
    EXPECT_GE(frames.size(), 90);
    EXPECT_TRUE(Md5s(c.Path, {"-map", "0:v"}) == frames);
    const QStringList copy = {"-map", "0:a", "-c", "copy"};
    if (sound) {
      EXPECT_TRUE(Md5s(c.Path, copy) == Md5s(SourcePath(source), copy));
    }
  }
  const TMOVReader pcm(SourcePath("pcm48k_front.mov"), false);
  const TMOVTrack &sound = pcm.Tracks.at(1);
  EXPECT_EQ(sound.PCMFrameSize, 2);
  int64_t bytes = 0;
  for (const TMOVSample &s : sound.Samples) bytes += s.Size;
  EXPECT_EQ(bytes, 3 * 48000 * 2);
}

TEST_F(MOVWriterFiles, Speed4KeepsFramesOfOneIntervalAndEveryFourthIntraFrame)
{
  // One key frame and P frames only: the key frame is kept, and shown.
  const Cut one = Make("one_gop4.mov", {{"one_gop.mov", 0, 1, 4}});
  ExpectAll(one);
  EXPECT_GE(Kind(one, mtkVideo).Samples.size(), 1u);
  // Motion JPEG has no sync table: every frame is a key frame.
  const Cut mjpeg = Make("mjpeg4.mov", {{"mjpeg.mov", 0, 1, 4}});
  ExpectAll(mjpeg);
  const TMOVReader src(SourcePath("mjpeg.mov"), false);
  std::vector<int32_t> expected, got;
  for (size_t i = 0; i < src.Tracks.at(0).Samples.size(); i += 4) expected.push_back(src.Tracks[0].Samples[i].Size);
  for (const TMOVSample &s : Kind(mjpeg, mtkVideo).Samples) got.push_back(s.Size);
  EXPECT_EQ(got, expected);
}

TEST_F(MOVWriterFiles, SourcesWithoutSamplesToCopyFailAndLeaveNoFile)
{
  const QByteArray whole = readFileBytes(SourcePath("pcm48k_front.mov"));
  const TMOVReader intact(SourcePath("pcm48k_front.mov"), true);
  QByteArray unlisted = whole;
  unlisted.replace(unlisted.indexOf("stsz"), 4, "stsx"); // the video track's sizes
  const std::pair<const char *, QByteArray> cases[] = {
      {"moov and no complete sample", whole.left(intact.MoovPos + intact.MoovSize + 16)},
      {"video without sizes", unlisted},
  };
  for (const auto &[name, bytes] : cases) {
    SCOPED_TRACE(name);
    const QString in = Dir.filePath(QStringLiteral("in.mov")), out = Dir.filePath(QStringLiteral("out.mov"));
    ASSERT_TRUE(writeFileBytes(in, bytes));
    TMOVReader r(in, false);
    ASSERT_TRUE(r.HasMoov());
    auto w = std::make_unique<TMOVWriter>(out);
    double p1 = 0, p2 = 1;
    try {
      w->AppendFragment(p1, p2, 1, false, r, {}, true, true);
      ADD_FAILURE() << "the append succeeded";
    } catch (const EConvertError &e) {
      EXPECT_TRUE(e.Message().contains(QStringLiteral("track 1"))) << qPrintable(e.Message());
    }
    EXPECT_THROW(w->WriteMoov(&r), EConvertError);
    w.reset();
    EXPECT_FALSE(QFile::exists(out));
  }
}

} // namespace

// Each fragment's sound starts with its picture, within a frame, at every
// speed, and the movie's sound ends with its picture. The sources' sound is
// noise in blocks that pictures seldom begin with, so a stretch of it is
// found in one place of the output only.
TEST_F(MOVWriterFiles, EveryFragmentsSoundStartsWithItsPicture)
{
  constexpr int kRate = 16000;
  constexpr double kFrame = 1.0 / 30;
  const std::map<std::string, QByteArray> sources = {{"pcm_noise_1.mov", Pcm(SourcePath("pcm_noise_1.mov"), kRate)},
                                                     {"pcm_noise_2.mov", Pcm(SourcePath("pcm_noise_2.mov"), kRate)}};
  for (const double speed : {1.0 / 8, 0.5, 1.0, 4.0}) {
    SCOPED_TRACE(speed);
    const Cut c = Make(QStringLiteral("sound_%1.mov").arg(speed),
                       {{"pcm_noise_1.mov", 0.3, 0.62, speed},
                        {"pcm_noise_2.mov", 0.2, 0.57, speed},
                        {"pcm_noise_1.mov", 0.71, 0.9, 1}},
                       true, true, false);
    ExpectAll(c, true);
    const QByteArray out = Pcm(c.Path, kRate);
    for (size_t k = 0; k < c.Pieces.size(); ++k) {
      const Cut::Piece &piece = c.Pieces[k];
      // A slowed piece repeats its first block, here as short as 320 frames.
      const QByteArray stretch = sources.at(piece.Source).mid(qsizetype(Round(piece.SourceAt * kRate)) * 2, 200);
      ASSERT_EQ(stretch.size(), 200);
      qsizetype at = out.indexOf(stretch);
      while (at >= 0 && at % 2 != 0) at = out.indexOf(stretch, at + 1);
      ASSERT_GE(at, 0) << "piece " << k;
      EXPECT_NEAR(double(at / 2) / kRate, piece.OutputAt, kFrame) << "piece " << k;
    }
    EXPECT_NEAR(double(out.size() / 2) / kRate, VideoSeconds(c.Out.Written), kFrame);
  }
}
