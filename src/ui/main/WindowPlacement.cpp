#include "WindowPlacement.h"

#include "UnitRegSettings.h"

#include <QEvent>
#include <QWidget>

namespace kp {

TWindowPlacement::TWindowPlacement(QWidget *window, int delayMs) : QObject(window), FWindow(window)
{
  FTimer.setSingleShot(true);
  FTimer.setInterval(delayMs);
  connect(&FTimer, &QTimer::timeout, this, &TWindowPlacement::Flush);
  window->installEventFilter(this);
}

bool TWindowPlacement::eventFilter(QObject *watched, QEvent *event)
{
  if (watched == FWindow &&
      (event->type() == QEvent::Move || event->type() == QEvent::Resize || event->type() == QEvent::WindowStateChange))
    Note();
  return false;
}

void TWindowPlacement::Note()
{
  if (!FWindow->isVisible()) return;
  FPending = true;
  FTimer.start();
}

void TWindowPlacement::Flush()
{
  FTimer.stop();
  if (!FPending || !FWindow->isVisible()) return;
  FPending = false;
  const Qt::WindowStates states = FWindow->windowState();
  if (!(states & Qt::WindowMinimized)) {
    const int state = states & Qt::WindowMaximized ? 2 : 0;
    if (state != FState && settings::PosState.Write(state)) FState = state;
  }
  const QRect normal = FWindow->normalGeometry().isValid() ? FWindow->normalGeometry() : FWindow->geometry();
  if (normal == FNormal || normal.width() <= 0 || normal.height() <= 0) return;
  FNormal = normal;
  settings::PosLeft.Write(normal.x());
  settings::PosTop.Write(normal.y());
  settings::PosWidth.Write(normal.width());
  settings::PosHeight.Write(normal.height());
}

bool ResetAllSettings(const std::function<void()> &close, const std::function<bool()> &launch)
{
  const QString id = settings::InstallationId.Read();
  const QString gps = settings::GpsFormatsSeen.Read();
  close();
  ClearSettings();
  if (!id.isEmpty()) settings::InstallationId.Write(id);
  if (!gps.isEmpty()) settings::GpsFormatsSeen.Write(gps);
  return launch();
}

} // namespace kp
