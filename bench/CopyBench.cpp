// Copying a trip with the copy window's engine against `cp -p` and a sync
// of the target's file system: the engine syncs every file before it takes
// its name, cp leaves that to the sync. Checks that the copies keep the
// sources' times and read-only marks. Run by hand (kp_copy_bench --help).

#include "UnitFileManager.h"
#include "UnitFormCopyThread.h"
#include "UnitUtils.h"

#include "BenchCommandLine.h"
#include "BenchFigures.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>

using namespace kp;
using kpbench::Median;
using kpbench::Run;
using kpbench::Seconds;

namespace {

const char *const kUsage =
    "usage: kp_copy_bench [WORK_FOLDER [FILE_COUNT [MEGABYTES_A_FILE]]]\n"
    "Copies a trip of FILE_COUNT videos (default 90) of MEGABYTES_A_FILE (default 2.8), each with a\n"
    "track, with the copy window's engine and with cp -p and a sync, five times each, and\n"
    "compares the times. WORK_FOLDER (default: a new temporary folder) must be missing or\n"
    "empty; everything written there is removed at the end. Exits 0 within the limit,\n"
    "1 when the sources cannot be written, 2 on a usage mistake, 3 over the limit.\n";

// Videos of Size bytes with a small track each; every fifth video locked,
// all with last-write times of a day in 2024.
TFileItem MakeTrip(const QString &folder, int count, qint64 size)
{
  TFileItem item;
  QByteArray data(size, Qt::Uninitialized);
  for (int i = 0; i < count; ++i) {
    QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(data.data()), data.size() / 4);
    TFileItemSubitem f;
    f.FileName = folder + QStringLiteral("/FILE%1.MOV").arg(i, 4, 10, QLatin1Char('0'));
    f.TrackFileName = ChangeFileExt(f.FileName, QStringLiteral(".DAT"));
    f.Size = size;
    QFile video(f.FileName), track(f.TrackFileName);
    if (!video.open(QIODevice::WriteOnly) || video.write(data) != size || !track.open(QIODevice::WriteOnly) ||
        track.write(data.left(40000)) != 40000)
      return {};
    video.close();
    track.close();
    for (const QString &path : {f.FileName, f.TrackFileName}) {
      const struct timespec times[2] = {{1718000000 + i * 60, 250000000}, {1718000000 + i * 60, 500000000}};
      ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
      if (i % 5 == 0) SetFileLocked(path, true);
    }
    item.Files.push_back(f);
  }
  return item;
}

double CopyWithEngine(const TFileItem &item, const QString &target)
{
  QElapsedTimer clock;
  clock.start();
  TFormCopyThread copy(item, target);
  copy.Start();
  while (!copy.Snapshot().Finished) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  const double seconds = Seconds(clock);
  if (!copy.Snapshot().Error.isEmpty()) std::printf("engine failed: %s\n", qPrintable(copy.Snapshot().Error));
  return seconds;
}

// `cp -p` of Files into Folder, then a sync of Folder's file system.
void CopyWithCp(const QStringList &files, const QString &folder, std::vector<double> &cp, std::vector<double> &sync)
{
  QDir().mkpath(folder);
  QElapsedTimer clock;
  clock.start();
  Run(QStringLiteral("cp"), QStringList{QStringLiteral("-p"), QStringLiteral("--")} + files + QStringList{folder});
  cp.push_back(Seconds(clock));
  clock.restart();
  Run(QStringLiteral("sync"), {QStringLiteral("-f"), QStringLiteral("--"), folder});
  sync.push_back(Seconds(clock));
}

// Differences in last-write time or lock between sources and copies.
int Mismatches(const QStringList &sources, const QString &target)
{
  int bad = 0;
  for (const QString &source : sources) {
    const QString copy = target + QLatin1Char('/') + ExtractFileName(source);
    struct stat a {
    }, b{};
    if (::stat(QFile::encodeName(source).constData(), &a) != 0 ||
        ::stat(QFile::encodeName(copy).constData(), &b) != 0 || a.st_mtim.tv_sec != b.st_mtim.tv_sec ||
        a.st_mtim.tv_nsec != b.st_mtim.tv_nsec || IsFileLocked(source) != IsFileLocked(copy))
      ++bad;
  }
  return bad;
}

} // namespace

int main(int argc, char **argv)
{
  const kpbench::TCommandLine line = kpbench::ReadCommandLine(argc, argv, kUsage, 3);
  if (line.Exit >= 0) return line.Exit;
  const int count = kpbench::CountArgument(line.Names.value(1), 90, 1);
  bool sizeOk = true;
  const double megabytes = line.Names.value(2).isEmpty() ? 2.8 : line.Names.value(2).toDouble(&sizeOk);
  if (count < 0 || !sizeOk || !(megabytes >= 0.001 && megabytes <= 4000)) {
    std::fprintf(stderr, "FILE_COUNT must be a whole number from 1, MEGABYTES_A_FILE from 0.001 to 4000\n%s", kUsage);
    return 2;
  }
  QCoreApplication app(argc, argv);
  const kpbench::TWorkFolder folder(QStringLiteral("kp_copy_bench"), line.Names.value(0));
  if (!folder.Ok()) {
    std::fprintf(stderr, "%s\n", qPrintable(folder.Error()));
    return 2;
  }
  const QString work = folder.Path();
  const qint64 size = qint64(megabytes * 1e6) / 4 * 4;
  const QString sources = work + QStringLiteral("/sources");
  QDir().mkpath(sources);
  const TFileItem trip = MakeTrip(sources, count, size);
  if (trip.Files.empty()) {
    std::printf("cannot write the sources in %s\n", qPrintable(sources));
    return 1;
  }
  QStringList files;
  for (const TFileItemSubitem &f : trip.Files) files << f.FileName << f.TrackFileName;
  std::printf("%d videos of %.1f MB with their tracks (%.0f MB) in %s\n", count, double(size) / 1e6,
              double(size + 40000) * count / 1e6, qPrintable(work));

  std::vector<double> engine, cp, sync;
  int bad = 0;
  // Whoever copies first after a round's removal meets the file system
  // reclaiming its inodes: the order alternates.
  for (int round = 0; round < 5; ++round) {
    const QString a = work + QStringLiteral("/engine%1").arg(round), b = work + QStringLiteral("/cp%1").arg(round);
    if (round % 2 == 1) CopyWithCp(files, b, cp, sync);
    engine.push_back(CopyWithEngine(trip, a));
    bad += Mismatches(files, a);
    if (round % 2 == 0) CopyWithCp(files, b, cp, sync);
    for (const QString &folder : {a, b}) {
      for (const QString &f : QDir(folder).entryList(QDir::Files)) SetFileLocked(folder + QLatin1Char('/') + f, false);
      QDir(folder).removeRecursively();
    }
  }
  const double limit = 1.5 * Median(cp) + Median(sync);
  std::printf("engine (synced, times and locks set): %.3f s   (median of 5)\n", Median(engine));
  std::printf("cp -p: %.3f s   sync: %.3f s   limit 1.5 x cp -p + sync: %.3f s\n", Median(cp), Median(sync), limit);
  std::printf("copies with another time or lock than their source: %d\n", bad);
  std::printf("%s\n", Median(engine) <= limit && bad == 0 ? "within the limit" : "OVER THE LIMIT");
  for (const QString &f : files) SetFileLocked(f, false);
  return Median(engine) <= limit && bad == 0 ? 0 : 3;
}
