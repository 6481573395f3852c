// Header-only movie reading as the catalogue does it, against ffprobe on the
// same files: 500 one-minute 1080p-like camera fragments whose media data is
// left sparse (only the atoms are written), with realistic sample tables.
//
// Run by hand: kp_mov_bench --help.

#include "BenchCommandLine.h"
#include "UnitMOV.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

using namespace kp;

namespace {

const char *const kUsage =
    "usage: kp_mov_bench [WORK_FOLDER [FILE_COUNT]]\n"
    "Reads the headers of FILE_COUNT (default 500) one-minute 1080p-like camera fragments whose\n"
    "media data is left sparse, as the catalogue does, against ffprobe on the same files.\n"
    "The fragments are written in WORK_FOLDER (default: a new temporary folder), which must be\n"
    "missing or empty, and removed at the end. Exits 0 when ours is at least 100 times faster\n"
    "and reads at most moov + 64 KiB, 1 when not, 2 on a usage mistake or a missing tool.\n";

constexpr int Fps = 30;
constexpr int Seconds = 60;
constexpr int AudioRate = 48000;
constexpr int AudioFrame = 1024;

// ---------------------------------------------------------------- atoms

struct TAtom {
  QByteArray Data;
  TAtom(const char *type) { Data = QByteArray(4, '\0') + QByteArray(type, 4); }
  TAtom &u8(uint8_t v)
  {
    Data.append(char(v));
    return *this;
  }
  TAtom &u16(uint16_t v) { return u8(uint8_t(v >> 8)).u8(uint8_t(v)); }
  TAtom &u32(uint32_t v) { return u16(uint16_t(v >> 16)).u16(uint16_t(v)); }
  TAtom &zeros(int n)
  {
    Data.append(QByteArray(n, '\0'));
    return *this;
  }
  TAtom &add(const QByteArray &b)
  {
    Data.append(b);
    return *this;
  }
  QByteArray done()
  {
    const auto n = uint32_t(Data.size());
    for (int i = 0; i < 4; ++i) Data[i] = char(n >> (24 - 8 * i));
    return Data;
  }
};

// The raw stsd atom of the first track of the given kind in a real file.
QByteArray FindStsd(TByteStream &in, int64_t end, const char *handler, bool &inWanted)
{
  while (in.Position() + 8 <= end) {
    const int64_t pos = in.Position();
    const uint32_t size = in.ReadU32BE();
    const QByteArray type = in.ReadBlock(4);
    if (size < 8 || pos + size > end) break;
    if (type == "moov" || type == "trak" || type == "mdia" || type == "minf" || type == "stbl") {
      if (type == "trak") inWanted = false;
      const QByteArray found = FindStsd(in, pos + size, handler, inWanted);
      if (!found.isEmpty()) return found;
    } else if (type == "hdlr") {
      in.Skip(8);
      inWanted = in.ReadBlock(4) == handler;
    } else if (type == "stsd" && inWanted) {
      in.Seek(pos);
      return in.ReadBlock(size);
    }
    in.Seek(pos + size);
  }
  return {};
}

struct TTemplate {
  QByteArray VideoStsd, AudioStsd;
};

bool MakeTemplate(const QString &dir, TTemplate &t)
{
  const QString path = dir + QStringLiteral("/template.mp4");
  if (!QFile::exists(path)) {
    const int rc =
        QProcess::execute(QStringLiteral("ffmpeg"), {QStringLiteral("-nostdin"),
                                                     QStringLiteral("-loglevel"),
                                                     QStringLiteral("error"),
                                                     QStringLiteral("-y"),
                                                     QStringLiteral("-f"),
                                                     QStringLiteral("lavfi"),
                                                     QStringLiteral("-i"),
                                                     QStringLiteral("testsrc2=size=1920x1080:rate=30:duration=0.2"),
                                                     QStringLiteral("-f"),
                                                     QStringLiteral("lavfi"),
                                                     QStringLiteral("-i"),
                                                     QStringLiteral("sine=sample_rate=48000:duration=0.2"),
                                                     QStringLiteral("-c:v"),
                                                     QStringLiteral("libx264"),
                                                     QStringLiteral("-preset"),
                                                     QStringLiteral("ultrafast"),
                                                     QStringLiteral("-pix_fmt"),
                                                     QStringLiteral("yuv420p"),
                                                     QStringLiteral("-c:a"),
                                                     QStringLiteral("aac"),
                                                     path});
    if (rc != 0) return false;
  }
  try {
    TFileStream in(path);
    bool wanted = false;
    t.VideoStsd = FindStsd(in, in.Size(), "vide", wanted);
    in.Seek(0);
    t.AudioStsd = FindStsd(in, in.Size(), "soun", wanted);
  } catch (const EStreamError &) {
    return false;
  }
  return !t.VideoStsd.isEmpty() && !t.AudioStsd.isEmpty();
}

QByteArray Table(const char *type, const std::vector<uint32_t> &values, bool withCount = true, uint32_t first = 0)
{
  TAtom a(type);
  a.u32(0);
  if (std::string_view(type) == "stsz") a.u32(first);
  if (withCount)
    a.u32(uint32_t(std::string_view(type) == "stts" || std::string_view(type) == "stsc"
                       ? values.size() / (std::string_view(type) == "stts" ? 2 : 3)
                       : values.size()));
  for (uint32_t v : values) a.u32(v);
  return a.done();
}

QByteArray Trak(int id, bool video, const QByteArray &stsd, const std::vector<uint32_t> &sizes,
                const std::vector<uint32_t> &offsets, uint32_t timeScale, uint32_t delta)
{
  const auto count = uint32_t(sizes.size());
  const uint32_t duration = count * delta;
  TAtom tkhd("tkhd");
  tkhd.u32(7).u32(0xE0000000u).u32(0xE0000000u).u32(uint32_t(id)).u32(0).u32(duration * 1000 / timeScale).zeros(52);
  tkhd.u32(video ? 1920u << 16 : 0).u32(video ? 1080u << 16 : 0);
  TAtom mdhd("mdhd");
  mdhd.u32(0).u32(0xE0000000u).u32(0xE0000000u).u32(timeScale).u32(duration).u16(0x55C4).u16(0);
  TAtom hdlr("hdlr");
  hdlr.u32(0).u32(0).add(video ? "vide" : "soun").zeros(12).add(video ? "VideoHandler" : "SoundHandler").u8(0);
  TAtom stbl("stbl");
  stbl.add(stsd).add(Table("stts", {count, delta})).add(Table("stsc", {1, 1, 1})).add(Table("stsz", sizes));
  stbl.add(Table("stco", offsets));
  if (video) {
    std::vector<uint32_t> sync;
    for (uint32_t i = 0; i < count; i += Fps) sync.push_back(i + 1);
    stbl.add(Table("stss", sync));
  }
  TAtom vmhd(video ? "vmhd" : "smhd");
  vmhd.u32(1).zeros(video ? 8 : 4);
  TAtom dinf("dinf");
  TAtom dref("dref");
  TAtom url("url ");
  dinf.add(dref.u32(0).u32(1).add(url.u32(1).done()).done());
  TAtom minf("minf");
  minf.add(vmhd.done()).add(dinf.done()).add(stbl.done());
  TAtom mdia("mdia");
  mdia.add(mdhd.done()).add(hdlr.done()).add(minf.done());
  TAtom trak("trak");
  return trak.add(tkhd.done()).add(mdia.done()).done();
}

// One fragment: interleaved video frames and sound frames, sizes varying.
bool WriteFragment(const QString &path, const TTemplate &t, int seed, bool moovFirst)
{
  std::mt19937 random(seed);
  const int videoCount = Fps * Seconds;
  const int audioCount = AudioRate * Seconds / AudioFrame;
  std::vector<uint32_t> vsizes, asizes, voffsets, aoffsets;
  for (int i = 0; i < videoCount; ++i)
    vsizes.push_back(i % Fps == 0 ? 180000 + random() % 40000 : 20000 + random() % 20000);
  for (int i = 0; i < audioCount; ++i) asizes.push_back(300 + random() % 200);
  const auto layout = [&](int64_t dataStart) {
    voffsets.clear();
    aoffsets.clear();
    int64_t pos = dataStart;
    for (int v = 0, a = 0; v < videoCount || a < audioCount;) {
      if (v < videoCount && (a >= audioCount || int64_t(v) * audioCount <= int64_t(a) * videoCount)) {
        voffsets.push_back(uint32_t(pos));
        pos += vsizes[v++];
      } else {
        aoffsets.push_back(uint32_t(pos));
        pos += asizes[a++];
      }
    }
    return pos;
  };
  TAtom ftyp("ftyp");
  const QByteArray ftypBytes = ftyp.add("isom").u32(512).add("isomiso2avc1mp41").done();
  const auto moovOf = [&]() {
    TAtom mvhd("mvhd");
    mvhd.u32(0).u32(0xE0000000u).u32(0xE0000000u).u32(1000).u32(Seconds * 1000).u32(0x10000).u16(0x100).zeros(70);
    mvhd.u32(3);
    TAtom moov("moov");
    return moov.add(mvhd.done())
        .add(Trak(1, true, t.VideoStsd, vsizes, voffsets, 90000, 90000 / Fps))
        .add(Trak(2, false, t.AudioStsd, asizes, aoffsets, AudioRate, AudioFrame))
        .done();
  };
  try {
    TFileStream out(path, TFileStream::fmCreate);
    out.WriteBlock(ftypBytes);
    // The moov's size does not depend on the offsets, so lay out once to
    // learn it, then for real.
    layout(0);
    const int64_t moovSize = moovOf().size();
    const int64_t mdatStart = ftypBytes.size() + (moovFirst ? moovSize : 0);
    const int64_t mdatEnd = layout(mdatStart + 8);
    const QByteArray moov = moovOf();
    if (moovFirst) out.WriteBlock(moov);
    out.WriteU32BE(uint32_t(mdatEnd - mdatStart));
    out.WriteBlock("mdat");
    // The media data stays a hole: the file system stores no blocks for it.
    if (moovFirst) {
      const char last = 0;
      out.WriteAt(mdatEnd - 1, &last, 1);
    } else {
      out.WriteAt(mdatEnd, moov.constData(), moov.size());
    }
  } catch (const EStreamError &e) {
    std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path), e.what());
    return false;
  }
  return true;
}

} // namespace

int main(int argc, char **argv)
{
  const kpbench::TCommandLine line = kpbench::ReadCommandLine(argc, argv, kUsage, 2);
  if (line.Exit >= 0) return line.Exit;
  const int count = kpbench::CountArgument(line.Names.value(1), 500, 1, 100000);
  if (count < 0) {
    std::fprintf(stderr, "FILE_COUNT must be a whole number from 1\n%s", kUsage);
    return 2;
  }
  QCoreApplication app(argc, argv);
  const kpbench::TWorkFolder folder(QStringLiteral("kp_mov_bench"), line.Names.value(0));
  if (!folder.Ok()) {
    std::fprintf(stderr, "%s\n", qPrintable(folder.Error()));
    return 2;
  }
  const QString dir = folder.Path();
  if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty() ||
      QStandardPaths::findExecutable(QStringLiteral("ffprobe")).isEmpty()) {
    std::fprintf(stderr, "ffmpeg and ffprobe are needed\n");
    return 2;
  }
  TTemplate tmpl;
  if (!MakeTemplate(dir, tmpl)) {
    std::fprintf(stderr, "cannot make the template clip\n");
    return 2;
  }
  QStringList files;
  for (int i = 0; i < count; ++i) {
    const QString path = dir + QStringLiteral("/frag%1.mp4").arg(i, 4, 10, QLatin1Char('0'));
    if (!QFile::exists(path) && !WriteFragment(path, tmpl, i, i % 2 == 1)) return 2;
    files << path;
  }

  // Ours: three passes over every file, the best pass counts (warm cache,
  // as ffprobe gets it too).
  double bestOurs = 1e300;
  int64_t maxOver = std::numeric_limits<int64_t>::min(), totalRead = 0, totalMoov = 0;
  int bad = 0;
  for (int pass = 0; pass < 3; ++pass) {
    QElapsedTimer timer;
    timer.start();
    for (const QString &f : files) {
      TMOVReader r(f, true);
      if (pass == 0) {
        const int64_t read = r.Stream ? r.Stream->BytesRead() : 0;
        maxOver = std::max(maxOver, read - r.MoovSize);
        totalRead += read;
        totalMoov += r.MoovSize;
        if (!r.HasMoov() || r.Tracks.size() != 2 || r.Tracks[0].SampleCount != Fps * Seconds) ++bad;
      }
    }
    bestOurs = std::min(bestOurs, double(timer.nsecsElapsed()) / 1e3 / count);
  }

  QElapsedTimer timer;
  timer.start();
  for (const QString &f : files) {
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("quiet"), QStringLiteral("-show_format"),
                                        QStringLiteral("-show_streams"), f});
    p.waitForFinished(-1);
  }
  const double ffprobeUs = double(timer.nsecsElapsed()) / 1e3 / count;
  const double ratio = ffprobeUs / bestOurs;
  const bool fastEnough = ratio >= 100;
  const bool readOk = maxOver < 64 * 1024;

  std::printf("movie header-only read, %d one-minute 1080p fragments (sparse mdat)\n", count);
  std::printf("  ours:    %.1f us per file\n", bestOurs);
  std::printf("  ffprobe: %.1f us per file (-v quiet -show_format -show_streams)\n", ffprobeUs);
  std::printf("  speed-up: %.0fx (need >= 100x): %s\n", ratio, fastEnough ? "ok" : "FAIL");
  std::printf("  bytes read per file: mean %lld, mean moov %lld, largest excess over moov %lld (need < 65536): %s\n",
              (long long)(totalRead / count), (long long)(totalMoov / count), (long long)maxOver,
              readOk ? "ok" : "FAIL");
  std::printf("  files read wrongly: %d\n", bad);
  return fastEnough && readOk && bad == 0 ? 0 : 1;
}
