// Runs with the __cxa_throw interposer linked in, as the program does.
#include "DiagnosticsTestSupport.h"
#include "UnitException.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>
#include <vector>

namespace kptest {

[[gnu::noinline]] void ThrowFromKnownPlace()
{
  asm volatile("" ::: "memory");
  throw std::runtime_error("thrown at a known place");
}

[[gnu::noinline]] void CallThrower()
{
  ThrowFromKnownPlace();
  asm volatile("" ::: "memory");
}

[[gnu::noinline]] void RethrowElsewhere()
{
  try {
    CallThrower();
  } catch (...) {
    asm volatile("" ::: "memory");
    throw;
  }
}

} // namespace kptest

namespace {

using kptest::ReportLines;

// The compiler moves a throw into the function's cold part, which the symbol
// table names "<function> [clone .cold]".
bool ThrownAtKnownPlace(uintptr_t address)
{
  const QString routine = kp::LocateAddress(address).Routine;
  EXPECT_TRUE(routine.startsWith("kptest::ThrowFromKnownPlace()")) << routine;
  return routine.startsWith("kptest::ThrowFromKnownPlace()");
}

TEST(ThrowHook, StackOfTheThrowIsReported)
{
  kptest::TInstalledReporter reporter;
  try {
    kptest::CallThrower();
  } catch (...) {
    EXPECT_TRUE(ThrownAtKnownPlace(kp::ExceptionAddress(std::current_exception())));
    const QStringList stack = ReportLines(kp::ExceptionCallStackText(std::current_exception()));
    ASSERT_GE(stack.size(), 2);
    EXPECT_TRUE(stack[0].contains(" kptest::ThrowFromKnownPlace()")) << stack[0];
    EXPECT_TRUE(stack[1].contains(" kptest::CallThrower()")) << stack[1];
    kp::ReportException();
  }
  kptest::RunQueuedCalls();
  ASSERT_EQ(reporter.Shower().Shown.size(), 1u);
  const QStringList lines = ReportLines(reporter.Shower().Shown[0]);
  ASSERT_GE(lines.size(), 6);
  EXPECT_EQ(lines.mid(0, 2), (QStringList{"std::runtime_error, thrown at a known place", "Thread: main:"}));
  EXPECT_TRUE(lines[3].startsWith(" => kp_diagnostics_throwhook_tests@") &&
              lines[3].contains(" kptest::ThrowFromKnownPlace()"))
      << lines[3];
  EXPECT_TRUE(lines[4].contains(" kptest::CallThrower()")) << lines[4];
  EXPECT_TRUE(lines[5].contains("TestBody")) << lines[5];
}

TEST(ThrowHook, ThrowsInsideSharedLibrariesAreRecorded)
{
  std::vector<int> empty;
  try {
    (void)empty.at(3);
    FAIL();
  } catch (const std::out_of_range &) {
    const kp::TCodeLocation where = kp::LocateAddress(kp::ExceptionAddress(std::current_exception()));
    EXPECT_TRUE(where.ModulePath.contains("libstdc++")) << where.ModulePath;
  }
}

TEST(ThrowHook, RethrowKeepsTheOriginalThrowSite)
{
  try {
    kptest::RethrowElsewhere();
  } catch (...) {
    EXPECT_TRUE(ThrownAtKnownPlace(kp::ExceptionAddress(std::current_exception())));
  }
}

TEST(ThrowHook, RecordEndsWithTheException)
{
  const void *old = nullptr;
  try {
    kptest::CallThrower();
  } catch (const std::runtime_error &caught) {
    old = &caught;
  }
  kp::TThrowStack stack;
  EXPECT_FALSE(kp::FindThrowStack(old, stack));
  // Made without a throw, and most likely at the freed object's address.
  const std::exception_ptr unthrown = std::make_exception_ptr(std::runtime_error("same size"));
  EXPECT_EQ(kp::ExceptionAddress(unthrown), 0u);
}

TEST(ThrowHook, StackTravelsWithTheExceptionToAnotherThread)
{
  std::exception_ptr carried;
  bool recorded = false;
  std::thread([&] {
    try {
      kptest::CallThrower();
    } catch (...) {
      carried = std::current_exception();
      recorded = ThrownAtKnownPlace(kp::ExceptionAddress(carried));
    }
  }).join();
  EXPECT_TRUE(recorded);
  kptest::TInstalledReporter reporter;
  kp::ReportException(carried);
  kptest::RunQueuedCalls();
  ASSERT_EQ(reporter.Shower().Shown.size(), 1u);
  const QStringList lines = ReportLines(reporter.Shower().Shown[0]);
  EXPECT_TRUE(lines[1].startsWith("Thread: main:"));
  EXPECT_TRUE(lines[3].contains(" kptest::ThrowFromKnownPlace()")) << lines[3];
}

} // namespace
