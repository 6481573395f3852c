#include "MenuState.h"

#include "UnitReg.h"

#include <QAction>
#include <QActionGroup>

namespace kp {

TCheckSave CheckSaveRule(bool checked, bool designCheck)
{
  if (checked == designCheck) return TCheckSave::Delete;
  return checked ? TCheckSave::WriteTrue : TCheckSave::WriteFalse;
}

void TMenuState::Register(QAction *action)
{
  if (action && !action->objectName().isEmpty()) FItems.insert(action->objectName(), action);
}

QAction *TMenuState::Item(const QString &name) const { return FItems.value(name, nullptr); }

void TMenuState::RememberDefaultChecks()
{
  FDefaultChecks.clear();
  for (QAction *a : FItems)
    if (a->isCheckable() && a->isChecked()) FDefaultChecks << a->objectName();
}

void TMenuState::RestoreMenuChecks()
{
  // Radio groups: an unchecked read must not leave a group empty, so the
  // checked reads go last.
  QList<QAction *> checkedLater;
  for (QAction *a : FItems) {
    if (!a->isCheckable()) continue;
    const bool mark = ReadSettingBool(a->objectName(), a->isChecked());
    if (mark && a->actionGroup())
      checkedLater << a;
    else if (!a->actionGroup() || mark != a->isChecked())
      a->setChecked(mark);
  }
  for (QAction *a : checkedLater) a->setChecked(true);
}

bool TMenuState::IsDefaultChecked(const QString &name) const { return FDefaultChecks.contains(name); }

void TMenuState::SaveItemCheck(QAction *item) const
{
  const QString name = item->objectName();
  if (name.isEmpty()) return;
  switch (CheckSaveRule(item->isChecked(), IsDefaultChecked(name))) {
  case TCheckSave::WriteTrue: WriteSettingBool(name, true); break;
  case TCheckSave::WriteFalse: WriteSettingBool(name, false); break;
  case TCheckSave::Delete: DeleteSetting(name); break;
  }
}

void TMenuState::SaveMenuChecks(QAction *item) const
{
  if (!item || item->objectName().isEmpty()) return;
  if (QActionGroup *group = item->actionGroup()) {
    for (QAction *a : group->actions()) SaveItemCheck(a);
  } else {
    SaveItemCheck(item);
  }
}

void TMenuState::Triggered(QAction *item) const { SaveMenuChecks(item); }

void TMenuState::SetMenuChecked(QAction *item) const
{
  if (!item || !item->isCheckable()) return;
  if (item->actionGroup() && item->actionGroup()->isExclusive())
    item->setChecked(true);
  else
    item->setChecked(!item->isChecked());
  SaveMenuChecks(item);
}

void TMenuState::SetItemChecked(QAction *item, bool state) const
{
  if (!item || item->isChecked() == state) return;
  item->setChecked(state);
  SaveMenuChecks(item);
}

void TMenuState::SetItemCaptionSuffix(QAction *item, const QString &suffix, bool show)
{
  if (!item) return;
  QString caption = item->text();
  const qsizetype cut = caption.indexOf(QLatin1String(" ("));
  if (cut >= 0) caption.truncate(cut);
  if (show) caption += QLatin1String(" (") + suffix + QLatin1Char(')');
  if (caption != item->text()) item->setText(caption);
}

} // namespace kp
