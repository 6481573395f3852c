#include "UnitMemCheck.h"

#include <algorithm>
#include <execinfo.h>

namespace kp {

namespace {

constexpr int kMaxSkip = 64;
constexpr int kMaxSites = 64;
constexpr int kMaxFront = 4;

// Keeps a call that ends a function from becoming a jump, which would take
// the caller's frame off the stack and shift every skip count by one.
inline void KeepFrame()
{
  asm volatile("" ::: "memory");
}

QString Hex(uintptr_t value, int minDigits)
{
  return QString::number(static_cast<qulonglong>(value), 16).toUpper().rightJustified(minDigits, u'0');
}

QString Widened(QString text)
{
  return text.replace(u'@', QStringLiteral(" @ "));
}

} // namespace

[[gnu::noinline]] int CaptureCallSites(uintptr_t *sites, int count, int skip) noexcept
{
  count = std::clamp(count, 0, kMaxSites);
  skip = std::clamp(skip, 0, kMaxSkip);
  std::fill_n(sites, count, uintptr_t{0});
  void *raw[kMaxFront + kMaxSkip + kMaxSites];
  const int n = backtrace(raw, kMaxFront + skip + count);
  // The list starts with our own call of backtrace(), or with more frames
  // when a sanitizer runtime intercepts it; our caller's call site is where
  // this routine returns to.
  const void *callerSite = __builtin_extract_return_addr(__builtin_return_address(0));
  int first = 1;
  for (int i = 0; i < std::min(n, kMaxFront); ++i) {
    if (raw[i] == callerSite) {
      first = i;
      break;
    }
  }
  int found = 0;
  for (int i = first + skip; i < n && found < count; ++i) {
    const auto ret = reinterpret_cast<uintptr_t>(raw[i]);
    if (ret == 0) break;
    sites[found++] = ret - 1;
  }
  KeepFrame();
  return found;
}

[[gnu::noinline]] void CaptureCallStack(TCallStackFrames &frames, int skip) noexcept
{
  CaptureCallSites(frames.data(), kCallStackDepth, std::max(skip, 0) + 1);
  KeepFrame();
}

QString DebugInfoForAddress(uintptr_t address)
{
  const TCodeLocation where = LocateAddress(address);
  if (!where.InModule) return Hex(address, 16) + u' ';
  const QString module = where.ModulePath.section(u'/', -1);
  QString text = module + u'@' + Hex(where.Offset, 8) + u' ' + where.Routine;
  if (!where.SourceFile.isEmpty()) text += QStringLiteral(" (%1:%2)").arg(where.SourceFile).arg(where.Line);
  return text;
}

QString CallStackLinesText(const TCallStackFrames &frames)
{
  QString text;
  for (uintptr_t site : frames) {
    // 0 marks an unfilled slot; tiny values are no code address.
    if (static_cast<intptr_t>(site) > 8) text += QStringLiteral("\r\n <> ") + DebugInfoForAddress(site);
  }
  return Widened(text);
}

[[gnu::noinline]] QString GetCallStackText(int skip, uintptr_t address)
{
  TCallStackFrames frames;
  CaptureCallSites(frames.data(), kCallStackDepth, std::max(skip, 0) + 1);
  QString text;
  if (address != 0) text = Widened(QStringLiteral(" => ") + DebugInfoForAddress(address));
  text += CallStackLinesText(frames);
  return text;
}

void PreloadUnwinder() noexcept
{
  void *one[1];
  backtrace(one, 1);
}

} // namespace kp
