#pragma once
// Exception classes shared by every subsystem.

#include <QString>
#include <exception>
#include <stdexcept>

namespace kp {

// Text or bytes that do not hold a valid value. Readers of user files throw
// it (or a class derived from it) internally for malformed input and turn it
// into "no result" before returning; the exception reporter never shows it,
// so a damaged file on a card does not open a box.
class EConvertError : public std::runtime_error {
public:
  explicit EConvertError(const QString &message) : std::runtime_error(message.toStdString()) {}
  explicit EConvertError(const char *message) : std::runtime_error(message) {}
  QString Message() const { return QString::fromUtf8(what()); }
};

// A user's file that the system would not let the program write or create
// (no permission, a full disk, a missing or read-only folder, a file in
// use): no fault of the program, so it is shown as one plain message that
// names the file and the system's reason, never as a crash report.
class EFileError : public std::runtime_error {
public:
  EFileError(const QString &fileName, const QString &reason)
    : std::runtime_error((fileName + QStringLiteral(": ") + reason).toStdString()), FFileName(fileName), FReason(reason)
  {
  }
  const QString &FileName() const { return FFileName; }
  const QString &Reason() const { return FReason; }
  // The file on one line, the reason on the next.
  QString Message() const { return FFileName + QStringLiteral("\r\n") + FReason; }

private:
  QString FFileName, FReason;
};

// The system's text for an errno value.
QString SystemErrorText(int error);

// The system's reason when Exception is an ordinary failure of a file (an
// EFileError, or a stream the system refused); empty for anything else,
// which is a fault of the program.
QString FileFailureReason(const std::exception_ptr &exception);

// The one plain message of a file that could not be written: the text of
// Mes_CantSave, the file and the reason, one a line.
QString FileFailureMessage(const QString &fileName, const QString &reason);

} // namespace kp
