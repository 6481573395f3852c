#include "Errors.h"

#include "ByteStream.h"
#include "UnitTranslate.h"

#include <cstring>

namespace kp {

QString SystemErrorText(int error)
{
  return QString::fromLocal8Bit(std::strerror(error));
}

QString FileFailureReason(const std::exception_ptr &exception)
{
  if (!exception) return {};
  try {
    std::rethrow_exception(exception);
  } catch (const EFileError &e) {
    return e.Reason();
  } catch (const EStreamError &e) {
    if (e.SystemError() != 0) return SystemErrorText(e.SystemError());
  } catch (...) {
  }
  return {};
}

QString FileFailureMessage(const QString &fileName, const QString &reason)
{
  return Translate(u"Mes_CantSave") + QStringLiteral("\r\n") + fileName + QStringLiteral("\r\n") + reason;
}

} // namespace kp
