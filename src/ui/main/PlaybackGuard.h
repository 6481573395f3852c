#pragma once
// The two habits every playback command shares: a busy cursor for the
// length of a step, and a guard that keeps a failed step's exception from
// reaching the caller or the event loop. Main thread only.

#include <QLoggingCategory>
#include <functional>

namespace kp {

Q_DECLARE_LOGGING_CATEGORY(lcPlayback)

class IPlaybackHost;

// Shows Shape as the application's cursor until destroyed.
class TBusyCursor {
public:
  explicit TBusyCursor(Qt::CursorShape shape = Qt::BusyCursor);
  ~TBusyCursor();
  TBusyCursor(const TBusyCursor &) = delete;
  TBusyCursor &operator=(const TBusyCursor &) = delete;
};

enum class TGraphFailure {
  Show, // a media-graph failure is shown like any other
  Log,  // a media-graph failure only leaves a log line (the window drops them)
};

// Runs Step; an exception leaving it is shown through the host (or logged,
// see TGraphFailure) and swallowed. True when the step ran through.
bool GuardStep(IPlaybackHost &host, TGraphFailure graphFailure, const std::function<void()> &step);

} // namespace kp
