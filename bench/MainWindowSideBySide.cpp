// The main window against a plain player, each a process tree of its own:
// CPU seconds over the same stretch of playing, peak proportional set size
// (/proc/PID/smaps_rollup summed over the tree), frames shown and dropped,
// the timer pass's 99th percentile and the time from closing the window to
// the process's exit.
#include "MainWindowSideBySide.h"

#include "DSPack.h"
#include "DateTime.h"
#include "FileListModel.h"
#include "PlaybackLoop.h"
#include "RenderPath.h"
#include "UnitFileManager.h"
#include "UnitFormMain.h"
#include "UnitProgram.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPaintEvent>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QWebEngineView>
#include <algorithm>
#include <functional>
#include <cstdio>
#include <ctime>
#include <map>
#include <unistd.h>
#include <vector>

using namespace kp;

namespace kpbench {

namespace {

constexpr int kPassMs = 100, kWarmUpMs = 2000;

double NowMs()
{
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

QByteArray ReadProc(const QString &path)
{
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The processes below Root and Root itself.
std::vector<int> Tree(int root)
{
  std::map<int, int> parent;
  for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
    bool ok = false;
    const int pid = entry.toInt(&ok);
    if (!ok) continue;
    const QByteArray stat = ReadProc(QStringLiteral("/proc/%1/stat").arg(pid));
    const int close = stat.lastIndexOf(')');
    if (close < 0) continue;
    const QList<QByteArray> f = stat.mid(close + 2).split(' ');
    if (f.size() > 1) parent[pid] = f[1].toInt();
  }
  std::vector<int> out;
  for (const auto &[pid, up] : parent) {
    int p = pid;
    for (int depth = 0; depth < 64 && p > 1 && p != root; ++depth) p = parent.count(p) ? parent[p] : 0;
    if (p == root) out.push_back(pid);
  }
  return out;
}

// CPU seconds by process of the tree.
std::map<int, double> TreeCpu(int root)
{
  std::map<int, double> cpu;
  const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
  for (const int pid : Tree(root)) {
    const QByteArray stat = ReadProc(QStringLiteral("/proc/%1/stat").arg(pid));
    const QList<QByteArray> f = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (f.size() >= 13) cpu[pid] = (f[11].toDouble() + f[12].toDouble()) / tick;
  }
  return cpu;
}

double CpuBetween(const std::map<int, double> &a, const std::map<int, double> &b)
{
  double sum = 0;
  for (const auto &[pid, seconds] : b) {
    const auto before = a.find(pid);
    sum += seconds - (before == a.end() ? 0 : before->second);
  }
  return sum;
}

double TreePssMb(int root)
{
  double kb = 0;
  for (const int pid : Tree(root))
    for (const QByteArray &line : ReadProc(QStringLiteral("/proc/%1/smaps_rollup").arg(pid)).split('\n'))
      if (line.startsWith("Pss:")) kb += line.mid(4).trimmed().split(' ').value(0).toDouble();
  return kb / 1024;
}

REFERENCE_TIME Position(const TFilterGraph &graph)
{
  REFERENCE_TIME now = 0;
  if (auto seeking = graph.QueryInterface<IMediaSeeking>()) seeking->GetCurrentPosition(now);
  return now;
}

TVideoFrameSlotPtr ProgramFrames(TFormMain &w)
{
  if (auto r = std::dynamic_pointer_cast<IVideoRenderer>(w.FilterEVR.MemberFilter())) return r->Frames();
  if (w.VideoWindowWMR)
    if (auto r = std::dynamic_pointer_cast<IVideoRenderer>(w.VideoWindowWMR->Renderer())) return r->Frames();
  return nullptr;
}

void TurnEveryViewOn(TFormMain &w, bool map)
{
  if (QAction *maps = w.Item("N_View_GoogleMaps"); maps && maps->isChecked() != map) maps->trigger();
  for (const char *name : {"N_View_ControlPanel", "N_View_Graphics_S", "N_View_Graphics_H", "N_View_Graphics_G",
                           "N_View_Graphics_X", "N_View_Graphics_Y", "N_View_Graphics_Z", "N_View_Refresh_Fast"})
    if (QAction *a = w.Item(name); a && a->isCheckable() && !a->isChecked()) a->trigger();
}

void Say(const QString &line)
{
  std::printf("%s\n", qPrintable(line));
  std::fflush(stdout);
}

// ------------------------------------------------------------ the parent side

struct TTreeRun {
  double Cpu = 0, Wall = 0, PeakPss = 0, CloseMs = -1;
  std::map<QString, QString> Said; // the child's key=value lines
  bool Ok = false;
};

QString Said(const TTreeRun &r, const char *key)
{
  return r.Said.count(QLatin1String(key)) ? r.Said.at(QLatin1String(key)) : QStringLiteral("?");
}

// Watches Process until it ends (or Limit ms): CPU of its tree between the
// child's measure=start and measure=end lines (or, with FixedMs, from
// kWarmUpMs after the start for FixedMs), the peak PSS over that stretch,
// and the time from its close= line to its exit.
TTreeRun Watch(QProcess &process, int fixedMs, int limitMs)
{
  TTreeRun run;
  const double started = NowMs();
  std::map<int, double> cpu0;
  double from = -1;
  QByteArray pending;
  bool measuring = false, done = false;
  double lastPss = 0;
  while (NowMs() - started < limitMs && process.state() != QProcess::NotRunning) {
    process.waitForReadyRead(10);
    pending += process.readAllStandardOutput();
    for (int eol; (eol = pending.indexOf('\n')) >= 0; pending.remove(0, eol + 1)) {
      const QString line = QString::fromUtf8(pending.left(eol));
      const int eq = line.indexOf(QLatin1Char('='));
      if (eq > 0) run.Said[line.left(eq)] = line.mid(eq + 1);
    }
    const int pid = static_cast<int>(process.processId());
    const bool start = fixedMs > 0 ? NowMs() - started >= kWarmUpMs : run.Said.count(QStringLiteral("measure"));
    if (!measuring && !done && start && pid > 0) {
      measuring = true;
      cpu0 = TreeCpu(pid);
      from = NowMs();
    }
    const bool end =
        fixedMs > 0 ? measuring && NowMs() - from >= fixedMs : Said(run, "measure") == QLatin1String("end");
    if (measuring && end) {
      run.Cpu = CpuBetween(cpu0, TreeCpu(pid));
      run.Wall = (NowMs() - from) / 1000;
      measuring = false;
      done = run.Ok = true;
      if (fixedMs > 0) process.terminate();
    }
    if (measuring && NowMs() - lastPss > 500) {
      run.PeakPss = std::max(run.PeakPss, TreePssMb(pid));
      lastPss = NowMs();
    }
  }
  if (!process.waitForFinished(std::max(1, limitMs - static_cast<int>(NowMs() - started)))) process.kill();
  const double exited = NowMs();
  pending += process.readAllStandardOutput();
  for (const QByteArray &line : pending.split('\n'))
    if (const int eq = line.indexOf('='); eq > 0)
      run.Said[QString::fromUtf8(line.left(eq))] = QString::fromUtf8(line.mid(eq + 1));
  if (run.Said.count(QStringLiteral("close"))) run.CloseMs = exited - run.Said[QStringLiteral("close")].toDouble();
  return run;
}

QProcessEnvironment Environment(const QString &home)
{
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
  env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
  env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1")); // root here
  env.remove(QStringLiteral("QTWEBENGINE_CHROMIUM_FLAGS"));                       // as a user starts the program
  return env;
}

TTreeRun RunProgram(const QString &card, bool map, int seconds)
{
  QTemporaryDir home;
  QProcess child;
  child.setProcessEnvironment(Environment(home.path()));
  child.setWorkingDirectory(card);
  child.setProcessChannelMode(QProcess::SeparateChannels);
  child.setStandardErrorFile(QProcess::nullDevice());
  child.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--play-child"), card, map ? QStringLiteral("map") : QStringLiteral("nomap"),
               QString::number(seconds)});
  return Watch(child, 0, (seconds + 90) * 1000);
}

TTreeRun RunMpv(const QString &file, const QString &size, int seconds)
{
  QProcess mpv;
  mpv.start(QStringLiteral("mpv"), {QStringLiteral("--no-config"), QStringLiteral("--vo=x11"),
                                    QStringLiteral("--hwdec=no"), QStringLiteral("--ao=null"),
                                    QStringLiteral("--really-quiet"), QStringLiteral("--geometry=") + size, file});
  if (!mpv.waitForStarted(5000)) return {};
  return Watch(mpv, seconds * 1000, (seconds + 30) * 1000);
}

void PrintRow(const char *name, const TTreeRun &r, const TTreeRun &mpv, bool program)
{
  const double cores = r.Wall > 0 ? r.Cpu / r.Wall : 0, mpvCores = mpv.Wall > 0 ? mpv.Cpu / mpv.Wall : 0;
  std::printf("  %-22s %6.2f s CPU over %4.1f s = %.3f cores  ratio %5.2f  peak PSS %6.1f MB", name, r.Cpu, r.Wall,
              cores, mpvCores > 0 ? cores / mpvCores : 0.0, r.PeakPss);
  if (program)
    std::printf("  frames %s of %s, pass p99 %s ms, close to exit %.0f ms  [%s]", qPrintable(Said(r, "frames")),
                qPrintable(Said(r, "expected")), qPrintable(Said(r, "p99")), r.CloseMs, qPrintable(Said(r, "render")));
  std::printf("%s\n", r.Ok ? "" : "  [FAILED]");
  if (program) std::printf("      paints: %s\n", qPrintable(Said(r, "paints")));
}

bool Table(const char *title, const QString &card, int seconds, double mapGoal, double hiddenGoal, double coreGoal)
{
  const TTreeRun every = RunProgram(card, true, seconds);
  const TTreeRun hidden = RunProgram(card, false, seconds);
  const QString file = Said(every, "file"), size = Said(every, "video");
  const TTreeRun mpv = RunMpv(file, size, seconds);
  std::printf("%s: %s, video %s\n", title, qPrintable(file), qPrintable(size));
  PrintRow("every view, map shown", every, mpv, true);
  PrintRow("map hidden", hidden, mpv, true);
  PrintRow("mpv", mpv, mpv, false);
  const auto cores = [](const TTreeRun &r) { return r.Wall > 0 ? r.Cpu / r.Wall : 0; };
  const double m = std::max(1e-3, cores(mpv));
  if (mapGoal > 0)
    std::printf("  every view <= %.1fx mpv: %s; map hidden <= %.1fx mpv: %s\n", mapGoal,
                cores(every) / m <= mapGoal ? "met" : "NOT met", hiddenGoal,
                cores(hidden) / m <= hiddenGoal ? "met" : "NOT met");
  if (coreGoal > 0)
    std::printf("  every view <= %.2f of a core: %s\n", coreGoal, cores(every) <= coreGoal ? "met" : "NOT met");
  const long long dropped = Said(every, "expected").toLongLong() - Said(every, "frames").toLongLong();
  std::printf("  dropped %lld (goal 0), p99 %s ms (goal 8), close to exit %.0f / %.0f ms (goal 1000)\n",
              std::max(0LL, dropped), qPrintable(Said(every, "p99")), every.CloseMs, hidden.CloseMs);
  return every.Ok && hidden.Ok && mpv.Ok;
}

} // namespace

bool WaitUntil(const std::function<bool()> &done, int ms)
{
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QThread::msleep(1);
  }
  return true;
}

double Percentile(std::vector<double> v, double p)
{
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5))];
}

double FrameRate(const QString &file)
{
  QProcess probe;
  probe.start(QStringLiteral("ffprobe"), {"-v", "error", "-select_streams", "v:0", "-show_entries",
                                          "stream=avg_frame_rate", "-of", "csv=p=0", file});
  probe.waitForFinished(10000);
  const QList<QByteArray> parts = probe.readAllStandardOutput().trimmed().split('/');
  if (parts.size() == 2 && parts[1].toDouble() > 0) return parts[0].toDouble() / parts[1].toDouble();
  return 30;
}

// ------------------------------------------------------------ the child side

// Times every widget's paint while Counting: how often, how many pixels and
// how long, by widget (its name, else its class).
class TPaintTimingApplication : public QApplication {
public:
  using QApplication::QApplication;
  struct TPaints {
    int Count = 0;
    double Pixels = 0, Ms = 0;
  };
  std::map<QString, TPaints> Paints;
  bool Counting = false;
  bool notify(QObject *receiver, QEvent *event) override
  {
    if (!Counting || event->type() != QEvent::Paint || !receiver->isWidgetType())
      return QApplication::notify(receiver, event);
    const QRect r = static_cast<QPaintEvent *>(event)->rect();
    const double start = NowMs();
    const bool result = QApplication::notify(receiver, event);
    const QString name = receiver->objectName();
    TPaints &p = Paints[name.isEmpty() ? QString::fromLatin1(receiver->metaObject()->className()) : name];
    ++p.Count;
    p.Pixels += double(r.width()) * r.height();
    p.Ms += NowMs() - start;
    return result;
  }
  // The widgets by paint time, per second of Seconds.
  QString Summary(double seconds) const
  {
    std::vector<std::pair<double, QString>> order;
    for (const auto &[name, p] : Paints) order.emplace_back(-p.Ms, name);
    std::sort(order.begin(), order.end());
    QStringList out;
    for (size_t i = 0; i < order.size() && i < 10; ++i) {
      const TPaints &p = Paints.at(order[i].second);
      out << QStringLiteral("%1 %2/s %3 kpx/s %4 ms/s")
                 .arg(order[i].second)
                 .arg(p.Count / seconds, 0, 'f', 1)
                 .arg(p.Pixels / 1000 / seconds, 0, 'f', 0)
                 .arg(p.Ms / seconds, 0, 'f', 2);
    }
    return out.join(QStringLiteral("; "));
  }
};

int PlayChild(int argc, char **argv, const QString &card, bool map, int seconds)
{
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts); // as the program
  TPaintTimingApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("KESTRIL PLAYER"));
  SetLocalTimeOffset(SystemLocalTimeOffset());
  SetFormatSettings(SystemFormatSettings());
  QDir::setCurrent(card);
  std::unique_ptr<TFormMain> w = CreateWindows({});
  w->show();
  auto &model = static_cast<TFileListModel &>(*w->ListView->model());
  if (!WaitUntil(
          [&] {
            return model.rowCount() >= 1 && !model.IsStatusRow(0) && w->FileManager() && !w->FileManager()->Searching();
          },
          30000))
    return 1;
  TurnEveryViewOn(*w, map);
  const QRect row0 = w->ListView->visualRect(model.index(0, 0));
  QTest::mouseClick(w->ListView->viewport(), Qt::LeftButton, {}, row0.center());
  QTest::mouseDClick(w->ListView->viewport(), Qt::LeftButton, {}, row0.center());
  if (!WaitUntil([&] { return w->ButtonPlay->isChecked(); }, 10000)) return 1;
  // The benchmark drives the passes itself, timing each.
  QObject::disconnect(&w->Timer, &QTimer::timeout, w.get(), nullptr);
  std::vector<double> passes;
  QTimer driver;
  driver.setInterval(kPassMs);
  QObject::connect(&driver, &QTimer::timeout, [&] {
    if (!w->Timer.isActive()) return;
    QElapsedTimer t;
    t.start();
    w->Loop->TimerTimer(TOrigin::Timer);
    passes.push_back(t.nsecsElapsed() / 1e6);
  });
  WaitUntil([&] { return Position(w->FilterGraph) > 0; }, 5000);
  WaitUntil([] { return false; }, kWarmUpMs); // the map's page and tiles settle
  const QString file = w->State.OpenFile() ? w->State.OpenFile()->FileName : QString();
  TVideoFrameSlotPtr frames = ProgramFrames(*w);
  const uint64_t stored0 = frames ? frames->StoredCount() : 0;
  const REFERENCE_TIME pos0 = Position(w->FilterGraph);
  driver.start();
  Say(QStringLiteral("measure=start"));
  app.Counting = true;
  WaitUntil([] { return false; }, seconds * 1000);
  app.Counting = false;
  Say(QStringLiteral("measure=end"));
  driver.stop();
  Say(QStringLiteral("paints=") + app.Summary(seconds));
  const REFERENCE_TIME advanced = Position(w->FilterGraph) - pos0;
  Say(QStringLiteral("file=") + file);
  Say(QStringLiteral("video=%1x%2").arg(w->PanelVideo->width()).arg(w->PanelVideo->height()));
  Say(QStringLiteral("frames=%1").arg(frames ? frames->StoredCount() - stored0 : 0));
  Say(QStringLiteral("expected=%1").arg(std::llround(static_cast<double>(advanced) / 1e7 * FrameRate(file))));
  Say(QStringLiteral("p99=%1").arg(Percentile(passes, 0.99), 0, 'f', 2));
  const TRenderPath path = ApplyRenderPath(); // the choice made at start
  Say(QStringLiteral("render=%1")
          .arg(path == TRenderPath::Software ? "software"
               : path == TRenderPath::OpenGL ? "OpenGL"
                                             : "QT_QUICK_BACKEND"));
  // As the user's close: the window's close handler ends the event loop,
  // then the program's way out of main.
  QTimer::singleShot(0, w.get(), [&] {
    Say(QStringLiteral("close=%1").arg(NowMs(), 0, 'f', 1));
    w->close();
  });
  QApplication::exec();
  w.reset();
  return 0;
}

bool SideBySideFigures(const QString &demoCard, const QString &work)
{
  // One trip: a 30 s 1280x720 30 fps H.264 + PCM fragment in place of the
  // demo card's first clip, beside that clip's tracks.
  const QString card = work + QStringLiteral("/kestril-bench-720p"), dir = card + QStringLiteral("/DCIM/100MEDIA");
  const QString src = demoCard + QStringLiteral("/DCIM/100MEDIA/FILE0001");
  if (!QFile::exists(dir + QStringLiteral("/FILE0001.MOV"))) {
    QDir().mkpath(dir);
    for (const char *ext : {".DAT", ".3GF"})
      QFile::copy(src + QLatin1String(ext), dir + "/FILE0001" + QLatin1String(ext));
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {"-v",
                                            "error",
                                            "-y",
                                            "-i",
                                            src + ".MOV",
                                            "-f",
                                            "lavfi",
                                            "-i",
                                            "testsrc2=size=1280x720:rate=30",
                                            "-f",
                                            "lavfi",
                                            "-i",
                                            "sine=frequency=440:sample_rate=16000",
                                            "-map",
                                            "1:v",
                                            "-map",
                                            "2:a",
                                            "-map_metadata",
                                            "0",
                                            "-t",
                                            "30",
                                            "-c:v",
                                            "libx264",
                                            "-preset",
                                            "veryfast",
                                            "-pix_fmt",
                                            "yuv420p",
                                            "-c:a",
                                            "pcm_s16le",
                                            "-f",
                                            "mov",
                                            dir + "/FILE0001.MOV"});
    ffmpeg.waitForFinished(600000);
  }
  return Table("side by side, 1280x720 30 fps fragment", card, 20, 1.2, 1.2, 0);
}

bool DemoClipFigures(const QString &demoCard)
{
  return Table("side by side, the demo card's 320x180 10 fps clip", demoCard, 20, 0, 0, 0.1);
}

} // namespace kpbench
