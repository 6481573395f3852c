#include "DateTime.h"
#include "UnitException.h"

#include <QApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("KESTRIL PLAYER"));
  kp::InstallExceptionHook();
  // The platform state the rest of the program reads, taken once at start.
  kp::SetLocalTimeOffset(kp::SystemLocalTimeOffset());
  kp::SetFormatSettings(kp::SystemFormatSettings());

  QTextStream out(stdout);
  out << "KESTRIL PLAYER: the main window is not built yet.\n";
  kp::RemoveExceptionHook();
  return 0;
}
