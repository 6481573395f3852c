// The movie reader in header-only mode, as the catalogue opens every file on
// a card: the atom walk and the movie facts, without sample lists.

#include "FuzzSupport.h"
#include "UnitMOV.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  kpfuzz::TAllocationBound bound(size);
  QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
  // The catalogue opens files by name; one input in four goes that way.
  const QString path = kpfuzz::ScratchDir() + QStringLiteral("/header.mov");
  const bool byName = (kpfuzz::InputChoice(data, size) & 3) == 0 && kpfuzz::WriteFile(path, bytes);
  kp::TMOVReader reader =
      byName ? kp::TMOVReader(path, true) : kp::TMOVReader(std::make_unique<kp::TMemoryStream>(bytes), true);
  int32_t width = 0, height = 0;
  reader.GetVideoSize(width, height);
  volatile double sink = reader.GetVideoFPS() + reader.GetVideoBitrate();
  sink = sink + reader.HasPCMAudio() + double(reader.DurationMs) + reader.CreationTime;
  (void)sink;
  (void)kp::DumpMOV(reader, 0);
  (void)reader.LastError();
  return 0;
}
