#include "ListNotice.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QMouseEvent>

namespace kp {

TListNotice::TListNotice(QAbstractScrollArea &list) : QLabel(&list), FList(list)
{
  setObjectName(QStringLiteral("ListNotice"));
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::ToolTipBase);
  setForegroundRole(QPalette::ToolTipText);
  setFrameShape(QFrame::Box);
  setMargin(3);
  setCursor(Qt::PointingHandCursor);
  setTextFormat(Qt::PlainText);
  // A narrow list shows it on more lines rather than cut it.
  setWordWrap(true);
  hide();
  FList.installEventFilter(this);
  // The list's own size may stay while its rows' area changes (a scroll
  // bar comes or goes as columns and rows change): that area places it.
  FList.viewport()->installEventFilter(this);
}

void TListNotice::ShowNotice(const QString &text, const QString &details)
{
  if (text.isEmpty() || text == FDismissed) {
    hide();
    return;
  }
  setText(text);
  setToolTip(details);
  Place();
  show();
  raise();
}

void TListNotice::Reset()
{
  FDismissed.clear();
  hide();
}

void TListNotice::mousePressEvent(QMouseEvent *event)
{
  FDismissed = text();
  hide();
  event->accept();
}

bool TListNotice::eventFilter(QObject *watched, QEvent *event)
{
  if ((watched == &FList || watched == FList.viewport()) && event->type() == QEvent::Resize) Place();
  return QLabel::eventFilter(watched, event);
}

void TListNotice::Place()
{
  // Over the lowest rows, inside the frame and clear of the scroll bars.
  const QRect area = FList.viewport()->geometry();
  const int wrapped = heightForWidth(area.width());
  const int height = wrapped > 0 ? wrapped : sizeHint().height();
  setGeometry(area.left(), area.bottom() + 1 - height, area.width(), height);
  // Over the scroll bars' corner too, should one show after it.
  if (isVisible()) raise();
}

} // namespace kp
