// Colour texts of the language tables: "#RRGGBB", "cl" colour names and
// plain numbers. Theme colours are resolved through an injectable resolver so
// this stays free of the GUI libraries.
#include "UnitTranslate.h"

#include "UnitUtils.h"

#include <mutex>

namespace kp {

namespace {

struct TThemeName {
  const char16_t *Name;
  TThemeRole Role;
};

// The platform colour names the tables may use for theme colours.
constexpr TThemeName kThemeNames[] = {
    {u"clBtnFace", TThemeRole::Window},
    {u"clWindow", TThemeRole::Base},
    {u"clWindowText", TThemeRole::Text},
    {u"clHighlight", TThemeRole::Highlight},
    {u"clHighlightText", TThemeRole::HighlightedText},
    {u"clBtnText", TThemeRole::ButtonText},
    {u"clBtnHighlight", TThemeRole::Light},
    {u"cl3DLight", TThemeRole::Midlight},
    {u"clBtnShadow", TThemeRole::Mid},
    {u"cl3DDkShadow", TThemeRole::Shadow},
    {u"clGrayText", TThemeRole::DisabledText},
    {u"clInfoBk", TThemeRole::ToolTipBase},
    {u"clInfoText", TThemeRole::ToolTipText},
    {u"clMenu", TThemeRole::Window},
    {u"clMenuBar", TThemeRole::Window},
    {u"clMenuText", TThemeRole::WindowText},
    {u"clMenuHighlight", TThemeRole::Highlight},
    {u"clHotLight", TThemeRole::Link},
    {u"clScrollBar", TThemeRole::Button},
    {u"clBackground", TThemeRole::Dark},
    {u"clAppWorkSpace", TThemeRole::Mid},
    {u"clActiveBorder", TThemeRole::Window},
    {u"clInactiveBorder", TThemeRole::Window},
    {u"clWindowFrame", TThemeRole::Shadow},
    {u"clActiveCaption", TThemeRole::Highlight},
    {u"clCaptionText", TThemeRole::HighlightedText},
    {u"clInactiveCaption", TThemeRole::Mid},
    {u"clInactiveCaptionText", TThemeRole::WindowText},
    {u"clGradientActiveCaption", TThemeRole::Highlight},
    {u"clGradientInactiveCaption", TThemeRole::Midlight},
};

struct TFixedName {
  const char16_t *Name;
  TColor Color;
};

constexpr TFixedName kFixedNames[] = {
    {u"clBlack", RGBColor(0, 0, 0)},
    {u"clMaroon", RGBColor(128, 0, 0)},
    {u"clGreen", RGBColor(0, 128, 0)},
    {u"clOlive", RGBColor(128, 128, 0)},
    {u"clNavy", RGBColor(0, 0, 128)},
    {u"clPurple", RGBColor(128, 0, 128)},
    {u"clTeal", RGBColor(0, 128, 128)},
    {u"clGray", RGBColor(128, 128, 128)},
    {u"clSilver", RGBColor(192, 192, 192)},
    {u"clRed", RGBColor(255, 0, 0)},
    {u"clLime", RGBColor(0, 255, 0)},
    {u"clYellow", RGBColor(255, 255, 0)},
    {u"clBlue", RGBColor(0, 0, 255)},
    {u"clFuchsia", RGBColor(255, 0, 255)},
    {u"clAqua", RGBColor(0, 255, 255)},
    {u"clWhite", RGBColor(255, 255, 255)},
    {u"clLtGray", RGBColor(192, 192, 192)},
    {u"clDkGray", RGBColor(128, 128, 128)},
    {u"clMoneyGreen", RGBColor(192, 220, 192)},
    {u"clSkyBlue", RGBColor(166, 202, 240)},
    {u"clCream", RGBColor(255, 251, 240)},
    {u"clMedGray", RGBColor(160, 160, 164)},
};

constexpr TColor kNotAColour = 255; // pure red: easy to spot on screen

std::mutex g_resolverMutex;
TThemeColorResolver g_resolver;

TColor resolveTheme(TThemeRole role)
{
  TThemeColorResolver resolver;
  {
    std::lock_guard lock(g_resolverMutex);
    resolver = g_resolver;
  }
  return resolver ? resolver(role) : DefaultThemeColor(role);
}

int hexPair(QStringView text, qsizetype from)
{
  // A pair cut short by the end of the text counts 0.
  return from + 2 <= text.size() ? HexByteValue(text.sliced(from, 2)) : 0;
}

// Decimal, or hexadecimal after "$" or "0x", the way the platform's integer
// reader takes numbers; only values that fit a colour count.
bool parseColorNumber(QStringView text, TColor &color)
{
  bool ok = false;
  qlonglong v = 0;
  if (text.startsWith(u'$'))
    v = text.sliced(1).toLongLong(&ok, 16);
  else if (text.startsWith(u"0x", Qt::CaseInsensitive))
    v = text.sliced(2).toLongLong(&ok, 16);
  else
    v = text.toLongLong(&ok, 10);
  if (!ok || v < 0 || v > 0xFFFFFF) return false;
  color = TColor(v);
  return true;
}

} // namespace

bool ThemeRoleForColorName(QStringView name, TThemeRole &role)
{
  for (const auto &n : kThemeNames) {
    if (name.compare(QStringView(n.Name), Qt::CaseInsensitive) == 0) {
      role = n.Role;
      return true;
    }
  }
  return false;
}

bool FixedColorForName(QStringView name, TColor &color)
{
  for (const auto &n : kFixedNames) {
    if (name.compare(QStringView(n.Name), Qt::CaseInsensitive) == 0) {
      color = n.Color;
      return true;
    }
  }
  return false;
}

void SetThemeColorResolver(TThemeColorResolver resolver)
{
  std::lock_guard lock(g_resolverMutex);
  g_resolver = std::move(resolver);
}

TColor DefaultThemeColor(TThemeRole role)
{
  switch (role) {
  case TThemeRole::Window:
  case TThemeRole::Button: return RGBColor(240, 240, 240);
  case TThemeRole::Base:
  case TThemeRole::Light:
  case TThemeRole::HighlightedText: return RGBColor(255, 255, 255);
  case TThemeRole::Highlight: return RGBColor(0, 120, 215);
  case TThemeRole::ToolTipBase: return RGBColor(255, 255, 225);
  case TThemeRole::Midlight: return RGBColor(227, 227, 227);
  case TThemeRole::Mid: return RGBColor(160, 160, 160);
  case TThemeRole::Dark: return RGBColor(105, 105, 105);
  case TThemeRole::Shadow: return RGBColor(64, 64, 64);
  case TThemeRole::DisabledText: return RGBColor(109, 109, 109);
  case TThemeRole::Link: return RGBColor(0, 102, 204);
  case TThemeRole::WindowText:
  case TThemeRole::Text:
  case TThemeRole::ButtonText:
  case TThemeRole::ToolTipText: break;
  }
  return RGBColor(0, 0, 0);
}

TColor ColorFromText(QStringView text)
{
  if (text.startsWith(u'#')) return RGBColor(hexPair(text, 1), hexPair(text, 3), hexPair(text, 5));
  if (text.size() > 2 && text.startsWith(u"cl")) {
    TThemeRole role;
    if (ThemeRoleForColorName(text, role)) return resolveTheme(role);
    TColor fixed;
    if (FixedColorForName(text, fixed)) return fixed;
    return kNotAColour;
  }
  TColor number;
  return parseColorNumber(text, number) ? number : kNotAColour;
}

TColor TranslateColor(QStringView key)
{
  return ColorFromText(Translate(key));
}

} // namespace kp
