#include "ThemePalette.h"

#include <QGuiApplication>

namespace kp {

QPalette::ColorRole PaletteRoleFor(TThemeRole role)
{
  switch (role) {
  case TThemeRole::Window: return QPalette::Window;
  case TThemeRole::WindowText: return QPalette::WindowText;
  case TThemeRole::Base: return QPalette::Base;
  case TThemeRole::Text: return QPalette::Text;
  case TThemeRole::Button: return QPalette::Button;
  case TThemeRole::ButtonText: return QPalette::ButtonText;
  case TThemeRole::Highlight: return QPalette::Highlight;
  case TThemeRole::HighlightedText: return QPalette::HighlightedText;
  case TThemeRole::ToolTipBase: return QPalette::ToolTipBase;
  case TThemeRole::ToolTipText: return QPalette::ToolTipText;
  case TThemeRole::Light: return QPalette::Light;
  case TThemeRole::Midlight: return QPalette::Midlight;
  case TThemeRole::Mid: return QPalette::Mid;
  case TThemeRole::Dark: return QPalette::Dark;
  case TThemeRole::Shadow: return QPalette::Shadow;
  case TThemeRole::DisabledText: return QPalette::Text;
  case TThemeRole::Link: return QPalette::Link;
  }
  return QPalette::Window;
}

TColor PaletteThemeColor(const QPalette &palette, TThemeRole role)
{
  const QPalette::ColorGroup group = role == TThemeRole::DisabledText ? QPalette::Disabled : QPalette::Active;
  const QColor c = palette.color(group, PaletteRoleFor(role));
  return RGBColor(c.red(), c.green(), c.blue());
}

void InstallPaletteThemeColors()
{
  SetThemeColorResolver([](TThemeRole role) {
    // Outside a GUI application (tools, tests) keep the fixed theme.
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) return DefaultThemeColor(role);
    return PaletteThemeColor(QGuiApplication::palette(), role);
  });
}

} // namespace kp
