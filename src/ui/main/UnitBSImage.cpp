#include "UnitBSImage.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

namespace kp {

TBS_Image::TBS_Image(QWidget *parent) : QWidget(parent)
{
  // Hover reports (the details window) need moves without a button.
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  FImage.Width = width();
  FImage.Height = height();
  // Only the part a drawing changed is repainted (a moving cursor, say).
  FImage.Changed = [this] {
    if (FImage.Dirty.isEmpty())
      update();
    else
      update(FImage.Dirty);
  };
}

TBS_Image::~TBS_Image()
{
  // A painter may outlive the widget by a moment; it must not call back.
  FImage.Changed = nullptr;
}

void TBS_Image::paintEvent(QPaintEvent *event)
{
  QPainter painter(this);
  const QRect r = event->rect();
  if (FImage.Picture.isNull())
    painter.fillRect(r, palette().window());
  else
    painter.drawImage(r.topLeft(), FImage.Picture, r);
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
