#pragma once
// The exception reporter installed for one test with a shower that keeps
// the reports instead of opening boxes. Main thread.

#include "TestSupport.h"
#include "UnitException.h"

#include <QCoreApplication>
#include <QStringList>
#include <memory>

namespace kptest {

class TReportRecorder {
public:
  TReportRecorder()
  {
    auto shower = std::make_unique<TShower>();
    FShower = shower.get();
    kp::InstallExceptionHook(std::move(shower));
  }
  ~TReportRecorder() { kp::RemoveExceptionHook(); }
  TReportRecorder(const TReportRecorder &) = delete;
  TReportRecorder &operator=(const TReportRecorder &) = delete;

  // The reports shown so far, once the hand-overs posted so far have run.
  QStringList Shown()
  {
    QCoreApplication::sendPostedEvents();
    return FShower->Shown;
  }
  // Waits for a report made on another thread.
  bool WaitForReport(int timeoutMs = 10000)
  {
    return waitUntil([this] { return !Shown().isEmpty(); }, timeoutMs);
  }

private:
  struct TShower : kp::TReportShower {
    void Show(const QString &report) override { Shown << report; }
    QStringList Shown;
  };
  TShower *FShower;
};

} // namespace kptest
