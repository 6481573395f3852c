#pragma once
// Shared by every harness: a pinned environment (time zone, file times,
// format register kept in memory), scratch folders, and the memory bound a
// single input must respect. The same harness sources build as libFuzzer
// targets (clang) and as plain replay programs (any compiler), so the
// entry point is always LLVMFuzzerTestOneInput.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv);

namespace kpfuzz {

// Pins local time, formats, file times and the format register; idempotent.
void PinEnvironment();

// A folder private to this process, removed at exit.
QString ScratchDir();
// A fresh empty folder (two levels below the scratch folder) for one input;
// removed by the next call (or at exit).
QString FreshDir();

// Writes bytes to a file; false on failure.
bool WriteFile(const QString &path, QByteArrayView bytes);

// While alive, counts the bytes allocated (live peak) and aborts with a
// report when they pass Multiple x inputSize + Allowance. Only sanitizer
// builds can count; elsewhere it does nothing.
class TAllocationBound {
public:
  static constexpr int64_t Multiple = 64;
  static constexpr int64_t Allowance = 32 << 20;
  explicit TAllocationBound(size_t inputSize);
  ~TAllocationBound();
  TAllocationBound(const TAllocationBound &) = delete;
  TAllocationBound &operator=(const TAllocationBound &) = delete;
  // Peak of live bytes since construction (0 when not counted).
  static int64_t Peak();
};

// A few input-driven choices without a separate prefix, so seed files stay
// the real files: the choice is a hash of the input's length and edges.
uint32_t InputChoice(const uint8_t *data, size_t size);

} // namespace kpfuzz
