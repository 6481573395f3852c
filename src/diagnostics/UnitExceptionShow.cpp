#include "UnitException.h"
#include "DiagnosticsLog.h"
#include "WorkerThreads.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <cstdio>

namespace kp {

namespace {

// Guards the pointer, not the reporter: SetMessage takes the reporter's own
// lock, and the reporter is only destroyed on the main thread.
std::mutex g_reporterLock;
TShowMesThread *g_reporter = nullptr;

void WriteToStandardError(const QString &report) noexcept
{
  try {
    const QByteArray bytes = report.toUtf8();
    std::fprintf(stderr, "%s\n", bytes.constData());
  } catch (...) {
  }
}

void LogShowFailure(const char *why) noexcept
{
  try {
    qCWarning(lcKpDiagnostics) << "the report could not be shown:" << why;
  } catch (...) {
  }
}

class TStandardErrorShower final : public TReportShower {
public:
  void Show(const QString &report) override { WriteToStandardError(report); }
};

} // namespace

std::unique_ptr<TReportShower> MakeMessageBoxShower(); // UnitExceptionBox.cpp

std::unique_ptr<TReportShower> MakeDefaultReportShower()
{
  if (auto box = MakeMessageBoxShower()) return box;
  return std::make_unique<TStandardErrorShower>();
}

TShowMesThread::TShowMesThread(std::unique_ptr<TReportShower> shower, QObject *parent)
  : QObject(parent), FShower(std::move(shower))
{
}

TShowMesThread::~TShowMesThread() = default;

void TShowMesThread::SetMessage(const QString &text) noexcept
{
  try {
    {
      std::lock_guard guard(FLock);
      FPending = text;
    }
    // One queued call at a time; it shows whatever is pending when it runs.
    if (!FPosted.exchange(true)) QMetaObject::invokeMethod(this, &TShowMesThread::ShowPending, Qt::QueuedConnection);
  } catch (...) {
  }
}

QString TShowMesThread::TakePending()
{
  std::lock_guard guard(FLock);
  QString text;
  text.swap(FPending);
  return text;
}

QString TShowMesThread::Pending() const
{
  std::lock_guard guard(FLock);
  return FPending;
}

void TShowMesThread::ShowPending()
{
  FPosted.store(false);
  // A box's own event loop brings us back here while it is open.
  if (FShowing) return;
  FShowing = true;
  try {
    for (QString text = TakePending(); !text.isEmpty(); text = TakePending()) {
      if (FShower) FShower->Show(text);
    }
  } catch (const std::exception &e) {
    LogShowFailure(e.what());
  } catch (...) {
    LogShowFailure("unknown exception");
  }
  FShowing = false;
}

void SetPendingReport(const QString &report) noexcept
{
  {
    std::lock_guard guard(g_reporterLock);
    if (g_reporter) {
      g_reporter->SetMessage(report);
      return;
    }
  }
  WriteToStandardError(report);
}

void InstallExceptionHook(std::unique_ptr<TReportShower> shower)
{
  PreloadUnwinder();
  if (!shower) shower = MakeDefaultReportShower();
  auto *reporter = new TShowMesThread(std::move(shower));
  TShowMesThread *previous = nullptr;
  {
    std::lock_guard guard(g_reporterLock);
    previous = g_reporter;
    g_reporter = reporter;
  }
  delete previous;
  SetWorkerFailureHandler([](const std::exception_ptr &exception) noexcept { ReportException(exception); });
}

void RemoveExceptionHook()
{
  TShowMesThread *reporter = nullptr;
  {
    std::lock_guard guard(g_reporterLock);
    reporter = g_reporter;
    g_reporter = nullptr;
  }
  SetWorkerFailureHandler(nullptr);
  delete reporter;
}

} // namespace kp
