#include "UnitBSImage.h"

#include <QMouseEvent>
#include <QPainter>

namespace kp {

TBS_Image::TBS_Image(QWidget *parent) : QWidget(parent)
{
  // Hover reports (the details window) need moves without a button.
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  FImage.Width = width();
  FImage.Height = height();
  FImage.Changed = [this] { update(); };
}

TBS_Image::~TBS_Image()
{
  // A painter may outlive the widget by a moment; it must not call back.
  FImage.Changed = nullptr;
}

void TBS_Image::paintEvent(QPaintEvent *)
{
  QPainter painter(this);
  if (FImage.Picture.isNull())
    painter.fillRect(rect(), palette().window());
  else
    painter.drawImage(0, 0, FImage.Picture);
}

void TBS_Image::resizeEvent(QResizeEvent *)
{
  if (FImage.Width == width() && FImage.Height == height()) return;
  FImage.Width = width();
  FImage.Height = height();
  emit Resized();
  update();
}

void TBS_Image::mousePressEvent(QMouseEvent *event)
{
  const QPoint p = event->position().toPoint();
  emit MouseDown(event->button(), event->modifiers(), p.x(), p.y());
}

void TBS_Image::mouseMoveEvent(QMouseEvent *event)
{
  const QPoint p = event->position().toPoint();
  emit MouseMove(event->buttons(), event->modifiers(), p.x(), p.y());
}

void TBS_Image::mouseReleaseEvent(QMouseEvent *event)
{
  const QPoint p = event->position().toPoint();
  emit MouseUp(event->button(), event->modifiers(), p.x(), p.y());
}

void TBS_Image::enterEvent(QEnterEvent *)
{
  emit MouseEnter();
}

void TBS_Image::leaveEvent(QEvent *)
{
  emit MouseLeave();
}

} // namespace kp
