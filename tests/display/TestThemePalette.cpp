#include "ThemePalette.h"

#include <gtest/gtest.h>

using namespace kp;

TEST(ThemePalette, TableColourNamesFollowThePalette)
{
  QPalette palette;
  palette.setColor(QPalette::Active, QPalette::Base, QColor(10, 20, 30));
  palette.setColor(QPalette::Active, QPalette::Window, QColor(200, 201, 202));
  palette.setColor(QPalette::Disabled, QPalette::Text, QColor(1, 2, 3));
  EXPECT_EQ(PaletteThemeColor(palette, TThemeRole::Base), RGBColor(10, 20, 30));
  EXPECT_EQ(PaletteThemeColor(palette, TThemeRole::DisabledText), RGBColor(1, 2, 3));

  SetThemeColorResolver([&palette](TThemeRole role) { return PaletteThemeColor(palette, role); });
  EXPECT_EQ(ColorFromText(u"clWindow"), RGBColor(10, 20, 30));
  EXPECT_EQ(ColorFromText(u"clBtnFace"), RGBColor(200, 201, 202));
  SetThemeColorResolver({});
  EXPECT_EQ(ColorFromText(u"clWindow"), DefaultThemeColor(TThemeRole::Base));
}
