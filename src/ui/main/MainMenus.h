#pragma once
// Makes the main window's menus from the menu table: one QAction per item
// (objectName = component name = settings key), a QActionGroup per radio
// group, the generated language and time-zone items, and the popup menus,
// which hold the same actions so their state never needs copying. Captions
// come from the translation tables (TranslateMenus). Main thread only; the
// menus and actions belong to the window passed in.

#include "MenuState.h"
#include "MenuTable.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <functional>

class QMenu;
class QMenuBar;
class QWidget;

namespace kp {

// Caption of one menu item in the active language; Name for unknown keys.
// Items named like "N_FileList_Refresh2" fall back to "N_FileList_Refresh".
QString MenuItemCaption(const QString &name);

class TMainMenus : public QObject {
  Q_OBJECT
public:
  explicit TMainMenus(QWidget *window);

  // Main menu into Bar (null: menus without a bar, for tests) and the list
  // popup; shortcuts act while Window or a window given to AddShortcutsTo is
  // active.
  void Build(QMenuBar *bar);
  void BuildLanguageMenu();
  void BuildTimeZoneMenu();
  void BuildPopupMenus();
  // Adds every main-menu action to another window (full screen) so its
  // shortcuts work there.
  void AddShortcutsTo(QWidget *window) const;

  QAction *Action(const QString &name) const { return FState.Item(name); }
  QMenu *Menu(const QString &name) const { return FMenus.value(name, nullptr); }
  QMenu *ListPopup() const { return FListPopup; }
  QMenu *VideoPopup() const { return FVideoPopup; }
  QMenu *GraphicsPopup() const { return FGraphicsPopup; }
  TMenuState &State() { return FState; }
  QList<QAction *> ListPopupActions() const;

  // Runs Handler when the named item is triggered (a click, a shortcut, a
  // popup or the toolbar). Checkable items have their new mark saved first.
  void OnTriggered(const QString &name, std::function<void(QAction *)> handler);

  // Captions of every menu in the active language.
  void TranslateMenus();
  // Hot keys on every item of the menu bar, its menus and the popups, from
  // the captions as they read now.
  void AssignHotKeys();
  // Opens the menu bar's first menu, as F10 and a lone Alt do.
  void OpenMenuBar();

protected:
  // Items of the menu bar drawn as a picture tell their caption as a tip.
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  QAction *MakeAction(const TMenuDecl &decl, QMenu *into);
  void TranslateMenu(QMenu *menu);
  void CollectMenus(QMenu *menu, QList<QWidget *> &into) const;

  QWidget *FWindow;
  QMenuBar *FBar = nullptr;
  TMenuState FState;
  QHash<QString, QMenu *> FMenus;
  QHash<QString, QActionGroup *> FGroups;
  QList<QMenu *> FTopMenus;
  QList<QAction *> FTopActions; // the main menu's top level, in order
  QMenu *FListPopup = nullptr;
  QMenu *FVideoPopup = nullptr;
  QMenu *FGraphicsPopup = nullptr;
};

} // namespace kp
