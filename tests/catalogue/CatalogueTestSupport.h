#pragma once
// Pinned clock, offset, formats and words for the catalogue tests, plus
// helpers that build rows in memory.
#include "CatalogueFixtures.h"
#include "FileManagerTestAccess.h"
#include "TestSupport.h"
#include "UnitFileManager.h"

#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <mutex>
#include <gtest/gtest.h>

inline void PrintTo(const QString &s, std::ostream *os)
{
  *os << '"' << s.toStdString() << '"';
}
inline void PrintTo(const QStringList &l, std::ostream *os)
{
  *os << '[' << l.join(QStringLiteral(" | ")).toStdString() << ']';
}

namespace kpcat {

class CatalogueTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;
  // A catalogue that never searches, with unit words, counting notifications.
  std::unique_ptr<kp::TFileManager> MakeManager();
  QString Dir() const { return FDir.path(); }
  QString PathIn(const QString &relative) const { return FDir.filePath(relative); }
  // A movie of DurationMs with file times ending at End.
  QString AddMovie(const QString &relative, kp::TDateTime end, int64_t durationMs = 60000);
  // A file of Bytes at Relative, with its folders.
  QString Make(const QString &relative, const QByteArray &bytes = "x");

  int FNotified = 0;
  QTemporaryDir FDir;
  TFakeFileTimes FTimes;
};

// The owner's event queue: deliveries posted from the search thread run when
// the test drains it, as a queued signal would on the main thread.
class TPostQueue {
public:
  kp::TFileManagerPost Post();
  // Runs every job, including those the jobs post; how many ran.
  int Drain();
  size_t Size();

private:
  std::mutex FLock;
  std::deque<std::function<void()>> FJobs;
};

// A one-file row as the search would make it, recalculated.
kp::TFileItem Row(const QString &path, kp::TDateTime start, kp::TDateTime end, int64_t durationMs = -1);
// Paths of the rows' files, one text per row ("a+b").
QStringList RowPaths(const std::vector<kp::TFileItem> &rows);

} // namespace kpcat
