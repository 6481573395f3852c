#pragma once
// A row of fixed-size controls (the list's toolbar) that wraps onto as many
// rows as its width needs, so every control shows whole however narrow its
// panel: the panel's least width is its widest control, and its height
// follows its width. Main thread only; Qt owns the items as for any layout.

#include <QLayout>
#include <vector>

namespace kp {

class TWrappingStrip : public QLayout {
public:
  explicit TWrappingStrip(QWidget *parent = nullptr);
  ~TWrappingStrip() override;

  // A gap of Width pixels where the row does not wrap.
  void AddGap(int width);

  void addItem(QLayoutItem *item) override;
  int count() const override;
  QLayoutItem *itemAt(int index) const override;
  QLayoutItem *takeAt(int index) override;
  Qt::Orientations expandingDirections() const override;
  bool hasHeightForWidth() const override;
  int heightForWidth(int width) const override;
  QSize minimumSize() const override;
  QSize sizeHint() const override;
  void setGeometry(const QRect &rect) override;

private:
  // Places the items in Rect (only measures when not Apply); the height used.
  int Place(const QRect &rect, bool apply) const;

  std::vector<QLayoutItem *> FItems;
};

} // namespace kp
