// Small figures shared by the benchmarks that time whole programs.
#pragma once

#include <QElapsedTimer>
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

} // namespace kpbench
