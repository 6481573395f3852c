// One import converter's parser on its own, so a fault points to one reader:
// recognition on the head, then the parse without the catch-all of Load (a
// parser has no business throwing), then Load as detection calls it.
// Built once per converter with KP_FUZZ_CONVERTER (class) and
// KP_FUZZ_CONVERTER_HEADER (its header).

#include "FuzzSupport.h"
#include KP_FUZZ_CONVERTER_HEADER

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  static KP_FUZZ_CONVERTER converter;
  kpfuzz::TAllocationBound bound(size);
  const QByteArrayView text(reinterpret_cast<const char *>(data), qsizetype(size));
  (void)converter.CanRead(text.first(std::min<qsizetype>(text.size(), 512)));

  kp::TTrackInfo info;
  info.Items.assign(static_cast<size_t>(std::min<qsizetype>(text.size() / 50, 4000) + 16), kp::TTrackInfoItem{});
  kp::TParseContext ctx;
  const bool parsed = converter.ParseText(text, info, ctx);
  if (parsed != !info.Items.empty()) __builtin_trap(); // success means items, and only then
  for (const kp::TTrackInfoItem &item : info.Items)
    if (item.Kind != kp::ikGps && item.Kind != kp::ikGSensor) __builtin_trap();

  kp::TTrackInfo loaded;
  if (converter.Load(text, loaded) != parsed) __builtin_trap();
  return 0;
}
