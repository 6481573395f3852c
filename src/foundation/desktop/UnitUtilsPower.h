#pragma once
// Keeps the display awake through the session's screen-saver service
// (org.freedesktop.ScreenSaver): one inhibition at a time, taken and given
// back asynchronously so the interface never waits for the service. Where no
// such service runs, nothing happens.

#include <QDBusConnection>
#include <QObject>
#include <optional>

class QDBusPendingCallWatcher;

namespace kp {

class TScreenSaverInhibitor : public QObject {
  Q_OBJECT
public:
  explicit TScreenSaverInhibitor(const QDBusConnection &bus, QObject *parent = nullptr);
  ~TScreenSaverInhibitor() override;

  // Asks for the inhibition unless it is held or asked for already.
  void Inhibit();
  // Gives the inhibition back, also one whose answer is still on its way.
  void Release();

  bool Wanted() const { return m_wanted; }
  // True while the service holds an inhibition of ours.
  bool Held() const { return m_cookie.has_value(); }
  bool Pending() const { return m_pending; }

signals:
  // After every answer of the service to an inhibition request.
  void Answered();

private:
  void OnInhibitAnswer(QDBusPendingCallWatcher *watcher);
  void SendUnInhibit(uint cookie);

  QDBusConnection m_bus;
  bool m_wanted = false;
  bool m_pending = false;
  std::optional<uint> m_cookie;
};

} // namespace kp
