#pragma once
// Collects what one log category writes while the capture lives, so a test
// can check that a failure leaves a trace; other categories pass on to the
// handler installed before. One capture at a time.
#include <QLoggingCategory>
#include <QStringList>

#include <atomic>
#include <cstring>
#include <mutex>

namespace kptest {

class TLogCapture {
public:
  explicit TLogCapture(const char *category) : FCategory(category)
  {
    Current.store(this);
    FPrevious = qInstallMessageHandler(&Handle);
  }
  ~TLogCapture()
  {
    qInstallMessageHandler(FPrevious);
    Current.store(nullptr);
  }
  TLogCapture(const TLogCapture &) = delete;
  TLogCapture &operator=(const TLogCapture &) = delete;

  QStringList Lines() const
  {
    std::lock_guard lock(FLock);
    return FLines;
  }
  // The lines that contain Text.
  QStringList LinesWith(const QString &text) const { return Lines().filter(text); }

private:
  static void Handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
  {
    TLogCapture *self = Current.load();
    if (self && context.category && std::strcmp(context.category, self->FCategory) == 0) {
      std::lock_guard lock(self->FLock);
      self->FLines += text;
    } else if (self && self->FPrevious) {
      self->FPrevious(type, context, text);
    }
  }

  static inline std::atomic<TLogCapture *> Current{nullptr};
  const char *FCategory;
  QtMessageHandler FPrevious = nullptr;
  mutable std::mutex FLock;
  QStringList FLines;
};

} // namespace kptest
