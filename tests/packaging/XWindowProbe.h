#pragma once
// The X server as a window manager sees it: the top-level windows a process
// shows, their titles, and the close request a window's close button sends.
// Used on programs started as a user starts them, outside the test's own
// process.

#include <QList>
#include <QString>
#include <cstdint>

struct xcb_connection_t;

namespace kptest {

struct TXWindow {
  uint32_t Id = 0;
  QString Title;
};

class TXWindowProbe {
public:
  // Connects to $DISPLAY; Ok() says whether that worked.
  TXWindowProbe();
  ~TXWindowProbe();
  TXWindowProbe(const TXWindowProbe &) = delete;
  TXWindowProbe &operator=(const TXWindowProbe &) = delete;

  bool Ok() const { return FConnection != nullptr; }
  // The mapped top-level windows whose _NET_WM_PID is Pid.
  QList<TXWindow> ShownWindowsOf(int64_t pid);
  // Sends WM_DELETE_WINDOW, as a window manager does when the user closes
  // the window.
  void RequestClose(uint32_t window);

private:
  uint32_t Atom(const char *name);
  QByteArray Property(uint32_t window, uint32_t property, uint32_t type);

  xcb_connection_t *FConnection = nullptr;
  uint32_t FRoot = 0;
};

} // namespace kptest
