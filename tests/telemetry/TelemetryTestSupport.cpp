#include "TelemetryTestSupport.h"

namespace {

// No test of this binary writes the user's "gps" setting.
const bool kQuietRegister = [] {
  kp::SetGpsFormatsWriter([](const QString &) {});
  return true;
}();

} // namespace
