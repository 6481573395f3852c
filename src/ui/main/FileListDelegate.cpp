#include "FileListDelegate.h"

#include "Canvas.h"
#include "FileListModel.h"
#include "UnitTranslate.h"

#include <QFontMetrics>
#include <QPainter>

namespace kp {

namespace {

QColor ListColour(const char *key)
{
  return ToQColor(TranslateColor(QString::fromLatin1(key)));
}

QFont ListFont(int pixelSize)
{
  QFont font(QStringLiteral("Liberation Sans"));
  font.setPixelSize(pixelSize);
  return font;
}

} // namespace

TFileListDelegate::TFileListDelegate(std::vector<QPixmap> images, QObject *parent)
  : QStyledItemDelegate(parent), FImages(std::move(images))
{
}

TFileListDelegate::TFitted TFileListDelegate::FitText(const QString &text, int width, bool mayShrink)
{
  TFitted out{14, text};
  if (mayShrink)
    while (QFontMetrics(ListFont(out.PixelSize)).horizontalAdvance(text) > width && out.PixelSize - 2 >= 11)
      out.PixelSize -= 2;
  const QFontMetrics fm(ListFont(out.PixelSize));
  if (fm.horizontalAdvance(text) <= width) return out;
  // The characters that fit, then "..".
  QString cut = text;
  while (!cut.isEmpty() && fm.horizontalAdvance(cut + QLatin1String("..")) > width) cut.chop(1);
  out.Text = cut + QLatin1String("..");
  return out;
}

void TFileListDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
  const bool selected = option.state & QStyle::State_Selected;
  const QRect cell = option.rect;
  painter->save();
  painter->fillRect(cell, selected ? ListColour("colorListSelBG") : ListColour("colorListBG"));
  painter->setPen(ListColour("colorListGrid"));
  painter->drawRect(cell.adjusted(0, 0, -1, -1));
  if (cell.width() >= 8) {
    int left = cell.left() + 1;
    const int image = index.data(TFileListModel::ImageRole).toInt();
    const bool lockRoom = index.column() == 0 && FHasLocked && FHasLocked();
    if (image >= 0 && size_t(image) < FImages.size()) painter->drawPixmap(left, cell.top() + 1, FImages[size_t(image)]);
    if ((image >= 0 && size_t(image) < FImages.size()) || lockRoom) left += 17;
    const QRect textRect(left, cell.top(), cell.right() - 2 - left, cell.height());
    const TFitted fitted = FitText(index.data(Qt::DisplayRole).toString(), textRect.width(), index.column() != 5);
    painter->setFont(ListFont(fitted.PixelSize));
    painter->setPen(selected ? ListColour("colorListSelText") : ListColour("colorListText"));
    const int align = index.data(Qt::TextAlignmentRole).toInt();
    painter->drawText(textRect, (align & Qt::AlignRight ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                      fitted.Text);
  }
  if (option.state & QStyle::State_HasFocus) {
    QPen dotted(ListColour("colorListText"));
    dotted.setStyle(Qt::DotLine);
    painter->setPen(dotted);
    painter->drawRect(cell.adjusted(0, 0, -1, -1));
  }
  painter->restore();
}

} // namespace kp
