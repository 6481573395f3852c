#include "UnitFormFullScreen.h"

#include "UnitUtilsDesktop.h"

#include <QCloseEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>

namespace kp {

QRect FullScreenBounds(const QRect &mainWindow, const QRect &monitor, const QRect &desktop, bool evr)
{
  const QRect inner = mainWindow.adjusted(100, 100, -100, -100);
  if (evr && !monitor.contains(inner)) return desktop;
  return monitor;
}

TFormFullScreen::TFormFullScreen(QWidget *mainWindow)
  : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), FMainWindow(mainWindow), FLayout(new QVBoxLayout(this))
{
  setObjectName(QStringLiteral("FormFullScreen"));
  setWindowTitle(QStringLiteral("Full Screen - KESTRIL PLAYER"));
  // Task bars and window switchers show it in place of the main window.
  setWindowIcon(ProgramIcon());
  FLayout->setContentsMargins(0, 0, 0, 0);
  FLayout->setSpacing(0);
  QPalette p = palette();
  p.setColor(QPalette::Window, Qt::black);
  setPalette(p);
  setAutoFillBackground(true);
}

void TFormFullScreen::TakeVideo(QWidget *panel)
{
  if (!panel) return;
  FLayout->insertWidget(0, panel, 1);
  panel->show();
}

void TFormFullScreen::TakeBottom(QWidget *panel, int height)
{
  if (!panel) return;
  panel->setFixedHeight(std::max(0, height));
  FLayout->addWidget(panel, 0);
  panel->show();
}

void TFormFullScreen::showEvent(QShowEvent *event)
{
  QScreen *screen = FMainWindow ? FMainWindow->screen() : this->screen();
  if (screen) {
    const QRect main = FMainWindow ? FMainWindow->frameGeometry() : QRect();
    const bool evr = EvrChosen && EvrChosen();
    // Wayland gives no window positions: one output is covered there.
    setGeometry(FullScreenBounds(main, screen->geometry(), screen->virtualGeometry(), evr));
  }
  QWidget::showEvent(event);
}

void TFormFullScreen::closeEvent(QCloseEvent *event)
{
  QWidget::closeEvent(event);
  if (FMainWindow && FMainWindow->isVisible()) FMainWindow->close();
}

void TFormFullScreen::wheelEvent(QWheelEvent *event)
{
  if (Wheel && Wheel(event->globalPosition().toPoint(), event->angleDelta().y()))
    event->accept();
  else
    event->ignore();
}

} // namespace kp
