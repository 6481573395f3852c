// Replays files (or every file in folders) through a harness without
// libFuzzer: the regression corpus as an ordinary test. Fails when an input
// takes longer than the time limit; crashes fail by themselves.
//
// Usage: kp_fuzzreplay_<harness> [--max-seconds S] [--peaks] PATH...
// --peaks prints each input's peak of live allocated bytes (sanitizer builds).

#include "FuzzSupport.h"

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

QStringList InputsOf(const QString &path)
{
  if (!QFileInfo(path).isDir()) return {path};
  QStringList files;
  QDirIterator it(path, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) files << it.next();
  std::sort(files.begin(), files.end());
  return files;
}

} // namespace

int main(int argc, char **argv)
{
  double maxSeconds = 1.0;
  bool peaks = false;
  QStringList inputs;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--max-seconds") == 0 && i + 1 < argc) {
      maxSeconds = std::stod(argv[++i]);
      continue;
    }
    if (std::strcmp(argv[i], "--peaks") == 0) {
      peaks = true;
      continue;
    }
    inputs << InputsOf(QString::fromLocal8Bit(argv[i]));
  }
  LLVMFuzzerInitialize(&argc, &argv);
  int slow = 0, unreadable = 0;
  for (const QString &name : inputs) {
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly)) {
      std::fprintf(stderr, "cannot read %s\n", qPrintable(name));
      ++unreadable;
      continue;
    }
    const QByteArray bytes = f.readAll();
    const auto start = std::chrono::steady_clock::now();
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()), size_t(bytes.size()));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (peaks)
      std::printf("%s: %lld bytes, peak %lld bytes allocated, %.3f s\n", qPrintable(name),
                  static_cast<long long>(bytes.size()), static_cast<long long>(kpfuzz::TAllocationBound::Peak()),
                  seconds);
    if (seconds > maxSeconds) {
      std::fprintf(stderr, "%s took %.3f s (limit %.3f s)\n", qPrintable(name), seconds, maxSeconds);
      ++slow;
    }
  }
  std::printf("replayed %lld inputs, %d slow, %d unreadable\n", static_cast<long long>(inputs.size()), slow,
              unreadable);
  return slow == 0 && unreadable == 0 && !inputs.isEmpty() ? 0 : 1;
}
