#pragma once
// The borderless window the video panel (and, while the pointer is at the
// bottom edge, the bottom panel) moves into for full screen. It covers the
// monitor of the main window, or the whole desktop under the EVR renderer
// when the main window straddles monitors. Closing it closes the main
// window; its wheel goes to the main window's wheel rule. Main thread only;
// the main window owns it and the widgets it lends.

#include <QRect>
#include <QWidget>
#include <functional>

class QVBoxLayout;

namespace kp {

// The bounds of full screen: the main window's monitor, or the virtual
// desktop when EVR is chosen and the main window, shrunk by 100 pixels on
// every side, does not lie inside its monitor.
QRect FullScreenBounds(const QRect &mainWindow, const QRect &monitor, const QRect &desktop, bool evr);

class TFormFullScreen : public QWidget {
  Q_OBJECT
public:
  explicit TFormFullScreen(QWidget *mainWindow);

  // Whether the EVR renderer is chosen (read on every show).
  std::function<bool()> EvrChosen;
  // The wheel, at a global position: true when it was used.
  std::function<bool(QPoint globalPos, int delta)> Wheel;

  // The lent panels: the video fills the window, the bottom panel sits
  // below it at Height (its owner frees the height when it takes it back).
  void TakeVideo(QWidget *panel);
  void TakeBottom(QWidget *panel, int height);
  bool Holds(const QWidget *panel) const { return panel && panel->parentWidget() == this; }

protected:
  void showEvent(QShowEvent *event) override;
  void closeEvent(QCloseEvent *event) override;
  void wheelEvent(QWheelEvent *event) override;

private:
  QWidget *FMainWindow;
  QVBoxLayout *FLayout;
};

} // namespace kp
