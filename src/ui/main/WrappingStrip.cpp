#include "WrappingStrip.h"

#include <QWidget>
#include <algorithm>

namespace kp {

TWrappingStrip::TWrappingStrip(QWidget *parent) : QLayout(parent)
{
  setContentsMargins(0, 0, 0, 0);
  setSpacing(0);
}

TWrappingStrip::~TWrappingStrip()
{
  for (QLayoutItem *item : FItems) delete item;
}

void TWrappingStrip::AddGap(int width)
{
  addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum));
}

void TWrappingStrip::addItem(QLayoutItem *item)
{
  FItems.push_back(item);
}

int TWrappingStrip::count() const
{
  return int(FItems.size());
}

QLayoutItem *TWrappingStrip::itemAt(int index) const
{
  return index >= 0 && index < count() ? FItems[size_t(index)] : nullptr;
}

QLayoutItem *TWrappingStrip::takeAt(int index)
{
  if (index < 0 || index >= count()) return nullptr;
  QLayoutItem *item = FItems[size_t(index)];
  FItems.erase(FItems.begin() + index);
  return item;
}

Qt::Orientations TWrappingStrip::expandingDirections() const
{
  return {};
}

bool TWrappingStrip::hasHeightForWidth() const
{
  return true;
}

int TWrappingStrip::heightForWidth(int width) const
{
  return Place(QRect(0, 0, width, 0), false);
}

QSize TWrappingStrip::minimumSize() const
{
  QSize least;
  for (const QLayoutItem *item : FItems)
    if (!item->isEmpty() && item->widget()) least = least.expandedTo(item->minimumSize());
  return least;
}

QSize TWrappingStrip::sizeHint() const
{
  // All on one row.
  int width = 0, height = 0;
  for (const QLayoutItem *item : FItems) {
    if (item->isEmpty() && item->widget()) continue;
    width += item->sizeHint().width();
    height = std::max(height, item->sizeHint().height());
  }
  return {width, height};
}

void TWrappingStrip::setGeometry(const QRect &rect)
{
  QLayout::setGeometry(rect);
  Place(rect, true);
}

int TWrappingStrip::Place(const QRect &rect, bool apply) const
{
  int x = rect.x(), y = rect.y(), rowHeight = 0;
  for (QLayoutItem *item : FItems) {
    // Hidden controls take no room; a gap at the start of a row is dropped.
    if (item->widget() && item->isEmpty()) continue;
    const QSize size = item->sizeHint();
    const bool gap = !item->widget();
    if (x + size.width() > rect.x() + rect.width() && x > rect.x()) {
      if (gap) continue;
      x = rect.x();
      y += rowHeight;
      rowHeight = 0;
    }
    if (gap && x == rect.x()) continue;
    if (apply) item->setGeometry(QRect(QPoint(x, y), size));
    x += size.width();
    rowHeight = std::max(rowHeight, size.height());
  }
  return y + rowHeight - rect.y();
}

} // namespace kp
