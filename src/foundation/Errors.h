#pragma once
// Exception classes shared by every subsystem.

#include <QString>
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

} // namespace kp
