#pragma once
// While it lives, the desktop has no program to open files or folders with:
// PATH names an empty folder and the variables that point at a desktop or a
// browser are unset. Restores them when it goes.

#include <QByteArray>
#include <QFile>
#include <QStringList>
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
  virtual ~TNoDesktopOpener()
  {
    qunsetenv("PATH");
    for (const auto &[name, value] : FSaved) qputenv(name.constData(), value);
  }
  TNoDesktopOpener(const TNoDesktopOpener &) = delete;
  TNoDesktopOpener &operator=(const TNoDesktopOpener &) = delete;

protected:
  QString Folder() const { return FEmpty.path(); }

private:
  QTemporaryDir FEmpty;
  std::vector<std::pair<QByteArray, QByteArray>> FSaved;
};

// While it lives, the desktop's opener is a script of the test's own: it
// notes every target it is given and ends with Status, as xdg-open does (0
// opened, 3 no program for that kind of file, 4 the program failed).
class TFakeDesktopOpener : public TNoDesktopOpener {
public:
  explicit TFakeDesktopOpener(int status)
  {
    QFile script(Folder() + QStringLiteral("/xdg-open"));
    if (!script.open(QIODevice::WriteOnly)) return;
    script.write("#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + QFile::encodeName(Log()) + "'\nexit " +
                 QByteArray::number(status) + "\n");
    script.close();
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }
  // The targets given so far, in order.
  QStringList Opened() const
  {
    QFile log(Log());
    if (!log.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  }

private:
  QString Log() const { return Folder() + QStringLiteral("/opened.txt"); }
};

} // namespace kptest
