// The real main window, offscreen: what a second start brings back.

#include "MainMenus.h"
#include "MakerContacts.h"
#include "MenuHotKeys.h"
#include "UiTestSupport.h"
#include "UnitFileManager.h"
#include "UnitFormAutoUpdate.h"
#include "UnitFormCropping.h"
#include "UnitFormCroppingItem.h"
#include "UnitFormDetails.h"
#include "UnitFormGPSLog.h"
#include "UnitFormMain.h"
#include "UnitFormWhatsNew.h"
#include "UnitProgram.h"
#include "UnitReg.h"
#include "UnitRegSettings.h"
#include "UnitTranslate.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QSplitter>
#include <QTableView>
#include <QTreeWidget>
#include <cstring>
#include <functional>
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

// The help menu opens the maker's site only in a build that names one.
TEST_F(FormMainTest, WebSiteCommandOnlyWithTheMakersSite)
{
  const QString build = MakerContacts().Site;
  for (const QString &site : {QString(), QStringLiteral("https://maker.test")}) {
    MakerContacts().Site = site;
    const std::unique_ptr<TFormMain> w = CreateWindows({});
    EXPECT_EQ(w->Item("N_Help_Site")->isVisible(), !site.isEmpty()) << site.toStdString();
  }
  MakerContacts().Site = build;
}

// A store that cannot be written (here its folder's parent is a file) is
// told once, naming the file and why, however many changes fail after it.
TEST_F(FormMainTest, SettingsThatCannotBeSavedAreToldOnce)
{
  const std::unique_ptr<TFormMain> w = CreateWindows({});
  const QString blocker = settings.Dir() + "/plainfile";
  ASSERT_TRUE(kptest::writeFileBytes(blocker, "x"));
  SetSettingsDir(blocker + "/kestril-player");
  w->Item("N_View_FileList")->trigger();
  w->Item("N_View_ControlPanel")->trigger();
  const auto boxes = [] {
    QList<QMessageBox *> found;
    for (QWidget *top : QApplication::topLevelWidgets())
      if (top->objectName() == "SettingsNotSaved" && top->isVisible()) found << static_cast<QMessageBox *>(top);
    return found;
  };
  ASSERT_TRUE(kptest::waitUntil([&] { return !boxes().isEmpty(); }, 5000));
  QCoreApplication::sendPostedEvents();
  ASSERT_EQ(boxes().size(), 1);
  const QString text = boxes().front()->text();
  EXPECT_TRUE(text.startsWith(Translate(u"Mes_CantSaveSettings"))) << text.toStdString();
  EXPECT_TRUE(text.contains(blocker + "/kestril-player/settings.conf")) << text.toStdString();
  EXPECT_TRUE(text.contains(QString::fromLocal8Bit(std::strerror(ENOTDIR)))) << text.toStdString();
  boxes().front()->close();
  SetSettingsDir(settings.Dir());
}

TEST_F(FormMainTest, MovedSplittersComeBackOnTheNextStart)
{
  int bottom = 0, map = 0;
  const auto start = [] {
    std::unique_ptr<TFormMain> w = CreateWindows({});
    w->resize(1200, 800);
    w->show();
    // Laid out as the user first sees it.
    const int passes = w->LayoutPasses();
    EXPECT_TRUE(kptest::waitUntil([&] { return w->LayoutPasses() > passes; }, 3000));
    return w;
  };
  {
    const std::unique_ptr<TFormMain> w = start();
    // As a drag leaves them: the sizes set, then the move reported.
    for (QSplitter *splitter : {w->SplitterBottom, w->SplitterListView}) {
      const QList<int> sizes = splitter->sizes();
      splitter->setSizes({sizes[0] - 90, sizes[1] + 90});
      emit splitter->splitterMoved(sizes[0] - 90, 1);
    }
    const int passes = w->LayoutPasses();
    EXPECT_TRUE(kptest::waitUntil([&] { return w->LayoutPasses() > passes; }, 3000));
    bottom = w->SplitterBottom->sizes()[1];
    map = w->SplitterListView->sizes()[0];
    w->close();
  }
  const std::unique_ptr<TFormMain> w = start();
  EXPECT_EQ(w->SplitterBottom->sizes()[1], bottom);
  // The map's share is applied by the window's layout pass, once shown.
  EXPECT_TRUE(kptest::waitUntil([&] { return std::abs(w->SplitterListView->sizes()[0] - map) <= 2; }, 3000))
      << w->SplitterListView->sizes()[0] << " vs " << map;
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
  EXPECT_EQ(WithoutHotKey(w->Item("N_File_Open")->text()), Translate(u"N_File_Open"));
  w->ApplyLanguage(w->Item("N_View_Language_en"));
  w->ApplyLanguage(nullptr);
  // The design renderer is EVR: the flips carry their note once.
  EXPECT_EQ(w->Item("N_VideoZoom_FlipH")->text().count(" (VMR only)"), 1)
      << w->Item("N_VideoZoom_FlipH")->text().toStdString();
  w->Item("N_Playback_Renderer_WMR")->setChecked(true);
  w->ApplyLanguage(nullptr);
  EXPECT_EQ(w->Item("N_VideoZoom_FlipH")->text().count(" ("), 0);
  EXPECT_EQ(w->Item("N_VideoZoom_NotLinear")->text().count(" (EVR only)"), 1);
}

TEST_F(FormMainTest, LanguageAndUnitsReachEveryOtherWindow)
{
  const std::unique_ptr<TFormMain> w = CreateWindows({});
  TOtherWindows &o = w->Windows;
  const auto child = [](QWidget *window, const char *name) { return window->findChild<QObject *>(name); };
  struct Case {
    const char *Window;
    std::function<QString()> Text;
    const char16_t *Key;
    const char *Suffix;
  } const cases[] = {
      {"update", [&] { return o.AutoUpdate->windowTitle(); }, u"Update_Title", ""},
      {"details", [&] { return o.Details->Label("LabelFileCaption")->text(); }, u"File", ":"},
      {"cutting", [&] { return child(o.Cropping.get(), "CheckBoxAudio")->property("text").toString(); }, u"Audio", ""},
      {"fragment", [&] { return child(o.CroppingItem.get(), "LabelFinish")->property("text").toString(); }, u"Finished",
       ":"},
      {"what's new", [&] { return o.WhatsNew->windowTitle(); }, u"N_Help_WhatsNew", " - KESTRIL PLAYER 1.1"},
  };
  w->ApplyLanguage(w->Item("N_View_Language_ru"));
  for (const Case &c : cases) {
    const QString english = Langs()[LangEnglish].GetValue(c.Key);
    const QString russian = Langs()[LangRussian].GetValue(c.Key);
    ASSERT_NE(english, russian) << c.Window;
    EXPECT_EQ(c.Text(), russian + QLatin1String(c.Suffix)) << c.Window;
  }
  w->ApplyLanguage(w->Item("N_View_Language_en"));
  EXPECT_EQ(o.AutoUpdate->windowTitle(), Langs()[LangEnglish].GetValue(u"Update_Title"));

  // The units switch renames the GPS log's distance column.
  const auto distance = [&] { return o.GPSLog->ListViewFiles()->headerItem()->text(3); };
  w->Item("N_View_Measu_British")->trigger();
  EXPECT_EQ(distance(), Translate(u"FileList_Col_Track") + ", " + Translate(u"Miles"));
  w->Item("N_View_Measu_Metric")->trigger();
  EXPECT_EQ(distance(), Translate(u"FileList_Col_Track") + ", " + Translate(u"Kmeters"));
  EXPECT_FALSE(UseBritishUnits());
}

TEST_F(FormMainTest, FragmentCommandsNameTheOutputAndLeaveTheMarks)
{
  settings::CopyFolder.Write(QStringLiteral("/videos"));
  const std::unique_ptr<TFormMain> w = CreateWindows({});
  TFormCropping &dialog = *w->Windows.Cropping;
  QStringList messages;
  dialog.SetMessageSink([&](const QString &m) { messages << m; });
  TFileItemSubitem file;
  file.FileName = QStringLiteral("/card/FILE0001.MOV");
  file.StartTime = 45000 + 10.0 / 24;
  file.EndTime = file.StartTime + 1.0 / 1440;
  file.Position = {0, 1};
  w->State.Recording.Files = {file};
  w->State.Recording.Summary = file;
  w->State.Recording.Summary.Name = QStringLiteral("FILE0001");
  w->State.MovingInfos.resize(1);

  w->State.MarkA = 0.5L;
  w->State.MarkB = 0.5L; // B not after A: the dialog only shows
  w->Item("N_File_Save_Video")->trigger();
  EXPECT_TRUE(dialog.OutputName().isEmpty());
  dialog.hide();

  w->Item("N_FileList_Save")->trigger(); // the whole recording, no times
  EXPECT_EQ(dialog.OutputName(), "/videos/Fragment of FILE0001.mp4");
  EXPECT_EQ(w->State.MarkA, 0);
  EXPECT_EQ(w->State.MarkB, 0);
  dialog.SetOutputName(QString());
  dialog.hide();

  w->State.MarkA = 0.25L;
  w->State.MarkB = 0.75L;
  w->Item("N_File_Save_Video")->trigger();
  const QString name = dialog.OutputName();
  EXPECT_TRUE(name.startsWith("/videos/Fragment of FILE0001 (")) << name.toStdString();
  EXPECT_FALSE(name.mid(8).contains(':'));
  EXPECT_TRUE(name.endsWith(").mp4"));
  dialog.hide();
}
