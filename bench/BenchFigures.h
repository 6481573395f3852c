// Small helpers shared by the benchmarks that time whole programs.
#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>
#include <algorithm>
#include <vector>

namespace kpbench {

inline double Seconds(const QElapsedTimer &clock)
{
  return double(clock.nsecsElapsed()) / 1e9;
}

// The middle value (the upper one of an even count): one slow run of a
// shared machine does not move it.
inline double Median(std::vector<double> v)
{
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Runs a program to its end; its errors go to ours. True when it exited 0.
inline bool Run(const QString &program, const QStringList &args)
{
  QProcess p;
  p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  p.start(program, args);
  return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace kpbench
