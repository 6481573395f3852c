#pragma once
// The main window's placement as the user leaves it: its state (never
// minimised) and normal rectangle, stored when they change. Every settings
// write replaces the store and syncs it to disk, so moves and resizes are
// coalesced by a short timer and flushed at close. Main thread only.

#include <QObject>
#include <QRect>
#include <QTimer>
#include <functional>

class QWidget;

namespace kp {

class TWindowPlacement : public QObject {
  Q_OBJECT
public:
  explicit TWindowPlacement(QWidget *window, int delayMs = 500);
  // Writes what changed since the last write.
  void Flush();

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void Note();

  QWidget *FWindow;
  QTimer FTimer;
  int FState = -1;
  QRect FNormal;
  bool FPending = false;
};

// Clears every setting but the installation id and the GPS formats met,
// after Close ran (the window's own shutdown may still write settings),
// then starts the program anew through Launch. False when Launch failed.
bool ResetAllSettings(const std::function<void()> &close, const std::function<bool()> &launch);

} // namespace kp
