// The real main window, offscreen: what a second start brings back.

#include "MainMenus.h"
#include "UiTestSupport.h"
#include "UnitFormMain.h"
#include "UnitProgram.h"
#include "UnitReg.h"
#include "UnitRegSettings.h"
#include "UnitTranslate.h"

#include <QAction>
#include <QHeaderView>
#include <QTableView>
#include <gtest/gtest.h>

using namespace kp;

namespace {

struct FormMainTest : ::testing::Test {
  void SetUp() override { kptest::ensureApplication(); }
  kptest::ScopedSettings settings;
};

} // namespace

TEST_F(FormMainTest, SecondStartRestoresMarksColumnsAndGeometry)
{
  WriteSettingBool(QStringLiteral("N_Playback_Renderer_WMR"), true);
  WriteSettingBool(QStringLiteral("N_Playback_Renderer_EVR"), false);
  WriteSettingBool(QStringLiteral("N_View_Graphics_H"), true);
  WriteSettingInt(settings::ColumnWidthName(2), 200);
  WriteSettingInt(settings::ColumnIndexName(0), 1);
  settings::PosState.Write(0);
  settings::PosLeft.Write(40);
  settings::PosTop.Write(30);
  settings::PosWidth.Write(900);
  settings::PosHeight.Write(600);
  const std::unique_ptr<TFormMain> w = CreateWindows({});
  EXPECT_TRUE(w->Item("N_Playback_Renderer_WMR")->isChecked());
  EXPECT_FALSE(w->Item("N_Playback_Renderer_EVR")->isChecked());
  EXPECT_TRUE(w->Item("N_View_Graphics_H")->isChecked());
  QHeaderView *header = w->ListView->horizontalHeader();
  EXPECT_EQ(header->sectionSize(2), 200);
  EXPECT_EQ(header->logicalIndex(0), 1);
  EXPECT_EQ(w->geometry().size(), QSize(900, 600));
  EXPECT_FALSE(w->windowState() & Qt::WindowMaximized);
}

TEST_F(FormMainTest, LanguageChoiceComesBackAndSuffixesStaySingle)
{
  {
    const std::unique_ptr<TFormMain> w = CreateWindows({});
    w->ApplyLanguage(w->Item("N_View_Language_ru"));
    EXPECT_EQ(CurLang(), int(LangRussian));
  }
  SetCurLang(LangEnglish);
  const std::unique_ptr<TFormMain> w = CreateWindows({});
  EXPECT_EQ(CurLang(), int(LangRussian));
  EXPECT_EQ(w->Item("N_File_Open")->text(), Translate(u"N_File_Open"));
  w->ApplyLanguage(w->Item("N_View_Language_en"));
  w->ApplyLanguage(nullptr);
  // The design renderer is EVR: the flips carry their note once.
  EXPECT_EQ(w->Item("N_VideoZoom_FlipH")->text().count(" (VMR only)"), 1)
      << w->Item("N_VideoZoom_FlipH")->text().toStdString();
  w->Item("N_Playback_Renderer_WMR")->setChecked(true);
  w->ApplyLanguage(nullptr);
  EXPECT_EQ(w->Item("N_VideoZoom_FlipH")->text().count(" ("), 0);
  EXPECT_EQ(w->Item("N_VideoZoom_NotLinear")->text().count(" (EVR only)"), 1);
  EXPECT_EQ(w->windowTitle(), "KESTRIL PLAYER");
}
