// Damaged copies of real files: truncated anywhere (densely inside the moov)
// and with random bytes flipped. The reader must return, without crashing,
// without reading outside the file, and without allocating for counts the
// file cannot back. Run under the sanitizers in CI.

#include "CorpusSupport.h"
#include "TestSupport.h"
#include "UnitMOV.h"

#include <QFileInfo>
#include <atomic>
#include <cstdlib>
#include <new>
#include <random>

using namespace kp;
using namespace kptest;

// The largest single allocation while a damaged file is parsed.
static std::atomic<size_t> gLargestAllocation{0};

namespace {

void *CountedAlloc(size_t n) noexcept
{
  size_t seen = gLargestAllocation.load(std::memory_order_relaxed);
  while (n > seen && !gLargestAllocation.compare_exchange_weak(seen, n)) {}
  return std::malloc(n ? n : 1);
}

void *CountedAllocOrThrow(size_t n)
{
  if (void *p = CountedAlloc(n)) return p;
  throw std::bad_alloc();
}

} // namespace

// Every unaligned form, so that each allocation pairs with its release.
void *operator new(size_t n)
{
  return CountedAllocOrThrow(n);
}
void *operator new[](size_t n)
{
  return CountedAllocOrThrow(n);
}
void *operator new(size_t n, const std::nothrow_t &) noexcept
{
  return CountedAlloc(n);
}
void *operator new[](size_t n, const std::nothrow_t &) noexcept
{
  return CountedAlloc(n);
}
void operator delete(void *p) noexcept
{
  std::free(p);
}
void operator delete[](void *p) noexcept
{
  std::free(p);
}
void operator delete(void *p, size_t) noexcept
{
  std::free(p);
}
void operator delete[](void *p, size_t) noexcept
{
  std::free(p);
}
void operator delete(void *p, const std::nothrow_t &) noexcept
{
  std::free(p);
}
void operator delete[](void *p, const std::nothrow_t &) noexcept
{
  std::free(p);
}

namespace {

int64_t MoovStart(const QByteArray &file)
{
  const qsizetype at = file.indexOf("moov");
  return at >= 4 ? at - 4 : 0;
}

int64_t MoovEnd(const QByteArray &file)
{
  const int64_t at = MoovStart(file);
  uint32_t size = 0;
  for (int i = 0; i < 4 && at + i < file.size(); ++i) size = (size << 8) | uint8_t(file.at(qsizetype(at + i)));
  return std::min<int64_t>(file.size(), at + size);
}

// Parses the damaged bytes both ways and checks what any caller relies on.
void Check(const QByteArray &bytes)
{
  gLargestAllocation = 0;
  for (bool headerOnly : {true, false}) {
    TMOVReader r(std::make_unique<TMemoryStream>(bytes), headerOnly);
    const int64_t size = bytes.size();
    for (const TMOVTrack &t : r.Tracks) {
      ASSERT_LE(t.SampleCount, std::max<int64_t>(size, 1));
      ASSERT_LE(int64_t(t.Samples.size()), t.SampleCount);
      for (const TMOVSample &s : t.Samples) {
        ASSERT_GE(s.Offset, 0);
        ASSERT_LE(s.Offset + s.Size, size);
      }
      TrackSampleIndexAt(t, 0.5L);
      TrackKeyFrameAtOrBefore(t, int32_t(t.Samples.size()) - 1);
    }
    r.GetFrameTypes();
    r.GetVideoFPS();
    r.GetVideoBitrate();
    DumpMOV(r, 3);
  }
  // A sample record per byte of the file at the very most; tables and
  // blocks never exceed the file itself.
  ASSERT_LE(gLargestAllocation.load(), size_t(std::max<qsizetype>(bytes.size(), 4096)) * sizeof(TMOVSample));
}

} // namespace

TEST(MOVMalformed, TruncatedFilesNeverCrash)
{
  KP_REQUIRE_CORPUS(files);
  for (const QString &file : files) {
    SCOPED_TRACE(qPrintable(QFileInfo(file).fileName()));
    const QByteArray bytes = readFileBytes(file);
    const int64_t moov = MoovStart(bytes);
    // Densely inside the moov (every byte of its first 1500, then sparser),
    // sparsely elsewhere.
    for (int64_t cut = moov, step = 1; cut < MoovEnd(bytes); cut += step) {
      if (cut - moov > 1500) step = 7;
      ASSERT_NO_FATAL_FAILURE(Check(bytes.left(cut))) << "cut at " << cut;
    }
    for (int64_t cut = 0; cut < bytes.size(); cut += std::max<int64_t>(1, bytes.size() / 40))
      ASSERT_NO_FATAL_FAILURE(Check(bytes.left(cut))) << "cut at " << cut;
  }
}

TEST(MOVMalformed, FlippedBytesNeverCrash)
{
  KP_REQUIRE_CORPUS(files);
  std::mt19937 random(20261206);
  for (const QString &file : files) {
    SCOPED_TRACE(qPrintable(QFileInfo(file).fileName()));
    const QByteArray original = readFileBytes(file);
    const int64_t moov = MoovStart(original);
    const int64_t moovEnd = MoovEnd(original);
    // KP_MOV_FLIP_ROUNDS raises the count for a longer run by hand.
    const int rounds = std::max(400, qEnvironmentVariableIntValue("KP_MOV_FLIP_ROUNDS"));
    for (int round = 0; round < rounds; ++round) {
      QByteArray bytes = original;
      const int flips = 1 + int(random() % 4);
      for (int i = 0; i < flips; ++i) {
        // Mostly inside the moov, where every byte is a size, count or offset.
        const bool inMoov = random() % 8 != 0;
        const int64_t at =
            inMoov ? moov + int64_t(random() % uint32_t(moovEnd - moov)) : int64_t(random() % uint32_t(bytes.size()));
        // Either one bit, or a byte made large (the top bit of a size or count).
        const auto pos = qsizetype(at);
        bytes[pos] = random() % 2 ? char(bytes.at(pos) ^ (1 << (random() % 8))) : char(0x80 | random());
      }
      ASSERT_NO_FATAL_FAILURE(Check(bytes)) << "round " << round;
    }
  }
}
