#pragma once
// The catalogue's row arrays as the tests and benchmarks see them, and the
// literal grouping pass the fast one is checked against.
#include "UnitFileManager.h"
#include "UnitFileManagerPairs.h"

namespace kp {

class TFileManagerTestAccess {
public:
  static std::vector<TFileItem> Rows(const TFileManager &fm) { return fm.Rows(); }
  static void SetRows(TFileManager &fm, std::vector<TFileItem> rows) { fm.SetRows(std::move(rows)); }
  static void AddGpsLog(TFileManager &fm, const TGPSLogFileItem &log) { fm.AddGpsLog(log); }
  static QStringList GetDatFiles(const TFileManager &fm) { return fm.GetDatFiles(); }
};

} // namespace kp

namespace kpcat {

inline std::vector<kp::TFileItem> Rows(const kp::TFileManager &fm)
{
  return kp::TFileManagerTestAccess::Rows(fm);
}
inline void SetRows(kp::TFileManager &fm, std::vector<kp::TFileItem> rows)
{
  kp::TFileManagerTestAccess::SetRows(fm, std::move(rows));
}
inline void AddGpsLog(kp::TFileManager &fm, const kp::TGPSLogFileItem &log)
{
  kp::TFileManagerTestAccess::AddGpsLog(fm, log);
}
inline QStringList GetDatFiles(const kp::TFileManager &fm)
{
  return kp::TFileManagerTestAccess::GetDatFiles(fm);
}

// The grouping rule read literally: join the best qualifying pair (lowest
// score, then gap, then positions), repeat. Cubic, so only for small lists.
inline bool AutoGroupRowsLiteral(std::vector<kp::TFileItem> &rows)
{
  using namespace kp::catalogue;
  bool joined = false;
  for (;;) {
    int bi = -1, bj = -1, bestScore = kWorstScore;
    double bestGap = 1;
    for (size_t i = 0; i < rows.size(); ++i) {
      for (size_t j = i + 1; j < rows.size(); ++j) {
        int score = 0;
        double gap = 1;
        if (!PairQualifies(rows[i], rows[j], score, gap)) continue;
        if (score < bestScore || (score == bestScore && gap < bestGap)) {
          bi = int(i);
          bj = int(j);
          bestScore = score;
          bestGap = gap;
        }
      }
    }
    if (bi < 0) return joined;
    QuickMerge(rows[size_t(bi)], rows[size_t(bj)]);
    RemoveRow(rows, size_t(bj));
    joined = true;
  }
}

} // namespace kpcat
