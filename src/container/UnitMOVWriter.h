#pragma once
// Writing a new QuickTime movie out of parts of existing ones, without
// re-encoding: fragments of source movies are copied into mdat atoms (runs
// of samples that follow each other in one read and one write; speed
// changes and key-frame thinning sample by sample), an optional
// subtitle text track is added, and the moov is rebuilt last from a source's
// moov with freshly generated sample tables.
//
// The writer holds no UI: progress and cancellation come only through the
// callback, so the job may run on any one thread.

#include "UnitMOV.h"
#include "UnitUtils.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace kp {

// Seconds of output written so far, and the part of the current fragment
// copied; returning false stops the copy in an orderly way.
using TMOVProgressEvent = std::function<bool(double Seconds, double Fraction)>;

// Sizes at which a fragment continues in a further mdat and at which chunk
// offsets need 64 bits; small values let tests split with small files.
struct TMOVWriterLimits {
  int64_t MdatSplit = 1900000000;
  int64_t Co64From = 1900000000;
};

class TMOVWriter : public TMOVBaseFile {
public:
  // Creates or truncates the file (clearing a read-only attribute) and writes
  // the ftyp atom. Throws EStreamOpenError or EStreamWriteError.
  explicit TMOVWriter(const QString &fileName, TMOVWriterLimits limits = {});
  // The same over a file stream opened for writing (tests make it fail).
  TMOVWriter(std::unique_ptr<TFileStream> out, TMOVWriterLimits limits = {});
  // Closes every atom still open and flushes; never throws.
  ~TMOVWriter() override;

  // Copies the part P1..P2 (fractions of each source track's duration) of
  // the reader's tracks; P1 moves back to the preceding video key frame and
  // is written back. Returns false when onProgress asked to stop. A read or
  // write error rolls this call's output back (file and tracks as they were
  // before the call) and is rethrown. So does EConvertError, naming the
  // track, when a track to copy has no sample list because the reader could
  // not build one, or when the movie still holds no sample after the call.
  // Sound goes with the picture: it starts at the first picture copied
  // (PCM to the frame, other sound to the sample) and lasts as long as the
  // fragment's picture at every speed, so the next fragment's sound starts
  // with its own picture.
  bool AppendFragment(double &P1, double &P2, double Speed, bool BigFPS, TMOVReader &Reader,
                      const TMOVProgressEvent &OnProgress, bool Video, bool Audio);
  // The last AppendFragment found the samples of a track it copied ending
  // before P2 (a truncated source): the fragment came out shorter.
  bool LastFragmentClipped() const { return FLastFragmentClipped; }

  // Writes the moov from the template's moov; nothing without a template.
  // A movie without any video or sound sample is not written: like any
  // failure here, it removes the output file and throws (EConvertError).
  void WriteMoov(TMOVReader *Template);
  void CopyAtoms(TMOVReader &Template, int64_t EndPos);

  // The subtitle text track.
  void AddTextTrack(const QByteArray &Name, uint16_t Language);
  void SelectTextTrack();
  void WriteSubtitles(const TSubtitleItems &Items);
  void WriteTextSample(const QByteArray &Text, double Seconds);
  void WriteTextTrak();

  // Atom primitives, writing at the stream position.
  int64_t GetPos() const;
  void BeginAtom(const char *Name, int32_t Size);
  void EndAtom();
  void WriteVersionFlags(uint8_t Version, uint8_t F1, uint8_t F2, uint8_t F3);
  void WriteByte(uint8_t v) { FOut->WriteU8(v); }
  void WriteWord(uint16_t v) { FOut->WriteU16BE(v); }
  void WriteDWord(uint32_t v) { FOut->WriteU32BE(v); }
  void WriteInt64(uint64_t v) { FOut->WriteU64BE(v); }
  void WriteStr(const QByteArray &s) { FOut->WriteBlock(s); }

  // Index writers for CurTrack.
  void WriteChunkOffsets();
  void WriteStsc();
  void WriteStss();
  void WriteStsz();
  void WriteStts();
  void WriteCtts();
  void WriteSdtp();

  int OpenAtoms() const { return int(AtomStarts.size()); }
  TFileStream &Out() { return *FOut; }
  const TMOVWriterLimits &Limits() const { return FLimits; }

  std::vector<uint8_t> Buffer;
  std::vector<int64_t> AtomStarts;
  std::vector<int32_t> AtomSizes;

private:
  struct TCopyState;
  struct TFragment;
  struct TUndo;

  void WriteFtyp();
  bool CopyFragment(TFragment &f);
  void SetUpState(TFragment &f, int ti, double P1, double P2, bool Video, bool Audio);
  void ClipToSource(TFragment &f, const TMOVTrack &t, TCopyState &s);
  static int32_t DisplayClosedEnd(const TMOVTrack &t, int32_t first, int32_t last);
  void ChooseStep(TFragment &f);
  void AlignSound(TFragment &f, double p1, double p2);
  void CopySample(TFragment &f, int ti);
  void CopySound(TFragment &f, int ti);
  static bool FitSound(const TMOVTrack &d, const TCopyState &s, TMOVSample &part);
  void PadSound(TFragment &f);
  bool ThinKeyFrames(TFragment &f, int ti, TMOVSample &smp);
  void ReadSample(TMOVReader &reader, const TMOVSample &smp);
  void WriteSampleData(TFragment &f, TCopyState &s, TMOVSample &smp, bool inBuffer);
  void QueueRun(TByteStream &source, int64_t from, int64_t to, int32_t size);
  void FlushRun();
  void CheckListed(const TMOVReader &Reader, bool Video, bool Audio) const;
  void CheckNotEmpty(const QString &source) const;
  void RecomputeDurations();

  TUndo SaveUndo() const;
  void Rollback(const TUndo &undo) noexcept;

  int FindDestination(const TMOVTrack &source) const;
  void AssignTextTrackIDs(const TMOVReader &Template);
  bool UseCo64() const;
  int64_t MovieUnits(const TMOVTrack &t) const;

  void CopyAtom(TMOVReader &Template, const QByteArray &name, int64_t bodyPos, int64_t end);
  void FinishMoov();
  void CopyTrak(TMOVReader &Template, int64_t bodyPos, int64_t end);
  void CopyPatched(TMOVReader &Template, const QByteArray &name, int64_t bodyPos, int64_t end);
  void PatchMdhd(QByteArray &body) const;
  void PatchTkhd(QByteArray &body) const;
  void PatchMvhd(QByteArray &body);
  void WriteMoovAtoms(TMOVReader &Template);
  void WriteEdts();
  std::vector<int32_t> WrittenCompositionOffsets() const;

  void WriteTextTkhd(const TMOVTrack &t);
  void WriteTextMdia(const TMOVTrack &t);
  void WriteTextMdhd(const TMOVTrack &t);
  void WriteTextHdlr(const TMOVTrack &t);
  void WriteTextMinf();
  void WriteGmhd();
  void WriteDinf();
  void WriteTextStsd(const TMOVTrack &t);

  TFileStream *FOut = nullptr; // the base's Stream, typed
  TMOVWriterLimits FLimits;
  int64_t FIntendedSize = 0;    // the file's size as the moov's reserve meant it
  int64_t FNextTrackIDPos = -1; // where the written mvhd holds the next track ID
  int32_t FHighestWrittenID = 0;
  int FCopyDepth = 0;
  bool FTrakHasCtts = false; // the template trak being copied has a ctts
  bool FLastFragmentClipped = false;
  // Samples contiguous in the source and the output, copied with one read
  // and one write when the run ends.
  struct TRun {
    TByteStream *Source = nullptr;
    int64_t From = 0, To = 0, Length = 0;
  } FRun;
  std::vector<uint8_t> FRunBuffer;
  // Per writer track: (first sample, composition delay) of each call's part
  // of a reordered video track, so every part gets the same delay.
  std::vector<std::vector<std::pair<size_t, int32_t>>> FDelays;
};

// Longest prefix of a UTF-8 text that fits in maxBytes without splitting a
// character.
QByteArray TruncateUtf8(const QByteArray &text, int maxBytes);

} // namespace kp
