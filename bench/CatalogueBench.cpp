// The catalogue on a card of 2,000 one-minute fragments (small files with a
// real moov and a ".dat" track beside each): the thread's whole pass with a
// warm cache, and its steps one by one: folder walk, preview, log matching
// and automatic grouping.
//
// Run by hand: kp_catalogue_bench --help.
#include "BenchCommandLine.h"
#include "CatalogueFixtures.h"
#include "FileManagerTestAccess.h"
#include "UnitFileManager.h"
#include "UnitUtilsFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <chrono>
#include <cstdio>
#include <random>

using namespace kp;
using namespace kpcat;

namespace {

const char *const kUsage = "usage: kp_catalogue_bench [WORK_FOLDER [FILE_COUNT]]\n"
                           "Times the catalogue on a generated card of FILE_COUNT one-minute fragments (default 2000,\n"
                           "at least 10): the search thread's whole pass, then walk, preview, log matching and\n"
                           "grouping. The card is written in WORK_FOLDER (default: a new temporary folder), which\n"
                           "must be missing or empty, and removed at the end. Exits 0 within the targets, 1 when\n"
                           "the card cannot be written, 2 on a usage mistake or over a target.\n";

using TClock = std::chrono::steady_clock;

double SecondsSince(TClock::time_point start)
{
  return std::chrono::duration<double>(TClock::now() - start).count();
}

// Trips of 20 to 120 consecutive fragments, an hour or more apart, spread
// over four camera folders; a card GPS log per folder.
bool MakeCard(const QString &root, int count)
{
  const QString stamp = root + QStringLiteral("/.complete-%1").arg(count);
  if (QFileInfo::exists(stamp)) return true;
  QDir(root).removeRecursively();
  std::mt19937 rng(2024);
  TDateTime t = kpcat::At(6, 0);
  int left = 0;
  for (int n = 1; n <= count; ++n) {
    if (left == 0) {
      left = 20 + int(rng() % 100);
      t += (60 + rng() % 300) / 1440.0; // the next trip starts 1 to 6 hours later
    }
    --left;
    const int folder = 100 + (n - 1) * 4 / count;
    const QString dir = root + QStringLiteral("/DCIM/%1MEDIA/").arg(folder);
    if (n == 1 || (n - 1) * 4 / count != (n - 2) * 4 / count) {
      QDir().mkpath(dir);
      QDir().mkpath(root + QStringLiteral("/GPS"));
      const QString log = root + QStringLiteral("/GPS/%1.log").arg(folder);
      if (!kpcat::WriteFile(log, kpcat::DatTrackBytes(t, 600))) return false;
    }
    const QString base = dir + QStringLiteral("FILE%1").arg(n, 4, 10, QLatin1Char('0'));
    const TDateTime end = t + 1.0 / 1440;
    if (!kpcat::WriteFile(base + ".MOV", kpcat::MovieBytes(60000, 640, 360, 10))) return false;
    if (!kpcat::WriteFile(base + ".dat", kpcat::DatTrackBytes(t, 60))) return false;
    SetFileTimes(base + ".MOV", 0, end);
    SetFileTimes(base + ".dat", 0, end);
    t = end + 2 / SecsPerDay;
  }
  return kpcat::WriteFile(stamp, "ok");
}

double FullPass(const QString &root, int &rows)
{
  const TClock::time_point start = TClock::now();
  TFileManager fm(
      true, [](int32_t) {}, [](std::function<void()>) {});
  fm.SetSearchRoots({root});
  fm.Start();
  fm.WaitFor();
  rows = fm.GetCount();
  return SecondsSince(start);
}

} // namespace

int main(int argc, char **argv)
{
  const kpbench::TCommandLine line = kpbench::ReadCommandLine(argc, argv, kUsage, 2);
  if (line.Exit >= 0) return line.Exit;
  const int count = kpbench::CountArgument(line.Names.value(1), 2000, 10, 1000000);
  if (count < 0) {
    std::fprintf(stderr, "FILE_COUNT must be a whole number from 10\n%s", kUsage);
    return 2;
  }
  QCoreApplication app(argc, argv);
  const kpbench::TWorkFolder folder(QStringLiteral("kp_catalogue_bench"), line.Names.value(0));
  if (!folder.Ok()) {
    std::fprintf(stderr, "%s\n", qPrintable(folder.Error()));
    return 2;
  }
  const QString root = folder.Path() + QStringLiteral("/card");
  std::printf("catalogue bench: %d fragments in %s\n", count, qPrintable(root));
  TClock::time_point start = TClock::now();
  if (!MakeCard(root, count)) {
    std::fprintf(stderr, "cannot write the card\n");
    return 1;
  }
  std::printf("  card ready                 %7.3f s\n", SecondsSince(start));

  int rows = 0;
  FullPass(root, rows); // warms the cache
  const double full = FullPass(root, rows);
  std::printf("  full pass (warm, incl. 200 ms start delay) %7.3f s, %d recordings   target < 2 s\n", full, rows);

  TFileManager fm(false, [](int32_t) {});
  start = TClock::now();
  fm.ScanFolder(root, 0, false);
  std::printf("  folder walk                %7.3f s, %d rows\n", SecondsSince(start), fm.GetCount());

  std::vector<TFileItem> items = Rows(fm);
  start = TClock::now();
  for (TFileItem &row : items) {
    fm.PreviewRow(row);
    fm.RecalcGroup(row);
  }
  std::printf("  preview                    %7.3f s\n", SecondsSince(start));
  SetRows(fm, items);

  start = TClock::now();
  fm.MatchGpsLogs();
  std::printf("  log matching               %7.3f s\n", SecondsSince(start));

  std::vector<TFileItem> ungrouped = Rows(fm);
  start = TClock::now();
  fm.AutoGroup();
  const double group = SecondsSince(start);
  std::printf("  auto-grouping (%zu rows)   %7.3f s, %d recordings   target < 0.2 s\n", ungrouped.size(), group,
              fm.GetCount());

  std::vector<TFileItem> small(ungrouped.begin(), ungrouped.begin() + std::min<size_t>(300, ungrouped.size()));
  std::vector<TFileItem> smallCopy = small;
  start = TClock::now();
  kp::catalogue::AutoGroupRows(small);
  const double fast300 = SecondsSince(start);
  start = TClock::now();
  AutoGroupRowsLiteral(smallCopy);
  std::printf("  grouping pass on 300 rows: incremental %.4f s, pair-by-pair %.4f s\n", fast300, SecondsSince(start));
  return full < 2.0 && group < 0.2 ? 0 : 2;
}
