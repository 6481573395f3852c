#pragma once
// Call stacks of the current thread and the text lines that name code
// addresses in exception reports.
//
// Stacks come from glibc's backtrace(), which walks the unwind tables, so
// frames are found without frame pointers. Each entry is a return address
// minus one: x86-64 call instructions vary in length, and one byte back is
// always inside the call, so the name and line are those of the call rather
// than of the statement after it.
//
// Address text. ASLR moves every module on each run, so an absolute address
// says nothing afterwards; the text names the module and the offset inside
// it instead:
//
//   "<module file name>@<offset> <routine>[ (<source file>:<line>)]"
//
// The offset is the address as the module's own file sees it (run-time
// address minus the module's load bias), so `addr2line -f -C -e <module>
// <offset>` finds the same place. It is written in upper-case hexadecimal
// with at least 8 digits (leading zeros kept; no real module is 4 GiB, so
// the width stays 8 in practice). An address that lies in no loaded module
// is written as all 16 digits of the absolute x86-64 address and a blank,
// with nothing after it. The routine is the demangled symbol from the
// module's symbol table (the program is linked with -rdynamic), and source
// file and line come from the module's DWARF when it carries any; either may
// be missing, and then the text ends early. GetCallStackText widens every
// "@" to " @ ".

#include <QString>
#include <array>
#include <cstdint>

namespace kp {

constexpr int kCallStackDepth = 27;
using TCallStackFrames = std::array<uintptr_t, kCallStackDepth>;

// Fills frames from the first slot with the call sites of the current
// thread, innermost first, after skipping `skip` frames: with skip 0 the
// first slot is the call of CaptureCallStack itself. Slots not filled are 0.
// No allocation; at most skip + 27 frames are visited.
void CaptureCallStack(TCallStackFrames &frames, int skip) noexcept;

// The same for any count of slots; the exception reporter keeps the throw
// site plus a full frame list.
int CaptureCallSites(uintptr_t *sites, int count, int skip) noexcept;

// One line of address text (format above).
QString DebugInfoForAddress(uintptr_t address);

// " => " and the text of address (when address is not 0), then one
// "\r\n <> " line per frame of the current stack after skipping `skip`
// frames (0: the first line is the call of GetCallStackText).
QString GetCallStackText(int skip, uintptr_t address = 0);

// The "\r\n <> " lines for a frame list captured earlier, "@" widened.
QString CallStackLinesText(const TCallStackFrames &frames);

// Where an address lies, for tools and tests that check the text.
struct TCodeLocation {
  bool InModule = false;
  QString ModulePath;   // file of the module, as the loader names it
  uintptr_t Offset = 0; // address as the module's file sees it
  QString Routine;      // demangled; empty when no symbol covers it
  QString SourceFile;   // file name without folders; empty without DWARF
  int Line = 0;
};
TCodeLocation LocateAddress(uintptr_t address);

// Loads the unwinder library that backtrace() opens on first use, so the
// first capture does not happen inside dlopen (call early, on the main
// thread).
void PreloadUnwinder() noexcept;

} // namespace kp
