#include "DiagnosticsTestSupport.h"

#include <QCoreApplication>
#include <algorithm>

namespace kptest {

QStringList ReportLines(const QString &text)
{
  return text.split(QStringLiteral("\r\n"));
}

void EnsureCoreApplication()
{
  if (QCoreApplication::instance()) return;
  static int argc = 1;
  static char name[] = "kp_diagnostics_tests";
  static char *argv[] = {name, nullptr};
  new QCoreApplication(argc, argv);
}

void RunQueuedCalls()
{
  QCoreApplication::sendPostedEvents();
}

void TRecordingShower::Show(const QString &report)
{
  ++Depth;
  MaxDepth = std::max(MaxDepth, Depth);
  Shown.push_back(report);
  if (WhileOpen) WhileOpen(report);
  --Depth;
}

TInstalledReporter::TInstalledReporter()
{
  EnsureCoreApplication();
  auto shower = std::make_unique<TRecordingShower>();
  FShower = shower.get();
  kp::InstallExceptionHook(std::move(shower));
}

TInstalledReporter::~TInstalledReporter()
{
  kp::RemoveExceptionHook();
}

} // namespace kptest
