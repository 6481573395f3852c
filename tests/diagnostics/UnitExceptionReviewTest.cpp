// The report's exception-address line carries the address text as it is;
// only the frame lines are widened around "@", as the call-stack text does.
#include "DiagnosticsTestSupport.h"
#include "UnitException.h"

#include <gtest/gtest.h>

namespace kptest {

[[gnu::noinline]] int KnownRoutineForReview(int v) {
  asm volatile("" ::: "memory");
  return v + 1;
}

} // namespace kptest

TEST(ReportTextReview, OnlyTheApplicationBoxWidensTheAddressLine) {
  const auto address = reinterpret_cast<uintptr_t>(&kptest::KnownRoutineForReview);
  const QString addressText = kp::DebugInfoForAddress(address);
  ASSERT_TRUE(addressText.contains(u'@')) << addressText;
  QString widened = addressText;
  widened.replace(u'@', " @ ");
  // The report keeps the exception-address line as it is; frame lines widen.
  kp::TCallStackFrames frames{};
  frames[0] = address;
  EXPECT_EQ(kp::ExceptionReportText("EFileBroken, bad header\r\n", "Thread: main:\r\n", address, frames),
            "EFileBroken, bad header\r\nThread: main:\r\nException callstack\r\n => " + addressText + "\r\n <> " +
                widened);
  // The application handler's box uses the call-stack text with an address,
  // which widens every "@".
  EXPECT_EQ(kptest::ReportLines(kp::GetCallStackText(0, address)).value(0), " => " + widened);
}
