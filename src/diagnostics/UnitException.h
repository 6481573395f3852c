#pragma once
// Makes every exception that a handler catches visible to the user: the
// handler calls ReportException, which builds a report (class, message,
// thread, throw site and call stack) and leaves it in one pending slot; the
// main thread shows the slot's report in a message box. A newer report
// replaces one not yet shown, and only one box is open at a time.
//
// Stacks: C++ unwinds without a hook at the catch, so the stack is taken
// where the exception is made. The program links an interposer of
// __cxa_throw (target kp_throwhook) that records the stack of every throw,
// keyed by the thrown object, for as long as the object lives;
// ReportException looks the exception up there and falls back to the stack
// of the catch site when it is not found (the binary carries no interposer,
// as tests and sanitizer builds do, or the exception was made without a
// throw).
//
// Classes the program throws and catches in its ordinary work are never
// reported (IsSkippedExceptionClass). Reporting never throws.

#include "ThrowStacks.h"
#include "UnitMemCheck.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>

namespace kp {

// ------------------------------------------------------------ catch sites

// The one call for a catch block that handles an exception instead of
// rethrowing it; call it first in the block. Never throws.
void ReportException(const std::exception_ptr &exception = std::current_exception()) noexcept;

// ---------------------------------------------------------- report pieces

// Class names compared on the name without namespaces, exactly and
// case-sensitively, plus every name beginning with "EId".
bool IsSkippedExceptionClass(const QString &className);

// The first line of a report: "<class>, <message>\r\n" for an exception
// derived from std::exception (the class without the program's namespace),
// empty for any other thrown value; nullopt when the class is skipped
// (EConvertError and classes derived from it included).
std::optional<QString> ExceptionHeadText(const std::exception_ptr &exception) noexcept;

// "Thread: main:\r\n" on the process's main thread, otherwise the decimal
// kernel thread id in place of "main".
QString ThreadPartText();

// head + thread part + "Exception callstack\r\n => " and the address text of
// the exception address, then one "\r\n <> " line per frame.
QString ExceptionReportText(const QString &head, const QString &threadPart, uintptr_t exceptionAddress,
                            const TCallStackFrames &frames);

// The thrown object's address, the key of the throw stacks.
const void *ExceptionObject(const std::exception_ptr &exception) noexcept;

// ------------------------------------------------------------ throw stacks

struct TThrowStack {
  const void *Object;
  uintptr_t Address; // the call that threw
  TCallStackFrames Frames;
};

// Recording is RecordThrowStack in ThrowStacks.h. The record of a live
// thrown object, made on any thread.
bool FindThrowStack(const void *object, TThrowStack &stack) noexcept;
// The call that threw the exception, or 0 when its stack was not recorded.
uintptr_t ExceptionAddress(const std::exception_ptr &exception) noexcept;
// " => " and the throw site, then one "\r\n <> " line per frame of the
// throw's stack, as in a report; without a recorded stack, the caller (the
// catch site) and its callers. For the application handler's own box.
QString ExceptionCallStackText(const std::exception_ptr &exception);

// ------------------------------------------------------------------ showing

// Shows one report; the program's shower opens a message box.
class TReportShower {
public:
  virtual ~TReportShower() = default;
  virtual void Show(const QString &report) = 0;
};

// The message box with the application's title and one OK button when a
// QApplication runs; standard error otherwise.
std::unique_ptr<TReportShower> MakeDefaultReportShower();

// The pending slot and its hand-over to the main thread. Reports arrive on
// any thread; a queued call (posted once until it runs) makes the main
// thread show the slot after the message it is handling. A message box runs
// its own event loop, so ShowPending may be re-entered while a box is open:
// it then leaves the slot alone, and the open box, once closed, is followed
// by one box with the newest report.
class TShowMesThread : public QObject {
  Q_OBJECT
public:
  // Lives on the thread that creates it, which must be the main thread.
  explicit TShowMesThread(std::unique_ptr<TReportShower> shower, QObject *parent = nullptr);
  ~TShowMesThread() override;

  // Any thread: makes text the pending report, replacing one not yet shown.
  void SetMessage(const QString &text) noexcept;
  // Main thread: shows pending reports, one box at a time.
  void ShowPending();

  QString Pending() const;
  bool Showing() const { return FShowing; }

private:
  QString TakePending();

  mutable std::mutex FLock;
  QString FPending;
  std::atomic<bool> FPosted{false};
  bool FShowing = false;
  std::unique_ptr<TReportShower> FShower;
};

// Hands a finished report to the process-wide reporter, or to standard
// error when none is installed.
void SetPendingReport(const QString &report) noexcept;

// Start-up, on the main thread once the application object exists: creates
// the process-wide reporter (shower nullptr: MakeDefaultReportShower) and
// loads the unwinder. Until then, and after RemoveExceptionHook, reports go
// to standard error.
void InstallExceptionHook(std::unique_ptr<TReportShower> shower = nullptr);
// Exit: drops the reporter and any report not yet shown.
void RemoveExceptionHook();

} // namespace kp
