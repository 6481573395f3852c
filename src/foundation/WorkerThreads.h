#pragma once
// The bodies of worker threads (the catalogue's search, the copy) run
// through RunWorkerBody: an exception leaving a thread's function would end
// the whole process, so it is caught here and handed to the process-wide
// handler, which the exception reporter installs at start-up (standard
// error until then). Any thread.

#include <exception>
#include <functional>

namespace kp {

using TWorkerFailureHandler = void (*)(const std::exception_ptr &exception) noexcept;

// Nullptr puts the standard error back.
void SetWorkerFailureHandler(TWorkerFailureHandler handler) noexcept;

// Runs Body; true when it ran through. Never throws.
bool RunWorkerBody(const std::function<void()> &body) noexcept;

} // namespace kp
