#pragma once
// Resolves the "cl" theme colours of the language tables against the
// application's palette, so the list and window colours follow the desktop
// theme. The program installs it once at start-up, after the application
// object exists; without it the tables' theme colours use a fixed light theme.

#include "UnitTranslate.h"

#include <QColor>
#include <QPalette>

namespace kp {

QPalette::ColorRole PaletteRoleFor(TThemeRole role);
// The colour of Role in Palette (active group; DisabledText from the disabled
// group) in the tables' 0x00BBGGRR layout.
TColor PaletteThemeColor(const QPalette &palette, TThemeRole role);
// Installs a resolver that reads the application palette at each lookup.
void InstallPaletteThemeColors();

} // namespace kp
