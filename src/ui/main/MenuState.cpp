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
  if (!action || action->objectName().isEmpty() || FItems.contains(action->objectName())) return;
  FItems.insert(action->objectName(), action);
  FOrder << action;
}

QAction *TMenuState::Item(const QString &name) const
{
  return FItems.value(name, nullptr);
}

void TMenuState::RememberDefaultChecks()
{
  FDefaultChecks.clear();
  for (QAction *a : FOrder)
    if (a->isCheckable() && a->isChecked()) FDefaultChecks << a->objectName();
}

void TMenuState::RestoreMenuChecks()
{
  for (QAction *a : FOrder)
    if (a->isCheckable()) a->setChecked(ReadSettingBool(a->objectName(), a->isChecked()));
}

bool TMenuState::IsDefaultChecked(const QString &name) const
{
  return FDefaultChecks.contains(name);
}

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

void TMenuState::Triggered(QAction *item) const
{
  SaveMenuChecks(item);
}

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
