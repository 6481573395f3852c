// The real main window under an X server, on the demo card, as a user
// meets it: the video's popup under the EVR (also in full screen), which
// double-clicks toggle full screen, the controls with nothing loaded, the
// list's status row, Esc in other windows, the zoom and graph keys, and the
// texts after a switch to Russian and back.

#include "RealWindowSupport.h"

#include "PageScript.h"

#include "FileListCommands.h"
#include "MapBrowser.h"
#include "MapWebPage.h"
#include "UnitFormDetails.h"
#include "UnitFormFileProperty.h"
#include "UnitFormFullScreen.h"
#include "UnitFormCropping.h"
#include "UnitFormGPSLog.h"
#include "UnitTranslate.h"

#include <QAccessible>
#include <QCheckBox>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScrollBar>
#include <QStyle>
#include <QTest>
#include <QToolTip>
#include <QTreeView>
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
using kptest::RunScript;

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

// Another window a case opens, by name.
struct TWindowCase {
  const char *name;
  std::function<QWidget *()> open;
};

// The property window of the selected row, as its command opens it.
QWidget *OpenProperties(RealWindow &t)
{
  t.w->ListCommands().ShowProperties();
  for (QWidget *top : QApplication::topLevelWidgets())
    if (qobject_cast<TFormFileProperty *>(top) && top->isVisible()) return top;
  return nullptr;
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
  const TWindowCase cases[] = {
      {"property window", [&] { return OpenProperties(*this); }},
      {"GPS-log window",
       [&]() -> QWidget * {
         w->Windows.GPSLog->show();
         return w->Windows.GPSLog.get();
       }},
  };
  for (const TWindowCase &c : cases) {
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

namespace {

// Tab (or Shift+Tab) until the focus is back on Start, at most Limit
// times; the widgets it stopped on, in order. A web page walks its own
// elements before it lets the focus go, without a change seen here.
QList<QWidget *> FocusRound(QWidget *start, Qt::KeyboardModifiers modifiers, int limit)
{
  QList<QWidget *> stops;
  for (int i = 0; i < limit; ++i) {
    QWidget *before = QApplication::focusWidget();
    kptest::Key(Qt::Key_Tab, modifiers);
    kptest::waitUntil([&] { return QApplication::focusWidget() != before; }, 300);
    QWidget *now = QApplication::focusWidget();
    if (now == start) return stops << now;
    if (now && now != before) stops << now;
  }
  return stops;
}

// Every menu of the bar, depth first.
void CollectMenus(QMenu *menu, QList<QWidget *> &into)
{
  into << menu;
  for (QAction *a : menu->actions())
    if (a->menu()) CollectMenus(a->menu(), into);
}

bool MenuOpen(QMenuBar *bar, const char *name)
{
  QAction *active = bar->activeAction();
  return active && active->menu() && active->menu()->isVisible() &&
         (!name || active->objectName() == QLatin1String(name));
}

void CloseMenus()
{
  while (QWidget *popup = QApplication::activePopupWidget()) popup->close();
}

} // namespace

TEST_F(RealWindow, TabWalksTheControlsAndNeverChangesThePlayingRecording)
{
  ASSERT_NO_FATAL_FAILURE(PlayTheDemoCardsFirstRow());
  const QString playing = w->State.Recording.Summary.Name;
  w->ListView->setFocus();
  for (const Qt::KeyboardModifiers modifiers : {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ShiftModifier)}) {
    SCOPED_TRACE(modifiers ? "Shift+Tab" : "Tab");
    const QList<QWidget *> stops = FocusRound(w->ListView, modifiers, 60);
    // Other controls of the window take the focus, and the round ends where
    // it began.
    ASSERT_FALSE(stops.isEmpty());
    EXPECT_EQ(stops.back(), w->ListView);
    const auto outsideList = std::count_if(stops.begin(), stops.end(), [&](QWidget *s) {
      return s->window() == w.get() && s != w->ListView && !w->ListView->isAncestorOf(s);
    });
    EXPECT_GE(outsideList, 3);
    EXPECT_EQ(w->State.Recording.Summary.Name, playing);
    EXPECT_EQ(w->ListView->selectionModel()->selectedRows().size(), 1);
    EXPECT_TRUE(Playing());
  }
}

// The frame steps' keys, sent through the window as the X server sends
// them, playing (stepping off) and paused, with the keyboard at the list or
// at the next control: the list keeps its current cell and its sideways
// scroll; paused, they step.
TEST_F(RealWindow, FrameStepKeysNeverMoveTheList)
{
  ASSERT_NO_FATAL_FAILURE(PlayTheDemoCardsFirstRow());
  ASSERT_TRUE(Activate(w.get()));
  const QModelIndex current = w->ListView->currentIndex();
  const QScrollBar *across = w->ListView->horizontalScrollBar();
  ASSERT_GT(across->maximum(), 0) << "the columns fit: nothing to scroll";
  const int scrolled = across->value();
  for (const bool playing : {true, false}) {
    if (!playing) {
      ASSERT_TRUE(PressPlay(false));
    }
    for (const bool atList : {true, false}) {
      w->ListView->setFocus();
      // Elsewhere: the control Tab takes the keyboard to from the list.
      if (!atList) QTest::keyClick(w->windowHandle(), Qt::Key_Tab);
      QWidget *focus = QApplication::focusWidget();
      ASSERT_NE(focus, nullptr);
      ASSERT_EQ(focus == w->ListView, atList);
      SCOPED_TRACE(QStringLiteral("%1, keys at %2")
                       .arg(playing ? QStringLiteral("playing") : QStringLiteral("paused"), focus->objectName())
                       .toStdString());
      for (const Qt::Key key : {Qt::Key_Right, Qt::Key_Left}) {
        const double from = Seconds();
        for (int i = 0; i < 6; ++i) QTest::keyClick(w->windowHandle(), key, Qt::ControlModifier);
        EXPECT_EQ(w->ListView->currentIndex(), current);
        EXPECT_EQ(across->value(), scrolled);
        if (!playing) {
          EXPECT_EQ(Seconds() > from, key == Qt::Key_Right) << from << " -> " << Seconds();
        }
      }
    }
  }
  EXPECT_EQ(w->State.Recording.Summary.Name, Model().FileManager()->GetGroup(current.row()).Summary.Name);
  kptest::saveScreenshot(w.get(), QStringLiteral("realwindow_frame_step_keys.png"));
}

TEST_F(RealWindow, MenusOpenFromTheKeyboardWithAHotKeyOnEveryItemInEveryLanguage)
{
  ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
  QMenuBar *bar = w->menuBar();
  QList<QWidget *> containers{bar};
  for (QAction *top : bar->actions())
    if (top->menu()) CollectMenus(top->menu(), containers);
  for (QMenu *popup : {w->Menus().ListPopup(), w->Menus().VideoPopup(), w->Menus().GraphicsPopup()})
    CollectMenus(popup, containers);
  // The popups of the GPS-log and the cutting window.
  for (QWidget *window :
       {static_cast<QWidget *>(w->Windows.GPSLog.get()), static_cast<QWidget *>(w->Windows.Cropping.get())})
    for (QMenu *popup : window->findChildren<QMenu *>()) containers << popup;
  QAction *fullScreen = w->Item("N_FullScreen");
  for (const char *language : {"N_View_Language_ru", "N_View_Language_ua", "N_View_Language_en"}) {
    SCOPED_TRACE(language);
    w->Item(language)->trigger();
    for (QWidget *container : containers) {
      QSet<QString> keys;
      for (QAction *a : container->actions()) {
        if (a->isSeparator() || !a->isVisible()) continue;
        const QString key = QKeySequence::mnemonic(a->text()).toString().toLower();
        // Twenty-five zones named "GMT" and a number cannot all have one.
        if (!a->objectName().startsWith(QLatin1String("N_View_TimeZone_GMT"))) {
          EXPECT_FALSE(key.isEmpty()) << a->text().toStdString();
        }
        if (!key.isEmpty()) {
          EXPECT_FALSE(keys.contains(key)) << container->objectName().toStdString() << " " << a->text().toStdString();
        }
        keys.insert(key);
      }
    }
    // The full-screen item shows only its picture: a tip and a name say it.
    const QRect item = bar->actionGeometry(fullScreen);
    ASSERT_TRUE(item.isValid());
    QHelpEvent help(QEvent::ToolTip, item.center(), bar->mapToGlobal(item.center()));
    QApplication::sendEvent(bar, &help);
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), Translate(u"N_FullScreen"));
    QToolTip::hideText();
    QAccessibleInterface *access = QAccessible::queryAccessibleInterface(bar);
    ASSERT_NE(access, nullptr);
    QAccessibleInterface *child = access->child(int(bar->actions().indexOf(fullScreen)));
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->text(QAccessible::Name), Translate(u"N_FullScreen"));
  }

  // F10 and a lone Alt open the bar's first menu; Alt and a letter its menu.
  ASSERT_TRUE(Activate(w.get()));
  w->ListView->setFocus();
  kptest::Key(Qt::Key_F10);
  EXPECT_TRUE(kptest::waitUntil([&] { return MenuOpen(bar, "N_File"); }, 3000));
  CloseMenus();
  ASSERT_TRUE(Activate(w.get()));
  kptest::Key(Qt::Key_Alt);
  EXPECT_TRUE(kptest::waitUntil([&] { return MenuOpen(bar, "N_File"); }, 3000));
  CloseMenus();
  ASSERT_TRUE(Activate(w.get()));
  const QString view =
      QKeySequence::mnemonic(w->Menus().Menu(QStringLiteral("N_View"))->menuAction()->text()).toString();
  ASSERT_FALSE(view.isEmpty());
  kptest::Key(Qt::Key(QKeySequence(view)[0].key()), Qt::AltModifier);
  EXPECT_TRUE(kptest::waitUntil([&] { return MenuOpen(bar, "N_View"); }, 3000));
  kptest::saveScreenshot(w.get(), QStringLiteral("keys_view_menu.png"));
  CloseMenus();
  // Alt held for another key's sake opens nothing.
  ASSERT_TRUE(Activate(w.get()));
  QTest::keyPress(QApplication::focusWidget(), Qt::Key_Alt);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_1, Qt::AltModifier);
  QTest::keyRelease(QApplication::focusWidget(), Qt::Key_Alt);
  QApplication::processEvents();
  EXPECT_FALSE(MenuOpen(bar, nullptr));
  CloseMenus();
}

TEST_F(RealWindow, TheGpsLogWindowTakesTheKeysWhenItOpens)
{
  ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
  QPointer<QWidget> logs = w->Windows.GPSLog.get();
  w->Item("N_File_Convert_GPS")->trigger();
  ASSERT_TRUE(kptest::waitUntil([&] { return logs->isVisible(); }, 3000));
  // Nobody activates it here: the command does.
  EXPECT_TRUE(kptest::waitUntil([&] { return QApplication::activeWindow() == logs; }, 3000));
  kptest::Key(Qt::Key_Escape);
  EXPECT_TRUE(kptest::waitUntil([&] { return !logs->isVisible(); }, 3000));
  EXPECT_TRUE(w->isVisible());
}

TEST_F(RealWindow, SecondaryWindowsOpenWholeOnTheMainWindowsScreen)
{
  ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
  ASSERT_TRUE(kptest::waitUntil([&] { return Listed(); }, 10000));
  // The main window in the screen's bottom-right corner.
  const QRect screen = w->screen()->availableGeometry();
  w->setGeometry(screen.right() - 700, screen.bottom() - 560, 680, 540);
  ASSERT_TRUE(kptest::waitUntil([&] { return w->geometry().left() > screen.width() / 2; }, 3000));
  w->ListView->selectRow(0);
  const TWindowCase cases[] = {
      {"property window", [&] { return OpenProperties(*this); }},
      {"GPS-log window",
       [&]() -> QWidget * {
         w->Item("N_File_Convert_GPS")->trigger();
         return w->Windows.GPSLog.get();
       }},
  };
  for (const TWindowCase &c : cases) {
    QPointer<QWidget> window = c.open();
    ASSERT_NE(window, nullptr) << c.name;
    ASSERT_TRUE(kptest::waitUntil([&] { return window->isVisible(); }, 3000)) << c.name;
    QApplication::processEvents();
    EXPECT_TRUE(screen.contains(window->frameGeometry()))
        << c.name << " " << window->frameGeometry().x() << "," << window->frameGeometry().y() << " "
        << window->frameGeometry().width() << "x" << window->frameGeometry().height();
    window->close();
  }
}

TEST_F(RealWindow, DisabledListButtonsShowTheirGlyphGreyed)
{
  ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
  int checked = 0;
  for (QToolButton *b : w->FileListButtons) {
    if (b->isEnabled() || b->width() == 0 || b->icon().isNull()) continue;
    const QImage picture = b->icon().pixmap(b->iconSize(), QIcon::Disabled).toImage();
    int opaque = 0;
    for (int y = 0; y < picture.height(); ++y)
      for (int x = 0; x < picture.width(); ++x) opaque += qAlpha(picture.pixel(x, y)) > 0;
    // The glyph's shape on the button's own background, not a square.
    EXPECT_GT(opaque, 0) << b->objectName().toStdString();
    EXPECT_LT(opaque, picture.width() * picture.height() * 3 / 4) << b->objectName().toStdString();
    ++checked;
  }
  EXPECT_GE(checked, 3);
  kptest::saveScreenshot(w->PanelFileListMenu, QStringLiteral("keys_list_toolbar_disabled.png"));
}

TEST_F(RealWindow, TheOpenDialogShowsItsColumnsWholeAndKeepsItsSize)
{
  ASSERT_NO_FATAL_FAILURE(Start(kptest::DemoCard()));
  const QString oldCurrent = QDir::currentPath();
  QDir::setCurrent(kptest::DemoCard() + QStringLiteral("/DCIM/100MEDIA"));
  // Runs Check on the next file dialog, then cancels it.
  const auto onDialog = [&](const std::function<void(QFileDialog &)> &check) {
    bool done = false;
    QTimer timer;
    timer.setInterval(50);
    QObject::connect(&timer, &QTimer::timeout, [&] {
      auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
      if (!dialog || done) return;
      done = true;
      check(*dialog);
      dialog->reject();
    });
    timer.start();
    w->Item("N_File_Open")->trigger();
    EXPECT_TRUE(done);
  };
  onDialog([&](QFileDialog &dialog) {
    auto *view = dialog.findChild<QTreeView *>(QStringLiteral("treeView"));
    ASSERT_NE(view, nullptr);
    // Name, size, type and date of every file read whole.
    const auto whole = [view] {
      const QModelIndex root = view->rootIndex();
      const int rows = view->model()->rowCount(root);
      if (rows < 3) return false;
      for (int column = 0; column < 4; ++column)
        for (int row = 0; row < rows; ++row) {
          const QString text = view->model()->index(row, column, root).data().toString();
          // The text, its margins, and the name's icon.
          const int needed = view->fontMetrics().horizontalAdvance(text) + 6 +
                             (column == 0 ? std::max(16, view->iconSize().width()) + 6 : 0);
          if (text.isEmpty() || view->header()->sectionSize(column) < needed) return false;
        }
      return true;
    };
    EXPECT_TRUE(kptest::waitUntil(whole, 5000)) << dialog.width() << "x" << dialog.height();
    kptest::saveScreenshot(&dialog, QStringLiteral("keys_open_dialog.png"));
    dialog.resize(780, 520);
  });
  onDialog([&](QFileDialog &dialog) { EXPECT_EQ(dialog.size(), QSize(780, 520)); });
  QDir::setCurrent(oldCurrent);
}
