// Records the stack of every C++ throw for the exception reporter, then
// hands the throw on to the C++ runtime. Linked into the program only: the
// sanitizer runtimes intercept __cxa_throw themselves, and a second
// definition in a test or sanitizer binary would fight theirs.
#include "ThrowStacks.h"

#include <cstdlib>
#include <dlfcn.h>

namespace {

// The compiler's own declaration types the second argument (the thrown
// type's std::type_info) as void *; it is passed on untouched.
using TRuntimeThrow = void (*)(void *, void *, void (*)(void *));

TRuntimeThrow RuntimeThrow()
{
  static const auto kNext = reinterpret_cast<TRuntimeThrow>(dlsym(RTLD_NEXT, "__cxa_throw"));
  return kNext;
}

// Before main: find the runtime's entry and load the unwinder, so that no
// throw has to do either.
struct TPrepare {
  TPrepare()
  {
    kp::PreloadUnwinder();
    RuntimeThrow();
  }
} g_prepare;

} // namespace

extern "C" [[noreturn]] void __cxa_throw(void *object, void *type, void (*destroy)(void *))
{
  const kp::TThrowDestructor forgetAndDestroy = kp::RecordThrowStack(object, destroy, 1);
  if (TRuntimeThrow next = RuntimeThrow()) next(object, type, forgetAndDestroy);
  std::abort();
}
