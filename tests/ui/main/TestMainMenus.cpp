#include "MainMenus.h"
#include "MenuHotKeys.h"
#include "StartupSupport.h"
#include "UiTestSupport.h"
#include "UnitReg.h"
#include "UnitTranslate.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>
#include <gtest/gtest.h>

using namespace kp;

namespace {

struct Menus {
  QWidget window;
  TMainMenus menus{&window};
  Menus()
  {
    menus.Build(nullptr);
    menus.State().RememberDefaultChecks();
    menus.BuildLanguageMenu();
    menus.BuildTimeZoneMenu();
    menus.BuildPopupMenus();
  }
  QAction *operator[](const char *name) { return menus.Action(QLatin1String(name)); }
};

struct MainMenusTest : ::testing::Test {
  void SetUp() override
  {
    kptest::ensureApplication();
    InitLanguages();
    SetCurLang(LangEnglish);
  }
  kptest::ScopedSettings settings;
};

QString Stored(const char *name)
{
  return ReadSetting(QLatin1String(name), QStringLiteral("<none>"));
}

} // namespace

TEST_F(MainMenusTest, RadioGroupSavesOnlyWhatDiffersFromTheDesign)
{
  Menus m;
  m.menus.State().SetMenuChecked(m["N_View_Refresh_Slow"]);
  EXPECT_EQ(Stored("N_View_Refresh_Slow"), "true");
  EXPECT_EQ(Stored("N_View_Refresh_Norm"), "<none>");
  EXPECT_EQ(Stored("N_View_Refresh_Fast"), "false");
  m.menus.State().SetMenuChecked(m["N_View_Refresh_Fast"]);
  EXPECT_EQ(Stored("N_View_Refresh_Slow"), "<none>");
  EXPECT_EQ(Stored("N_View_Refresh_Fast"), "<none>");
}

TEST_F(MainMenusTest, ToggleAndBackDeletesAndAClickSavesOnce)
{
  Menus m;
  QAction *list = m["N_View_FileList"];
  int handled = 0;
  m.menus.OnTriggered(QStringLiteral("N_View_FileList"), [&](QAction *) { ++handled; });
  list->trigger(); // Qt flips, the handler saves
  EXPECT_FALSE(list->isChecked());
  EXPECT_EQ(Stored("N_View_FileList"), "false");
  m.menus.State().SetMenuChecked(list); // no click: the state flips itself
  EXPECT_TRUE(list->isChecked());
  EXPECT_EQ(Stored("N_View_FileList"), "<none>");
  EXPECT_EQ(handled, 1);
}

TEST_F(MainMenusTest, GeneratedItemsAndCaptions)
{
  Menus m;
  m.menus.TranslateMenus();
  const QList<QAction *> zones = m.menus.Menu(QStringLiteral("N_View_TimeZone"))->actions();
  QStringList gmt;
  for (QAction *a : zones)
    if (a->objectName().startsWith(QLatin1String("N_View_TimeZone_GMT"))) gmt << a->objectName();
  ASSERT_EQ(gmt.size(), 25);
  EXPECT_EQ(gmt.front(), "N_View_TimeZone_GMT12");
  EXPECT_EQ(gmt.back(), "N_View_TimeZone_GMT36");
  EXPECT_EQ(m["N_View_Language_en"]->text(), "(en) English");
  EXPECT_TRUE(m["N_View_Language_en"]->isChecked());
  EXPECT_EQ(m["N_VideoZoom_100"]->text(), "100%");
  EXPECT_EQ(MenuItemCaption(QStringLiteral("N_FileList_Clear2")), Translate(u"N_FileList_Clear"));
  EXPECT_EQ(MenuItemCaption(QStringLiteral("N_NoSuchItem")), "N_NoSuchItem");
  // The video popup shares the actions, its File menu without Exit.
  EXPECT_TRUE(m.menus.VideoPopup()->actions().contains(m["N_Playback_Play"]));
  EXPECT_FALSE(m.menus.Menu(QStringLiteral("PopupMenuVideoWindow_File"))->actions().contains(m["N_File_Exit"]));
}

TEST_F(MainMenusTest, CaptionSuffixIsReplacedNotAdded)
{
  Menus m;
  m.menus.TranslateMenus();
  QAction *flip = m["N_VideoZoom_FlipH"];
  const QString plain = flip->text();
  TMenuState::SetItemCaptionSuffix(flip, QStringLiteral("VMR only"), true);
  TMenuState::SetItemCaptionSuffix(flip, QStringLiteral("VMR only"), true);
  EXPECT_EQ(flip->text(), plain + " (VMR only)");
  TMenuState::SetItemCaptionSuffix(flip, QString(), false);
  EXPECT_EQ(flip->text(), plain);
  EXPECT_EQ(LocalOffsetSuffix(3.0 / 24), " (+3)");
  EXPECT_EQ(LocalOffsetSuffix(-5.0 / 24), " (-5)");
  EXPECT_EQ(LocalOffsetSuffix(0), " (0)");
}

TEST_F(MainMenusTest, HotKeysAreUniquePerMenuAndClearOfShortcutsAndNotes)
{
  QWidget window;
  QMenuBar bar(&window);
  QMenu first, second;
  const auto add = [&window](QWidget *into, const QString &text, const QString &shortcut = {}) {
    auto *a = new QAction(text, &window);
    a->setShortcut(QKeySequence(shortcut));
    window.addAction(a);
    into->addAction(a);
    return a;
  };
  QAction *file = add(&bar, "File"), *find = add(&bar, "Find");
  add(&window, "Save window", "Alt+F"); // the bar leaves Alt+F to it
  QAction *speed = add(&first, "Speed", "S"), *save = add(&first, "Save");
  QAction *flip = add(&first, "Flip (VMR only)"), *zoom = add(&first, "Zoom in  \t+");
  QAction *tracks = add(&first, "Tracks & logs");
  QAction *wide = add(&first, "Ab"), *narrow = add(&first, "A"); // takes "a" back from Save
  second.addAction(save);                                        // shared: unique in both menus
  QAction *other = add(&second, "Save all");
  for (int run = 0; run < 2; ++run) { // a second run gives the same marks
    AssignHotKeys({&bar, &first, &second});
    EXPECT_EQ(file->text(), "F&ile");
    EXPECT_EQ(find->text(), "Fi&nd");
    EXPECT_EQ(speed->text(), "&Speed");
    EXPECT_EQ(save->text(), "Sa&ve");
    EXPECT_EQ(flip->text(), "&Flip (VMR only)");
    EXPECT_EQ(zoom->text(), "&Zoom in  \t+");
    EXPECT_EQ(tracks->text(), "&Tracks && logs");
    EXPECT_EQ(WithoutHotKey(tracks->text()), "Tracks & logs");
    EXPECT_EQ(narrow->text(), "&A");
    EXPECT_EQ(wide->text(), "A&b");
    EXPECT_EQ(other->text(), "&Save all");
  }
}
