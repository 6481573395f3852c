#include "DateTime.h"

#include <QApplication>
#include <QTextStream>
#include <clocale>

int main(int argc, char **argv)
{
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("KESTRIL PLAYER"));
  // The platform state the rest of the program reads, taken once at start.
  kp::SetLocalTimeOffset(kp::SystemLocalTimeOffset());
  kp::SetFormatSettings(kp::SystemFormatSettings());

  QTextStream out(stdout);
  out << "KESTRIL PLAYER: the main window is not built yet.\n";
  return 0;
}
