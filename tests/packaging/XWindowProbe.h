#pragma once
// The X server as a window manager sees it: the top-level windows a process
// shows, their titles, and the close request a window's close button sends.
// Used on programs started as a user starts them, outside the test's own
// process.

#include <QImage>
#include <QList>
#include <QString>
#include <cstdint>

struct xcb_connection_t;

namespace kptest {

struct TXWindow {
  uint32_t Id = 0;
  QString Title;
  int64_t Pid = 0;
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
  // The mapped top-level windows of every process that names itself.
  QList<TXWindow> ShownWindows();
  // The pictures of a window's _NET_WM_ICON, the icon task bars and window
  // switchers show for it; none when it has no such property.
  QList<QImage> Icons(uint32_t window);
  // Sends WM_DELETE_WINDOW, as a window manager does when the user closes
  // the window.
  void RequestClose(uint32_t window);

private:
  uint32_t Atom(const char *name);
  // At most Words 32-bit units of the property.
  QByteArray Property(uint32_t window, uint32_t property, uint32_t type, uint32_t words = 1024);

  xcb_connection_t *FConnection = nullptr;
  uint32_t FRoot = 0;
};

} // namespace kptest
