#pragma once
// The boundary of every view command: an exception leaving a command is
// handed to the exception reporter and then shown in the "Exception" box,
// and the program goes on. Media-graph failures are only logged here, and
// nothing is shown once the application is closing. The same handling is
// the last net of the application's event dispatch. Main thread only.

#include <QString>
#include <exception>
#include <functional>

namespace kp {

// "Exception\r\n\r\n" + message + "\r\n\r\n" + stack.
QString ExceptionBoxText(const QString &message, const QString &stack);

// Shows the box text; the default opens a message box. Tests replace it.
extern std::function<void(const QString &text)> ShowExceptionBox;

// Reports and shows the exception, unless it is a media-graph failure or
// the application is closing. Never throws.
void HandleCommandException(const std::exception_ptr &exception) noexcept;

// Runs Command inside the boundary; true when it ran through.
bool RunCommand(const std::function<void()> &command) noexcept;

} // namespace kp
