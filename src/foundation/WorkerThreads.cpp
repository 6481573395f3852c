#include "WorkerThreads.h"

#include <atomic>
#include <cstdio>

namespace kp {

namespace {

std::atomic<TWorkerFailureHandler> g_handler{nullptr};

void PrintFailure(const std::exception_ptr &exception) noexcept
{
  try {
    std::rethrow_exception(exception);
  } catch (const std::exception &e) {
    std::fprintf(stderr, "worker thread failed: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "worker thread failed\n");
  }
}

} // namespace

void SetWorkerFailureHandler(TWorkerFailureHandler handler) noexcept
{
  g_handler.store(handler);
}

bool RunWorkerBody(const std::function<void()> &body) noexcept
{
  try {
    body();
    return true;
  } catch (...) {
    const TWorkerFailureHandler handler = g_handler.load();
    (handler ? handler : PrintFailure)(std::current_exception());
  }
  return false;
}

} // namespace kp
