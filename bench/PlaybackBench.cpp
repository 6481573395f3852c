// Playback to our own video surface, against GStreamer's decode and colour
// conversion alone.
//
// 1. A 30 s 1920x1080 30 fps H.264 clip (made once with ffmpeg) plays as
//    fast as it decodes, through the graph component into a video window:
//    CPU time per frame, compared in the same run with gst-launch-1.0
//    playbin with video-sink "videoconvert ! video/x-raw,format=BGRx !
//    fakesink" (target: at most 1.15 times that).
// 2. The same clip plays in real time into a shown (offscreen) window:
//    dropped frames (target: none) and the average CPU load (target: under
//    one core).
//
// Run by hand: kp_playback_bench --help.

#include "BenchCommandLine.h"
#include "DSPack.h"
#include "GstMediaGraph.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>
#include <cstdio>
#include <sys/resource.h>

using namespace kp;

namespace {

constexpr int kSeconds = 30, kFps = 30, kFrames = kSeconds * kFps;

const char *const kUsage =
    "usage: kp_playback_bench [WORK_FOLDER]\n"
    "Plays a 30 s 1920x1080 30 fps H.264 clip (made with ffmpeg) through the graph into a video\n"
    "window as fast as it decodes, against gst-launch-1.0 decoding and converting alone, then in\n"
    "real time into a shown window. The clip is written in WORK_FOLDER (default: a new temporary\n"
    "folder), which must be missing or empty, and removed at the end. Exits 0 when every run\n"
    "went through, 1 when one failed, 2 on a usage mistake.\n";

double cpuSeconds(int who)
{
  rusage usage{};
  getrusage(who, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

QString makeClip(const QString &folder)
{
  const QString path = folder + QStringLiteral("/bench-1080p30.mp4");
  if (QFile::exists(path)) return path;
  const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
  if (ffmpeg.isEmpty()) return {};
  std::printf("making %s ...\n", qPrintable(path));
  QProcess process;
  process.start(ffmpeg, {"-hide_banner",
                         "-loglevel",
                         "error",
                         "-y",
                         "-f",
                         "lavfi",
                         "-i",
                         QStringLiteral("testsrc2=s=1920x1080:r=%1:d=%2").arg(kFps).arg(kSeconds),
                         "-f",
                         "lavfi",
                         "-i",
                         QStringLiteral("sine=frequency=440:sample_rate=48000:duration=%1").arg(kSeconds),
                         "-c:v",
                         "libx264",
                         "-preset",
                         "veryfast",
                         "-pix_fmt",
                         "yuv420p",
                         "-g",
                         "30",
                         "-b:v",
                         "8M",
                         "-c:a",
                         "aac",
                         path + ".part.mp4"});
  if (!process.waitForFinished(600000) || process.exitCode() != 0) return {};
  QFile::rename(path + ".part.mp4", path);
  return path;
}

struct TRun {
  double Cpu = 0, Wall = 0;
  uint64_t Frames = 0;
  bool Ok = false;
};

// Plays the clip through the graph component into a video window.
TRun playThroughSurface(const QString &clip, bool sync, bool showWindow)
{
  TGstGraphOptions options;
  options.VideoSync = sync;
  options.AudioSink = sync ? QStringLiteral("fakesink sync=true") : QStringLiteral("fakesink sync=false");
  options.WaitTimeoutMs = 20000;
  TFilterGraph graph(CreateGstGraphFactory(options));
  TVideoWindow window;
  window.resize(960, 540);
  window.SetFilterGraph(&graph);
  window.SetMode(vmVMR);
  if (showWindow) window.show();
  graph.SetActive(true);
  bool ended = false;
  graph.OnDSEvent = [&](int32_t code, intptr_t, intptr_t) { ended = ended || code == EC_COMPLETE; };

  TRun run;
  auto builder = graph.QueryInterface<IGraphBuilder>();
  IBaseFilterPtr source;
  if (!builder || FAILED(builder->AddSourceFilter(clip, QStringLiteral("File"), source))) return run;
  for (const IPinPtr &pin : source->EnumPins()) builder->Render(pin);
  auto renderer = std::dynamic_pointer_cast<IVideoRenderer>(window.Renderer());
  const uint64_t before = renderer->Frames()->StoredCount(); // the preroll frame
  const double cpu0 = cpuSeconds(RUSAGE_SELF);
  QElapsedTimer wall;
  wall.start();
  graph.Play();
  while (!ended && wall.elapsed() < (kSeconds + 60) * 1000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(2);
  }
  run.Wall = wall.elapsed() / 1000.0;
  run.Cpu = cpuSeconds(RUSAGE_SELF) - cpu0;
  // The first buffer reaches the sink twice (preroll, then sample): the
  // count before playing already holds it.
  run.Frames = renderer->Frames()->StoredCount() - before;
  run.Ok = ended;
  graph.Stop();
  graph.SetActive(false);
  window.SetFilterGraph(nullptr);
  return run;
}

TRun gstLaunchBaseline(const QString &clip)
{
  TRun run;
  const QString tool = QStandardPaths::findExecutable(QStringLiteral("gst-launch-1.0"));
  if (tool.isEmpty()) return run;
  const double cpu0 = cpuSeconds(RUSAGE_CHILDREN);
  QElapsedTimer wall;
  wall.start();
  QProcess process;
  // An encoded URI: gst-launch reads its words as one pipeline text.
  process.start(tool, {"-q", "playbin", "uri=" + QString::fromLatin1(QUrl::fromLocalFile(clip).toEncoded()),
                       "video-sink=videoconvert ! video/x-raw,format=BGRx ! fakesink", "audio-sink=fakesink"});
  run.Ok = process.waitForFinished(600000) && process.exitCode() == 0;
  run.Wall = wall.elapsed() / 1000.0;
  run.Cpu = cpuSeconds(RUSAGE_CHILDREN) - cpu0;
  run.Frames = kFrames;
  return run;
}

} // namespace

int main(int argc, char **argv)
{
  const kpbench::TCommandLine line = kpbench::ReadCommandLine(argc, argv, kUsage, 1);
  if (line.Exit >= 0) return line.Exit;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const kpbench::TWorkFolder folder(QStringLiteral("kp_playback_bench"), line.Names.value(0));
  if (!folder.Ok()) {
    std::fprintf(stderr, "%s\n", qPrintable(folder.Error()));
    return 2;
  }
  const QString clip = makeClip(folder.Path());
  if (clip.isEmpty()) {
    std::fprintf(stderr, "cannot make the clip (ffmpeg missing?)\n");
    return 1;
  }

  // Warm the page cache and the plugin registry once.
  gstLaunchBaseline(clip);

  const TRun baseline = gstLaunchBaseline(clip);
  const TRun surface = playThroughSurface(clip, false, false);
  std::printf("sync off, %d frames of 1920x1080:\n", kFrames);
  std::printf("  gst-launch decode+convert : %6.2f ms CPU/frame (%.2f s CPU, %.2f s wall)%s\n",
              1000 * baseline.Cpu / kFrames, baseline.Cpu, baseline.Wall, baseline.Ok ? "" : "  [FAILED]");
  std::printf("  our surface path          : %6.2f ms CPU/frame (%.2f s CPU, %.2f s wall, %llu frames)%s\n",
              1000 * surface.Cpu / std::max<uint64_t>(1, surface.Frames), surface.Cpu, surface.Wall,
              static_cast<unsigned long long>(surface.Frames), surface.Ok ? "" : "  [FAILED]");
  const double ratio = (surface.Cpu / std::max<uint64_t>(1, surface.Frames)) / (baseline.Cpu / kFrames);
  std::printf("  ratio                     : %.3f (target <= 1.15)\n", ratio);

  const TRun live = playThroughSurface(clip, true, true);
  const long long dropped = static_cast<long long>(kFrames) - static_cast<long long>(live.Frames);
  std::printf("real time (sync on, window shown at 960x540):\n");
  std::printf("  frames shown %llu of %d, dropped %lld (target 0)%s\n", static_cast<unsigned long long>(live.Frames),
              kFrames, dropped, live.Ok ? "" : "  [FAILED]");
  std::printf("  average CPU load %.2f cores (%.2f s CPU over %.2f s; target < 1)\n",
              live.Cpu / std::max(0.001, live.Wall), live.Cpu, live.Wall);
  return baseline.Ok && surface.Ok && live.Ok ? 0 : 1;
}
