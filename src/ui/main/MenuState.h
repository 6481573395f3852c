#pragma once
// The check marks of the main window's menu items: kept consistent across
// radio groups and persisted under each item's name, but only while they
// differ from the design check mark (the settings then stay small, and a
// reset returns every item to its design state).
//
// Qt flips a checkable action before its triggered signal runs, so the two
// entries differ: Triggered() is for a user's click (the flip happened) and
// SetMenuChecked() for callers without a click (it makes the flip). Main
// thread only; the actions belong to the window.

#include <QHash>
#include <QString>
#include <QStringList>

class QAction;
class QActionGroup;

namespace kp {

enum class TCheckSave { WriteTrue, WriteFalse, Delete };

// What is stored for an item: nothing while its mark equals the design one.
TCheckSave CheckSaveRule(bool checked, bool designCheck);

class TMenuState {
public:
  // Actions are found by objectName, which is the settings key.
  void Register(QAction *action);
  QAction *Item(const QString &name) const;
  // In the order they were registered (menu order).
  const QList<QAction *> &Items() const { return FOrder; }

  // Records the checked items as the design defaults (before the saved
  // marks are restored).
  void RememberDefaultChecks();
  // Each checkable item, in menu order, takes its saved mark, its current
  // one as default (so a later radio item saved as checked wins).
  void RestoreMenuChecks();
  bool IsDefaultChecked(const QString &name) const;
  const QStringList &DefaultChecks() const { return FDefaultChecks; }

  void SaveItemCheck(QAction *item) const;
  // The item, or every item of its radio group.
  void SaveMenuChecks(QAction *item) const;
  // A user's click: Qt already set the new mark; saves it.
  void Triggered(QAction *item) const;
  // Without a click: checks a radio item or toggles a plain one, then saves.
  void SetMenuChecked(QAction *item) const;
  // Sets a given mark (only when it changes) and saves.
  void SetItemChecked(QAction *item, bool state) const;
  // Cuts the caption at its first " (" and, when Show, appends " (Suffix)".
  static void SetItemCaptionSuffix(QAction *item, const QString &suffix, bool show);

private:
  QHash<QString, QAction *> FItems;
  QList<QAction *> FOrder;
  QStringList FDefaultChecks;
};

} // namespace kp
