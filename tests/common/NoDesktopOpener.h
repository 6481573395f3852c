#pragma once
// While it lives, the desktop has no program to open files or folders with:
// PATH names an empty folder and the variables that point at a desktop or a
// browser are unset. Restores them when it goes.

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <utility>
#include <vector>

namespace kptest {

class TNoDesktopOpener {
public:
  TNoDesktopOpener()
  {
    for (const char *name : {"PATH", "BROWSER", "DEFAULT_BROWSER", "XDG_CURRENT_DESKTOP", "KDE_FULL_SESSION",
                             "GNOME_DESKTOP_SESSION_ID", "DESKTOP_SESSION"}) {
      if (qEnvironmentVariableIsSet(name)) FSaved.emplace_back(name, qgetenv(name));
      qunsetenv(name);
    }
    qputenv("PATH", QFile::encodeName(FEmpty.path()));
  }
  ~TNoDesktopOpener()
  {
    qunsetenv("PATH");
    for (const auto &[name, value] : FSaved) qputenv(name.constData(), value);
  }
  TNoDesktopOpener(const TNoDesktopOpener &) = delete;
  TNoDesktopOpener &operator=(const TNoDesktopOpener &) = delete;

private:
  QTemporaryDir FEmpty;
  std::vector<std::pair<QByteArray, QByteArray>> FSaved;
};

} // namespace kptest
