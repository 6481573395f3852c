// What the exception reporter costs: every throw records its stack (the
// program links the throw interposer), and a report looks up names.
#include "UnitException.h"

#include <benchmark/benchmark.h>
#include <stdexcept>

namespace {

[[gnu::noinline]] int ThrowAtDepth(int depth)
{
  if (depth == 0) throw std::runtime_error("bench");
  const int below = ThrowAtDepth(depth - 1);
  benchmark::DoNotOptimize(below);
  return below + 1;
}

void BM_ThrowAndCatch(benchmark::State &state)
{
  for (auto _ : state) {
    try {
      ThrowAtDepth(static_cast<int>(state.range(0)));
    } catch (const std::exception &e) {
      benchmark::DoNotOptimize(&e);
    }
  }
}
BENCHMARK(BM_ThrowAndCatch)->Arg(1)->Arg(30);

// Record and forget, as a throw and the end of its exception do.
void BM_RecordThrowStack(benchmark::State &state)
{
  int object = 0;
  for (auto _ : state) kp::RecordThrowStack(&object, nullptr, 0)(&object);
}
BENCHMARK(BM_RecordThrowStack);

void BM_CallStackText(benchmark::State &state)
{
  for (auto _ : state) benchmark::DoNotOptimize(kp::GetCallStackText(0));
}
BENCHMARK(BM_CallStackText);

} // namespace

BENCHMARK_MAIN();
