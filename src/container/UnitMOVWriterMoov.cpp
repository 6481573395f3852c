// The new movie's moov: a copy of a template movie's moov with durations
// and time scales patched, one-entry edit lists, and every sample table
// regenerated from the writer's sample lists.

#include "Errors.h"
#include "Numbers.h"
#include "UnitMOVWriter.h"
#include "UnitMOVWriterImpl.h"

#include <QFile>
#include <algorithm>
#include <limits>

namespace kp {

namespace {

// Containers that hostile files could nest without end are followed no
// deeper than any real movie goes.
constexpr int MaxCopyDepth = 32;

// A sample's time-to-sample delta as written.
uint32_t SttsDelta(const TMOVSample &s)
{
  return uint32_t(std::clamp<int64_t>(Round(s.Duration), 0, std::numeric_limits<uint32_t>::max()));
}

bool IsOneOf(const QByteArray &name, std::initializer_list<const char *> names)
{
  return std::any_of(names.begin(), names.end(), [&name](const char *n) { return name == n; });
}

// The track ID in the tkhd among the direct children of [pos, end); false
// when there is none or it is too short to hold one.
bool FindTkhdID(TByteStream &in, int64_t pos, int64_t end, int32_t &id)
{
  while (pos < end) {
    in.Seek(pos);
    const uint32_t size = in.ReadU32BE();
    const QByteArray name = in.ReadBlock(4);
    if (size < 8 || int64_t(size) > end - pos) return false;
    if (name == "tkhd") {
      if (size < 12) return false;
      const uint8_t version = in.ReadU8();
      const int64_t at = version == 1 ? 20 : 12;
      if (int64_t(size) - 8 < at + 4) return false;
      in.Seek(pos + 8 + at);
      id = in.ReadI32BE();
      return true;
    }
    pos += size;
  }
  return false;
}

// The body [pos, end) of the first direct child named name; false when
// there is none.
bool FindChild(TByteStream &in, int64_t &pos, int64_t &end, const char *name)
{
  for (int64_t p = pos; p < end;) {
    in.Seek(p);
    const uint32_t size = in.ReadU32BE();
    const QByteArray tag = in.ReadBlock(4);
    if (size < 8 || int64_t(size) > end - p) return false;
    if (tag == name) {
      pos = p + 8;
      end = p + size;
      return true;
    }
    p += size;
  }
  return false;
}

bool TrakHasCtts(TByteStream &in, int64_t pos, int64_t end)
{
  for (const char *name : {"mdia", "minf", "stbl", "ctts"})
    if (!FindChild(in, pos, end, name)) return false;
  return true;
}

} // namespace

int64_t TMOVWriter::MovieUnits(const TMOVTrack &t) const
{
  if (t.TimeScale <= 0) return 0;
  return Round(double(t.Duration) / t.TimeScale * TimeScale);
}

bool TMOVWriter::UseCo64() const
{
  const TMOVTrack *t = const_cast<TMOVWriter *>(this)->Current();
  return t && !t->Samples.empty() && FIntendedSize >= FLimits.Co64From;
}

// Text tracks take IDs above every ID of the writer's tracks and of the
// template's traks, so no template trak is ever written over one. A file
// whose IDs reach the top of the range leaves no room above: the lowest
// free ID serves instead.
void TMOVWriter::AssignTextTrackIDs(const TMOVReader &Template)
{
  int32_t highest = 0;
  std::vector<int32_t> used;
  for (const TMOVTrack &t : Tracks)
    if (t.Kind != mtkText) {
      highest = std::max(highest, t.TrackID);
      used.push_back(t.TrackID);
    }
  for (const TMOVTrack &t : Template.Tracks) {
    highest = std::max(highest, t.TrackID);
    used.push_back(t.TrackID);
  }
  for (TMOVTrack &t : Tracks) {
    if (t.Kind != mtkText) continue;
    if (highest < std::numeric_limits<int32_t>::max()) {
      t.TrackID = ++highest;
    } else {
      int32_t id = 1;
      while (std::find(used.begin(), used.end(), id) != used.end()) ++id;
      t.TrackID = id;
    }
    used.push_back(t.TrackID);
  }
}

void TMOVWriter::WriteMoov(TMOVReader *Template)
{
  if (!Template) return;
  try {
    CheckNotEmpty(FOut->FileName());
    WriteMoovAtoms(*Template);
  } catch (...) {
    // A movie without its index plays as nothing: it does not stay behind.
    AtomStarts.clear();
    AtomSizes.clear();
    QFile::remove(FOut->FileName());
    throw;
  }
}

void TMOVWriter::WriteMoovAtoms(TMOVReader &Template)
{
  // Subtitles written after the last fragment count towards the movie's
  // duration too.
  RecomputeDurations();
  const int64_t p = GetPos();
  int64_t samples = 0;
  for (TMOVTrack &t : Tracks) {
    t.Written = false;
    samples += int64_t(t.Samples.size());
  }
  FIntendedSize = p + Template.MoovSize + 32 * samples + 1048576;
  FOut->Reserve(FIntendedSize); // a hint; the offsets' width follows the intended size
  FOut->Seek(p);
  AssignTextTrackIDs(Template);
  FNextTrackIDPos = -1;
  FHighestWrittenID = 0;
  CurTrack = -1;
  if (Template.HasMoov() && Template.Stream) {
    Template.Stream->Seek(Template.MoovPos);
    CopyAtoms(Template, Template.MoovPos + Template.MoovSize);
  }
  if (FOut->Size() != GetPos() && !FOut->SetSize(GetPos()))
    throw EStreamWriteError(QStringLiteral("cannot set the movie's size to %1").arg(GetPos()), GetPos());
}

void TMOVWriter::CopyAtoms(TMOVReader &Template, int64_t EndPos)
{
  if (!Template.Stream || FCopyDepth >= MaxCopyDepth) return;
  TByteStream &in = *Template.Stream;
  ++FCopyDepth;
  try {
    int64_t pos = in.Position();
    while (pos < EndPos) {
      in.Seek(pos);
      const uint32_t size = in.ReadU32BE();
      const QByteArray name = in.ReadBlock(4);
      if (size < 8 || int64_t(size) > EndPos - pos) break;
      CopyAtom(Template, name, pos + 8, pos + size);
      pos += size;
    }
  } catch (const EStreamReadError &) {
    // A damaged template ends this level; what was copied stays.
  } catch (const EConvertError &) {
  } catch (...) {
    --FCopyDepth;
    throw;
  }
  --FCopyDepth;
}

void TMOVWriter::CopyAtom(TMOVReader &Template, const QByteArray &name, int64_t bodyPos, int64_t end)
{
  TMOVTrack *cur = Current();
  if (name == "trak") {
    CopyTrak(Template, bodyPos, end);
  } else if (IsOneOf(name, {"moov", "mdia", "minf", "stbl"})) {
    BeginAtom(name.constData(), int32_t(end - bodyPos + 8));
    Template.Stream->Seek(bodyPos);
    CopyAtoms(Template, end);
    if (name == "moov") FinishMoov();
    EndAtom();
  } else if (name == "edts") {
    if (cur) WriteEdts();
  } else if (IsOneOf(name, {"stco", "co64", "stsc", "stss", "stsz", "stts", "ctts", "sdtp"})) {
    if (!cur) return;
    if (name == "stco" || name == "co64") WriteChunkOffsets();
    if (name == "stsc") WriteStsc();
    if (name == "stss") WriteStss();
    if (name == "stsz") WriteStsz();
    if (name == "stts") WriteStts();
    if (name == "ctts") WriteCtts();
    if (name == "sdtp") WriteSdtp();
  } else if (IsOneOf(name, {"mdhd", "mvhd", "tkhd", "udta", "tapt", "hdlr", "vmhd", "smhd", "stsd", "dinf"})) {
    CopyPatched(Template, name, bodyPos, end);
  }
  // Every other atom is left out.
}

// The text tracks, which no template trak describes, close the moov; then
// the next track ID is known.
void TMOVWriter::FinishMoov()
{
  for (size_t i = 0; i < Tracks.size(); ++i) {
    if (Tracks[i].Kind != mtkText || Tracks[i].Written) continue;
    CurTrack = int(i);
    WriteTextTrak();
  }
  if (FNextTrackIDPos >= 0) {
    const uint32_t next = uint32_t(FHighestWrittenID) + 1;
    const uint8_t b[4] = {uint8_t(next >> 24), uint8_t(next >> 16), uint8_t(next >> 8), uint8_t(next)};
    FOut->WriteAt(FNextTrackIDPos, b, 4);
  }
}

// A trak is written only for a writer track it describes (same ID, same
// kind, not yet written); which one is known from its tkhd before anything
// of it is written.
void TMOVWriter::CopyTrak(TMOVReader &Template, int64_t bodyPos, int64_t end)
{
  CurTrack = -1;
  FTrakHasCtts = false;
  int32_t id = 0;
  TByteStream &in = *Template.Stream;
  if (!FindTkhdID(in, bodyPos, end, id)) return;
  const TMOVTrack *source = nullptr;
  for (const TMOVTrack &t : Template.Tracks)
    if (t.TrackID == id) {
      source = &t;
      break;
    }
  for (size_t i = 0; i < Tracks.size(); ++i) {
    const TMOVTrack &t = Tracks[i];
    if (t.Kind == mtkText || t.Written || t.TrackID != id || (source && source->Kind != t.Kind)) continue;
    CurTrack = int(i);
    break;
  }
  if (CurTrack < 0) return;
  FTrakHasCtts = TrakHasCtts(in, bodyPos, end);
  Tracks[CurTrack].Written = true;
  FHighestWrittenID = std::max(FHighestWrittenID, id);
  BeginAtom("trak", int32_t(end - bodyPos + 8));
  in.Seek(bodyPos);
  CopyAtoms(Template, end);
  EndAtom();
}

void TMOVWriter::CopyPatched(TMOVReader &Template, const QByteArray &name, int64_t bodyPos, int64_t end)
{
  TByteStream &in = *Template.Stream;
  in.Seek(bodyPos);
  QByteArray body = in.ReadBlock(end - bodyPos);
  if (name == "mdhd") PatchMdhd(body);
  if (name == "tkhd") PatchTkhd(body);
  const bool mvhd = name == "mvhd";
  if (mvhd) PatchMvhd(body);
  BeginAtom(name.constData(), int32_t(body.size() + 8));
  const int64_t written = GetPos();
  WriteStr(body);
  EndAtom();
  if (mvhd && !body.isEmpty()) {
    const int at = uint8_t(body[0]) == 1 ? 108 : 96;
    if (BodyHas(body, at, 4)) FNextTrackIDPos = written + at;
  }
}

void TMOVWriter::PatchMdhd(QByteArray &body) const
{
  const TMOVTrack *t = const_cast<TMOVWriter *>(this)->Current();
  if (!t || body.isEmpty()) return;
  const uint8_t version = uint8_t(body[0]);
  if (version == 0 && BodyHas(body, 12, 8)) {
    PutU32(body, 12, uint32_t(t->TimeScale));
    PutU32(body, 16, uint32_t(t->Duration));
  } else if (version == 1 && BodyHas(body, 20, 12)) {
    PutU32(body, 20, uint32_t(t->TimeScale));
    PutU64(body, 24, uint64_t(t->Duration));
  }
}

void TMOVWriter::PatchTkhd(QByteArray &body) const
{
  const TMOVTrack *t = const_cast<TMOVWriter *>(this)->Current();
  if (!t || t->TimeScale <= 0 || body.isEmpty()) return;
  const int64_t d = MovieUnits(*t);
  if (uint8_t(body[0]) == 1) {
    if (BodyHas(body, 28, 8)) PutU64(body, 28, uint64_t(d));
  } else if (BodyHas(body, 20, 4)) {
    PutU32(body, 20, uint32_t(d));
  }
}

void TMOVWriter::PatchMvhd(QByteArray &body)
{
  if (TimeScale <= 0 || Duration <= 0 || body.isEmpty()) return;
  if (uint8_t(body[0]) == 1) {
    if (!BodyHas(body, 20, 12)) return;
    PutU32(body, 20, uint32_t(TimeScale));
    PutU64(body, 24, uint64_t(Duration));
  } else if (BodyHas(body, 12, 8)) {
    PutU32(body, 12, uint32_t(TimeScale));
    PutU32(body, 16, uint32_t(Duration));
  }
}

// ---------------------------------------------------------------- index atoms

void TMOVWriter::WriteEdts()
{
  const TMOVTrack &t = *Current();
  BeginAtom("edts", 0);
  BeginAtom("elst", 0);
  WriteVersionFlags(0, 0, 0, 0);
  WriteDWord(1);
  WriteDWord(uint32_t(MovieUnits(t)));
  // The presentation starts at the first frame shown: the smallest
  // composition time, or 0 when no composition offsets are written.
  int64_t mediaTime = 0;
  if (FTrakHasCtts && !t.Samples.empty()) {
    const std::vector<int32_t> offsets = WrittenCompositionOffsets();
    int64_t decode = 0;
    mediaTime = std::numeric_limits<int64_t>::max();
    for (size_t i = 0; i < t.Samples.size(); ++i) {
      mediaTime = std::min(mediaTime, decode + offsets[i]);
      decode += SttsDelta(t.Samples[i]);
    }
    mediaTime = std::clamp<int64_t>(mediaTime, 0, std::numeric_limits<int32_t>::max());
  }
  WriteDWord(uint32_t(mediaTime));
  WriteDWord(0x00010000);
  EndAtom();
  EndAtom();
}

namespace {

// The samples that open a chunk. Samples that follow each other in the file
// share one, as in the source, so the index stays as small as the source's;
// a PCM sample already is a chunk, and each text sample stands alone.
std::vector<size_t> ChunkStarts(const TMOVTrack &t)
{
  std::vector<size_t> starts;
  const bool group = t.PCMFrameSize <= 0 && t.Kind != mtkText;
  for (size_t i = 0; i < t.Samples.size(); ++i)
    if (!group || i == 0 || t.Samples[i].Offset != t.Samples[i - 1].Offset + t.Samples[i - 1].Size) starts.push_back(i);
  return starts;
}

} // namespace

void TMOVWriter::WriteChunkOffsets()
{
  const TMOVTrack &t = *Current();
  const bool wide = UseCo64();
  const std::vector<size_t> starts = ChunkStarts(t);
  BeginAtom(wide ? "co64" : "stco", 0);
  WriteVersionFlags(0, 0, 0, 0);
  WriteDWord(uint32_t(starts.size()));
  for (size_t i : starts) {
    if (wide)
      WriteInt64(uint64_t(t.Samples[i].Offset));
    else
      WriteDWord(uint32_t(t.Samples[i].Offset));
  }
  EndAtom();
}

// Runs of chunks with equal counts: samples per chunk, or for PCM the
// frames of each chunk's one sample.
void TMOVWriter::WriteStsc()
{
  const TMOVTrack &t = *Current();
  std::vector<size_t> starts = ChunkStarts(t);
  std::vector<std::pair<uint32_t, uint32_t>> runs; // (first chunk, count per chunk)
  starts.push_back(t.Samples.size());
  for (size_t c = 0; c + 1 < starts.size(); ++c) {
    const auto n = t.PCMFrameSize >= 1 ? uint32_t(t.Samples[starts[c]].Size / t.PCMFrameSize)
                                       : uint32_t(starts[c + 1] - starts[c]);
    if (runs.empty() || runs.back().second != n) runs.push_back({uint32_t(c + 1), n});
  }
  if (runs.empty()) runs.push_back({1, 1});
  BeginAtom("stsc", 0);
  WriteVersionFlags(0, 0, 0, 0);
  WriteDWord(uint32_t(runs.size()));
  for (auto [first, count] : runs) {
    WriteDWord(first);
    WriteDWord(count);
    WriteDWord(1);
  }
  EndAtom();
}

void TMOVWriter::WriteStss()
{
  const TMOVTrack &t = *Current();
  const auto keys = std::count_if(t.Samples.begin(), t.Samples.end(), [](const TMOVSample &s) { return s.KeyFrame; });
  BeginAtom("stss", 0);
  WriteVersionFlags(0, 0, 0, 0);
  WriteDWord(uint32_t(keys));
  for (size_t i = 0; i < t.Samples.size(); ++i)
    if (t.Samples[i].KeyFrame) WriteDWord(uint32_t(i + 1));
  EndAtom();
}

namespace {

int64_t PCMFrames(const TMOVTrack &t)
{
  int64_t n = 0;
  for (const TMOVSample &s : t.Samples) n += s.Size / t.PCMFrameSize;
  return n;
}

} // namespace

void TMOVWriter::WriteStsz()
{
  const TMOVTrack &t = *Current();
  BeginAtom("stsz", 0);
  WriteVersionFlags(0, 0, 0, 0);
  const bool same = std::all_of(t.Samples.begin(), t.Samples.end(),
                                [&t](const TMOVSample &s) { return s.Size == t.Samples.front().Size; });
  if (t.PCMFrameSize > 0) {
    WriteDWord(uint32_t(t.PCMFrameSize));
    WriteDWord(uint32_t(PCMFrames(t)));
  } else if (t.Samples.empty() || same) {
    WriteDWord(t.Samples.empty() ? 0u : uint32_t(t.Samples.front().Size));
    WriteDWord(uint32_t(t.Samples.size()));
  } else {
    WriteDWord(0);
    WriteDWord(uint32_t(t.Samples.size()));
    for (const TMOVSample &s : t.Samples) WriteDWord(uint32_t(s.Size));
  }
  EndAtom();
}

void TMOVWriter::WriteStts()
{
  const TMOVTrack &t = *Current();
  std::vector<std::pair<uint32_t, uint32_t>> runs;
  if (t.PCMFrameSize > 0) {
    runs.push_back({uint32_t(PCMFrames(t)), 1});
  } else {
    for (const TMOVSample &s : t.Samples) {
      const uint32_t d = SttsDelta(s);
      if (!runs.empty() && runs.back().second == d)
        ++runs.back().first;
      else
        runs.push_back({1, d});
    }
  }
  BeginAtom("stts", 0);
  WriteVersionFlags(0, 0, 0, 0);
  WriteDWord(uint32_t(runs.size()));
  for (auto [count, delta] : runs) {
    WriteDWord(count);
    WriteDWord(delta);
  }
  EndAtom();
}

// Each fragment's composition offsets were scaled by its own speed, so the
// delay between decoding and showing its first frame differs from part to
// part; a part with a shorter delay would show frames before the previous
// part's last ones. Every part is shifted to the longest delay.
std::vector<int32_t> TMOVWriter::WrittenCompositionOffsets() const
{
  const TMOVTrack &t = Tracks[size_t(CurTrack)];
  static const std::vector<std::pair<size_t, int32_t>> none;
  const auto &parts = CurTrack < int(FDelays.size()) ? FDelays[size_t(CurTrack)] : none;
  int32_t longest = 0;
  for (const auto &p : parts) longest = std::max(longest, p.second);
  std::vector<int32_t> out(t.Samples.size());
  size_t part = 0;
  int64_t shift = 0;
  for (size_t i = 0; i < t.Samples.size(); ++i) {
    while (part < parts.size() && parts[part].first <= i) shift = int64_t(longest) - parts[part++].second;
    // Hostile offsets may sum past 32 bits; the field keeps the low 32.
    out[i] = int32_t(uint32_t(t.Samples[i].CompositionOffset + shift));
  }
  return out;
}

void TMOVWriter::WriteCtts()
{
  const std::vector<int32_t> offsets = WrittenCompositionOffsets();
  BeginAtom("ctts", 0);
  WriteVersionFlags(0, 0, 0, 0);
  WriteDWord(uint32_t(offsets.size()));
  for (int32_t o : offsets) {
    WriteDWord(1);
    WriteDWord(uint32_t(o));
  }
  EndAtom();
}

void TMOVWriter::WriteSdtp()
{
  const TMOVTrack &t = *Current();
  BeginAtom("sdtp", 0);
  WriteVersionFlags(0, 0, 0, 0);
  for (const TMOVSample &s : t.Samples) WriteByte(s.DependencyFlags);
  EndAtom();
}

} // namespace kp
