#pragma once
// Synthetic source movies for the writer, and ways to look into its output.
// Every sample carries a marker with its source index, so a test can tell
// which source sample landed where.

#include "AtomBuilder.h"
#include "TestSupport.h"
#include "UnitMOVWriter.h"

#include <QByteArray>
#include <QTemporaryDir>
#include <map>
#include <string>
#include <vector>

namespace kptest {

// Frame letters: 'K' sync I frame, 'I' non-sync I frame, 'P', 'B' (all with
// an access-unit delimiter), '.' a non-sync frame without delimiter, 'k' a
// sync frame without delimiter.
struct SynthVideo {
  int32_t Id = 1;
  int32_t TimeScale = 90000;
  uint32_t Delta = 3003;
  QByteArray Types;
  bool Ctts = false;          // composition offsets (i % 3) * Delta
  bool Reorder = false;       // x264-like offsets: K 2, P 4, B 1 frames (mini-GOPs "PBB")
  bool EditList = true;       // a three-entry edit list in the template
  int32_t ConstSize = 0;      // every frame this size (else 20 + i % 7)
  bool EditListFirst = false; // the edit list stands before the tkhd
  uint8_t MdhdVersion = 0;
};

struct SynthSound {
  int32_t Id = 2;
  int32_t TimeScale = 48000;
  uint32_t Delta = 1024;
  int Count = 0;
  int32_t PCMFrame = 0; // > 0: PCM frames of this size, 1024 per chunk
};

inline QByteArray GopTypes(int frames, int gop, const char *pattern = "P")
{
  QByteArray t;
  const int n = int(qstrlen(pattern));
  for (int i = 0; i < frames; ++i) t += (i % gop == 0) ? 'K' : pattern[(i % gop - 1) % n];
  return t;
}

inline QByteArray VideoSample(char type, int index, int size)
{
  Bytes b;
  if (type == '.' || type == 'k')
    b.u32(2).u8(0x65).u8(0x88);
  else
    b.u32(2).u8(9).u8(type == 'P' ? 0x30 : type == 'B' ? 0x50 : 0x10);
  b.u8('V').u32(uint32_t(index));
  QByteArray d = b;
  d.append(QByteArray(std::max(0, size - int(d.size())), char(index)));
  return d.left(std::max(size, 11));
}

inline QByteArray SoundSample(int index, int size)
{
  QByteArray d = Bytes().u8('A').u32(uint32_t(index));
  d.append(QByteArray(std::max(0, size - 5), char(index)));
  return d;
}

inline int32_t VideoSize(const SynthVideo &v, int i)
{
  return v.ConstSize > 0 ? std::max(11, v.ConstSize) : 20 + i % 7;
}

QByteArray SynthMovie(const std::vector<SynthVideo> &videos, const std::vector<SynthSound> &sounds,
                      bool soundFirst = false);

// Writes bytes to a file in dir and opens a reader on it.
std::unique_ptr<kp::TMOVReader> OpenSynth(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes);

// The marker of a sample in a file: 'V' or 'A' and the source index, or
// -1 when the sample holds none.
int MarkerIndex(const QByteArray &file, const kp::TMOVSample &s, char *kind = nullptr);
std::vector<int> MarkerIndexes(const QByteArray &file, const kp::TMOVTrack &t);

// One atom found in a file: its path ("moov/trak/tkhd"), offset and size.
struct FoundAtom {
  QByteArray Path;
  int64_t Offset = 0;
  uint32_t Size = 0;
};

// Walks every container the writer produces; fails the test when a
// container's children do not fill it exactly or the top level does not
// fill the file.
std::vector<FoundAtom> WalkAtoms(const QByteArray &file);
std::vector<FoundAtom> FindAtoms(const std::vector<FoundAtom> &atoms, const QByteArray &path);
QByteArray AtomBody(const QByteArray &file, const FoundAtom &a);
uint32_t BE32(const QByteArray &b, int offset);
uint16_t BE16(const QByteArray &b, int offset);
// n big-endian words from offset on, to compare a table in one go.
std::vector<uint32_t> Words(const QByteArray &b, int offset, int n);

// The finished output: its bytes, its atoms (sizes checked) and our reader's
// view of it.
struct Output {
  QByteArray Bytes;
  std::vector<FoundAtom> Atoms;
  std::unique_ptr<kp::TMOVReader> Reader;
  std::vector<kp::TMOVTrack> Written; // the writer's tracks as it finished
  std::vector<FoundAtom> Find(const char *path) const { return FindAtoms(Atoms, path); }
  QByteArray Body(const char *path, int n = 0) const
  {
    const auto found = Find(path);
    return int(found.size()) > n ? AtomBody(Bytes, found[n]) : QByteArray();
  }
};
// Writes the moov from tmpl, closes the writer and reads the file back.
Output Finish(std::unique_ptr<kp::TMOVWriter> &w, kp::TMOVReader *tmpl, const QString &path);

// Every written track re-read by our reader with the same samples (offset,
// size, rounded duration, key flag, composition offset); a track without
// trak must be absent.
void ExpectSameTables(const Output &o);

// The first track of a kind, or an empty track.
inline const kp::TMOVTrack &TrackOfKind(const std::vector<kp::TMOVTrack> &tracks, kp::TMOVTrackKind kind)
{
  static const kp::TMOVTrack none;
  for (const kp::TMOVTrack &t : tracks)
    if (t.Kind == kind) return t;
  return none;
}

// Appends with the usual arguments.
bool Append(kp::TMOVWriter &w, kp::TMOVReader &r, double p1, double p2, double speed = 1, bool bigFPS = false,
            bool video = true, bool audio = true, const kp::TMOVProgressEvent &progress = {});

// A scratch folder with synthetic sources and one output movie.
class WriterTest : public ::testing::Test {
protected:
  QTemporaryDir Dir;
  QString OutPath() const { return Dir.filePath(QStringLiteral("out.mov")); }
  std::unique_ptr<kp::TMOVWriter> NewWriter(kp::TMOVWriterLimits limits = {})
  {
    return std::make_unique<kp::TMOVWriter>(OutPath(), limits);
  }
  std::unique_ptr<kp::TMOVReader> Source(const QString &name, const std::vector<SynthVideo> &v,
                                         const std::vector<SynthSound> &s = {}, bool soundFirst = false)
  {
    return OpenSynth(Dir, name, SynthMovie(v, s, soundFirst));
  }
  // One fragment of src into a fresh output, read back.
  Output CutOne(kp::TMOVReader &src, double p1, double p2, double speed = 1, bool bigFPS = false)
  {
    auto w = NewWriter();
    EXPECT_TRUE(Append(*w, src, p1, p2, speed, bigFPS));
    return Finish(w, &src, OutPath());
  }
};

} // namespace kptest
