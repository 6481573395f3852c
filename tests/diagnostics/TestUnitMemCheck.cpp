#include "DiagnosticsTestSupport.h"
#include "TestSupport.h"
#include "UnitMemCheck.h"

#include <QProcess>
#include <QRegularExpression>
#include <QtGlobal>
#include <thread>

using kp::kCallStackDepth;
using kp::TCallStackFrames;

// External linkage and never inlined: their names must appear in stack
// lines. The empty asm after each call keeps the call from becoming a jump,
// which would take the function's frame off the stack.
namespace kptest {

[[gnu::noinline]] QString StackInKnownFunction(int skip)
{
  QString text = kp::GetCallStackText(skip);
  asm volatile("" ::: "memory");
  return text;
}

[[gnu::noinline]] QString StackInKnownCaller(int skip)
{
  QString text = StackInKnownFunction(skip);
  asm volatile("" ::: "memory");
  return text;
}

[[gnu::noinline]] void CaptureInKnownFunction(TCallStackFrames &frames)
{
  kp::CaptureCallStack(frames, 0);
  asm volatile("" ::: "memory");
}

// Not a tail call and not a loop: the result is used after the call.
[[gnu::noinline]] int DeepStack(int depth, QString &text)
{
  volatile int keep = depth;
  if (depth == 0) {
    text = kp::GetCallStackText(0);
    return keep;
  }
  const int below = DeepStack(depth - 1, text);
  asm volatile("" ::: "memory");
  return below + keep;
}

} // namespace kptest

namespace {

using kptest::ReportLines;

// Frame lines after widening: module, " @ ", offset, blank, routine; or an
// absolute address with nothing after it.
const QRegularExpression kFrameLine(QStringLiteral("^ <> (\\S+ @ [0-9A-F]{8,} .*|[0-9A-F]{16} )$"));

TEST(AddressText, ModuleOffsetAndRoutineOrSixteenDigitsOutsideEveryModule)
{
  EXPECT_EQ(kp::DebugInfoForAddress(0x1000), "0000000000001000 ");
  EXPECT_EQ(kp::DebugInfoForAddress(0xABCDEF0123), "000000ABCDEF0123 ");
  const auto entry = reinterpret_cast<uintptr_t>(&kptest::StackInKnownFunction);
  const QString text = kp::DebugInfoForAddress(entry);
  const QRegularExpression pattern(QStringLiteral(
      "^kp_diagnostics_tests@([0-9A-F]{8,}) kptest::StackInKnownFunction\\(int\\)( \\(TestUnitMemCheck\\.cpp:\\d+\\))?$"));
  const auto match = pattern.match(text);
  ASSERT_TRUE(match.hasMatch()) << text;
  const kp::TCodeLocation where = kp::LocateAddress(entry);
  EXPECT_EQ(match.captured(1).toULongLong(nullptr, 16), where.Offset);

  // A shared library: its own file and its dynamic symbol.
  const QString qt = kp::DebugInfoForAddress(reinterpret_cast<uintptr_t>(&qVersion));
  EXPECT_TRUE(qt.startsWith("libQt6Core.so.6@") && qt.endsWith(" qVersion")) << qt;
}

TEST(CallStackText, WithoutAddressStartsWithTheCallerFrameAfterTheSkip)
{
  const QString text = kptest::StackInKnownCaller(0);
  ASSERT_TRUE(text.startsWith("\r\n <> ")) << text;
  const QStringList lines = ReportLines(text).mid(1);
  ASSERT_GE(lines.size(), 3);
  EXPECT_TRUE(lines[0].contains("kptest::StackInKnownFunction(int)")) << lines[0];
  EXPECT_TRUE(lines[1].contains("kptest::StackInKnownCaller(int)")) << lines[1];
  for (const QString &line : lines) EXPECT_TRUE(kFrameLine.match(line).hasMatch()) << line;
  // Skip leaves out inner frames.
  EXPECT_TRUE(ReportLines(kptest::StackInKnownCaller(1)).value(1).contains("kptest::StackInKnownCaller(int)"));
}

TEST(CallStackText, WithAddressStartsWithItsWidenedText)
{
  const QStringList lines = ReportLines(kp::GetCallStackText(0, reinterpret_cast<uintptr_t>(&kptest::DeepStack)));
  ASSERT_GE(lines.size(), 2);
  EXPECT_TRUE(lines[0].startsWith(" => kp_diagnostics_tests @ ") &&
              lines[0].contains(" kptest::DeepStack(int, QString&)"))
      << lines[0];
  EXPECT_TRUE(lines[1].startsWith(" <> "));
}

TEST(CallStackText, ChainDeeperThanTheLimitGivesExactlyTheLimit)
{
  QString text;
  kptest::DeepStack(kCallStackDepth + 10, text);
  const QStringList lines = ReportLines(text).mid(1);
  ASSERT_EQ(lines.size(), kCallStackDepth);
  for (const QString &line : lines) EXPECT_TRUE(line.contains("kptest::DeepStack(")) << line;
}

TEST(CallStackCapture, ShallowStackLeavesTheRestEmpty)
{
  TCallStackFrames frames;
  frames.fill(0xDEAD);
  std::thread([&] { kptest::CaptureInKnownFunction(frames); }).join();
  const auto filled = std::count_if(frames.begin(), frames.end(), [](uintptr_t v) { return v != 0; });
  EXPECT_GT(filled, 1);
  EXPECT_LT(filled, kCallStackDepth);
  for (auto i = filled; i < kCallStackDepth; ++i) EXPECT_EQ(frames[i], 0u);
  EXPECT_EQ(kp::LocateAddress(frames[0]).Routine, "kptest::CaptureInKnownFunction(std::array<unsigned long, 27ul>&)");
}

TEST(CallStackCapture, AgreesWithAddr2line)
{
  KP_REQUIRE_TOOL(addr2line, "addr2line");
  TCallStackFrames frames{};
  kptest::CaptureInKnownFunction(frames);
  const kp::TCodeLocation where = kp::LocateAddress(frames[0]);
  ASSERT_TRUE(where.InModule);

  QProcess tool;
  tool.start(addr2line, {"-f", "-C", "-e", where.ModulePath, "0x" + QString::number(where.Offset, 16)});
  ASSERT_TRUE(tool.waitForFinished(30000));
  const QStringList answer = QString::fromUtf8(tool.readAllStandardOutput()).split(u'\n');
  ASSERT_GE(answer.size(), 2);
  EXPECT_EQ(where.Routine, answer[0]);
  // "path/TestUnitMemCheck.cpp:123" or with " (discriminator n)" after it.
  const QString place = answer[1].section(u' ', 0, 0).section(u'/', -1);
  EXPECT_EQ(QString("%1:%2").arg(where.SourceFile).arg(where.Line), place);
  EXPECT_TRUE(kp::DebugInfoForAddress(frames[0]).contains(QString(" %1 (%2)").arg(where.Routine, place)));
}

TEST(CallStackText, ThreadsLookingUpAtOnceAgree)
{
  // The first lookup builds the shared symbol session; all start together.
  std::vector<QStringList> seen(4);
  std::vector<std::thread> threads;
  for (auto &lines : seen)
    threads.emplace_back([&lines] { lines = ReportLines(kptest::StackInKnownCaller(0)).mid(1, 2); });
  for (auto &thread : threads) thread.join();
  const QStringList expected = ReportLines(kptest::StackInKnownCaller(0)).mid(1, 2);
  ASSERT_EQ(expected.size(), 2);
  for (const auto &lines : seen) EXPECT_EQ(lines, expected);
}

} // namespace
