#include "CommandBoundary.h"

#include "DSUtil.h"
#include "PlaybackGuard.h"
#include "UnitException.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace kp {

QString ExceptionBoxText(const QString &message, const QString &stack)
{
  return QStringLiteral("Exception\r\n\r\n") + message + QStringLiteral("\r\n\r\n") + stack;
}

std::function<void(const QString &text)> ShowExceptionBox = [](const QString &text) {
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox::critical(nullptr, QCoreApplication::applicationName(), shown);
};

void HandleCommandException(const std::exception_ptr &exception) noexcept
{
  try {
    if (QCoreApplication::closingDown()) return;
    QString message;
    try {
      std::rethrow_exception(exception);
    } catch (const EDirectShowException &e) {
      qCWarning(lcPlayback) << "media graph:" << e.Message();
      return;
    } catch (const std::exception &e) {
      message = QString::fromUtf8(e.what());
    } catch (...) {
    }
    ReportException(exception);
    if (ShowExceptionBox) ShowExceptionBox(ExceptionBoxText(message, ExceptionCallStackText(exception)));
  } catch (...) {
    qCWarning(lcPlayback) << "an exception could not be shown";
  }
}

bool RunCommand(const std::function<void()> &command) noexcept
{
  try {
    command();
    return true;
  } catch (...) {
    HandleCommandException(std::current_exception());
  }
  return false;
}

} // namespace kp
