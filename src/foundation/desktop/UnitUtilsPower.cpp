#include "UnitUtilsPower.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace kp {

namespace {

constexpr QLatin1String Service("org.freedesktop.ScreenSaver");
constexpr QLatin1String Path("/org/freedesktop/ScreenSaver");
constexpr QLatin1String Interface("org.freedesktop.ScreenSaver");
constexpr int kCallTimeoutMs = 5000;

QDBusMessage ScreenSaverCall(const QString &method)
{
  return QDBusMessage::createMethodCall(Service, Path, Interface, method);
}

} // namespace

TScreenSaverInhibitor::TScreenSaverInhibitor(const QDBusConnection &bus, QObject *parent) : QObject(parent), FBus(bus)
{
}

TScreenSaverInhibitor::~TScreenSaverInhibitor()
{
  // The service also drops it when our connection closes; saying so is
  // quicker.
  if (FCookie) SendUnInhibit(*FCookie);
}

void TScreenSaverInhibitor::Inhibit()
{
  FWanted = true;
  if (FCookie || FPending || !FBus.isConnected()) return;
  QDBusMessage call = ScreenSaverCall(QStringLiteral("Inhibit"));
  const QString application = QCoreApplication::applicationName().isEmpty() ? QStringLiteral("kestril-player")
                                                                            : QCoreApplication::applicationName();
  call << application << QStringLiteral("Playing a recording");
  FPending = true;
  auto *watcher = new QDBusPendingCallWatcher(FBus.asyncCall(call, kCallTimeoutMs), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, &TScreenSaverInhibitor::OnInhibitAnswer);
}

void TScreenSaverInhibitor::Release()
{
  FWanted = false;
  if (!FCookie) return; // a pending answer is given back when it arrives
  SendUnInhibit(*FCookie);
  FCookie.reset();
}

void TScreenSaverInhibitor::OnInhibitAnswer(QDBusPendingCallWatcher *watcher)
{
  watcher->deleteLater();
  FPending = false;
  const QDBusPendingReply<uint> reply = *watcher;
  if (!reply.isError()) {
    if (FWanted)
      FCookie = reply.value();
    else
      SendUnInhibit(reply.value()); // released while the answer was on its way
  }
  // An error (no such service) leaves things as they are: playback goes on
  // with the desktop's own power settings.
  emit Answered();
}

void TScreenSaverInhibitor::SendUnInhibit(uint cookie)
{
  QDBusMessage call = ScreenSaverCall(QStringLiteral("UnInhibit"));
  call << cookie;
  FBus.asyncCall(call, kCallTimeoutMs); // nothing to do with its answer
}

} // namespace kp
