#include "SecondaryPlacement.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace kp {

QRect FitInside(QRect outer, const QRect &area)
{
  outer.setWidth(std::min(outer.width(), area.width()));
  outer.setHeight(std::min(outer.height(), area.height()));
  outer.moveLeft(std::clamp(outer.left(), area.left(), area.right() - outer.width() + 1));
  outer.moveTop(std::clamp(outer.top(), area.top(), area.bottom() - outer.height() + 1));
  return outer;
}

namespace {

bool PlacesItself(const QWidget &window)
{
  const Qt::WindowType type = window.windowType();
  if (type != Qt::Window && type != Qt::Dialog && type != Qt::Tool && type != Qt::Sheet) return true;
  return window.windowFlags().testFlag(Qt::FramelessWindowHint);
}

// The window manager's frame, known for the main window once it is shown;
// a window about to open has the same one.
QMargins FrameOf(const QWidget &main)
{
  const QRect outer = main.frameGeometry(), inner = main.geometry();
  return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
          outer.bottom() - inner.bottom()};
}

} // namespace

TSecondaryPlacement::TSecondaryPlacement(QWidget *main) : QObject(main), FMain(main)
{
  qApp->installEventFilter(this);
}

void TSecondaryPlacement::Place(QWidget &window, const QWidget &main)
{
  const QScreen *screen = main.screen();
  if (!screen) return;
  const QMargins frame = FrameOf(main);
  // A window's position is that of its frame.
  QRect outer(window.pos(), window.size().grownBy(frame));
  // Once placed here the window counts as moved: it opens again where it
  // was left.
  const bool placed = window.testAttribute(Qt::WA_Moved);
  if (!placed) outer.moveCenter(main.frameGeometry().center());
  const QRect fitted = FitInside(outer, screen->availableGeometry());
  if (fitted.size() != outer.size()) window.resize(fitted.size().shrunkBy(frame));
  if (!placed || fitted.topLeft() != window.pos()) window.move(fitted.topLeft());
}

bool TSecondaryPlacement::eventFilter(QObject *watched, QEvent *event)
{
  if (event->type() != QEvent::Show || event->spontaneous() || !watched->isWidgetType() || !FMain)
    return QObject::eventFilter(watched, event);
  auto *window = static_cast<QWidget *>(watched);
  if (window->isWindow() && window != FMain && !PlacesItself(*window)) Place(*window, *FMain);
  return QObject::eventFilter(watched, event);
}

} // namespace kp
