// The cut path: a full read of the movie, one or two fragments of it copied
// into a new movie, an optional subtitle track, and the moov rebuilt from
// the source's. Reaches the template patches and the sample sizes that
// drive the copy buffer. The choices come from the input itself, so the
// seeds stay plain movie files.

#include "Errors.h"
#include "FuzzSupport.h"
#include "UnitMOVWriter.h"

namespace {

struct TCut {
  double P1, P2, Speed;
  bool BigFPS, Video, Audio;
};

constexpr TCut kCuts[] = {
    {0.0, 1.0, 1.0, false, true, true},
    {0.2, 0.7, 2.0, true, true, true},
    {0.1, 0.9, 8.0, false, true, false},
    {0.3, 0.6, 0.5, false, false, true},
};

void Cut(kp::TMOVReader &reader, uint32_t choice)
{
  const QString out = kpfuzz::ScratchDir() + QStringLiteral("/cut.mov");
  kp::TMOVWriterLimits limits;
  if (choice & 0x10) {
    // Small limits split the mdat and switch to 64-bit offsets early.
    limits.MdatSplit = 4096;
    limits.Co64From = 2048;
  }
  kp::TMOVWriter writer(out, limits);
  const TCut &c = kCuts[choice & 3];
  double p1 = c.P1, p2 = c.P2;
  const kp::TMOVProgressEvent progress = [](double, double) { return true; };
  writer.AppendFragment(p1, p2, c.Speed, c.BigFPS, reader, progress, c.Video, c.Audio);
  if (choice & 0x20) {
    double q1 = 0.5, q2 = 1.0;
    writer.AppendFragment(q1, q2, 1.0, false, reader, progress, true, true);
  }
  if (choice & 0x40) {
    writer.AddTextTrack("Fuzz", 0x55c4);
    kp::TSubtitleItems items(2);
    items[0].Text = "N 55.7558 E 37.6173 42 km/h";
    items[0].EndTime = 1.0 / 86400;
    items[1].Text = "N 55.7560 E 37.6180 44 km/h";
    items[1].StartTime = 1.0 / 86400;
    items[1].EndTime = 2.0 / 86400;
    writer.WriteSubtitles(items);
  }
  writer.WriteMoov(&reader);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  kpfuzz::TAllocationBound bound(size);
  QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
  kp::TMOVReader reader(std::make_unique<kp::TMemoryStream>(bytes), false);
  bool written = false;
  try {
    Cut(reader, kpfuzz::InputChoice(data, size));
    written = true;
  } catch (const kp::EStreamError &) {
    // A source that cannot be read or an output that cannot be written is
    // reported to the user; only other exceptions are faults.
  } catch (const kp::EConvertError &) {
  }
  if (written) {
    // The written movie goes back through the reader, as the player would.
    kp::TMOVReader check(kpfuzz::ScratchDir() + QStringLiteral("/cut.mov"), false);
    (void)check.GetFrameTypes();
    // A movie written from a template with a moov has one itself.
    if (reader.HasMoov() && !check.HasMoov()) __builtin_trap();
  }
  return 0;
}
