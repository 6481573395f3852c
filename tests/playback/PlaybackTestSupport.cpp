#include "PlaybackTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <algorithm>

namespace kptest {

void ensureApplication()
{
  if (QApplication::instance()) return;
  static int argc = 1;
  static char name[] = "kp_playback_tests";
  static char *argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

namespace {

QString fixturesDir()
{
  const QString dir = QString::fromUtf8(KP_PLAYBACK_FIXTURES);
  QDir().mkpath(dir);
  return dir;
}

bool runFfmpeg(const QString &ffmpeg, const QStringList &args)
{
  QProcess process;
  process.start(ffmpeg, QStringList{"-hide_banner", "-loglevel", "error", "-y"} + args);
  if (!process.waitForFinished(60000)) {
    process.kill();
    process.waitForFinished(5000);
    return false;
  }
  return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

const char *kPatternFilter = "geq=r='if(lt(Y,H/2),if(lt(X,W/2),255,0),mod(N,50)*5)'"
                             ":g='if(lt(Y,H/2),if(lt(X,W/2),0,255),mod(N,50)*5)'"
                             ":b='if(lt(Y,H/2),0,mod(N,50)*5)'";

QStringList videoInputs()
{
  return {"-f", "lavfi", "-i", "color=c=black:s=64x48:r=25:d=8",
          "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000:duration=8"};
}

QStringList videoCodec()
{
  return {"-vf",     QString::fromLatin1(kPatternFilter) + ",format=yuv444p",
          "-c:v",    "libx264",
          "-preset", "ultrafast",
          "-qp",     "0",
          "-g",      "25",
          "-bf",     "0",
          "-c:a",    "aac",
          "-b:a",    "64k"};
}

// Writes to a temporary name first so a broken run never leaves a clip
// that later runs would trust.
QString makeOnce(const QString &name, const std::function<bool(const QString &)> &make)
{
  const QString path = fixturesDir() + QLatin1Char('/') + name;
  if (QFile::exists(path)) return path;
  // Tests run in parallel processes: each makes its own temporary file and
  // the first rename wins.
  const QString temp =
      path + QStringLiteral(".part%1.").arg(QCoreApplication::applicationPid()) + QFileInfo(name).suffix();
  QFile::remove(temp);
  const bool made = make(temp) && QFile::rename(temp, path);
  QFile::remove(temp);
  return made || QFile::exists(path) ? path : QString();
}

} // namespace

QString patternClip(const QString &ffmpeg)
{
  return makeOnce(QStringLiteral("pattern.mp4"), [&](const QString &out) {
    return runFfmpeg(ffmpeg, videoInputs() + videoCodec() + QStringList{out});
  });
}

QString subtitledClip(const QString &ffmpeg)
{
  return makeOnce(QStringLiteral("subtitled.mov"), [&](const QString &out) {
    const QString srt = out + QStringLiteral(".srt");
    QFile file(srt);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write("1\r\n00:00:00,000 --> 00:00:08,000\r\nWWWWWWWW WWWWWWWW\r\nWWWWWWWW WWWWWWWW\r\n\r\n");
    file.close();
    const bool ok =
        runFfmpeg(ffmpeg, videoInputs() + QStringList{"-i", srt} + videoCodec() +
                              QStringList{"-map", "0:v", "-map", "1:a", "-map", "2:s", "-c:s", "mov_text", out});
    QFile::remove(srt);
    return ok;
  });
}

QString nonMediaFile()
{
  return makeOnce(QStringLiteral("notes.mp4"), [](const QString &out) {
    QFile file(out);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    for (int i = 0; i < 200; ++i) file.write("This is a plain text file, not a movie.\n");
    return true;
  });
}

TOneBusyCore::TOneBusyCore()
{
  sched_getaffinity(0, sizeof(FSaved), &FSaved);
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(std::max(0, sched_getcpu()), &one);
  sched_setaffinity(0, sizeof(one), &one);
  FBusy = std::thread([this] {
    while (!FStop.load(std::memory_order_relaxed)) {}
  });
}

TOneBusyCore::~TOneBusyCore()
{
  FStop = true;
  FBusy.join();
  sched_setaffinity(0, sizeof(FSaved), &FSaved);
}

} // namespace kptest
