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

TEST(ReportTextReview, ExceptionAddressLineKeepsTheAddressTextAsItIs) {
  const auto address = reinterpret_cast<uintptr_t>(&kptest::KnownRoutineForReview);
  const QString addressText = kp::DebugInfoForAddress(address);
  ASSERT_TRUE(addressText.contains(u'@')) << addressText.toStdString();
  kp::TCallStackFrames frames{};
  frames[0] = address;
  const QString report = kp::ExceptionReportText(QStringLiteral("EFileBroken, bad header\r\n"),
                                                 QStringLiteral("Thread: main:\r\n"), address, frames);
  QString widened = addressText;
  widened.replace(u'@', QStringLiteral(" @ "));
  EXPECT_EQ(report, QStringLiteral("EFileBroken, bad header\r\nThread: main:\r\nException callstack\r\n => ") +
                        addressText + QStringLiteral("\r\n <> ") + widened);
}

TEST(ReportTextReview, ApplicationBoxTextWidensTheAddressLineToo) {
  // The application handler's box uses the call-stack text with an address,
  // which widens every "@".
  const auto address = reinterpret_cast<uintptr_t>(&kptest::KnownRoutineForReview);
  const QStringList lines = kptest::ReportLines(kp::GetCallStackText(0, address));
  ASSERT_FALSE(lines.isEmpty());
  QString widened = kp::DebugInfoForAddress(address);
  widened.replace(u'@', QStringLiteral(" @ "));
  EXPECT_EQ(lines[0], QStringLiteral(" => ") + widened);
}
