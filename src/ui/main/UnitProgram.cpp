#include "UnitProgram.h"

#include "DateTime.h"
#include "ThemePalette.h"
#include "UnitException.h"
#include "UnitFormMain.h"
#include "UnitTranslate.h"

#include <QApplication>

namespace kp {

std::unique_ptr<TFormMain> CreateWindows(const QStringList &args)
{
  InstallPaletteThemeColors();
  InitLanguages();
  auto main = std::make_unique<TFormMain>();
  main->Arguments = args;
  main->SetAllWindowsCreated();
  main->ApplyLanguage(nullptr);
  return main;
}

int ProgramMain(int argc, char **argv)
{
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("KESTRIL PLAYER"));
  InstallExceptionHook();
  // The platform state the rest of the program reads, taken once at start.
  SetLocalTimeOffset(SystemLocalTimeOffset());
  SetFormatSettings(SystemFormatSettings());
  int result = 0;
  {
    std::unique_ptr<TFormMain> main = CreateWindows(QCoreApplication::arguments().mid(1));
    main->show();
    result = QApplication::exec();
  }
  RemoveExceptionHook();
  return result;
}

} // namespace kp
