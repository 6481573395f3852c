#pragma once
// A row of fixed-size controls (the list's toolbar) that never sets its
// panel's least width: narrower than its controls, it scrolls sideways,
// and it grows by the scroll bar's height while the bar shows so that the
// controls stay whole. Main thread only; it owns the row it shows.

#include <QScrollArea>

namespace kp {

class TScrollingStrip : public QScrollArea {
  Q_OBJECT
public:
  TScrollingStrip(QWidget *row, QWidget *parent = nullptr);

  QSize minimumSizeHint() const override;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void FitHeight();
};

} // namespace kp
