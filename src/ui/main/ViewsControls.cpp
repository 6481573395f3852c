#include "ViewsControls.h"

#include "MainMenus.h"

#include <QAction>

namespace kp {

QAction *TViewsControls::Item(const char *name) const
{
  return Menus ? Menus->Action(QLatin1String(name)) : nullptr;
}

bool TViewsControls::Checked(const char *name) const
{
  const QAction *item = Item(name);
  return item && item->isChecked();
}

bool TViewsControls::Is(const QObject *sender, const char *name) const
{
  return sender && sender->objectName() == QLatin1String(name);
}

} // namespace kp
