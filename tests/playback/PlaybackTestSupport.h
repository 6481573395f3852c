#pragma once
// Helpers of the playback tests: one application object, bounded waits on
// the event loop, and the generated clips.

#include "TestSupport.h"

#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <ostream>
#include <sched.h>
#include <thread>

// Readable failure output for Qt strings.
inline void PrintTo(const QString &s, std::ostream *os)
{
  *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList &l, std::ostream *os)
{
  *os << '[' << l.join(QStringLiteral(", ")).toStdString() << ']';
}

namespace kptest {

// The QApplication every playback test runs under (made on first use).
void ensureApplication();

// Clips made with ffmpeg on first use and kept in the build folder.
// 64 x 48, 25 fps, 8 s, H.264 (lossless, key frame every 25 frames) and AAC.
// Top half: left red, right green. Bottom half: grey level
// (frame number mod 50) x 5.
QString patternClip(const QString &ffmpeg);
// The same picture with a subtitle (3GPP text) track over the whole clip.
QString subtitledClip(const QString &ffmpeg);
// A text file with a video name.
QString nonMediaFile();
// While it lives, the calling thread and every thread it starts share one
// core with a busy loop: streaming threads are preempted at any point.
class TOneBusyCore {
public:
  TOneBusyCore();
  ~TOneBusyCore();
  TOneBusyCore(const TOneBusyCore &) = delete;
  TOneBusyCore &operator=(const TOneBusyCore &) = delete;

private:
  cpu_set_t FSaved;
  std::atomic<bool> FStop{false};
  std::thread FBusy;
};

// Grey level the pattern shows for a frame number.
inline int patternGrey(int frame)
{
  return (frame % 50) * 5;
}

} // namespace kptest
