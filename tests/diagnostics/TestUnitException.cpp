#include "DiagnosticsTestSupport.h"
#include "Errors.h"
#include "LogCapture.h"
#include "UnitException.h"

#include <QCoreApplication>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>
#include <unistd.h>

// Classes of the kinds the reporter must tell apart.
namespace kp {
class EFileBroken : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};
class EBadTrackLine : public EConvertError {
public:
  using EConvertError::EConvertError;
};
class EIdHTTPProtocolException : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};
} // namespace kp

namespace playbacktest {
class EDirectShowException : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};
} // namespace playbacktest

namespace kptest {

// Stands in for the throw interposer.
[[gnu::noinline]] kp::TThrowDestructor RecordInKnownPlace(const void *object, kp::TThrowDestructor destroy)
{
  const kp::TThrowDestructor forget = kp::RecordThrowStack(const_cast<void *>(object), destroy, 0);
  asm volatile("" ::: "memory");
  return forget;
}

[[gnu::noinline]] QString StackTextInKnownCatch()
{
  QString text;
  try {
    throw std::runtime_error("caught here");
  } catch (...) {
    text = kp::ExceptionCallStackText(std::current_exception());
  }
  asm volatile("" ::: "memory");
  return text;
}

[[gnu::noinline]] int KnownRoutine(int v)
{
  asm volatile("" ::: "memory");
  return v + 1;
}

} // namespace kptest

namespace {

using kptest::ReportLines;
using kptest::RunQueuedCalls;
using kptest::TInstalledReporter;

template <typename E>
[[gnu::noinline]] void ThrowAndReport(const E &exception)
{
  try {
    throw exception;
  } catch (...) {
    kp::ReportException();
  }
}

TEST(ReportText, ExactWithAndWithoutAnObject)
{
  kp::TCallStackFrames frames{};
  frames[0] = 0x1000;
  frames[1] = 5; // too small for a code address: left out
  frames[2] = 0x2000;
  const QString stack("Exception callstack\r\n => 0000000000003000 \r\n <> 0000000000001000 \r\n <> 0000000000002000 ");
  EXPECT_EQ(kp::ExceptionReportText("EFileBroken, bad header\r\n", "Thread: main:\r\n", 0x3000, frames),
            "EFileBroken, bad header\r\nThread: main:\r\n" + stack);
  EXPECT_EQ(kp::ExceptionReportText(QString(), "Thread: 4711:\r\n", 0x3000, frames), "Thread: 4711:\r\n" + stack);
}

TEST(ReportText, HeadNamesTheClassAndMessage)
{
  auto head = [](auto exception) { return kp::ExceptionHeadText(std::make_exception_ptr(exception)); };
  EXPECT_EQ(head(kp::EFileBroken("bad header")), "EFileBroken, bad header\r\n");
  EXPECT_EQ(head(std::out_of_range("index 9")), "std::out_of_range, index 9\r\n");
  EXPECT_EQ(head(std::runtime_error("Größe")), QStringLiteral("std::runtime_error, Größe\r\n"));
  // No exception object: a foreign thrown value.
  EXPECT_EQ(head(42), QString());
  EXPECT_EQ(kp::ExceptionHeadText(std::exception_ptr()), QString());
}

// The report keeps the exception-address line as it is; only frame lines are
// widened around "@", as the call-stack text does.
TEST(ReportText, OnlyTheApplicationBoxWidensTheAddressLine)
{
  const auto address = reinterpret_cast<uintptr_t>(&kptest::KnownRoutine);
  const QString addressText = kp::DebugInfoForAddress(address);
  ASSERT_TRUE(addressText.contains(u'@')) << addressText;
  QString widened = addressText;
  widened.replace(u'@', " @ ");
  kp::TCallStackFrames frames{};
  frames[0] = address;
  EXPECT_EQ(kp::ExceptionReportText("EFileBroken, bad header\r\n", "Thread: main:\r\n", address, frames),
            "EFileBroken, bad header\r\nThread: main:\r\nException callstack\r\n => " + addressText + "\r\n <> " +
                widened);
  // The application handler's box uses the call-stack text with an address,
  // which widens every "@".
  EXPECT_EQ(kptest::ReportLines(kp::GetCallStackText(0, address)).value(0), " => " + widened);
}

TEST(Report, MainThreadWithObject)
{
  TInstalledReporter reporter;
  ThrowAndReport(kp::EFileBroken("disk on fire"));
  EXPECT_TRUE(reporter.Shower().Shown.empty()) << "shown only after the current message";
  RunQueuedCalls();
  ASSERT_EQ(reporter.Shower().Shown.size(), 1u);
  const QStringList lines = ReportLines(reporter.Shower().Shown[0]);
  ASSERT_GE(lines.size(), 5);
  EXPECT_EQ(lines.mid(0, 3), (QStringList{"EFileBroken, disk on fire", "Thread: main:", "Exception callstack"}));
  // Without the throw interposer the catch site stands in for the throw.
  EXPECT_TRUE(lines[3].startsWith(" => kp_diagnostics_tests@") && lines[3].contains("ThrowAndReport")) << lines[3];
  EXPECT_LE(lines.size(), 4 + kp::kCallStackDepth);
  for (const QString &line : lines.mid(4)) EXPECT_TRUE(line.startsWith(" <> ")) << line;
}

TEST(Report, WithoutObjectAndFromAWorker)
{
  TInstalledReporter reporter;
  ThrowAndReport(42);
  struct NotAnException {};
  ThrowAndReport(NotAnException{});
  RunQueuedCalls();
  ASSERT_EQ(reporter.Shower().Shown.size(), 1u);
  EXPECT_TRUE(reporter.Shower().Shown[0].startsWith("Thread: main:\r\nException callstack\r\n => "))
      << reporter.Shower().Shown[0];

  pid_t worker = 0;
  std::thread([&] {
    worker = gettid();
    ThrowAndReport(std::logic_error("from the copy thread"));
  }).join();
  ASSERT_NE(worker, getpid());
  RunQueuedCalls();
  ASSERT_EQ(reporter.Shower().Shown.size(), 2u);
  EXPECT_EQ(ReportLines(reporter.Shower().Shown[1]).mid(0, 3),
            (QStringList{"std::logic_error, from the copy thread", QStringLiteral("Thread: %1:").arg(worker),
                         "Exception callstack"}));
}

TEST(SkipList, NamesAndThePrefix)
{
  for (const char *name : {"EOleException", "ERegistryException", "EConvertError", "kp::EConvertError",
                           "EStringListError", "EDecompressionError", "EDirectShowException", "EStreamReadError", "EId",
                           "EIdSocketError", "Indy::EIdHTTPProtocolException"})
    EXPECT_TRUE(kp::IsSkippedExceptionClass(QString::fromLatin1(name))) << name;
  for (const char *name :
       {"EFileBroken", "std::runtime_error", "EconvertError", "EDirectShowExceptionX", "eidSocketError", "EID",
        "XEIdSocketError", "EStreamWriteError", "std::vector<kp::EConvertError>", ""})
    EXPECT_FALSE(kp::IsSkippedExceptionClass(QString::fromLatin1(name))) << name;
}

TEST(SkipList, SkippedClassesShowNothing)
{
  TInstalledReporter reporter;
  ThrowAndReport(kp::EConvertError("not a number"));
  ThrowAndReport(kp::EBadTrackLine("line 7 has 3 fields")); // readers' own classes
  ThrowAndReport(kp::EIdHTTPProtocolException("404"));
  ThrowAndReport(playbacktest::EDirectShowException("no decoder"));
  RunQueuedCalls();
  EXPECT_TRUE(reporter.Shower().Shown.empty());
  ThrowAndReport(std::runtime_error("not skipped"));
  RunQueuedCalls();
  EXPECT_EQ(reporter.Shower().Shown.size(), 1u);
}

TEST(PendingSlot, QuickReportsShowOnceWithTheLast)
{
  TInstalledReporter reporter;
  std::thread([] {
    ThrowAndReport(std::runtime_error("first"));
    ThrowAndReport(std::runtime_error("second"));
  }).join();
  RunQueuedCalls();
  ASSERT_EQ(reporter.Shower().Shown.size(), 1u);
  EXPECT_TRUE(reporter.Shower().Shown[0].startsWith("std::runtime_error, second\r\n"));
  RunQueuedCalls();
  EXPECT_EQ(reporter.Shower().Shown.size(), 1u);
}

TEST(PendingSlot, NoSecondBoxWhileOneIsOpen)
{
  kptest::EnsureCoreApplication();
  auto owned = std::make_unique<kptest::TRecordingShower>();
  kptest::TRecordingShower &shower = *owned;
  kp::TShowMesThread reporter(std::move(owned));
  shower.WhileOpen = [&](const QString &text) {
    if (text != "first") return;
    EXPECT_TRUE(reporter.Showing());
    // A box's event loop keeps running queued calls while it is open.
    reporter.SetMessage("second");
    QCoreApplication::processEvents();
    RunQueuedCalls();
    reporter.SetMessage("third");
    RunQueuedCalls();
    EXPECT_EQ(reporter.Pending(), "third");
  };
  reporter.SetMessage("first");
  RunQueuedCalls();
  EXPECT_EQ(shower.MaxDepth, 1);
  EXPECT_EQ(shower.Shown, (std::vector<QString>{"first", "third"}));
  EXPECT_FALSE(reporter.Showing());
  EXPECT_TRUE(reporter.Pending().isEmpty());
}

TEST(PendingSlot, ShowerThatFailsLeavesAWarning)
{
  kptest::EnsureCoreApplication();
  auto owned = std::make_unique<kptest::TRecordingShower>();
  owned->WhileOpen = [](const QString &) { throw std::runtime_error("no screen"); };
  kp::TShowMesThread reporter(std::move(owned));
  kptest::TLogCapture log("kp.diagnostics");
  reporter.SetMessage("report");
  RunQueuedCalls();
  EXPECT_EQ(log.LinesWith("no screen").size(), 1) << log.Lines().join('\n').toStdString();
  EXPECT_FALSE(reporter.Showing());
}

TEST(PendingSlot, WithoutReporterTheReportGoesToStandardError)
{
  testing::internal::CaptureStderr();
  ThrowAndReport(std::runtime_error("nobody listens"));
  const std::string written = testing::internal::GetCapturedStderr();
  EXPECT_NE(written.find("std::runtime_error, nobody listens\r\nThread: main:\r\n"), std::string::npos);
}

TEST(ThrowStacks, RecordLivesAsLongAsTheObject)
{
  static int destroyed = 0;
  static void *destroyedObject = nullptr;
  const kp::TThrowDestructor destroy = [](void *object) {
    ++destroyed;
    destroyedObject = object;
  };
  int object = 0;
  const kp::TThrowDestructor forget = kptest::RecordInKnownPlace(&object, destroy);
  ASSERT_NE(forget, destroy);

  kp::TThrowStack stack;
  ASSERT_TRUE(kp::FindThrowStack(&object, stack));
  EXPECT_EQ(kp::LocateAddress(stack.Address).Routine, "kptest::RecordInKnownPlace(void const*, void (*)(void*))");
  EXPECT_TRUE(kp::LocateAddress(stack.Frames[0]).Routine.contains("TestBody"));
  bool seenElsewhere = false;
  std::thread([&] { seenElsewhere = kp::FindThrowStack(&object, stack); }).join();
  EXPECT_TRUE(seenElsewhere) << "an exception carried to another thread keeps its stack";

  // The runtime destroys the object through the returned destructor.
  forget(&object);
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(destroyedObject, &object);
  EXPECT_FALSE(kp::FindThrowStack(&object, stack));
}

TEST(ThrowStacks, ReportUsesTheRecordedStack)
{
  const std::exception_ptr exception = std::make_exception_ptr(std::runtime_error("recorded"));
  const kp::TThrowDestructor forget = kptest::RecordInKnownPlace(kp::ExceptionObject(exception), nullptr);
  EXPECT_NE(kp::ExceptionAddress(exception), 0u);

  TInstalledReporter reporter;
  kp::ReportException(exception);
  RunQueuedCalls();
  ASSERT_EQ(reporter.Shower().Shown.size(), 1u);
  const QStringList lines = ReportLines(reporter.Shower().Shown[0]);
  ASSERT_GE(lines.size(), 5);
  EXPECT_TRUE(lines[3].contains(" kptest::RecordInKnownPlace(")) << lines[3];
  EXPECT_TRUE(lines[4].contains("TestBody")) << lines[4];

  forget(const_cast<void *>(kp::ExceptionObject(exception)));
  EXPECT_EQ(kp::ExceptionAddress(exception), 0u);
}

TEST(ThrowStacks, StackTextWithoutRecordStartsAtTheCatchSite)
{
  const QStringList lines = ReportLines(kptest::StackTextInKnownCatch());
  ASSERT_GE(lines.size(), 2);
  EXPECT_TRUE(lines[0].startsWith(" => kp_diagnostics_tests @ ") &&
              lines[0].contains(" kptest::StackTextInKnownCatch()"))
      << lines[0];
  EXPECT_TRUE(lines[1].contains("TestBody")) << lines[1];
}

TEST(ThrowStacks, ObjectIsTheCaughtObject)
{
  try {
    throw kp::EFileBroken("where");
  } catch (const kp::EFileBroken &caught) {
    EXPECT_EQ(kp::ExceptionObject(std::current_exception()), static_cast<const void *>(&caught));
  }
}

} // namespace
