#pragma once
// A file system of the test's own for the failures a user meets when saving:
// a tmpfs of 1 MiB mounted on a temporary folder, read-only, filled to the
// last byte, or empty (to fill up while a big file is written). Mounting
// needs root: under CI (which runs as root) a disk that cannot be mounted
// fails the test with the reason; elsewhere the test skips with it.

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

namespace kptest {

class TSmallDisk {
public:
  enum TKind { ReadOnly, Full, Small };

  explicit TSmallDisk(TKind kind) : FKind(kind)
  {
    const QByteArray dir = QFile::encodeName(FDir.path());
    if (::mount("tmpfs", dir.constData(), "tmpfs", kind == ReadOnly ? MS_RDONLY : 0, "size=1m,mode=0777") != 0) {
      FReason = QStringLiteral("cannot mount a tmpfs: ") + QString::fromLocal8Bit(std::strerror(errno));
      return;
    }
    FMounted = true;
    if (kind == Full) Fill();
  }
  ~TSmallDisk()
  {
    if (FMounted) ::umount2(QFile::encodeName(FDir.path()).constData(), MNT_DETACH);
  }
  TSmallDisk(const TSmallDisk &) = delete;
  TSmallDisk &operator=(const TSmallDisk &) = delete;

  bool Mounted() const { return FMounted; }
  const QString &Reason() const { return FReason; }
  QString Path(const QString &name = {}) const { return name.isEmpty() ? FDir.path() : FDir.path() + '/' + name; }
  const char *Name() const
  {
    return FKind == ReadOnly ? "read-only folder" : FKind == Full ? "full disk" : "disk that fills up";
  }
  // What is in the folder (hidden files too), less the file that fills it.
  QStringList Entries() const
  {
    QStringList entries =
        QDir(FDir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    entries.removeAll(QStringLiteral("filler"));
    return entries;
  }

  // The file system turns read-only, as a card whose lock is slid.
  bool MakeReadOnly()
  {
    return ::mount(nullptr, QFile::encodeName(FDir.path()).constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }
  // Takes the last free byte.
  void Fill()
  {
    const int fd = ::open(QFile::encodeName(Path(QStringLiteral("filler"))).constData(), O_WRONLY | O_CREAT, 0644);
    const QByteArray block(4096, 'f');
    while (fd >= 0 && ::write(fd, block.constData(), size_t(block.size())) > 0) {}
    while (fd >= 0 && ::write(fd, block.constData(), 1) > 0) {}
    if (fd >= 0) ::close(fd);
  }

private:
  TKind FKind;
  QTemporaryDir FDir;
  bool FMounted = false;
  QString FReason;
};

} // namespace kptest

// Declares Var as a small disk of Kind. Where it cannot be mounted the test
// fails under CI and skips elsewhere, each with the reason.
#define KP_SMALL_DISK(var, kind) \
  kptest::TSmallDisk var(kind); \
  do { \
    if (!var.Mounted()) { \
      if (kptest::underCI()) FAIL() << "no " << var.Name() << " under CI: " << var.Reason().toStdString(); \
      GTEST_SKIP() << "no " << var.Name() << ": " << var.Reason().toStdString(); \
    } \
  } while (0)
