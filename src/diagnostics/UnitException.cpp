#include "UnitException.h"

#include "Errors.h"

#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <typeinfo>
#include <unistd.h>

namespace kp {

namespace {

// Classes thrown and caught in ordinary work. EStreamReadError is what the
// byte stream throws when a reader of a user file runs past malformed data.
const char *const kSkippedClasses[] = {
    "EOleException",       "ERegistryException",   "EConvertError",    "EStringListError",
    "EDecompressionError", "EDirectShowException", "EStreamReadError",
};

QString ClassNameOf(const std::type_info &type)
{
  int status = -1;
  char *plain = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
  QString name = QString::fromUtf8(status == 0 && plain ? plain : type.name());
  std::free(plain);
  if (name.startsWith(QStringLiteral("kp::"))) name.remove(0, 4);
  return name;
}

// "a::b::E" -> "E"; "a::T<b::E>" -> "T<b::E>" (template arguments kept).
QString WithoutNamespaces(const QString &className)
{
  const QString outer = className.left(className.indexOf(u'<'));
  const int colons = outer.lastIndexOf(QStringLiteral("::"));
  return colons < 0 ? className : className.mid(colons + 2);
}

} // namespace

bool IsSkippedExceptionClass(const QString &className)
{
  const QString name = WithoutNamespaces(className);
  if (name.startsWith(QStringLiteral("EId"))) return true;
  for (const char *skipped : kSkippedClasses)
    if (name == QLatin1String(skipped)) return true;
  return false;
}

std::optional<QString> ExceptionHeadText(const std::exception_ptr &exception) noexcept
{
  if (!exception) return QString();
  try {
    std::rethrow_exception(exception);
  } catch (const EConvertError &) {
    return std::nullopt;
  } catch (const std::exception &e) {
    try {
      const QString name = ClassNameOf(typeid(e));
      if (IsSkippedExceptionClass(name)) return std::nullopt;
      return name + QStringLiteral(", ") + QString::fromUtf8(e.what()) + QStringLiteral("\r\n");
    } catch (...) {
      return QString();
    }
  } catch (...) {
  }
  return QString();
}

QString ThreadPartText()
{
  // The kernel gives the main thread the process's own id.
  const pid_t thread = gettid();
  const QString name = thread == getpid() ? QStringLiteral("main") : QString::number(thread);
  return QStringLiteral("Thread: ") + name + QStringLiteral(":\r\n");
}

namespace {

// widen: the application box's text widens every "@" (it is a call-stack
// text with an address); a report keeps its address line as it is.
QString StackText(uintptr_t exceptionAddress, const TCallStackFrames &frames, bool widen)
{
  QString address = QStringLiteral(" => ") + DebugInfoForAddress(exceptionAddress);
  if (widen) address.replace(u'@', QStringLiteral(" @ "));
  return address + CallStackLinesText(frames);
}

} // namespace

QString ExceptionReportText(const QString &head, const QString &threadPart, uintptr_t exceptionAddress,
                            const TCallStackFrames &frames)
{
  return head + threadPart + QStringLiteral("Exception callstack\r\n") + StackText(exceptionAddress, frames, false);
}

const void *ExceptionObject(const std::exception_ptr &exception) noexcept
{
#if defined(__GLIBCXX__)
  // libstdc++'s exception_ptr is exactly the pointer to the thrown object,
  // the same pointer __cxa_throw received.
  static_assert(sizeof(std::exception_ptr) == sizeof(void *));
  const void *object = nullptr;
  std::memcpy(&object, static_cast<const void *>(&exception), sizeof object);
  return object;
#else
  (void)exception;
  return nullptr;
#endif
}

uintptr_t ExceptionAddress(const std::exception_ptr &exception) noexcept
{
  TThrowStack stack;
  return exception && FindThrowStack(ExceptionObject(exception), stack) ? stack.Address : 0;
}

namespace {

// The recorded throw, or else the caller of the routine that called this
// one (the catch site) and its callers.
[[gnu::noinline]] TThrowStack ThrowOrCatchStack(const std::exception_ptr &exception) noexcept
{
  TThrowStack stack;
  if (exception && FindThrowStack(ExceptionObject(exception), stack)) return stack;
  uintptr_t sites[1 + kCallStackDepth];
  CaptureCallSites(sites, 1 + kCallStackDepth, 2);
  stack.Object = nullptr;
  stack.Address = sites[0];
  std::copy(sites + 1, sites + 1 + kCallStackDepth, stack.Frames.begin());
  return stack;
}

} // namespace

[[gnu::noinline]] QString ExceptionCallStackText(const std::exception_ptr &exception)
{
  const TThrowStack stack = ThrowOrCatchStack(exception);
  return StackText(stack.Address, stack.Frames, true);
}

[[gnu::noinline]] void ReportException(const std::exception_ptr &exception) noexcept
{
  try {
    const std::optional<QString> head = ExceptionHeadText(exception);
    if (!head) return;
    const TThrowStack stack = ThrowOrCatchStack(exception);
    SetPendingReport(ExceptionReportText(*head, ThreadPartText(), stack.Address, stack.Frames));
  } catch (...) {
  }
}

} // namespace kp
