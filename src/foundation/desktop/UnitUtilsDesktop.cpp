#include "UnitUtilsDesktop.h"

#include "FoundationLog.h"
#include "UnitUtils.h"
#include "UnitUtilsFiles.h"
#include "UnitUtilsPower.h"

#include <QBuffer>
#include <QClipboard>
#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QPixmap>
#include <QPointer>
#include <QProcess>
#include <QUrl>

namespace kp {

namespace {

void OpenFolder(const QString &folder, const TDesktopFailure &failed)
{
  if (!folder.isEmpty()) OpenWithDesktop(folder, failed);
}

// The folder part of a path: the text up to its last separator.
QString FolderOf(const QString &path)
{
  const int slash = path.lastIndexOf(QLatin1Char('/'));
  if (slash < 0) return QFileInfo(path).absolutePath();
  return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

} // namespace

QImage LoadResourceBitmap(const QString &name)
{
  const QByteArray data = LoadResourceText(name);
  return data.isEmpty() ? QImage() : QImage::fromData(data);
}

QIcon LoadResourceIcon(const QString &name)
{
  QByteArray data = LoadResourceText(name);
  QIcon icon;
  if (data.isEmpty()) return icon;
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer);
  do {
    const QImage image = reader.read();
    if (!image.isNull()) icon.addPixmap(QPixmap::fromImage(image));
  } while (reader.jumpToNextImage());
  return icon;
}

QIcon ProgramIcon()
{
  QIcon icon;
  for (const char *name :
       {"kestril-player-16.png", "kestril-player-24.png", "kestril-player-32.png", "kestril-player-48.png",
        "kestril-player-64.png", "kestril-player-128.png", "kestril-player-256.png"}) {
    const QImage image = LoadResourceBitmap(QLatin1String(name));
    if (!image.isNull()) icon.addPixmap(QPixmap::fromImage(image));
  }
  return icon;
}

bool CopyTextToClipboard(const QByteArray &text, int codePage)
{
  if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance())) return false;
  QClipboard *clipboard = QGuiApplication::clipboard();
  if (!clipboard) return false;
  clipboard->setText(DecodeCodePage(text, codePage));
  return true;
}

void OpenWithDesktop(const QString &target, const TDesktopFailure &failed)
{
  if (target.isEmpty()) return;
  // Unparented: a program still running when this one quits is left alone
  // (a QProcess kills its child when it goes).
  auto *opener = new QProcess;
  opener->setProgram(QStringLiteral("xdg-open"));
  opener->setArguments({target});
  opener->setStandardInputFile(QProcess::nullDevice());
  opener->setStandardOutputFile(QProcess::nullDevice());
  opener->setProcessChannelMode(QProcess::ForwardedErrorChannel); // its own words, for the log reader
  const auto fail = [opener, target, failed](const QString &why) {
    qCWarning(lcKpFoundation).noquote() << "the desktop could not open" << target << "-" << why;
    opener->deleteLater();
    if (failed) failed(target);
  };
  QObject::connect(opener, &QProcess::errorOccurred, opener, [opener, fail](QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart) fail(opener->errorString());
  });
  QObject::connect(opener, &QProcess::finished, opener, [opener, fail](int code, QProcess::ExitStatus status) {
    if (status == QProcess::NormalExit && code == 0) {
      opener->deleteLater();
      return;
    }
    fail(status == QProcess::NormalExit ? QStringLiteral("exit status %1").arg(code) : opener->errorString());
  });
  opener->start();
}

void ShowInExplorer(const QString &path, const QDBusConnection &bus, const TDesktopFailure &failed)
{
  if (path.isEmpty()) return;
  const QFileInfo file(path);
  if (!file.exists() || !bus.isConnected()) {
    OpenFolder(FolderOf(path), failed);
    return;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
      QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
  call << QStringList{QUrl::fromLocalFile(file.absoluteFilePath()).toString(QUrl::FullyEncoded)} << QString();
  auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), QCoreApplication::instance());
  const QString folder = file.absolutePath();
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [folder, failed](QDBusPendingCallWatcher *w) {
    if (w->isError()) OpenFolder(folder, failed);
    w->deleteLater();
  });
}

void SetScreenSaverEnabled(bool enable)
{
  static QPointer<TScreenSaverInhibitor> inhibitor;
  if (!inhibitor) {
    if (!QCoreApplication::instance()) return;
    inhibitor = new TScreenSaverInhibitor(QDBusConnection::sessionBus(), QCoreApplication::instance());
  }
  if (enable)
    inhibitor->Release();
  else
    inhibitor->Inhibit();
}

} // namespace kp
