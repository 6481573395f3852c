#include "UnitMOV.h"

#include "ContainerLog.h"

#include <QDebug>
#include <algorithm>
#include <cstring>
#include <limits>

namespace kp {

namespace {

constexpr uint32_t FourCC(const char *s)
{
  return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) | (uint32_t(uint8_t(s[2])) << 8) |
         uint32_t(uint8_t(s[3]));
}

// Nesting deeper than any real movie has; a hostile file of nested
// containers would otherwise exhaust the stack.
constexpr int MaxAtomDepth = 32;
// A moov up to this size is read in one block and parsed in memory; a larger
// one (which no camera writes) is parsed straight from the file.
constexpr int64_t MaxMoovInMemory = int64_t(256) << 20;

// A 32-bit duration of all ones means "unknown".
int64_t Duration32(uint32_t v)
{
  return v == 0xFFFFFFFFu ? -1 : int64_t(v);
}

QByteArray FourCCText(uint32_t code)
{
  QByteArray b(4, '\0');
  for (int i = 0; i < 4; ++i) b[i] = char(code >> (24 - 8 * i));
  return b;
}

// Where a stream error happened, in file offsets.
int64_t StreamErrorOffset(const std::exception &e, int64_t base)
{
  const auto *s = dynamic_cast<const EStreamError *>(&e);
  return s && s->Offset() >= 0 ? base + s->Offset() : -1;
}

QByteArray UpperAscii(QByteArray s)
{
  for (char &c : s)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return s;
}

TMOVTrackKind KindOfCodec(const QByteArray &codec)
{
  static const char *const Video[] = {"PNG_", "TIFF", "JPEG", "MJPA", "MJPB", "3IV2", "3IV1", "AVC1", "SVQ1",
                                      "SVQ3", "MP4V", "MP42", "DIVX", "CVID", "VP31", "H263", "S263", "X263"};
  static const char *const Audio[] = {
      "NONE",       "RAW ",       "TWOS",    "SOWT",    "ALAW", "ULAW", "MS\x00\x02", "\x02\x00SM",
      "MS\x00\x11", "\x11\x00SM", "MS\x00U", "U\x00SM", ".MP3", "IMA4", "OGGV",       "SAMR",
      "SAWB",       "QDM2",       "QDMC",    "MP4A",    "MAC3", "MAC6", ".MP1",       ".MP2",
      "LPCM",       "AGSM",       "QCLP",    "IN24",    "IN32", "FL32", "FL64"};
  static const char *const Text[] = {"TX3G", "TEXT"};
  if (codec.size() != 4) return mtkOther;
  auto in = [&codec](const auto &list) {
    return std::any_of(std::begin(list), std::end(list),
                       [&codec](const char *c) { return std::memcmp(c, codec.constData(), 4) == 0; });
  };
  if (in(Video)) return mtkVideo;
  if (in(Audio)) return mtkAudio;
  if (in(Text)) return mtkText;
  return mtkOther;
}

} // namespace

TDateTime MacTimeToDateTime(uint32_t seconds)
{
  if (seconds == 0 || seconds == 1 || seconds == 0xFFFFFFFFu) return 0;
  return double(seconds) / SecsPerDay + QuickTimeEpoch;
}

int64_t DurationToMs(int64_t duration, int64_t timeScale)
{
  if (timeScale == 0) return 0;
  const __int128 ms = __int128(duration) * 1000 / timeScale;
  if (ms > std::numeric_limits<int64_t>::max()) return std::numeric_limits<int64_t>::max();
  if (ms < std::numeric_limits<int64_t>::min()) return std::numeric_limits<int64_t>::min();
  return int64_t(ms);
}

// ---------------------------------------------------------------- construction

TMOVReader::TMOVReader(const QString &fileName, bool headerOnly) : FHeaderOnly(headerOnly), FFileName(fileName)
{
  try {
    Stream = std::make_unique<TFileStream>(fileName);
  } catch (const EStreamError &e) {
    Note(QString::fromStdString(e.what()), -1, false);
    return;
  }
  Parse();
}

TMOVReader::TMOVReader(std::unique_ptr<TByteStream> stream, bool headerOnly) : FHeaderOnly(headerOnly)
{
  Stream = std::move(stream);
  if (Stream) Parse();
}

// Damage (a cut or corrupt atom, samples outside the file) is told once per
// file, and only for a file that still opens as a movie: without a moov the
// caller sees the failure itself. Whatever merely ends the walk early (an
// unsupported size, padding at the end) is a detail for debugging.
void TMOVReader::Note(const QString &what, int64_t offset, bool damage)
{
  if (FLastError.isEmpty()) FLastError = what;
  qCDebug(lcKpContainer).noquote() << FFileName << "at" << offset << ":" << what;
  if (damage && FInFree == 0 && FDamage.isEmpty())
    FDamage = QStringLiteral("%1: %2 (at offset %3)")
                  .arg(FFileName.isEmpty() ? QStringLiteral("<memory>") : FFileName, what)
                  .arg(offset);
}

void TMOVReader::RegisterAtom(const char *name, THandler handler)
{
  FHandlers.push_back({FourCC(name), handler});
}

TMOVReader::THandler TMOVReader::FindAtomHandler(uint32_t fourCC) const
{
  for (const TMOVAtomHandler &h : FHandlers)
    if (h.FourCC == fourCC) return h.Handler;
  return nullptr;
}

void TMOVReader::RegisterHandlers()
{
  for (const char *c : {"stbl", "minf", "edts", "mdia", "udta", "ilst", "wave", "tapt"})
    RegisterAtom(c, &TMOVReader::DoContainer);
  RegisterAtom("free", &TMOVReader::DoFree);
  RegisterAtom("moov", &TMOVReader::DoMoov);
  RegisterAtom("mvhd", &TMOVReader::DoMvhd);
  RegisterAtom("trak", &TMOVReader::DoTrak);
  RegisterAtom("hdlr", &TMOVReader::DoHdlr);
  RegisterAtom("enof", &TMOVReader::DoEnof);
  RegisterAtom("tkhd", &TMOVReader::DoTkhd);
  RegisterAtom("mdhd", &TMOVReader::DoMdhd);
  RegisterAtom("stsd", &TMOVReader::DoStsd);
  RegisterAtom("stts", &TMOVReader::DoStts);
  RegisterAtom("stsz", &TMOVReader::DoStsz);
  if (FHeaderOnly) return;
  RegisterAtom("stco", &TMOVReader::DoStco);
  RegisterAtom("co64", &TMOVReader::DoCo64);
  RegisterAtom("stsc", &TMOVReader::DoStsc);
  RegisterAtom("stss", &TMOVReader::DoStss);
  RegisterAtom("sdtp", &TMOVReader::DoSdtp);
  RegisterAtom("ctts", &TMOVReader::DoCtts);
}

void TMOVReader::Parse()
{
  RegisterHandlers();
  CurTrack = -1;
  try {
    FIn = Stream.get();
    FBase = 0;
    uint8_t tag[4] = {};
    if (Stream->Size() < 8) throw EStreamReadError(QStringLiteral("file shorter than an atom header"), 0);
    Stream->ReadAt(4, tag, 4);
    if (std::memcmp(tag, "ftyp", 4) != 0) {
      Note(QStringLiteral("no ftyp atom at the start"), 4, false);
    } else {
      Stream->Seek(0);
      Walk(Stream->Size());
      BuildSampleTables();
    }
  } catch (const std::exception &e) {
    Note(QString::fromStdString(e.what()), StreamErrorOffset(e, FBase), true);
  }
  FIn = Stream.get();
  FBase = 0;
  CurTrack = -1;
  InMoov = false;
  if (HasMoov() && !FDamage.isEmpty()) qCWarning(lcKpContainer).noquote() << "damaged movie" << FDamage;
}

// ---------------------------------------------------------------- atom walk

void TMOVReader::Walk(int64_t end)
{
  if (FDepth >= MaxAtomDepth) {
    Note(QStringLiteral("atoms nested too deeply"), FBase + FIn->Position(), true);
    return;
  }
  ++FDepth;
  try {
    int64_t pos = FIn->Position();
    while (pos < end) {
      FIn->Seek(pos);
      const uint32_t size = FIn->ReadU32BE();
      const uint32_t code = FIn->ReadU32BE();
      // Sizes 0 (to the end of the file) and 1 (64-bit) are not supported:
      // like any size below a header's, they end this level.
      if (size < 8 || int64_t(size) > end - pos) {
        // Sizes 0 and 1 are unsupported, not damage; an atom that cannot
        // hold its header or overruns its parent is.
        Note(QStringLiteral("atom size %1 ends its level").arg(size), FBase + pos, size >= 2);
        break;
      }
      pos += size;
      if (THandler handler = FindAtomHandler(code)) CallHandler(handler, code, pos - size + 8, size - 8);
    }
    FIn->Seek(std::min(pos, FIn->Size()));
  } catch (const std::exception &e) {
    Note(QString::fromStdString(e.what()), StreamErrorOffset(e, FBase), true);
  }
  --FDepth;
}

// A handler sees only its atom's body (position 0 is the first byte after
// the header), so a short or lying atom can never make it read its
// neighbours. Its errors are its own: the walk goes on with the next atom.
void TMOVReader::CallHandler(THandler handler, uint32_t code, int64_t body, int64_t length)
{
  TByteStream *outer = FIn;
  const int64_t outerBase = FBase;
  try {
    TSubStream atom(*outer, body, length);
    FIn = &atom;
    FBase = outerBase + body;
    (this->*handler)(length);
  } catch (const std::exception &e) {
    Note(QStringLiteral("atom '%1': %2").arg(QString::fromLatin1(FourCCText(code)), QString::fromStdString(e.what())),
         outerBase + body - 8, true);
  }
  FIn = outer;
  FBase = outerBase;
}

uint8_t TMOVReader::ReadVersion()
{
  return uint8_t(FIn->ReadU32BE() >> 24);
}

QByteArray TMOVReader::ReadFourCC()
{
  return FIn->ReadBlock(4);
}

void TMOVReader::DoContainer(int64_t end)
{
  Walk(end);
}

// Free space is walked like a container, but what it holds is anything
// at all: nothing found there is damage.
void TMOVReader::DoFree(int64_t end)
{
  ++FInFree;
  Walk(end);
  --FInFree;
}

void TMOVReader::DoMoov(int64_t end)
{
  if (InMoov) return; // a moov inside a moov is not a movie
  MoovPos = FBase - 8;
  // Read the whole moov at once: media data around it is never touched, and
  // the many small table reads come from memory.
  std::unique_ptr<TByteStream> body;
  if (end <= MaxMoovInMemory) body = std::make_unique<TMemoryStream>(FIn->ReadBlock(end));
  TByteStream *outer = FIn;
  if (body) FIn = body.get();
  FIn->Seek(0);
  InMoov = true;
  Walk(end);
  InMoov = false;
  FIn = outer;
  MoovSize = end + 8;
}

void TMOVReader::DoTrak(int64_t end)
{
  if (!InMoov) return;
  Tracks.emplace_back();
  CurTrack = int(Tracks.size()) - 1;
  Walk(end);
}

void TMOVReader::DoMvhd(int64_t)
{
  const uint8_t version = ReadVersion();
  if (version == 1) {
    FIn->Skip(16);
    TimeScale = FIn->ReadI32BE();
    Duration = FIn->ReadI64BE();
  } else {
    CreationTime = MacTimeToDateTime(FIn->ReadU32BE());
    FIn->Skip(4);
    TimeScale = FIn->ReadI32BE();
    Duration = Duration32(FIn->ReadU32BE());
  }
  if (TimeScale >= 1) DurationMs = DurationToMs(Duration, TimeScale);
}

void TMOVReader::DoHdlr(int64_t end)
{
  TMOVTrack *t = Current();
  if (!t || (!t->HandlerType.isEmpty() && !t->HandlerName.isEmpty())) return;
  FIn->Skip(8);
  t->HandlerType = ReadFourCC();
  FIn->Skip(12);
  QByteArray name = FIn->Position() < end ? FIn->ReadBlock(end - FIn->Position()) : QByteArray();
  if (!name.isEmpty() && name.size() - 1 == uint8_t(name[0])) name.remove(0, 1);
  t->HandlerName = name;
}

void TMOVReader::DoEnof(int64_t)
{
  TMOVTrack *t = Current();
  if (!t) return;
  ReadVersion();
  const uint32_t w = FIn->ReadU32BE() >> 16;
  const uint32_t h = FIn->ReadU32BE() >> 16;
  if (w > 0 && w < 9000 && h > 0 && h < 6000) {
    t->Width = int32_t(w);
    t->Height = int32_t(h);
  }
}

void TMOVReader::DoTkhd(int64_t)
{
  TMOVTrack *t = Current();
  if (!t) return;
  const uint8_t version = ReadVersion();
  if (version == 1) {
    FIn->Skip(16);
    t->TrackID = FIn->ReadI32BE();
    FIn->Skip(4);
    t->Duration = FIn->ReadI64BE();
  } else {
    t->CreationTime = MacTimeToDateTime(FIn->ReadU32BE());
    FIn->Skip(4);
    t->TrackID = FIn->ReadI32BE();
    FIn->Skip(4);
    t->Duration = Duration32(FIn->ReadU32BE());
  }
  if (t->Width != 0 && t->Height != 0) return;
  FIn->Skip(52);
  t->Width = int32_t(FIn->ReadU32BE() >> 16);
  t->Height = int32_t(FIn->ReadU32BE() >> 16);
}

void TMOVReader::DoMdhd(int64_t)
{
  TMOVTrack *t = Current();
  if (!t) return;
  int32_t scale = 1;
  int64_t d = -1;
  const uint8_t version = ReadVersion();
  if (version == 0) {
    FIn->Skip(8);
    scale = FIn->ReadI32BE();
    d = Duration32(FIn->ReadU32BE());
  } else if (version == 1) {
    FIn->Skip(16);
    scale = FIn->ReadI32BE();
    d = FIn->ReadI64BE();
  }
  t->TimeScale = scale;
  t->Language = FIn->ReadU16BE();
  if (d > 0 && scale > 0) {
    t->DurationMs = DurationToMs(d, scale);
    t->Duration = d;
  }
}

void TMOVReader::DoStsd(int64_t)
{
  TMOVTrack *t = Current();
  if (!t) return;
  ReadVersion();
  FIn->ReadU32BE(); // entry count
  FIn->ReadU32BE(); // first entry's size
  const QByteArray format = ReadFourCC();
  t->Codec = UpperAscii(format);
  t->Kind = KindOfCodec(t->Codec);
  // The reserved bytes and data-reference index are not needed, so an entry
  // cut short after its format still names the codec.
}

// ---------------------------------------------------------------- sample tables

// Reads an entry count, capped by what the rest of the atom can hold, so a
// hostile count never allocates more than the atom's own bytes.
uint32_t TMOVReader::ReadEntryCount(int64_t end, int64_t entrySize)
{
  const uint32_t n = FIn->ReadU32BE();
  const int64_t room = std::max<int64_t>(0, end - FIn->Position()) / entrySize;
  return uint32_t(std::min<int64_t>(n, room));
}

namespace {

// Reads n big-endian 32-bit values as one block.
template <typename T>
std::vector<T> ReadU32Table(TByteStream &in, uint32_t n)
{
  const QByteArray block = in.ReadBlock(int64_t(n) * 4);
  const auto *p = reinterpret_cast<const uint8_t *>(block.constData());
  std::vector<T> out(n);
  for (uint32_t i = 0; i < n; ++i, p += 4)
    out[i] = T((uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3]);
  return out;
}

} // namespace

void TMOVReader::DoStts(int64_t end)
{
  TMOVTrack *t = Current();
  if (!t) return;
  ReadVersion();
  const std::vector<uint32_t> raw = ReadU32Table<uint32_t>(*FIn, ReadEntryCount(end, 8) * 2);
  std::vector<TMOVTimeToSample> table(raw.size() / 2);
  for (size_t i = 0; i < table.size(); ++i) table[i] = {raw[2 * i], raw[2 * i + 1]};
  t->Tables.TimeToSample = std::move(table);
}

void TMOVReader::DoStsz(int64_t end)
{
  TMOVTrack *t = Current();
  if (!t) return;
  ReadVersion();
  // The field names a constant size only when it is positive as a signed
  // 32-bit value; otherwise the count and the size table follow.
  const uint32_t constant = FIn->ReadU32BE();
  if (constant > 0 && constant <= uint32_t(std::numeric_limits<int32_t>::max())) {
    t->Tables.SampleSizes.assign(1, int32_t(constant));
    return;
  }
  std::vector<uint32_t> sizes = ReadU32Table<uint32_t>(*FIn, ReadEntryCount(end, 4));
  for (uint32_t s : sizes)
    if (s > uint32_t(std::numeric_limits<int32_t>::max()))
      throw EStreamReadError(QStringLiteral("sample size %1 out of range").arg(s), FIn->Position());
  t->Tables.SampleSizes.assign(sizes.begin(), sizes.end());
}

void TMOVReader::DoStco(int64_t end)
{
  TMOVTrack *t = Current();
  if (!t) return;
  ReadVersion();
  const std::vector<uint32_t> raw = ReadU32Table<uint32_t>(*FIn, ReadEntryCount(end, 4));
  t->Tables.ChunkOffsets.assign(raw.begin(), raw.end());
}

void TMOVReader::DoCo64(int64_t end)
{
  TMOVTrack *t = Current();
  if (!t) return;
  ReadVersion();
  const std::vector<uint32_t> raw = ReadU32Table<uint32_t>(*FIn, ReadEntryCount(end, 8) * 2);
  std::vector<int64_t> offsets(raw.size() / 2);
  for (size_t i = 0; i < offsets.size(); ++i) {
    const uint64_t v = (uint64_t(raw[2 * i]) << 32) | raw[2 * i + 1];
    if (v > uint64_t(std::numeric_limits<int64_t>::max()))
      throw EStreamReadError(QStringLiteral("chunk offset out of range"), FIn->Position());
    offsets[i] = int64_t(v);
  }
  t->Tables.ChunkOffsets = std::move(offsets);
}

void TMOVReader::DoStsc(int64_t end)
{
  TMOVTrack *t = Current();
  if (!t) return;
  ReadVersion();
  const std::vector<uint32_t> raw = ReadU32Table<uint32_t>(*FIn, ReadEntryCount(end, 12) * 3);
  std::vector<TMOVSampleToChunk> table(raw.size() / 3);
  for (size_t i = 0; i < table.size(); ++i) {
    // Chunk numbers and counts beyond Int32 cannot describe any real file.
    const int64_t first = int64_t(raw[3 * i]) - 1;
    const uint32_t perChunk = raw[3 * i + 1];
    if (first > std::numeric_limits<int32_t>::max() || perChunk > uint32_t(std::numeric_limits<int32_t>::max()))
      throw EStreamReadError(QStringLiteral("sample-to-chunk entry out of range"), FIn->Position());
    table[i] = {int32_t(first), int32_t(perChunk)};
  }
  t->Tables.SampleToChunk = std::move(table);
}

void TMOVReader::DoStss(int64_t end)
{
  TMOVTrack *t = Current();
  if (!t) return;
  t->Tables.HasSyncSamples = true;
  ReadVersion();
  const std::vector<uint32_t> raw = ReadU32Table<uint32_t>(*FIn, ReadEntryCount(end, 4));
  std::vector<int32_t> table(raw.size());
  // Numbers beyond Int32 can name no sample; -1 is ignored when building.
  for (size_t i = 0; i < raw.size(); ++i)
    table[i] = raw[i] > uint32_t(std::numeric_limits<int32_t>::max()) ? -1 : int32_t(raw[i] - 1);
  t->Tables.SyncSamples = std::move(table);
}

void TMOVReader::DoCtts(int64_t end)
{
  TMOVTrack *t = Current();
  if (!t) return;
  ReadVersion();
  const std::vector<uint32_t> raw = ReadU32Table<uint32_t>(*FIn, ReadEntryCount(end, 8) * 2);
  std::vector<TMOVCompositionOffset> table(raw.size() / 2);
  for (size_t i = 0; i < table.size(); ++i) table[i] = {raw[2 * i], int32_t(raw[2 * i + 1])};
  t->Tables.CompositionOffsets = std::move(table);
}

void TMOVReader::DoSdtp(int64_t end)
{
  TMOVTrack *t = Current();
  if (!t) return;
  ReadVersion();
  const int64_t left = std::max<int64_t>(0, end - FIn->Position());
  // One byte per sample: a variable size table says how many samples there
  // are; without one, or with a constant size, the atom's own length does.
  const std::vector<int32_t> &sizes = t->Tables.SampleSizes;
  const int64_t wanted = sizes.size() <= 1 ? left : std::min<int64_t>(int64_t(sizes.size()), left);
  t->Tables.SampleDependency = FIn->ReadBlock(wanted);
}

} // namespace kp
