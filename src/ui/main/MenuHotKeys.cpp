#include "MenuHotKeys.h"

#include <QAction>
#include <QHash>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QSet>
#include <algorithm>

namespace kp {

QString WithoutHotKey(const QString &caption)
{
  QString plain;
  plain.reserve(caption.size());
  for (qsizetype i = 0; i < caption.size(); ++i) {
    const bool mark = caption[i] == QLatin1Char('&') && i + 1 < caption.size() && !caption[i + 1].isSpace();
    if (!mark) {
      plain += caption[i];
    } else if (caption[i + 1] == QLatin1Char('&')) {
      plain += QLatin1Char('&');
      ++i;
    }
  }
  return plain;
}

namespace {

QString Escaped(const QString &plain)
{
  QString text = plain;
  return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

// Places in Caption worth a hot key, best first: the first letter of a word,
// then other letters, then digits, then any other sign. A note in brackets
// and the shortcut column after a tab are left alone: they come and go with
// the state.
QList<qsizetype> Candidates(const QString &caption)
{
  qsizetype end = caption.indexOf(QLatin1Char('\t'));
  if (end < 0) end = caption.size();
  const qsizetype note = caption.indexOf(QLatin1String(" ("));
  if (note > 0 && note < end &&
      std::any_of(caption.begin(), caption.begin() + note, [](QChar c) { return c.isLetterOrNumber(); }))
    end = note;
  QList<qsizetype> initials, letters, digits, signs;
  for (qsizetype i = 0; i < end; ++i) {
    const QChar c = caption[i];
    if (c.isDigit())
      digits << i;
    else if (c.isLetter())
      (i == 0 || !caption[i - 1].isLetterOrNumber() ? initials : letters) << i;
    else if (c.isPrint() && !c.isSpace() && c != QLatin1Char('&'))
      signs << i;
  }
  return initials + letters + digits + signs;
}

// The letter a shortcut of one key with exactly Modifiers names, else null.
QChar ShortcutLetter(const QAction *action, Qt::KeyboardModifiers modifiers)
{
  const QKeySequence shortcut = action->shortcut();
  if (shortcut.count() != 1 || shortcut[0].keyboardModifiers() != modifiers) return {};
  const int key = shortcut[0].key();
  if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9)) return QChar(key).toLower();
  return {};
}

class THotKeys {
public:
  explicit THotKeys(const QList<QWidget *> &containers) : FContainers(containers)
  {
    // A hot key must not shadow a shortcut: in the menu bar Alt and the
    // letter, in an open menu the letter alone (unless it is the item's own).
    for (QWidget *c : containers) {
      const bool bar = qobject_cast<QMenuBar *>(c);
      const QList<QAction *> actions = bar ? c->window()->actions() : c->actions();
      for (QAction *a : actions)
        if (const QChar letter = ShortcutLetter(a, bar ? Qt::AltModifier : Qt::NoModifier); !letter.isNull())
          FOwner[c].insert(letter, a);
    }
  }

  // Gives Action its first free place; failing that, an item holding one
  // of Action's letters moves to another free letter of its own.
  void Assign(QAction *action)
  {
    if (action->isSeparator() || FPlain.contains(action)) return;
    FPlain.insert(action, WithoutHotKey(action->text()));
    FOrder << action;
    if (TakeFree(action)) return;
    for (const qsizetype i : Candidates(FPlain[action])) {
      const QChar key = FPlain[action][i].toLower();
      QAction *other = SoleOwner(action, key);
      if (!other || !FAt.contains(other)) continue;
      const qsizetype was = FAt.take(other);
      Release(other, FPlain[other][was].toLower());
      if (TakeFree(other, key)) {
        Take(action, i);
        return;
      }
      Take(other, was);
    }
  }

  // Writes the captions with their marks.
  void Apply() const
  {
    for (QAction *action : FOrder) {
      const QString &plain = FPlain[action];
      const qsizetype at = FAt.value(action, -1);
      action->setText(at < 0 ? Escaped(plain) : Escaped(plain.left(at)) + QLatin1Char('&') + Escaped(plain.mid(at)));
    }
  }

private:
  bool TakeFree(QAction *action, QChar except = {})
  {
    const QString &plain = FPlain[action];
    for (const qsizetype i : Candidates(plain)) {
      const QChar key = plain[i].toLower();
      if (key == except) continue;
      const QList<QWidget *> holders = Holders(action);
      if (std::all_of(holders.begin(), holders.end(),
                      [&](QWidget *h) { return FOwner[h].value(key, action) == action; })) {
        Take(action, i);
        return true;
      }
    }
    return false;
  }

  void Take(QAction *action, qsizetype at)
  {
    FAt.insert(action, at);
    for (QWidget *h : Holders(action)) FOwner[h].insert(FPlain[action][at].toLower(), action);
  }

  void Release(QAction *action, QChar key)
  {
    for (QWidget *h : Holders(action))
      if (FOwner[h].value(key) == action) FOwner[h].remove(key);
  }

  // The one item whose hot key keeps Key from Action in Action's menus.
  QAction *SoleOwner(QAction *action, QChar key) const
  {
    QAction *owner = nullptr;
    for (QWidget *h : Holders(action)) {
      QAction *o = FOwner.value(h).value(key, nullptr);
      if (!o) continue;
      // A shortcut's letter stays where it is, also as its item's hot key.
      const bool shortcut = ShortcutLetter(o, Qt::NoModifier) == key || ShortcutLetter(o, Qt::AltModifier) == key;
      if ((owner && o != owner) || shortcut || !FAt.contains(o) || FPlain[o][FAt[o]].toLower() != key) return nullptr;
      owner = o;
    }
    return owner;
  }

  QList<QWidget *> Holders(QAction *action) const
  {
    QList<QWidget *> holders;
    for (QObject *o : action->associatedObjects())
      if (auto *w = qobject_cast<QWidget *>(o); w && FContainers.contains(w)) holders << w;
    return holders;
  }

  const QList<QWidget *> &FContainers;
  QList<QAction *> FOrder;
  QHash<QAction *, QString> FPlain;
  QHash<QAction *, qsizetype> FAt;                  // where each item's mark goes
  QHash<QWidget *, QHash<QChar, QAction *>> FOwner; // who holds a letter in each menu
};

QList<QAction *> ItemsOf(QWidget *container)
{
  if (auto *menu = qobject_cast<QMenu *>(container)) return menu->actions();
  if (auto *bar = qobject_cast<QMenuBar *>(container)) return bar->actions();
  return {};
}

} // namespace

void AssignHotKeys(const QList<QWidget *> &containers)
{
  THotKeys keys(containers);
  // Shown items choose first, so a hidden one never takes a letter from them.
  for (const bool visible : {true, false})
    for (QWidget *container : containers)
      for (QAction *action : ItemsOf(container))
        if (action->isVisible() == visible) keys.Assign(action);
  keys.Apply();
}

} // namespace kp
