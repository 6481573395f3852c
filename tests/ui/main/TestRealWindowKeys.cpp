// The real main window under an X server, on the demo card, as a user
// meets it: the video's popup under the EVR (also in full screen), which
// double-clicks toggle full screen, the controls with nothing loaded, the
// list's status row, Esc in other windows, the zoom and graph keys, and the
// texts after a switch to Russian and back.

#include "RealWindowSupport.h"

#include "FileListCommands.h"
#include "MapBrowser.h"
#include "MapWebPage.h"
#include "UnitFormDetails.h"
#include "UnitFormFileProperty.h"
#include "UnitFormFullScreen.h"
#include "UnitFormGPSLog.h"
#include "UnitTranslate.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QStyle>
#include <QTest>
#include <QWebEngineView>

using namespace kp;
using kptest::RealWindow;

namespace {

// Mouse input as the X server delivers it: through the widget's window, so
// a press that nobody takes travels to the parents and a right press also
// asks for a context menu.
void WindowDoubleClick(QWidget *widget, QPoint at)
{
  QTest::mouseDClick(widget->window()->windowHandle(), Qt::LeftButton, {}, widget->mapTo(widget->window(), at));
}

void WindowRightClick(QWidget *widget, QPoint at)
{
  QTest::mouseClick(widget->window()->windowHandle(), Qt::RightButton, {}, widget->mapTo(widget->window(), at));
}

using kptest::Key;

// A point of the panel where no child widget lies.
QPoint Background(QWidget *panel)
{
  for (int y = 2; y < panel->height(); y += 3)
    for (int x = 2; x < panel->width(); x += 3)
      if (!panel->childAt(x, y)) return {x, y};
  return {-1, -1};
}

// A new search of the card, as F5 starts it; true when its status row
// shows. The demo card is searched faster than the list hears of it, so the
// list is told of the catalogue's first status (the search waits 200 ms
// before its first step) as the catalogue tells it later.
bool RefreshCard(RealWindow &t)
{
  const QString oldCurrent = QDir::currentPath();
  QDir::setCurrent(kptest::DemoCard());
  t.w->N_FileList_RefreshClick();
  QDir::setCurrent(oldCurrent);
  t.w->FileManagerChanged(-1);
  return t.Model().rowCount() > 0 && t.Model().IsStatusRow(0);
}

QString RunScript(QWebEnginePage *page, const QString &script)
{
  QString result;
  bool done = false;
  page->runJavaScript(script, [&](const QVariant &v) {
    result = v.toString();
    done = true;
  });
  kptest::waitUntil([&] { return done; }, 5000);
  return result;
}

} // namespace

TEST_F(RealWindow, VideoPopupUnderEvrAlsoInFullScreen)
{
  ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
  ASSERT_TRUE(w->Item("N_Playback_Renderer_EVR")->isChecked());
  ASSERT_NE(w->VideoWindowEVR, nullptr);
  QMenu *popup = w->Menus().VideoPopup();
  ASSERT_NE(popup, nullptr);
  const auto rightClickShowsPopup = [&](QWidget *surface) {
    WindowRightClick(surface, surface->rect().center());
    const bool shown = kptest::waitUntil([&] { return popup->isVisible(); }, 3000);
    popup->close();
    kptest::waitUntil([&] { return !popup->isVisible(); }, 3000);
    return shown;
  };
  EXPECT_TRUE(rightClickShowsPopup(w->VideoWindowEVR));
  w->Item("N_FullScreen")->trigger();
  ASSERT_TRUE(w->Item("N_FullScreen")->isChecked());
  ASSERT_EQ(w->VideoWindowEVR->window(), w->FullScreenForm.get());
  ASSERT_TRUE(Activate(w->FullScreenForm.get()));
  // In full screen the popup is the only way to the menu.
  EXPECT_TRUE(rightClickShowsPopup(w->VideoWindowEVR));
  kptest::saveScreenshot(w->FullScreenForm.get(), QStringLiteral("keys_full_screen.png"));
  w->Item("N_FullScreen")->trigger();
  EXPECT_FALSE(w->FullScreenForm->isVisible());
}

TEST_F(RealWindow, NothingLoadedDisablesControlsAndOnlyTheVideoDoubleClickGoesFullScreen)
{
  ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
  const std::pair<const char *, QWidget *> controls[] = {
      {"ButtonPlay", w->ButtonPlay},
      {"ButtonStop", w->ButtonStop},
      {"ButtonFramePrev", w->ButtonFramePrev},
      {"ButtonFrameNext", w->ButtonFrameNext},
      {"ButtonVideoZoomIn", w->ButtonVideoZoomIn},
      {"ButtonVideoZoomOut", w->ButtonVideoZoomOut},
      {"PanelPlaySpeed", w->PanelPlaySpeed},
  };
  for (auto [name, control] : controls) EXPECT_FALSE(control->isEnabled()) << name;
  for (QToolButton *speed : w->PlaySpeedButtons) EXPECT_FALSE(speed->isEnabled()) << speed->text().toStdString();
  for (const char *item : {"N_Playback_Frame_Next", "N_Playback_Frame_Prev"})
    EXPECT_FALSE(w->Item(item)->isEnabled()) << item;

  // Backgrounds and disabled buttons are no way to full screen.
  QToolButton *disabledListButton = nullptr;
  for (QToolButton *b : w->FileListButtons)
    if (!b->isEnabled() && b->width() > 0) disabledListButton = b;
  ASSERT_NE(disabledListButton, nullptr);
  const QPoint panelBackground = Background(w->PanelControl);
  ASSERT_GE(panelBackground.x(), 0);
  const std::pair<QWidget *, QPoint> notVideo[] = {
      {w->PanelControl, panelBackground},
      {w->ButtonStop, w->ButtonStop->rect().center()},
      {disabledListButton, disabledListButton->rect().center()},
  };
  for (auto [widget, at] : notVideo) {
    WindowDoubleClick(widget, at);
    QApplication::processEvents();
    EXPECT_FALSE(w->Item("N_FullScreen")->isChecked()) << widget->objectName().toStdString();
    EXPECT_FALSE(w->FullScreenForm->isVisible()) << widget->objectName().toStdString();
    if (w->Item("N_FullScreen")->isChecked()) w->ToggleFullScreen();
  }
  // The video's does, both ways.
  ASSERT_FALSE(w->Item("N_Playback_PauseOnClick")->isChecked());
  WindowDoubleClick(w->VideoWindowEVR, w->VideoWindowEVR->rect().center());
  EXPECT_TRUE(w->Item("N_FullScreen")->isChecked());
  EXPECT_TRUE(kptest::waitUntil([&] { return w->FullScreenForm->isVisible(); }, 3000));
  WindowDoubleClick(w->VideoWindowEVR, w->VideoWindowEVR->rect().center());
  EXPECT_FALSE(w->Item("N_FullScreen")->isChecked());
  EXPECT_EQ(w->PanelVideo->window(), w.get());
}

TEST_F(RealWindow, SearchStatusRowSpansTheColumnsAfterTheName)
{
  ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
  // Listed rows may come before the search's end, which gives the rows back
  // their cells.
  ASSERT_TRUE(kptest::waitUntil([&] { return Listed() && !w->FileManager()->Searching(); }, 20000));
  EXPECT_TRUE(kptest::waitUntil([&] { return w->ListView->columnSpan(0, 1) == 1; }, 5000));
  // A new search shows its status over the rows.
  ASSERT_TRUE(RefreshCard(*this));
  EXPECT_EQ(w->ListView->columnSpan(0, 1), TFileListModel::ColumnCount - 1);
  const QRect status = w->ListView->visualRect(Model().index(0, 1));
  const QRect lastColumn = w->ListView->visualRect(Model().index(0, TFileListModel::ColumnCount - 1));
  EXPECT_EQ(status.right(), lastColumn.right());
  EXPECT_EQ(Model().data(Model().index(0, 1), Qt::TextAlignmentRole).toInt() & Qt::AlignHorizontal_Mask,
            int(Qt::AlignLeft));
  kptest::saveScreenshot(w.get(), QStringLiteral("keys_status_row.png"));
  // The rows come back one cell each once the list hears the search ended.
  ASSERT_TRUE(kptest::waitUntil([&] { return !w->FileManager()->Searching() && Listed(); }, 20000));
  EXPECT_TRUE(kptest::waitUntil([&] { return w->ListView->columnSpan(0, 1) == 1; }, 5000));
}

TEST_F(RealWindow, EscClosesOtherWindowsThatAreNoDialogs)
{
  ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
  ASSERT_TRUE(kptest::waitUntil([&] { return Listed(); }, 10000));
  w->ListView->selectRow(0);
  struct Case {
    const char *name;
    std::function<QWidget *()> open;
  };
  const Case cases[] = {
      {"property window",
       [&]() -> QWidget * {
         w->ListCommands().ShowProperties();
         for (QWidget *top : QApplication::topLevelWidgets())
           if (qobject_cast<TFormFileProperty *>(top) && top->isVisible()) return top;
         return nullptr;
       }},
      {"GPS-log window",
       [&]() -> QWidget * {
         w->Windows.GPSLog->show();
         return w->Windows.GPSLog.get();
       }},
  };
  for (const Case &c : cases) {
    QPointer<QWidget> window = c.open();
    ASSERT_NE(window, nullptr) << c.name;
    ASSERT_TRUE(Activate(window)) << c.name;
    Key(Qt::Key_Escape);
    EXPECT_TRUE(kptest::waitUntil([&] { return !window || !window->isVisible(); }, 3000)) << c.name;
    // The main window was not asked to stop or leave anything.
    EXPECT_TRUE(w->isVisible()) << c.name;
    if (window) window->close();
  }
  ASSERT_TRUE(Activate(w.get()));
}

TEST_F(RealWindow, ZoomKeysAndGraphLettersWhileTheListHasTheFocus)
{
  // Started as the program starts, the window activated only later (as a
  // window manager may): the list has the keyboard from the start.
  const QString oldCurrent = QDir::currentPath();
  QDir::setCurrent(kptest::DemoCard());
  w = CreateWindows({});
  w->resize(1400, 750);
  w->show();
  const bool listed =
      kptest::waitUntil([&] { return w->FileManager() && !w->FileManager()->Searching() && Listed(); }, 20000);
  QDir::setCurrent(oldCurrent);
  ASSERT_TRUE(listed);
  ASSERT_TRUE(Activate(w.get()));
  EXPECT_EQ(QApplication::focusWidget(), w->ListView);
  w->ListView->setFocus();
  const std::pair<Qt::Key, const char *> letters[] = {
      {Qt::Key_S, "N_View_Graphics_S"}, {Qt::Key_H, "N_View_Graphics_H"}, {Qt::Key_G, "N_View_Graphics_G"},
      {Qt::Key_X, "N_View_Graphics_X"}, {Qt::Key_Y, "N_View_Graphics_Y"}, {Qt::Key_Z, "N_View_Graphics_Z"},
  };
  for (auto [key, item] : letters) {
    const bool was = w->Item(item)->isChecked();
    const size_t graphs = w->Graphs.size();
    QTest::keyClick(w->windowHandle(), key); // through the window, as the X server sends it
    EXPECT_NE(w->Item(item)->isChecked(), was) << item;
    EXPECT_EQ(w->Graphs.size(), was ? graphs - 1 : graphs + 1) << item;
    EXPECT_EQ(QApplication::focusWidget(), w->ListView) << item;
  }

  // The zoom keys on a paused recording: "+" is Shift+"=" on the keyboard.
  const QRect row0 = w->ListView->visualRect(Model().index(0, 0));
  QTest::mouseClick(w->ListView->viewport(), Qt::LeftButton, {}, row0.center());
  QTest::mouseDClick(w->ListView->viewport(), Qt::LeftButton, {}, row0.center());
  ASSERT_TRUE(kptest::waitUntil([&] { return Playing(); }, 10000));
  ASSERT_TRUE(PressPlay(false));
  ASSERT_TRUE(Activate(w.get()));
  Key(Qt::Key_Asterisk, Qt::KeypadModifier);
  ASSERT_EQ(w->State.VideoZoom, 1.0);
  const struct {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    double zoom;
  } zooms[] = {
      {Qt::Key_Plus, Qt::ShiftModifier, 2.0},
      {Qt::Key_Minus, {}, 1.0},
      {Qt::Key_Equal, {}, 2.0},
      {Qt::Key_Minus, Qt::KeypadModifier, 1.0},
      {Qt::Key_Plus, Qt::KeypadModifier, 2.0},
  };
  for (const auto &z : zooms) {
    Key(z.key, z.modifiers);
    EXPECT_DOUBLE_EQ(double(w->State.VideoZoom), z.zoom) << z.key << " " << int(z.modifiers);
    EXPECT_TRUE(w->Item("N_VideoZoom_Custom")->isChecked());
  }
}

TEST_F(RealWindow, LanguageSwitchTranslatesAndFitsEveryCaption)
{
  ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
  ASSERT_TRUE(kptest::waitUntil([&] { return Listed(); }, 10000));
  ASSERT_NE(w->MapBrowser, nullptr);
  TMapWebPage *page = w->MapBrowser->Page();
  ASSERT_TRUE(kptest::waitUntil([&] { return page->SaidLoaded(); }, 30000));
  QHeaderView *header = w->ListView->horizontalHeader();
  const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
  const QLabel *gsensor = w->Windows.Details->findChild<QLabel *>(QStringLiteral("LabelGSensor"));
  ASSERT_NE(gsensor, nullptr);

  for (const char *language : {"N_View_Language_ru", "N_View_Language_en"}) {
    SCOPED_TRACE(language);
    w->Item(language)->trigger();
    ASSERT_TRUE(w->Item(language)->isChecked());
    // Each caption shows whole: the loop box and every shown column.
    EXPECT_EQ(w->CheckBoxLoop->text(), Translate(u"N_View_Time_LoopAB"));
    EXPECT_GE(w->CheckBoxLoop->width(), w->CheckBoxLoop->sizeHint().width());
    for (int i = 0; i < header->count(); ++i) {
      if (header->sectionSize(i) <= 1) continue; // hidden on purpose
      const QString text = Model().headerData(i, Qt::Horizontal, Qt::DisplayRole).toString();
      EXPECT_GE(header->sectionSize(i), header->fontMetrics().horizontalAdvance(text) + 2 * margin)
          << i << " " << text.toStdString();
      EXPECT_GE(header->sectionSize(i), header->sectionSizeHint(i)) << i << " " << text.toStdString();
    }
    // The details window and the map page speak the language too.
    EXPECT_EQ(gsensor->text(), Translate(u"Details_GSensor"));
    const QString expected = Translate(u"Map_Offline") + QLatin1Char('|') + Translate(u"Map_Refresh");
    const QString script = QStringLiteral("document.getElementById('offlineText').textContent + '|' + "
                                          "document.getElementById('offlineRefresh').textContent");
    EXPECT_TRUE(kptest::waitUntil([&] { return RunScript(page, script) == expected; }, 10000))
        << RunScript(page, script).toStdString();
    // So does the tip in the strip under the map.
    auto *ads = qobject_cast<QWebEngineView *>(w->WebBrowserAds);
    ASSERT_NE(ads, nullptr);
    const QString tip = QStringLiteral("document.getElementById('tip').textContent");
    EXPECT_TRUE(kptest::waitUntil([&] { return RunScript(ads->page(), tip) == Translate(u"Ads_Tip"); }, 10000))
        << RunScript(ads->page(), tip).toStdString();
    // A search's status row, in the language's words.
    ASSERT_TRUE(RefreshCard(*this));
    const QString status = Model().data(Model().index(0, 1), Qt::DisplayRole).toString();
    EXPECT_TRUE(status.contains(Translate(u"Initializing")) || status.contains(Translate(u"Searching")))
        << status.toStdString();
    kptest::saveScreenshot(w.get(), QStringLiteral("keys_language_%1.png").arg(QLatin1String(language).right(2)));
    ASSERT_TRUE(kptest::waitUntil([&] { return !w->FileManager()->Searching() && Listed(); }, 20000));
  }
  // The map page loaded again keeps the language's words.
  w->Item("N_View_Language_ru")->trigger();
  w->Item("N_View_GoogleMaps")->trigger();
  w->Item("N_View_GoogleMaps")->trigger();
  ASSERT_TRUE(kptest::waitUntil([&] { return page->SaidLoaded(); }, 30000));
  const QString expected = Translate(u"Map_Offline");
  EXPECT_TRUE(kptest::waitUntil(
      [&] { return RunScript(page, "document.getElementById('offlineText').textContent") == expected; }, 10000));
  w->Item("N_View_Language_en")->trigger();
}
