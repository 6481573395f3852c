#include "MainMenus.h"

#include "MenuHotKeys.h"
#include "UnitTranslate.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QHelpEvent>
#include <QRegularExpression>
#include <QToolTip>
#include <QWidget>

namespace kp {

QString MenuItemCaption(const QString &name)
{
  QString caption = Translate(name);
  if (caption == name && !name.isEmpty() && name.back().isDigit()) caption = Translate(name.chopped(1));
  return caption;
}

TMainMenus::TMainMenus(QWidget *window) : QObject(window), FWindow(window) {}

QAction *TMainMenus::MakeAction(const TMenuDecl &decl, QMenu *into)
{
  const QString name = QString::fromLatin1(decl.Name);
  auto *action = new QAction(name, FWindow);
  action->setObjectName(name);
  action->setVisible(decl.Visible);
  // The percentage items keep these captions in every language.
  static const QRegularExpression percent(QStringLiteral("^N_VideoZoom_([1-9][0-9]*)$"));
  if (const auto m = percent.match(name); m.hasMatch()) action->setText(m.captured(1) + QLatin1Char('%'));
  if (decl.Kind == TMenuKind::Toggle || decl.Kind == TMenuKind::Radio) {
    action->setCheckable(true);
    action->setChecked(decl.DesignCheck);
  }
  if (decl.Kind == TMenuKind::Radio) {
    const QString group = QString::fromLatin1(decl.Group);
    QActionGroup *g = FGroups.value(group, nullptr);
    if (!g) g = FGroups.insert(group, new QActionGroup(FWindow)).value();
    g->addAction(action);
  }
  if (*decl.Shortcut) {
    action->setShortcut(QKeySequence(QString::fromLatin1(decl.Shortcut)));
    // Shortcuts of the window and of its full-screen view, not of dialogs.
    action->setShortcutContext(Qt::WindowShortcut);
  }
  if (into) into->addAction(action);
  FWindow->addAction(action);
  FState.Register(action);
  return action;
}

void TMainMenus::Build(QMenuBar *bar)
{
  FBar = bar;
  if (bar) bar->installEventFilter(this);
  for (const TMenuDecl &decl : MainMenuTable()) {
    QMenu *parent = FMenus.value(QString::fromLatin1(decl.Parent), nullptr);
    if (decl.Kind == TMenuKind::Separator) {
      if (parent) parent->addSeparator();
      continue;
    }
    if (decl.Kind == TMenuKind::Submenu) {
      auto *menu = new QMenu(QString::fromLatin1(decl.Name), FWindow);
      menu->setObjectName(QString::fromLatin1(decl.Name));
      menu->menuAction()->setObjectName(menu->objectName());
      menu->menuAction()->setVisible(decl.Visible);
      FMenus.insert(menu->objectName(), menu);
      if (parent)
        parent->addMenu(menu);
      else {
        FTopMenus << menu;
        FTopActions << menu->menuAction();
        if (bar) bar->addMenu(menu);
      }
      continue;
    }
    QAction *action = MakeAction(decl, parent);
    if (!parent) {
      FTopActions << action;
      if (bar) bar->addAction(action);
    }
  }
  FListPopup = new QMenu(FWindow);
  FListPopup->setObjectName(QStringLiteral("PopupMenuListView"));
  for (const TMenuDecl &decl : ListPopupTable()) {
    if (decl.Kind == TMenuKind::Separator)
      FListPopup->addSeparator();
    else
      MakeAction(decl, FListPopup);
  }
  if (QAction *open = Action(QStringLiteral("N_FileList_Open"))) FListPopup->setDefaultAction(open);
}

void TMainMenus::BuildLanguageMenu()
{
  QMenu *menu = Menu(QStringLiteral("N_View_Language"));
  if (!menu) return;
  menu->clear();
  auto *group = new QActionGroup(FWindow);
  const std::vector<TLang> &langs = Langs();
  for (size_t i = 0; i < langs.size(); ++i) {
    const TLang &lang = langs[i];
    auto *action = new QAction(QStringLiteral("(%1) %2").arg(lang.ID, lang.Name), FWindow);
    action->setObjectName(QStringLiteral("N_View_Language_") + lang.ID);
    action->setCheckable(true);
    action->setChecked(int(i) == CurLang());
    action->setData(int(i));
    group->addAction(action);
    menu->addAction(action);
    FState.Register(action);
  }
}

void TMainMenus::BuildTimeZoneMenu()
{
  QMenu *menu = Menu(QStringLiteral("N_View_TimeZone"));
  QAction *local = Action(QStringLiteral("N_View_TimeZone_Local"));
  if (!menu || !local) return;
  for (int n = -12; n <= 12; ++n) {
    auto *action = new QAction(
        QStringLiteral("GMT%1%2").arg(n < 0 ? QStringLiteral("-") : QStringLiteral("+")).arg(qAbs(n)), FWindow);
    action->setObjectName(QStringLiteral("N_View_TimeZone_GMT%1").arg(n + 24));
    action->setCheckable(true);
    action->setData(n);
    local->actionGroup()->addAction(action);
    menu->addAction(action);
    FState.Register(action);
  }
}

void TMainMenus::BuildPopupMenus()
{
  FVideoPopup = new QMenu(FWindow);
  FVideoPopup->setObjectName(QStringLiteral("PopupMenuVideoWindow"));
  if (QMenu *playback = Menu(QStringLiteral("N_Playback")))
    for (QAction *a : playback->actions())
      if (a->objectName() != QLatin1String("N_Playback_Renderer")) FVideoPopup->addAction(a);
  FVideoPopup->addSeparator();
  for (QAction *top : FTopActions) {
    const QString name = top->objectName();
    if (name == QLatin1String("N_Playback") || name == QLatin1String("N_FullScreen")) continue;
    if (name != QLatin1String("N_File") || !top->menu()) {
      FVideoPopup->addAction(top);
      continue;
    }
    // The popup's own File menu: the same actions without Exit, which the
    // popup shows at its end.
    auto *file = new QMenu(WithoutHotKey(top->text()), FVideoPopup);
    file->menuAction()->setObjectName(name);
    for (QAction *a : top->menu()->actions())
      if (a->objectName() != QLatin1String("N_File_Exit")) file->addAction(a);
    FMenus.insert(QStringLiteral("PopupMenuVideoWindow_File"), file);
    FVideoPopup->addMenu(file);
  }
  FVideoPopup->addSeparator();
  FVideoPopup->addAction(Action(QStringLiteral("N_File_Exit")));

  FGraphicsPopup = new QMenu(FWindow);
  FGraphicsPopup->setObjectName(QStringLiteral("PopupMenuGraphics"));
  if (QMenu *time = Menu(QStringLiteral("N_View_Time")))
    for (QAction *a : time->actions())
      if (a->objectName() != QLatin1String("N_View_Time_LoopAB")) FGraphicsPopup->addAction(a);
  FGraphicsPopup->addAction(Action(QStringLiteral("N_File_Save_Video")));
  FGraphicsPopup->addSeparator();
  if (QMenu *graphs = Menu(QStringLiteral("N_View_Graphics")))
    for (QAction *a : graphs->actions()) FGraphicsPopup->addAction(a);
  FGraphicsPopup->addSeparator();
  FGraphicsPopup->addAction(Action(QStringLiteral("N_View_Details")));
}

void TMainMenus::AddShortcutsTo(QWidget *window) const
{
  for (QAction *a : FState.Items())
    if (!a->shortcut().isEmpty()) window->addAction(a);
}

QList<QAction *> TMainMenus::ListPopupActions() const
{
  return FListPopup ? FListPopup->actions() : QList<QAction *>();
}

void TMainMenus::OnTriggered(const QString &name, std::function<void(QAction *)> handler)
{
  QAction *action = Action(name);
  if (!action) return;
  connect(action, &QAction::triggered, this, [this, action, handler = std::move(handler)] {
    if (action->isCheckable()) FState.Triggered(action);
    handler(action);
  });
}

namespace {

bool IsPercentItem(const QString &name)
{
  static const QRegularExpression percent(QStringLiteral("^N_VideoZoom_[1-9][0-9]*$"));
  return percent.match(name).hasMatch();
}

QString DecoratedCaption(const QString &name)
{
  QString caption = MenuItemCaption(name);
  if (name == QLatin1String("N_FileList_Group_With") || name == QLatin1String("N_VideoZoom_Other"))
    caption += QLatin1String(" . . .");
  return caption;
}

} // namespace

void TMainMenus::TranslateMenu(QMenu *menu)
{
  for (QAction *a : menu->actions()) {
    const QString name = a->objectName();
    if (a->isSeparator() || name.isEmpty()) continue;
    if (IsPercentItem(name)) continue;
    a->setText(DecoratedCaption(name));
    if (a->menu() && name != QLatin1String("N_View_Language") && name != QLatin1String("N_View_TimeZone"))
      TranslateMenu(a->menu());
  }
}

void TMainMenus::TranslateMenus()
{
  for (QAction *top : FTopActions) {
    if (top->objectName().isEmpty()) continue;
    top->setText(DecoratedCaption(top->objectName()));
    if (top->menu()) TranslateMenu(top->menu());
  }
  if (FListPopup) TranslateMenu(FListPopup);
  if (QMenu *file = Menu(QStringLiteral("PopupMenuVideoWindow_File")))
    file->menuAction()->setText(DecoratedCaption(QStringLiteral("N_File")));
  // The zoom items show their keys in the shortcut column.
  if (QAction *in = Action(QStringLiteral("N_VideoZoom_ZoomIn"))) in->setText(in->text() + QLatin1String("  \t+"));
  if (QAction *out = Action(QStringLiteral("N_VideoZoom_ZoomOut"))) out->setText(out->text() + QLatin1String("  \t-"));
}

bool TMainMenus::eventFilter(QObject *watched, QEvent *event)
{
  if (watched != FBar || event->type() != QEvent::ToolTip) return QObject::eventFilter(watched, event);
  const auto *help = static_cast<QHelpEvent *>(event);
  QAction *a = FBar->actionAt(help->pos());
  if (a && !a->icon().isNull())
    QToolTip::showText(help->globalPos(), a->toolTip(), FBar, FBar->actionGeometry(a));
  else
    QToolTip::hideText();
  return true;
}

void TMainMenus::CollectMenus(QMenu *menu, QList<QWidget *> &into) const
{
  into << menu;
  for (QAction *a : menu->actions())
    if (a->menu()) CollectMenus(a->menu(), into);
}

void TMainMenus::AssignHotKeys()
{
  QList<QWidget *> containers;
  if (FBar) containers << FBar;
  for (QMenu *menu : FTopMenus) CollectMenus(menu, containers);
  for (QMenu *popup : {FListPopup, FVideoPopup, FGraphicsPopup})
    if (popup) CollectMenus(popup, containers);
  kp::AssignHotKeys(containers);
}

void TMainMenus::OpenMenuBar()
{
  if (!FBar || !FBar->isVisible()) return;
  for (QAction *a : FBar->actions())
    if (a->isVisible() && a->isEnabled() && a->menu()) {
      FBar->setActiveAction(a);
      return;
    }
}

} // namespace kp
