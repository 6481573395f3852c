#include "WriterSupport.h"

#include <QFile>

#include "Numbers.h"

using namespace kp;

namespace kptest {

namespace {

QByteArray Elst3()
{
  Bytes b;
  b.u32(3);
  for (int i = 0; i < 3; ++i) b.u32(1000).u32(uint32_t(i * 100)).u32(0x00010000);
  return Atom("edts", {FullAtom("elst", 0, b)});
}

QByteArray Minf(const char *mediaHeader, const QByteArray &stbl)
{
  const QByteArray header = FullAtom(mediaHeader, 0, QByteArray(mediaHeader == QByteArray("vmhd") ? 8 : 4, '\0'));
  const QByteArray dinf = Atom("dinf", {FullAtom("dref", 0, Bytes().u32(1).raw(FullAtom("url ", 0, {})))});
  return Atom("minf", {header, dinf, stbl});
}

QByteArray VideoTrak(const SynthVideo &v, const std::vector<uint32_t> &offsets)
{
  const int n = int(v.Types.size());
  std::vector<uint32_t> sizes, keys;
  for (int i = 0; i < n; ++i) {
    sizes.push_back(uint32_t(VideoSize(v, i)));
    if (v.Types[i] == 'K' || v.Types[i] == 'k') keys.push_back(uint32_t(i + 1));
  }
  QByteArray tables = Stts({{uint32_t(n), v.Delta}}) + Stss(keys);
  if (v.Ctts || v.Reorder) {
    std::vector<std::pair<uint32_t, int32_t>> c;
    for (int i = 0; i < n; ++i) {
      const char type = v.Types[i];
      const int frames = !v.Reorder ? i % 3 : (type == 'P' ? 4 : type == 'B' ? 1 : 2);
      c.push_back({1, int32_t(frames * v.Delta)});
    }
    tables += Ctts(c);
  }
  tables += Stsc({{1, 1}}) + (v.ConstSize > 0 ? StszConstant(uint32_t(VideoSize(v, 0)), uint32_t(n)) : Stsz(sizes)) +
            Stco(offsets);
  const uint64_t duration = uint64_t(n) * v.Delta;
  const QByteArray stbl = Atom("stbl", {Stsd("avc1"), tables});
  const QByteArray tkhd = Tkhd0(0, v.Id, uint32_t(duration * 1000 / uint64_t(v.TimeScale)), 128, 96);
  QByteArray trak = v.EditListFirst ? QByteArray() : tkhd;
  if (v.EditList) trak += Elst3();
  if (v.EditListFirst) trak += tkhd;
  trak += Atom("mdia", {Mdhd(v.MdhdVersion, v.TimeScale, duration, 0), Hdlr("vide", QByteArray("\x0cVideoHandler", 13)),
                        Minf("vmhd", stbl)});
  return Atom("trak", trak);
}

QByteArray SoundTrak(const SynthSound &s, const std::vector<uint32_t> &offsets)
{
  QByteArray tables;
  uint64_t duration = 0;
  if (s.PCMFrame > 0) {
    tables = Stts({{uint32_t(s.Count * 1024), 1}}) + Stsc({{1, 1024}}) +
             StszConstant(uint32_t(s.PCMFrame), uint32_t(s.Count * 1024)) + Stco(offsets);
    duration = uint64_t(s.Count) * 1024;
  } else {
    tables =
        Stts({{uint32_t(s.Count), s.Delta}}) + Stsc({{1, 1}}) + StszConstant(16, uint32_t(s.Count)) + Stco(offsets);
    duration = uint64_t(s.Count) * s.Delta;
  }
  const QByteArray stbl = Atom("stbl", {Stsd(s.PCMFrame > 0 ? "sowt" : "mp4a"), tables});
  return Atom("trak", {Tkhd0(0, s.Id, uint32_t(duration * 1000 / uint64_t(s.TimeScale)), 0, 0),
                       Atom("mdia", {Mdhd(0, s.TimeScale, duration, 0),
                                     Hdlr("soun", QByteArray("\x0cSoundHandler", 13)), Minf("smhd", stbl)})});
}

} // namespace

QByteArray SynthMovie(const std::vector<SynthVideo> &videos, const std::vector<SynthSound> &sounds, bool soundFirst)
{
  const QByteArray ftyp = Ftyp();
  QByteArray data;
  std::vector<std::vector<uint32_t>> vOffsets(videos.size()), sOffsets(sounds.size());
  const auto base = uint32_t(ftyp.size() + 8);
  for (size_t k = 0; k < videos.size(); ++k)
    for (int i = 0; i < int(videos[k].Types.size()); ++i) {
      vOffsets[k].push_back(base + uint32_t(data.size()));
      data += VideoSample(videos[k].Types[i], i, VideoSize(videos[k], i));
    }
  for (size_t k = 0; k < sounds.size(); ++k) {
    const SynthSound &s = sounds[k];
    for (int i = 0; i < s.Count; ++i) {
      sOffsets[k].push_back(base + uint32_t(data.size()));
      data += SoundSample(i, s.PCMFrame > 0 ? s.PCMFrame * 1024 : 16);
    }
  }
  QByteArray vTraks, sTraks;
  for (size_t k = 0; k < videos.size(); ++k) vTraks += VideoTrak(videos[k], vOffsets[k]);
  for (size_t k = 0; k < sounds.size(); ++k) sTraks += SoundTrak(sounds[k], sOffsets[k]);
  uint32_t longest = 0;
  for (const SynthVideo &v : videos) longest = std::max<uint32_t>(longest, uint32_t(v.Types.size()) * v.Delta / 90);
  const QByteArray moov = Atom("moov", {Mvhd0(3000000000u, 1000, longest), Atom("free", QByteArray(8, 'x')),
                                        soundFirst ? sTraks : vTraks, soundFirst ? vTraks : sTraks});
  return ftyp + Atom("mdat", data) + moov;
}

std::unique_ptr<TMOVReader> OpenSynth(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
  const QString path = dir.filePath(name);
  writeFileBytes(path, bytes);
  return std::make_unique<TMOVReader>(path, false);
}

int MarkerIndex(const QByteArray &file, const TMOVSample &s, char *kind)
{
  const int at = int(s.Offset);
  if (s.Size >= 5 && at + 5 <= file.size() && file[at] == 'A') {
    if (kind) *kind = 'A';
    return int(BE32(file, at + 1));
  }
  if (s.Size >= 11 && at + 11 <= file.size() && file[at + 6] == 'V') {
    if (kind) *kind = 'V';
    return int(BE32(file, at + 7));
  }
  return -1;
}

std::vector<int> MarkerIndexes(const QByteArray &file, const TMOVTrack &t)
{
  std::vector<int> out;
  for (const TMOVSample &s : t.Samples) out.push_back(MarkerIndex(file, s));
  return out;
}

uint32_t BE32(const QByteArray &b, int offset)
{
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = (v << 8) | uint8_t(b[offset + i]);
  return v;
}

std::vector<uint32_t> Words(const QByteArray &b, int offset, int n)
{
  std::vector<uint32_t> out;
  for (int i = 0; i < n && offset + 4 * i + 4 <= b.size(); ++i) out.push_back(BE32(b, offset + 4 * i));
  return out;
}

uint16_t BE16(const QByteArray &b, int offset)
{
  return uint16_t((uint8_t(b[offset]) << 8) | uint8_t(b[offset + 1]));
}

namespace {

bool IsContainer(const QByteArray &name)
{
  for (const char *c : {"moov", "trak", "mdia", "minf", "stbl", "edts", "dinf", "gmhd", "udta", "tapt"})
    if (name == c) return true;
  return false;
}

void Walk(const QByteArray &file, int64_t pos, int64_t end, const QByteArray &prefix, std::vector<FoundAtom> &out)
{
  while (pos < end) {
    if (pos + 8 > end) {
      ADD_FAILURE() << "stray bytes at " << pos << " inside " << prefix.constData();
      return;
    }
    const uint32_t size = BE32(file, int(pos));
    const QByteArray name = file.mid(int(pos) + 4, 4);
    if (size < 8 || int64_t(size) > end - pos) {
      ADD_FAILURE() << "atom " << name.constData() << " at " << pos << " declares " << size << " bytes, " << (end - pos)
                    << " left in " << prefix.constData();
      return;
    }
    const QByteArray path = prefix.isEmpty() ? name : prefix + '/' + name;
    out.push_back({path, pos, size});
    if (IsContainer(name)) Walk(file, pos + 8, pos + size, path, out);
    pos += size;
  }
  EXPECT_EQ(pos, end) << "children do not fill " << prefix.constData();
}

} // namespace

std::vector<FoundAtom> WalkAtoms(const QByteArray &file)
{
  std::vector<FoundAtom> out;
  Walk(file, 0, file.size(), {}, out);
  return out;
}

std::vector<FoundAtom> FindAtoms(const std::vector<FoundAtom> &atoms, const QByteArray &path)
{
  std::vector<FoundAtom> out;
  for (const FoundAtom &a : atoms)
    if (a.Path == path) out.push_back(a);
  return out;
}

QByteArray AtomBody(const QByteArray &file, const FoundAtom &a)
{
  return file.mid(int(a.Offset) + 8, int(a.Size) - 8);
}

bool Append(TMOVWriter &w, TMOVReader &r, double p1, double p2, double speed, bool bigFPS, bool video, bool audio,
            const TMOVProgressEvent &progress)
{
  return w.AppendFragment(p1, p2, speed, bigFPS, r, progress, video, audio);
}

Output Finish(std::unique_ptr<TMOVWriter> &w, TMOVReader *tmpl, const QString &path)
{
  Output o;
  if (w) {
    w->WriteMoov(tmpl);
    o.Written = w->Tracks;
  }
  w.reset();
  o.Bytes = readFileBytes(path);
  o.Atoms = WalkAtoms(o.Bytes);
  o.Reader = std::make_unique<TMOVReader>(path, false);
  return o;
}

void ExpectSameTables(const Output &o)
{
  for (const TMOVTrack &w : o.Written) {
    const TMOVTrack *r = nullptr;
    for (const TMOVTrack &t : o.Reader->Tracks)
      if (t.TrackID == w.TrackID) r = &t;
    if (!w.Written) {
      EXPECT_FALSE(r) << "track " << w.TrackID << " has a trak but was not written";
      continue;
    }
    ASSERT_TRUE(r) << "track " << w.TrackID << " missing";
    EXPECT_EQ(r->Kind, w.Kind);
    EXPECT_EQ(r->Duration, w.Duration) << "track " << w.TrackID;
    if (w.PCMFrameSize > 0) continue; // re-read as PCM frames
    ASSERT_EQ(r->Samples.size(), w.Samples.size()) << "track " << w.TrackID;
    for (size_t i = 0; i < w.Samples.size(); ++i) {
      const TMOVSample &a = w.Samples[i], &b = r->Samples[i];
      SCOPED_TRACE(testing::Message() << "track " << w.TrackID << " sample " << i);
      ASSERT_EQ(b.Offset, a.Offset);
      ASSERT_EQ(b.Size, a.Size);
      ASSERT_EQ(b.Duration, double(Round(a.Duration)));
      ASSERT_TRUE(w.Kind != mtkVideo || b.KeyFrame == a.KeyFrame);
    }
  }
}

} // namespace kptest
