#pragma once
// QuickTime/MP4 movie reading: the atom tree of a MOV or MP4 file turned into
// per-track records, sample lists and movie facts. The structures are shared
// with the movie writer, which builds the same tracks and samples.
//
// Movie files come from anyone's memory card, so every size and count read
// from one is hostile until checked against the bytes that can back it.

#include "ByteStream.h"
#include "DateTime.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

namespace kp {

enum TMOVTrackKind : uint8_t { mtkOther = 0, mtkVideo = 1, mtkAudio = 2, mtkText = 3 };

struct TMOVSample {
  int64_t Offset = 0;     // file offset of the sample's data
  int64_t DecodeTime = 0; // media units from the first sample
  double Duration = 0;    // media units (whole numbers when read)
  int32_t Size = 0;       // bytes
  int32_t CompositionOffset = 0;
  uint8_t DependencyFlags = 0; // sdtp byte
  bool KeyFrame = false;
};

struct TMOVSampleToChunk {
  int32_t FirstChunk = 0; // 0-based
  int32_t SamplesPerChunk = 0;
};

struct TMOVTimeToSample {
  uint32_t Count = 0;
  uint32_t Delta = 0;
};

struct TMOVCompositionOffset {
  uint32_t Count = 0;
  int32_t Offset = 0;
};

// The raw stbl tables, kept only until the sample list is built from them.
struct TMOVSampleTables {
  std::vector<int64_t> ChunkOffsets;
  std::vector<TMOVSampleToChunk> SampleToChunk;
  std::vector<int32_t> SyncSamples; // 0-based sample numbers
  std::vector<int32_t> SampleSizes; // one element: a constant size
  std::vector<TMOVTimeToSample> TimeToSample;
  std::vector<TMOVCompositionOffset> CompositionOffsets;
  QByteArray SampleDependency; // one byte per sample (sdtp)
  bool HasSyncSamples = false; // an stss was read, even an empty one

  void Clear() { *this = TMOVSampleTables(); }
};

struct TMOVTrack {
  int32_t TrackID = 0;
  TMOVTrackKind Kind = mtkOther;
  QByteArray HandlerType; // hdlr subtype, "vide", "soun", ...
  QByteArray Codec;       // first sample description's format, a..z upper-cased
  QByteArray HandlerName; // as stored, less a leading count byte
  uint16_t Language = 0;  // mdhd code as stored
  int64_t DurationMs = 0;
  int64_t Duration = 0; // media units (movie units until mdhd replaces it)
  int32_t TimeScale = 0;
  int32_t Width = 0, Height = 0;
  int64_t SampleCount = 0;
  int64_t TotalBytes = 0;
  int32_t PCMFrameSize = 0; // bytes per PCM frame when regrouped into chunks
  TDateTime CreationTime = 0;
  bool Written = false; // the writer's bookkeeping
  std::vector<TMOVSample> Samples;
  // Why the sample list is missing or cut short; empty when it is whole.
  QString ListError;
  TMOVSampleTables Tables;
};

// Seconds since 1904 as a date-time; 0, 1 and 0xFFFFFFFF mean "no time".
TDateTime MacTimeToDateTime(uint32_t seconds);

// Duration x 1000 / timeScale, truncated, without overflow (saturating).
int64_t DurationToMs(int64_t duration, int64_t timeScale);

// Shared by reader and writer: the tracks and movie facts, and the queries
// other subsystems ask of a movie.
class TMOVBaseFile {
public:
  virtual ~TMOVBaseFile() = default;

  std::unique_ptr<TByteStream> Stream;
  std::vector<TMOVTrack> Tracks;
  int CurTrack = -1; // index into Tracks, -1 outside a track
  int32_t TimeScale = 0;
  int64_t Duration = 0;
  int64_t DurationMs = 0;
  TDateTime CreationTime = 0;

  TMOVTrack *Current() { return CurTrack >= 0 && CurTrack < int(Tracks.size()) ? &Tracks[CurTrack] : nullptr; }

  const TMOVTrack *FindVideoTrack() const;
  void GetVideoSize(int32_t &width, int32_t &height) const;
  double GetVideoFPS() const;
  double GetVideoBitrate() const; // kbit/s
  bool HasPCMAudio() const;
};

class TMOVReader : public TMOVBaseFile {
public:
  // Called with the stream on the atom's body alone; atomEnd is its length.
  using THandler = void (TMOVReader::*)(int64_t atomEnd);
  struct TMOVAtomHandler {
    uint32_t FourCC;
    THandler Handler;
  };

  // Opens and parses at once; never throws. A file that cannot be read
  // yields a reader without moov (see LastError()).
  TMOVReader(const QString &fileName, bool headerOnly);
  // The same over a stream the reader takes over (tests, in-memory data).
  TMOVReader(std::unique_ptr<TByteStream> stream, bool headerOnly);

  bool HasMoov() const { return MoovSize > 0; }
  bool HeaderOnly() const { return FHeaderOnly; }

  // H.264 frame-type letters of the frames between the first key frame and
  // the next, in decode order ("I", "P", "B", "?", or "." without an access
  // unit delimiter); at most 1000.
  QString GetFrameTypes();

  // Why parsing stopped early, or empty; for logs and debugging.
  QString LastError() const { return FLastError; }
  // The file read, empty for a stream handed in.
  QString FileName() const { return FFileName; }

  bool InMoov = false;
  int64_t MoovPos = 0;
  int64_t MoovSize = 0;

private:
  void Parse();
  void RegisterHandlers();
  void RegisterAtom(const char *name, THandler handler);
  THandler FindAtomHandler(uint32_t fourCC) const;
  void Walk(int64_t end);
  void CallHandler(THandler handler, uint32_t code, int64_t body, int64_t length);
  void Note(const QString &what, int64_t offset, bool damage);

  uint8_t ReadVersion();
  QByteArray ReadFourCC();

  void DoContainer(int64_t end);
  void DoFree(int64_t end);
  void DoMoov(int64_t end);
  void DoTrak(int64_t end);
  void DoMvhd(int64_t end);
  void DoHdlr(int64_t end);
  void DoEnof(int64_t end);
  void DoTkhd(int64_t end);
  void DoMdhd(int64_t end);
  void DoStsd(int64_t end);
  void DoStts(int64_t end);
  void DoStsz(int64_t end);
  void DoStco(int64_t end);
  void DoCo64(int64_t end);
  void DoStsc(int64_t end);
  void DoStss(int64_t end);
  void DoCtts(int64_t end);
  void DoSdtp(int64_t end);
  uint32_t ReadEntryCount(int64_t end, int64_t entrySize);

  void BuildSampleTables();
  void BuildTrack(TMOVTrack &track);

  std::vector<TMOVAtomHandler> FHandlers;
  bool FHeaderOnly;
  TByteStream *FIn = nullptr; // the atom being read, or the level being walked
  int64_t FBase = 0;          // file offset of FIn's position 0
  int FDepth = 0;
  int FInFree = 0; // inside free space, where anything may stand
  QString FLastError;
  QString FFileName; // empty for a stream handed in
  QString FDamage;   // the first sign of a damaged file, for the log
};

// The sample at a fraction (0..1) of the track's duration.
int32_t TrackSampleIndexAt(const TMOVTrack &track, long double position);
// The nearest key frame at or before index, or -1 when there is none.
int32_t TrackKeyFrameAtOrBefore(const TMOVTrack &track, int32_t index);

// Stable text of a parsed movie (facts, tracks, and up to maxSamples samples
// per track): the golden output of tests and a debugging aid.
QString DumpMOV(const TMOVBaseFile &movie, int maxSamples = 0);

} // namespace kp
