#pragma once

#include "UnitException.h"

#include <QStringList>
#include <functional>
#include <vector>

namespace kptest {

// The lines of a report or stack text.
QStringList ReportLines(const QString &text);

// Creates the core application once, for tests that run queued calls.
void EnsureCoreApplication();
// Runs the queued calls posted so far (the reporter's hand-over).
void RunQueuedCalls();

// Records what would have been shown, and how deeply Show was nested.
class TRecordingShower : public kp::TReportShower {
public:
  void Show(const QString &report) override;

  std::vector<QString> Shown;
  int Depth = 0;
  int MaxDepth = 0;
  std::function<void(const QString &)> WhileOpen;
};

// Installs the process-wide reporter with a recording shower for one test.
class TInstalledReporter {
public:
  TInstalledReporter();
  ~TInstalledReporter();
  TRecordingShower &Shower() { return *FShower; }

private:
  TRecordingShower *FShower;
};

} // namespace kptest

#include <ostream>
// Readable failure messages for QString values, and QString after "<<".
inline void PrintTo(const QString &text, std::ostream *os)
{
  *os << '"' << text.toStdString() << '"';
}
inline std::ostream &operator<<(std::ostream &os, const QString &text)
{
  return os << text.toStdString();
}
