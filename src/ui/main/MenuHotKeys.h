#pragma once
// Hot keys (underlined letters) of menu items, chosen from the captions of
// the active language: the tables carry none, and a fixed letter could not
// suit three languages. Each item gets a letter that no other item shares in
// any menu showing it (an action can sit in the menu bar, a menu and a
// popup at once). Main thread only.

#include <QList>
#include <QString>

class QWidget;

namespace kp {

// The caption as read: hot-key marks dropped, "&&" back to one "&"; an "&"
// before a blank or at the end is no mark (a table's plain "A & B").
QString WithoutHotKey(const QString &caption);

// Puts a hot key on every item of the menus and menu bars in Containers,
// replacing earlier ones; the containers' order decides who gets a letter
// first. Items without a letter or digit left free get none.
void AssignHotKeys(const QList<QWidget *> &containers);

} // namespace kp
