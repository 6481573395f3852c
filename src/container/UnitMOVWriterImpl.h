#pragma once
// The writer's working records, shared by its source files only.

#include "Numbers.h"
#include "UnitMOVWriter.h"

#include <algorithm>

namespace kp {

// One source track during one AppendFragment call.
struct TMOVWriter::TCopyState {
  int32_t First = 0;
  int32_t Last = 0; // inclusive
  int32_t Cur = 0;
  int32_t DstCount = 0;
  int32_t Count = 0;
  long double OutTime = 0; // seconds
  int32_t DstIndex = -1;
  int32_t SinceKept = 0;
  int32_t RememberedP = 0;
  int32_t RememberedI = 0;
  int32_t KeptSinceKey = 0;
  bool Started = false; // a sample of this call has been written
  // Sound kept in step with the picture: its part ends at EndTime (output
  // seconds), and its first sample leaves out HeadFrames PCM frames that
  // lie before the first picture.
  bool Aligned = false;
  long double EndTime = 0;
  int32_t HeadFrames = 0;
};

struct TMOVWriter::TFragment {
  TMOVReader &Reader;
  double Speed = 1;
  bool BigFPS = false;
  const TMOVProgressEvent &OnProgress;
  std::vector<TCopyState> States;
  int32_t Step = 1;
  int32_t Gop = 0;
  int ProgressTrack = -1; // the source track whose copy reports progress
  int64_t Bytes = 0;      // sample bytes the fragment spans
  int64_t MdatBytes = 0;  // bytes in the mdat being written

  // Every n-th sound sample is kept when speeding up.
  int64_t SoundStep() const { return std::max<int64_t>(1, Round(Speed)); }
  // Times each sound sample is listed when slowing down (once otherwise).
  int64_t SoundRepeats() const { return Speed < 0.99 ? std::max<int64_t>(1, Round(1.0 / Speed)) : 1; }
};

struct TMOVWriter::TUndo {
  struct TTrack {
    size_t Count = 0;
    double LastDuration = 0;
  };
  int64_t Pos = 0;
  size_t OpenAtoms = 0;
  size_t TrackCount = 0;
  std::vector<TTrack> Tracks;
  int32_t TimeScale = 0;
  int64_t Duration = 0;
  int64_t DurationMs = 0;
  int CurTrack = -1;
};

// Big-endian fields inside a buffered atom body.
inline bool BodyHas(const QByteArray &body, int offset, int size)
{
  return offset >= 0 && size >= 0 && body.size() >= offset + size;
}

inline void PutU32(QByteArray &body, int offset, uint32_t v)
{
  for (int i = 0; i < 4; ++i) body[offset + i] = char(uint8_t(v >> (24 - 8 * i)));
}

inline void PutU64(QByteArray &body, int offset, uint64_t v)
{
  PutU32(body, offset, uint32_t(v >> 32));
  PutU32(body, offset + 4, uint32_t(v));
}

inline uint32_t GetU32(const QByteArray &body, int offset)
{
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = (v << 8) | uint8_t(body[offset + i]);
  return v;
}

} // namespace kp
