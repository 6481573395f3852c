#pragma once
// Draws the recording list's cells as the program always has: Liberation
// Sans (Arial's metric twin) at 14 px, shrinking by 2 px down to 11 px while
// a text is too wide (never in the file-location column, which is cut), the
// list's images, grid lines and the colours of the translation tables.

#include <QStyledItemDelegate>
#include <QPixmap>
#include <functional>
#include <vector>

namespace kp {

class TFileListDelegate : public QStyledItemDelegate {
  Q_OBJECT
public:
  explicit TFileListDelegate(std::vector<QPixmap> images, QObject *parent = nullptr);
  // Whether any row is locked: column 0 then keeps room for the lock image.
  void SetHasLocked(std::function<bool()> hasLocked) { FHasLocked = std::move(hasLocked); }

  void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

  // The text drawn in a cell Width pixels wide: the pixel size chosen and
  // the text, cut with ".." when it still does not fit.
  struct TFitted {
    int PixelSize = 14;
    QString Text;
  };
  static TFitted FitText(const QString &text, int width, bool mayShrink);

private:
  std::vector<QPixmap> FImages;
  std::function<bool()> FHasLocked;
};

} // namespace kp
