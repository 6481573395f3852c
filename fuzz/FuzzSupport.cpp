#include "FuzzSupport.h"

#include "DateTime.h"
#include "UnitGpsConverters.h"
#include "UnitUtils.h"

#include <QDir>
#include <QFile>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define KP_FUZZ_COUNTS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KP_FUZZ_COUNTS 1
#endif
#endif

#ifdef KP_FUZZ_COUNTS
extern "C" {
int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void *, size_t),
                                              void (*freeHook)(const volatile void *));
size_t __sanitizer_get_allocated_size(const volatile void *p);
void __sanitizer_print_stack_trace();
}
#endif

namespace kpfuzz {

namespace {

// Mid-2015: file times of every probed file, inside the camera-era window.
constexpr kp::TDateTime kCreated = 42185.5;
constexpr kp::TDateTime kModified = 42185.5 + 1.0 / 24 / 60;

QString gScratch;
int gFresh = 0;

void RemoveScratch()
{
  if (!gScratch.isEmpty()) QDir(gScratch).removeRecursively();
}

#ifdef KP_FUZZ_COUNTS
std::atomic<bool> gCounting{false};
std::atomic<int64_t> gLive{0};
std::atomic<int64_t> gPeak{0};
std::atomic<int64_t> gLimit{0};

void Report(const char *text)
{
  const ssize_t ignored = write(2, text, __builtin_strlen(text));
  (void)ignored;
}

void MallocHook(const volatile void *, size_t size)
{
  if (!gCounting.load(std::memory_order_relaxed)) return;
  const int64_t live = gLive.fetch_add(int64_t(size), std::memory_order_relaxed) + int64_t(size);
  int64_t peak = gPeak.load(std::memory_order_relaxed);
  while (live > peak && !gPeak.compare_exchange_weak(peak, live, std::memory_order_relaxed)) {}
  if (live > gLimit.load(std::memory_order_relaxed)) {
    gCounting = false;
    char line[160];
    std::snprintf(line, sizeof line, "\n==kpfuzz== allocation bound passed: %lld bytes live, limit %lld\n",
                  static_cast<long long>(live), static_cast<long long>(gLimit.load()));
    Report(line);
    __sanitizer_print_stack_trace();
    std::abort();
  }
}

void FreeHook(const volatile void *p)
{
  if (!gCounting.load(std::memory_order_relaxed) || !p) return;
  gLive.fetch_sub(int64_t(__sanitizer_get_allocated_size(p)), std::memory_order_relaxed);
}
#endif

} // namespace

void PinEnvironment()
{
  static std::once_flag once;
  std::call_once(once, [] {
    kp::SetLocalTimeOffset(3.0 / 24);
    kp::SetFormatSettings(kp::TFormatSettings{});
    kp::SetNowProvider([] { return 46000.5; });
    kp::SetFileTimesSource([](const QString &, kp::TDateTime &created, kp::TDateTime &modified) {
      created = kCreated;
      modified = kModified;
      return true;
    });
    // The register would otherwise persist every recognised format.
    kp::SetGpsFormatsWriter([](const QString &) {});
#ifdef KP_FUZZ_COUNTS
    __sanitizer_install_malloc_and_free_hooks(MallocHook, FreeHook);
#endif
  });
}

QString ScratchDir()
{
  if (gScratch.isEmpty()) {
    QByteArray templ = QDir::tempPath().toLocal8Bit() + "/kpfuzz-XXXXXX";
    if (mkdtemp(templ.data())) {
      gScratch = QString::fromLocal8Bit(templ);
      std::atexit(RemoveScratch);
    } else {
      gScratch = QDir::tempPath();
    }
  }
  return gScratch;
}

QString FreshDir()
{
  // Two levels down, so the probes of the folders around a video stay
  // inside the scratch folder.
  const QString base = ScratchDir() + QStringLiteral("/card/DCIM");
  QDir(base + QStringLiteral("/in%1").arg(gFresh)).removeRecursively();
  ++gFresh;
  const QString dir = base + QStringLiteral("/in%1").arg(gFresh);
  QDir().mkpath(dir);
  return dir;
}

bool WriteFile(const QString &path, QByteArrayView bytes)
{
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return f.write(bytes.data(), bytes.size()) == bytes.size();
}

TAllocationBound::TAllocationBound(size_t inputSize)
{
#ifdef KP_FUZZ_COUNTS
  gLive = 0;
  gPeak = 0;
  gLimit = Multiple * int64_t(inputSize) + Allowance;
  gCounting = true;
#else
  (void)inputSize;
#endif
}

TAllocationBound::~TAllocationBound()
{
#ifdef KP_FUZZ_COUNTS
  gCounting = false;
#endif
}

int64_t TAllocationBound::Peak()
{
#ifdef KP_FUZZ_COUNTS
  return gPeak.load();
#else
  return 0;
#endif
}

uint32_t InputChoice(const uint8_t *data, size_t size)
{
  uint32_t h = uint32_t(size) * 2654435761u;
  for (size_t i = 0; i < size && i < 4; ++i) h = (h ^ data[i]) * 16777619u;
  for (size_t i = size > 4 ? size - 4 : 0; i < size; ++i) h = (h ^ data[i]) * 16777619u;
  return h;
}

} // namespace kpfuzz

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
  kpfuzz::PinEnvironment();
  kpfuzz::ScratchDir();
  return 0;
}
