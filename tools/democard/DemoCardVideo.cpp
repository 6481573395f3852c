// The movies of the demo card, encoded by ffmpeg from its own test sources:
// a plain road scene whose lane marks move with the car's speed, the
// camera's clock and speed burned in at the bottom, and a hum as sound.
// Small and quick on purpose: 320x180 at 10 frames/s, one key frame a
// second, the fastest x264 preset, 8 kHz mono PCM.

#include "DemoCard.h"

#include "Numbers.h"
#include "UnitUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <deque>
#include <memory>

namespace kp::demo {

namespace {

constexpr int kWidth = 320, kHeight = 180, kFps = 10;
constexpr int kHorizon = 96;   // sky above, road below
constexpr int kLaneCycle = 64; // pixels between two lane marks
constexpr double kLanePixelsPerKmh = 1.2;

QString FontFile()
{
  for (const char *candidate : {"/usr/share/fonts/truetype/liberation/LiberationMono-Bold.ttf",
                                "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf"})
    if (QFileInfo::exists(QString::fromLatin1(candidate))) return QString::fromLatin1(candidate);
  return {};
}

QString Hex(int colour)
{
  return QStringLiteral("0x%1").arg(colour, 6, 16, QLatin1Char('0'));
}

// Commands for ffmpeg's sendcmd, one a second: the speed text and the lane
// marks' motion. The marks' phase is the integral of the speed, so they
// move on smoothly when the speed changes and stand when the car does.
QByteArray SpeedCommands(const TDemoTrip &trip, const TDemoFragment &f, bool withText)
{
  QByteArray out;
  double phase = 0;
  for (int s = 0; s < int(f.Seconds); ++s) {
    const bool fixed = s >= f.FixFromSeconds;
    const double kmh = SensorAt(trip, f.OffsetSeconds + s).SpeedKmh;
    const double pixelsPerSecond = kmh * kLanePixelsPerKmh;
    out += QByteArray::number(s) + ".0 overlay@lane y '" + QByteArray::number(kHorizon) + "+mod(" +
           FloatToStrDotBytes(phase, 2, true) + "+(t-" + QByteArray::number(s) + ")*" +
           FloatToStrDotBytes(pixelsPerSecond, 2, true) + "," + QByteArray::number(kLaneCycle) + ")'";
    if (withText) {
      const QByteArray speed = fixed ? QByteArray::number(qlonglong(Round(kmh))).rightJustified(3, '0') : "---";
      out += ", drawtext@spd reinit 'text=" + speed + " KM/H'";
    }
    out += ";\n";
    phase += pixelsPerSecond;
  }
  return out;
}

QString FilterGraph(const TDemoTrip &trip, const TDemoFragment &f, const QString &commands, const QString &font)
{
  QString g = QStringLiteral("[0:v]drawbox=x=0:y=%1:w=iw:h=ih-%1:color=0x55733f:t=fill,"
                             "drawbox=x=112:y=%1:w=96:h=ih-%1:color=0x4a4a4a:t=fill,"
                             "sendcmd=f='%2'[road];[2:v]format=yuv420p[mark];"
                             "[road][mark]overlay@lane=x=157:y=%1:eval=frame,"
                             "drawbox=x=0:y=ih-20:w=iw:h=20:color=0x101010:t=fill")
                  .arg(kHorizon)
                  .arg(commands);
  if (!font.isEmpty()) {
    // The clock: the frame's time from the fragment's local start, printed
    // as if it were UTC so the text is the camera's local clock.
    const qint64 epoch = Round(DateTimeToUnix(f.Start));
    g += QStringLiteral(",drawtext=fontfile='%1':fontsize=12:fontcolor=white:x=4:y=h-15:"
                        "text='%{pts\\:gmtime\\:%2\\:%Y/%m/%d %H\\\\\\:%M\\\\\\:%S}'"
                        ",drawtext@spd=fontfile='%1':fontsize=12:fontcolor=0xffd040:x=w-tw-4:y=h-15:"
                        "text='--- KM/H'")
             .arg(font)
             .arg(epoch);
  }
  g += QStringLiteral("[v];[1:a]volume=%1[a]").arg(FloatToStrDot(0.2 + 0.05 * (trip.Seed % 3), 2, true));
  return g;
}

QStringList Words(const char *text)
{
  return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

QStringList FfmpegArgs(const TDemoTrip &trip, const TDemoFragment &f, const QString &out, const QString &commands,
                       const QString &font)
{
  const QString secs = QString::number(qlonglong(f.Seconds));
  QStringList args = Words("-nostdin -hide_banner -loglevel error -y -filter_threads 1");
  args << Words("-f lavfi -i")
       << QStringLiteral("color=c=%1:s=%2x%3:r=%4:d=%5")
              .arg(Hex(trip.SkyColour))
              .arg(kWidth)
              .arg(kHeight)
              .arg(kFps)
              .arg(secs);
  // 800 sound samples per packet (one frame's worth) interleave evenly, so
  // every chunk holds the same number of samples, as a camera writes them.
  args << Words("-f lavfi -i")
       << QStringLiteral("sine=frequency=%1:sample_rate=8000:samples_per_frame=800:duration=%2")
              .arg(90 + 20 * f.Trip)
              .arg(secs);
  args << Words("-f lavfi -i") << QStringLiteral("color=c=0xe8e8e8:s=6x12:r=%1").arg(kFps);
  args << QStringLiteral("-filter_complex") << FilterGraph(trip, f, commands, font);
  args << Words("-map [v] -map [a] -t") << secs;
  // One thread per encoder: the movies are encoded side by side, and a
  // single-threaded x264 gives the same bytes every time. Access unit
  // delimiters let the frame types be read without decoding.
  args << Words("-threads 1 -c:v libx264 -preset ultrafast -bf 0 -x264-params aud=1 -pix_fmt yuv420p -g")
       << QString::number(kFps);
  args << Words("-c:a pcm_s16le -ac 1 -fflags +bitexact -metadata")
       << QStringLiteral("creation_time=") + DateTimeToISO(f.Start);
  args << Words("-f mov") << out;
  return args;
}

struct TMovieJob {
  QString Output;
  QStringList Args;
  std::unique_ptr<QProcess> Process;
};

bool Finish(TMovieJob &job, QString &error)
{
  QProcess &p = *job.Process;
  if (p.error() == QProcess::FailedToStart) {
    error = QStringLiteral("cannot start ffmpeg: %1").arg(p.errorString());
    return false;
  }
  p.waitForFinished(-1);
  if (p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 && QFileInfo(job.Output).size() > 0) return true;
  error = QStringLiteral("ffmpeg failed on %1: %2")
              .arg(job.Output, QString::fromLocal8Bit(p.readAllStandardError()).trimmed());
  return false;
}

} // namespace

bool WriteMovies(const TDemoCard &card, const QString &root, const QString &ffmpeg, int jobs, QString &error)
{
  QTemporaryDir scratch;
  if (!scratch.isValid()) {
    error = QStringLiteral("no temporary folder for the ffmpeg commands");
    return false;
  }
  const QString font = FontFile();
  std::deque<TMovieJob> waiting;
  for (const TDemoFragment &f : card.Fragments) {
    const TDemoTrip &trip = card.Trips[size_t(f.Trip)];
    const QString commands = scratch.filePath(f.Name + QStringLiteral(".cmd"));
    QFile file(commands);
    const QByteArray text = SpeedCommands(trip, f, !font.isEmpty());
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()) {
      error = QStringLiteral("cannot write %1").arg(commands);
      return false;
    }
    waiting.push_back({f.MoviePath(root), FfmpegArgs(trip, f, f.MoviePath(root), commands, font), nullptr});
  }
  std::deque<TMovieJob> running;
  bool ok = true;
  while (ok && (!waiting.empty() || !running.empty())) {
    while (!waiting.empty() && int(running.size()) < std::max(1, jobs)) {
      TMovieJob job = std::move(waiting.front());
      waiting.pop_front();
      job.Process = std::make_unique<QProcess>();
      job.Process->setProcessChannelMode(QProcess::SeparateChannels);
      job.Process->start(ffmpeg, job.Args);
      running.push_back(std::move(job));
    }
    ok = Finish(running.front(), error);
    running.pop_front();
  }
  // On a failure the other encoders still finish before their files are
  // left to the caller.
  for (TMovieJob &job : running) job.Process->waitForFinished(-1);
  return ok;
}

} // namespace kp::demo
