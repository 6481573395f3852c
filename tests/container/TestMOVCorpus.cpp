// Real files from ffmpeg, with ffprobe as the oracle for every sample.

#include "CorpusSupport.h"
#include "TestSupport.h"
#include "UnitMOV.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <cmath>

using namespace kp;
using namespace kptest;

namespace {

QJsonObject Probe(const QString &ffprobe, const QStringList &args, const QString &file)
{
  QProcess p;
  p.start(ffprobe, QStringList{"-v", "error", "-of", "json"} + args + QStringList{file});
  if (!p.waitForFinished(60000) || p.exitCode() != 0) return {};
  return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

struct TPacket {
  int64_t Pos = 0;
  int32_t Size = 0;
  bool Key = false;
};

QMap<int, QList<TPacket>> PacketsByStream(const QJsonObject &probe)
{
  QMap<int, QList<TPacket>> out;
  for (const QJsonValue &v : probe[QStringLiteral("packets")].toArray()) {
    const QJsonObject p = v.toObject();
    out[p[QStringLiteral("stream_index")].toInt()].append(
        {p[QStringLiteral("pos")].toString().toLongLong(), p[QStringLiteral("size")].toString().toInt(),
         p[QStringLiteral("flags")].toString().startsWith(QLatin1Char('K'))});
  }
  return out;
}

bool IsPCM(const TMOVTrack &t)
{
  for (const char *c : {"SOWT", "TWOS", "ULAW", "ALAW", "RAW ", "LPCM", "IN24", "IN32", "FL32", "FL64"})
    if (t.Codec == c) return true;
  return false;
}

double MaxSampleMs(const TMOVTrack &t)
{
  double d = 0;
  for (const TMOVSample &s : t.Samples) d = std::max(d, s.Duration);
  return t.TimeScale > 0 ? d * 1000.0 / t.TimeScale : 0;
}

void CompareTrack(const TMOVTrack &t, const QJsonObject &stream, const QList<TPacket> &packets)
{
  const char *type = t.Kind == mtkVideo ? "video" : t.Kind == mtkAudio ? "audio" : t.Kind == mtkText ? "subtitle" : "";
  if (*type) {
    EXPECT_EQ(stream[QStringLiteral("codec_type")].toString(), QLatin1String(type));
  }
  if (t.Kind == mtkVideo) {
    EXPECT_EQ(t.Width, stream[QStringLiteral("width")].toInt());
    EXPECT_EQ(t.Height, stream[QStringLiteral("height")].toInt());
  }

  // Durations within a frame: ffprobe applies the edit list, we do not.
  const double probeMs = stream[QStringLiteral("duration")].toString().toDouble() * 1000.0;
  EXPECT_NEAR(double(t.DurationMs), probeMs, MaxSampleMs(t) + 1.0);

  if (IsPCM(t)) {
    // ffprobe cuts each chunk into packets of at most 1024 frames: in file
    // order they tile our samples, one per chunk, exactly.
    EXPECT_GT(t.PCMFrameSize, 0);
    qsizetype k = 0;
    for (const TMOVSample &s : t.Samples) {
      int64_t at = s.Offset;
      while (k < packets.size() && packets[k].Pos == at) at += packets[k++].Size;
      EXPECT_EQ(at, s.Offset + s.Size) << "sample at " << s.Offset;
    }
    EXPECT_EQ(k, packets.size());
    return;
  }
  // A text track's last empty sample may lie beyond the edit: ffprobe drops it.
  if (t.Kind == mtkText) {
    EXPECT_LE(int(t.Samples.size()) - int(packets.size()), 1);
  } else {
    ASSERT_EQ(t.Samples.size(), size_t(packets.size()));
  }
  const bool keys = t.Kind == mtkVideo &&
                    std::any_of(t.Samples.begin(), t.Samples.end(), [](const TMOVSample &s) { return s.KeyFrame; });
  for (qsizetype i = 0; i < packets.size() && i < qsizetype(t.Samples.size()); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(t.Samples[i].Offset, packets[i].Pos);
    EXPECT_EQ(t.Samples[i].Size, packets[i].Size);
    if (keys) {
      EXPECT_EQ(t.Samples[i].KeyFrame, packets[i].Key);
    }
  }
}

} // namespace

TEST(MOVCorpus, EverySampleAndTheVideoFactsMatchFfprobe)
{
  KP_REQUIRE_TOOL(ffprobe, "ffprobe");
  KP_REQUIRE_CORPUS(files);
  for (const QString &file : files) {
    SCOPED_TRACE(qPrintable(QFileInfo(file).fileName()));
    const QJsonObject probe = Probe(ffprobe, {"-show_streams", "-show_packets"}, file);
    const QJsonArray streams = probe[QStringLiteral("streams")].toArray();
    ASSERT_FALSE(streams.isEmpty());
    TMOVReader r(file, false);
    ASSERT_TRUE(r.HasMoov()) << qPrintable(r.LastError());
    EXPECT_TRUE(r.LastError().isEmpty()) << qPrintable(r.LastError());
    ASSERT_EQ(r.Tracks.size(), size_t(streams.size()));
    const auto packets = PacketsByStream(probe);
    for (qsizetype i = 0; i < streams.size(); ++i) {
      SCOPED_TRACE(qPrintable(QStringLiteral("track %1 %2").arg(i).arg(QString::fromLatin1(r.Tracks[i].Codec))));
      CompareTrack(r.Tracks[i], streams[i].toObject(), packets.value(int(i)));
    }

    // Picture size, frame rate and bit rate from the header-only read.
    QJsonObject v;
    for (const QJsonValue &s : streams)
      if (v.isEmpty() && s[QStringLiteral("codec_type")].toString() == QLatin1String("video")) v = s.toObject();
    TMOVReader head(file, true);
    int32_t w = 0, h = 0;
    head.GetVideoSize(w, h);
    EXPECT_EQ(w, v[QStringLiteral("width")].toInt());
    EXPECT_EQ(h, v[QStringLiteral("height")].toInt());
    const QStringList rate = v[QStringLiteral("avg_frame_rate")].toString().split(QLatin1Char('/'));
    ASSERT_EQ(rate.size(), 2);
    const double fps = rate[0].toDouble() / rate[1].toDouble();
    EXPECT_NEAR(head.GetVideoFPS(), fps, fps * 0.01);
    const double kbps = v[QStringLiteral("bit_rate")].toString().toDouble() / 1000.0;
    EXPECT_NEAR(head.GetVideoBitrate(), kbps, kbps * 0.01);
  }
}

TEST(MOVCorpus, FrameTypesMatchDecodedPictureTypes)
{
  KP_REQUIRE_TOOL(ffprobe, "ffprobe");
  KP_REQUIRE_CORPUS(files);
  int withDelimiters = 0;
  for (const QString &file : files) {
    SCOPED_TRACE(qPrintable(QFileInfo(file).fileName()));
    TMOVReader r(file, false);
    const QString types = r.GetFrameTypes();
    if (!file.contains(QStringLiteral("_aud_"))) {
      EXPECT_EQ(types, QString(types.size(), QLatin1Char('.')));
      continue;
    }
    ++withDelimiters;
    const QJsonObject probe =
        Probe(ffprobe, {"-select_streams", "v", "-show_frames", "-show_entries", "frame=pkt_pos,pict_type"}, file);
    QMap<int64_t, QString> typeAt;
    for (const QJsonValue &f : probe[QStringLiteral("frames")].toArray())
      typeAt[f[QStringLiteral("pkt_pos")].toString().toLongLong()] = f[QStringLiteral("pict_type")].toString();
    const TMOVTrack *video = r.FindVideoTrack();
    ASSERT_NE(video, nullptr);
    QString expected;
    for (size_t i = 1; i < video->Samples.size() && !video->Samples[i].KeyFrame; ++i)
      expected += typeAt.value(video->Samples[i].Offset, QStringLiteral("-"));
    EXPECT_FALSE(expected.isEmpty());
    EXPECT_EQ(types, expected);
  }
  EXPECT_GE(withDelimiters, 3);
}

TEST(MOVCorpus, HeaderOnlyReadsTheMoovAndNoMediaData)
{
  KP_REQUIRE_CORPUS(files);
  for (const QString &file : files) {
    SCOPED_TRACE(qPrintable(QFileInfo(file).fileName()));
    TMOVReader head(file, true);
    TMOVReader full(file, false);
    ASSERT_TRUE(head.HasMoov());
    EXPECT_EQ(head.MoovPos, full.MoovPos);
    EXPECT_EQ(head.MoovSize, full.MoovSize);
    EXPECT_EQ(head.DurationMs, full.DurationMs);
    ASSERT_EQ(head.Tracks.size(), full.Tracks.size());
    for (size_t i = 0; i < head.Tracks.size(); ++i) {
      EXPECT_TRUE(head.Tracks[i].Samples.empty());
      // PCM is regrouped into chunks only when the chunk tables are read.
      if (full.Tracks[i].PCMFrameSize > 0) continue;
      EXPECT_EQ(head.Tracks[i].SampleCount, full.Tracks[i].SampleCount);
      EXPECT_EQ(head.Tracks[i].TotalBytes, full.Tracks[i].TotalBytes);
    }
    // The moov, the tag at offset 4 and one header per top-level atom.
    EXPECT_LE(head.Stream->BytesRead(), head.MoovSize + 4 + 8 * 8);
  }
}
