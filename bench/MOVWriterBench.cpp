// Two shapes of stream copy at speed 1, each followed by sync:
// - joining three big recordings with the movie writer, against copying the
//   same bytes with cp and joining them with ffmpeg's concat demuxer;
// - copying one dash-camera recording (H.264 with 8 kHz PCM sound), against
//   ffmpeg -c copy, with the moov sizes of source and copy.
// Prints the times, throughputs and the ratio of our time to ffmpeg's.
//
// Run by hand: kp_movwriter_bench --help. The sources come from
// bench/make_writer_bench_sources.sh (not made here: about a gigabyte). Run
// on an otherwise quiet disk; the page cache is warm for every contender
// (each reads the sources once before timing).

#include "UnitMOVWriter.h"

#include "BenchCommandLine.h"
#include "BenchFigures.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace kp;
using kpbench::Median;
using kpbench::Run;
using kpbench::Seconds;

namespace {

const char *const kUsage =
    "usage: kp_movwriter_bench SRC1 SRC2 SRC3 [WORK_FOLDER]\n"
    "       kp_movwriter_bench --dashcam SRC [WORK_FOLDER]\n"
    "Joins three big recordings with the movie writer, against cp and ffmpeg's concat demuxer;\n"
    "or copies one dash-camera recording, against ffmpeg -c copy (sources from\n"
    "bench/make_writer_bench_sources.sh). The copies are written in WORK_FOLDER (default: a new\n"
    "temporary folder), which must be missing or empty, and removed at the end. Exits 0 when\n"
    "every contender ran, 1 when one failed, 2 on a usage mistake.\n";

// A line of ffmpeg's concat list naming Path, quoted as the list reads it.
QByteArray ConcatLine(const QString &path)
{
  QByteArray quoted = path.toUtf8();
  quoted.replace("'", "'\\''");
  return "file '" + quoted + "'\n";
}

void Report(const char *what, double seconds, int64_t bytes)
{
  std::printf("%-34s %8.3f s %9.1f MB/s\n", what, seconds, double(bytes) / 1e6 / seconds);
}

void WarmUp(const QStringList &files)
{
  std::vector<char> buf(8 << 20);
  for (const QString &f : files) {
    QFile in(f);
    if (!in.open(QIODevice::ReadOnly)) continue;
    while (in.read(buf.data(), qint64(buf.size())) > 0) {}
  }
}

// Copies the whole source with the writer and the file flushed; seconds, or
// a negative value on failure.
double CopyWithWriter(const QString &source, const QString &out)
{
  TMOVReader reader(source, false);
  if (!reader.HasMoov()) {
    std::fprintf(stderr, "not a readable movie: %s\n", qPrintable(reader.LastError()));
    return -1;
  }
  QElapsedTimer t;
  t.start();
  try {
    auto writer = std::make_unique<TMOVWriter>(out);
    double p1 = 0, p2 = 1;
    writer->AppendFragment(p1, p2, 1, true, reader, {}, true, true);
    writer->WriteMoov(&reader);
  } catch (const std::exception &e) {
    std::fprintf(stderr, "copy failed: %s\n", e.what());
    return -1;
  }
  return Seconds(t);
}

int Dashcam(const QString &source, const QString &outDir)
{
  const QString ours = outDir + QStringLiteral("/dashcam_kp.mov");
  const QString ffOut = outDir + QStringLiteral("/dashcam_ffmpeg.mov");
  const int64_t bytes = QFileInfo(source).size();
  std::printf("source: %.1f MB\n", double(bytes) / 1e6);
  WarmUp({source});
  // The better of three runs each, so a stray flush of other work counts
  // against neither.
  double kp = 1e9, ff = 1e9;
  for (int run = 0; run < 3; ++run) {
    Run(QStringLiteral("sync"), {});
    const double k = CopyWithWriter(source, ours);
    if (k < 0) return 1;
    kp = std::min(kp, k);
    Run(QStringLiteral("sync"), {});
    QElapsedTimer t;
    t.start();
    const QStringList args = {"-nostdin", "-v", "error", "-y",   "-i", "file:" + source,
                              "-map",     "0",  "-c",    "copy", ffOut};
    if (!Run(QStringLiteral("ffmpeg"), args)) return 1;
    Run(QStringLiteral("sync"), {});
    ff = std::min(ff, Seconds(t));
  }
  Report("kp writer, flushed", kp, QFileInfo(ours).size());
  Report("ffmpeg -c copy + sync", ff, QFileInfo(ffOut).size());
  const TMOVReader src(source, true), copy(ours, true);
  std::printf("moov: source %lld bytes, copy %lld bytes\n", static_cast<long long>(src.MoovSize),
              static_cast<long long>(copy.MoovSize));
  std::printf("kp / ffmpeg time: %.2f\n", kp / ff);
  QFile::remove(ours);
  QFile::remove(ffOut);
  return 0;
}

} // namespace

int main(int argc, char **argv)
{
  const kpbench::TCommandLine line = kpbench::ReadCommandLine(argc, argv, kUsage, 4, {QStringLiteral("--dashcam")});
  if (line.Exit >= 0) return line.Exit;
  const bool dashcam = line.Options.contains(QStringLiteral("--dashcam"));
  const qsizetype sourceCount = dashcam ? 1 : 3;
  if (line.Names.size() < sourceCount || line.Names.size() > sourceCount + 1) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  QStringList sources;
  int64_t bytes = 0;
  for (qsizetype i = 0; i < sourceCount; ++i) {
    // Absolute: a name that starts with "-" is never read as an option.
    sources << QFileInfo(line.Names[i]).absoluteFilePath();
    if (!QFileInfo(sources.back()).isFile()) {
      std::fprintf(stderr, "no such file: %s\n", qPrintable(sources.back()));
      return 2;
    }
    bytes += QFileInfo(sources.back()).size();
  }
  const kpbench::TWorkFolder folder(QStringLiteral("kp_movwriter_bench"), line.Names.value(sourceCount));
  if (!folder.Ok()) {
    std::fprintf(stderr, "%s\n", qPrintable(folder.Error()));
    return 2;
  }
  if (dashcam) return Dashcam(sources[0], folder.Path());
  const QString outDir = folder.Path();
  const QString ours = outDir + QStringLiteral("/joined_kp.mov");
  const QString ffOut = outDir + QStringLiteral("/joined_ffmpeg.mov");
  const QString cpDir = outDir + QStringLiteral("/cp");
  QDir().mkpath(cpDir);
  std::printf("sources: 3 files, %.1f MB\n", double(bytes) / 1e6);
  WarmUp(sources);

  // The writer: readers opened first, as the cutting job does.
  Run(QStringLiteral("sync"), {});
  std::vector<std::unique_ptr<TMOVReader>> readers;
  for (const QString &s : sources) readers.push_back(std::make_unique<TMOVReader>(s, false));
  for (const auto &r : readers)
    if (!r->HasMoov()) {
      std::fprintf(stderr, "not a readable movie: %s\n", qPrintable(r->LastError()));
      return 1;
    }
  QElapsedTimer t;
  t.start();
  auto writer = std::make_unique<TMOVWriter>(ours);
  for (const auto &r : readers) {
    double p1 = 0, p2 = 1;
    writer->AppendFragment(p1, p2, 1, true, *r, {}, true, true);
  }
  writer->WriteMoov(readers.front().get());
  const double unflushed = Seconds(t);
  writer.reset(); // closes and flushes to the disk
  const double flushed = Seconds(t);
  const int64_t ourBytes = QFileInfo(ours).size();
  Report("kp writer, before the flush", unflushed, ourBytes);
  Report("kp writer, flushed", flushed, ourBytes);

  Run(QStringLiteral("sync"), {});
  t.restart();
  Run(QStringLiteral("cp"),
      QStringList{QStringLiteral("--reflink=never"), QStringLiteral("--")} + sources + QStringList{cpDir});
  Run(QStringLiteral("sync"), {});
  const double cp = Seconds(t);
  Report("cp --reflink=never + sync", cp, bytes);

  const QString list = outDir + QStringLiteral("/concat.txt");
  QFile l(list);
  if (l.open(QIODevice::WriteOnly)) {
    for (const QString &s : sources) l.write(ConcatLine(s));
    l.close();
  }
  Run(QStringLiteral("sync"), {});
  t.restart();
  const bool ffOk = Run(QStringLiteral("ffmpeg"), {"-nostdin", "-v", "error", "-y", "-f", "concat", "-safe", "0", "-i",
                                                   list, "-c", "copy", ffOut});
  Run(QStringLiteral("sync"), {});
  const double ff = Seconds(t);
  if (ffOk) Report("ffmpeg -f concat -c copy + sync", ff, QFileInfo(ffOut).size());

  std::printf("kp (flushed) / cp throughput: %.0f%%; kp / ffmpeg time: %.2f\n",
              100.0 * (double(ourBytes) / flushed) / (double(bytes) / cp), flushed / ff);
  for (const QString &f : sources) QFile::remove(cpDir + QLatin1Char('/') + QFileInfo(f).fileName());
  QFile::remove(ours);
  QFile::remove(ffOut);
  QFile::remove(list);
  return 0;
}
