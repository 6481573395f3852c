#include "UnitProgram.h"

#include "DateTime.h"
#include "ThemePalette.h"
#include "UnitException.h"
#include "UnitFormMain.h"
#include "UnitTranslate.h"

#include <QApplication>

namespace kp {

int ProgramMain(int argc, char **argv)
{
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("KESTRIL PLAYER"));
  InstallExceptionHook();
  // The platform state the rest of the program reads, taken once at start.
  SetLocalTimeOffset(SystemLocalTimeOffset());
  SetFormatSettings(SystemFormatSettings());
  InstallPaletteThemeColors();
  InitLanguages();
  int result = 0;
  {
    TFormMain main;
    main.SetAllWindowsCreated();
    main.ApplyLanguage(nullptr);
    main.show();
    result = QApplication::exec();
  }
  RemoveExceptionHook();
  return result;
}

} // namespace kp
