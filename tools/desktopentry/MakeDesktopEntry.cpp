// Writes the desktop entry that is installed beside the program: the very
// entry the program writes for itself, Exec naming the installed program,
// plus its icon and, outside the home folder, the types it opens. The
// install rules run it with the final paths, so the entry follows the
// prefix given at install time.
//
//   make-desktop-entry <installed program> <entry file to write>

#include "StartupSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <cstdio>

int main(int argc, char **argv)
{
  if (argc != 3) {
    std::fprintf(stderr, "usage: make-desktop-entry <installed program> <entry file>\n");
    return 2;
  }
  const QString program = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
  const QString path = QString::fromLocal8Bit(argv[2]);
  const QByteArray text = kp::InstalledDesktopEntryText(program).toUtf8();
  QFile out(path);
  if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
      out.write(text) != text.size() || !out.flush()) {
    std::fprintf(stderr, "make-desktop-entry: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
