// The stacks of exceptions alive right now, keyed by the thrown object.
// A record lives exactly as long as its object: the runtime destroys the
// object through our destructor, which forgets the record first. A record
// that outlived its object could be matched by a later exception made at the
// same address without a throw (std::make_exception_ptr), and report the
// wrong stack. Filled from inside __cxa_throw, so nothing here throws, and
// the lock is a spin flag around a few pointer moves.
#include "ThrowStacks.h"
#include "UnitException.h"

#include <atomic>
#include <cstdlib>
#include <sched.h>

namespace kp {

namespace {

struct TThrowRecord {
  TThrowStack Stack;
  TThrowDestructor Destroy;
  TThrowRecord *Next;
};

std::atomic_flag g_lock;
TThrowRecord *g_live = nullptr;

class TSpinGuard {
public:
  TSpinGuard()
  {
    while (g_lock.test_and_set(std::memory_order_acquire)) sched_yield();
  }
  ~TSpinGuard() { g_lock.clear(std::memory_order_release); }
};

TThrowRecord *Unlink(const void *object) noexcept
{
  TSpinGuard guard;
  for (TThrowRecord **link = &g_live; *link; link = &(*link)->Next) {
    if ((*link)->Stack.Object == object) {
      TThrowRecord *found = *link;
      *link = found->Next;
      return found;
    }
  }
  return nullptr;
}

void DestroyRecorded(void *object)
{
  TThrowRecord *record = Unlink(object);
  const TThrowDestructor destroy = record ? record->Destroy : nullptr;
  std::free(record);
  if (destroy) destroy(object);
}

} // namespace

[[gnu::noinline]] TThrowDestructor RecordThrowStack(void *object, TThrowDestructor destroy, int skip) noexcept
{
  auto *record = static_cast<TThrowRecord *>(std::malloc(sizeof(TThrowRecord)));
  if (!record) return destroy;
  uintptr_t sites[1 + kCallStackDepth];
  // One more to leave this routine out.
  CaptureCallSites(sites, 1 + kCallStackDepth, skip + 1);
  record->Stack.Object = object;
  record->Stack.Address = sites[0];
  for (int i = 0; i < kCallStackDepth; ++i) record->Stack.Frames[i] = sites[i + 1];
  record->Destroy = destroy;
  {
    TSpinGuard guard;
    record->Next = g_live;
    g_live = record;
  }
  return &DestroyRecorded;
}

bool FindThrowStack(const void *object, TThrowStack &stack) noexcept
{
  if (!object) return false;
  TSpinGuard guard;
  for (const TThrowRecord *record = g_live; record; record = record->Next) {
    if (record->Stack.Object == object) {
      stack = record->Stack;
      return true;
    }
  }
  return false;
}

} // namespace kp
