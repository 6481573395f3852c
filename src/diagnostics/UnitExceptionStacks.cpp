// The stacks of recent throws, one small ring per thread. Filled from inside
// __cxa_throw, so nothing here allocates, locks or throws, and the ring is
// plain zero-initialised thread-local data (no constructor to run on a
// thread's first throw).
#include "ThrowStacks.h"
#include "UnitException.h"

namespace kp {

namespace {

constexpr unsigned kRingSize = 8;

thread_local TThrowStack t_ring[kRingSize];
thread_local unsigned t_next;

} // namespace

[[gnu::noinline]] void RecordThrowStack(const void *object, int skip) noexcept {
  uintptr_t sites[1 + kCallStackDepth];
  // One more to leave this routine out.
  CaptureCallSites(sites, 1 + kCallStackDepth, skip + 1);
  TThrowStack &slot = t_ring[t_next++ % kRingSize];
  slot.Object = object;
  slot.Address = sites[0];
  for (int i = 0; i < kCallStackDepth; ++i) slot.Frames[i] = sites[i + 1];
}

bool FindThrowStack(const void *object, TThrowStack &stack) noexcept {
  if (!object) return false;
  for (unsigned back = 1; back <= kRingSize; ++back) {
    const TThrowStack &slot = t_ring[(t_next - back) % kRingSize];
    if (slot.Object == object) {
      stack = slot;
      return true;
    }
  }
  return false;
}

} // namespace kp
