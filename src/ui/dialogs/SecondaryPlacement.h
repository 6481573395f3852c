#pragma once
// Keeps every secondary window of the program whole on the screen that holds
// the main window: each window still places itself (beside the main window,
// centred by Qt, or where the user left it), and this one rule then moves it
// in, and shrinks it when it is larger than the screen. A window nobody
// placed opens centred on the main window instead of where the window
// manager would cascade it. Frameless windows (the full-screen view, tips)
// and popups place themselves. Main thread only.

#include <QMargins>
#include <QObject>
#include <QPointer>
#include <QRect>

class QWidget;

namespace kp {

// Outer moved (and first shrunk to Area's size when larger) to lie wholly
// inside Area.
QRect FitInside(QRect outer, const QRect &area);

class TSecondaryPlacement : public QObject {
  Q_OBJECT
public:
  // Watches every window of the application while Main lives.
  explicit TSecondaryPlacement(QWidget *main);

  // Puts Window on Main's screen as described above.
  static void Place(QWidget &window, const QWidget &main);

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  QPointer<QWidget> FMain;
};

} // namespace kp
