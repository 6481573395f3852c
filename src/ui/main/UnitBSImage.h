#pragma once
// The picture control the painters of the display library draw into: a
// widget that shows a TImage, keeps the image's size equal to its own and
// reports the mouse. Used by the seek bar and the graphs of the main window
// and by the details window's mini graph. Main thread only.

#include "UnitBitmaps.h"

#include <QWidget>

namespace kp {

class TBS_Image : public QWidget {
  Q_OBJECT
public:
  explicit TBS_Image(QWidget *parent = nullptr);
  ~TBS_Image() override;

  // The image painters draw into; its Width and Height follow the widget.
  TImage *Image() { return &FImage; }

signals:
  // After the image took the widget's new size; the owner resizes its
  // painters and redraws.
  void Resized();
  void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
  void MouseMove(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers, int x, int y);
  void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, int x, int y);
  void MouseEnter();
  void MouseLeave();

protected:
  void paintEvent(QPaintEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;
  void mousePressEvent(QMouseEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void enterEvent(QEnterEvent *event) override;
  void leaveEvent(QEvent *event) override;

private:
  TImage FImage;
};

} // namespace kp
