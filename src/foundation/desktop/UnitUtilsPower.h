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

  bool Wanted() const { return FWanted; }
  // True while the service holds an inhibition of ours.
  bool Held() const { return FCookie.has_value(); }
  bool Pending() const { return FPending; }

signals:
  // After every answer of the service to an inhibition request.
  void Answered();

private:
  void OnInhibitAnswer(QDBusPendingCallWatcher *watcher);
  void SendUnInhibit(uint cookie);

  QDBusConnection FBus;
  bool FWanted = false;
  bool FPending = false;
  std::optional<uint> FCookie;
};

} // namespace kp
