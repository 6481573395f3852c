// The movie reader in full mode, as playback and cutting open a file: the
// sample tables built into per-sample lists, then the frame-type text and
// the position queries every track answers.

#include "FuzzSupport.h"
#include "UnitMOV.h"

namespace {

// Fractions a seek bar produces, the edges and values just outside them.
constexpr long double kPositions[] = {-1.0L, 0.0L, 1e-9L, 0.25L, 0.5L, 0.999999L, 1.0L, 1.5L, 1e30L};

// What the players and the writer rely on: every listed sample lies inside
// the file, and decode times never go back (positions are found by
// bisection).
void CheckSamples(const kp::TMOVTrack &track, int64_t fileSize)
{
  int64_t last = 0;
  for (const kp::TMOVSample &s : track.Samples) {
    if (s.Offset < 0 || s.Size < 0 || s.Offset > fileSize - s.Size) __builtin_trap();
    if (s.DecodeTime < last) __builtin_trap();
    last = s.DecodeTime;
  }
}

void QueryTrack(const kp::TMOVTrack &track)
{
  const auto count = int32_t(track.Samples.size());
  for (long double p : kPositions) {
    const int32_t i = kp::TrackSampleIndexAt(track, p);
    const int32_t k = kp::TrackKeyFrameAtOrBefore(track, i);
    // Indexes handed out must be usable by the callers that index Samples.
    if (count > 0 && (i < 0 || i >= count)) __builtin_trap();
    if (k >= count) __builtin_trap();
  }
  (void)kp::TrackKeyFrameAtOrBefore(track, -1);
  (void)kp::TrackKeyFrameAtOrBefore(track, count + 5);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
  kpfuzz::TAllocationBound bound(size);
  QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
  kp::TMOVReader reader(std::make_unique<kp::TMemoryStream>(bytes), false);
  (void)reader.GetFrameTypes();
  for (const kp::TMOVTrack &track : reader.Tracks) {
    CheckSamples(track, int64_t(size));
    QueryTrack(track);
  }
  int32_t width = 0, height = 0;
  reader.GetVideoSize(width, height);
  volatile double sink = reader.GetVideoFPS() + reader.GetVideoBitrate() + reader.HasPCMAudio();
  (void)sink;
  (void)kp::DumpMOV(reader, 3);
  return 0;
}
