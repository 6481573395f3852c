#include "ScrollingStrip.h"

#include <QEvent>
#include <QScrollBar>

namespace kp {

TScrollingStrip::TScrollingStrip(QWidget *row, QWidget *parent) : QScrollArea(parent)
{
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  setWidgetResizable(true);
  setWidget(row);
  // The row looks as it did in its panel.
  row->setAutoFillBackground(false);
  viewport()->setAutoFillBackground(false);
  horizontalScrollBar()->installEventFilter(this);
  FitHeight();
}

QSize TScrollingStrip::minimumSizeHint() const
{
  return QSize(0, height());
}

bool TScrollingStrip::eventFilter(QObject *watched, QEvent *event)
{
  if (watched == horizontalScrollBar() &&
      (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent))
    FitHeight();
  return QScrollArea::eventFilter(watched, event);
}

void TScrollingStrip::FitHeight()
{
  const QScrollBar *bar = horizontalScrollBar();
  const int rowHeight = widget() ? widget()->height() : 0;
  setFixedHeight(rowHeight + (bar->isVisibleTo(this) ? bar->sizeHint().height() : 0));
}

} // namespace kp
