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
constexpr int CallTimeoutMs = 5000;

QDBusMessage ScreenSaverCall(const QString &method)
{
  return QDBusMessage::createMethodCall(Service, Path, Interface, method);
}

} // namespace

TScreenSaverInhibitor::TScreenSaverInhibitor(const QDBusConnection &bus, QObject *parent)
    : QObject(parent), m_bus(bus)
{
}

TScreenSaverInhibitor::~TScreenSaverInhibitor()
{
  // The service also drops it when our connection closes; saying so is
  // quicker.
  if (m_cookie) SendUnInhibit(*m_cookie);
}

void TScreenSaverInhibitor::Inhibit()
{
  m_wanted = true;
  if (m_cookie || m_pending || !m_bus.isConnected()) return;
  QDBusMessage call = ScreenSaverCall(QStringLiteral("Inhibit"));
  const QString application =
      QCoreApplication::applicationName().isEmpty() ? QStringLiteral("kestril-player") : QCoreApplication::applicationName();
  call << application << QStringLiteral("Playing a recording");
  m_pending = true;
  auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, CallTimeoutMs), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, &TScreenSaverInhibitor::OnInhibitAnswer);
}

void TScreenSaverInhibitor::Release()
{
  m_wanted = false;
  if (!m_cookie) return; // a pending answer is given back when it arrives
  SendUnInhibit(*m_cookie);
  m_cookie.reset();
}

void TScreenSaverInhibitor::OnInhibitAnswer(QDBusPendingCallWatcher *watcher)
{
  watcher->deleteLater();
  m_pending = false;
  const QDBusPendingReply<uint> reply = *watcher;
  if (!reply.isError()) {
    if (m_wanted) m_cookie = reply.value();
    else SendUnInhibit(reply.value()); // released while the answer was on its way
  }
  // An error (no such service) leaves things as they are: playback goes on
  // with the desktop's own power settings.
  emit Answered();
}

void TScreenSaverInhibitor::SendUnInhibit(uint cookie)
{
  QDBusMessage call = ScreenSaverCall(QStringLiteral("UnInhibit"));
  call << cookie;
  m_bus.asyncCall(call, CallTimeoutMs); // nothing to do with its answer
}

} // namespace kp
