// The writer's output file, atom primitives, and the rollback that keeps a
// failed fragment out of the finished movie.

#include "UnitMOVWriter.h"
#include "UnitMOVWriterImpl.h"

#include "Numbers.h"

#include <QFile>

namespace kp {

// ---------------------------------------------------------------- construction

namespace {

std::unique_ptr<TFileStream> CreateOutput(const QString &fileName)
{
  // An existing file loses its read-only attribute first, as the copy
  // overwrites it anyway.
  if (QFile::exists(fileName))
    QFile::setPermissions(fileName, QFile::permissions(fileName) | QFileDevice::WriteOwner | QFileDevice::ReadOwner);
  return std::make_unique<TFileStream>(fileName, TFileStream::fmCreate);
}

} // namespace

TMOVWriter::TMOVWriter(const QString &fileName, TMOVWriterLimits limits) : TMOVWriter(CreateOutput(fileName), limits) {}

TMOVWriter::TMOVWriter(std::unique_ptr<TFileStream> out, TMOVWriterLimits limits) : FLimits(limits)
{
  FOut = out.get();
  Stream = std::move(out);
  if (FLimits.MdatSplit < 1) FLimits.MdatSplit = 1;
  WriteFtyp();
}

TMOVWriter::~TMOVWriter()
{
  try {
    while (!AtomStarts.empty()) EndAtom();
  } catch (const std::exception &) {
    // Nothing more can be done for a file the disk refuses.
  }
  if (FOut) FOut->Sync();
}

void TMOVWriter::WriteFtyp()
{
  BeginAtom("ftyp", 24);
  WriteStr("qt  ");
  WriteDWord(0);
  WriteStr("qt  ");
  WriteDWord(0);
  EndAtom();
}

// ---------------------------------------------------------------- primitives

int64_t TMOVWriter::GetPos() const
{
  return std::min(FOut->Position(), FOut->Size());
}

void TMOVWriter::BeginAtom(const char *Name, int32_t Size)
{
  QByteArray name(Name);
  name = name.left(4);
  while (name.size() < 4) name += ' ';
  const int64_t start = GetPos();
  FOut->Seek(start);
  WriteDWord(uint32_t(Size));
  WriteStr(name);
  AtomStarts.push_back(start);
  AtomSizes.push_back(Size);
}

void TMOVWriter::EndAtom()
{
  if (AtomStarts.empty()) return;
  const int64_t start = AtomStarts.back();
  const int32_t declared = AtomSizes.back();
  AtomStarts.pop_back();
  AtomSizes.pop_back();
  const int64_t length = GetPos() - start;
  if (length != declared) {
    if (length > int64_t(UINT32_MAX))
      throw EStreamWriteError(QStringLiteral("atom of %1 bytes does not fit its size field").arg(length), start);
    uint8_t b[4] = {uint8_t(length >> 24), uint8_t(length >> 16), uint8_t(length >> 8), uint8_t(length)};
    FOut->WriteAt(start, b, 4);
  }
}

void TMOVWriter::WriteVersionFlags(uint8_t Version, uint8_t F1, uint8_t F2, uint8_t F3)
{
  WriteDWord((uint32_t(Version) << 24) | (uint32_t(F1) << 16) | (uint32_t(F2) << 8) | F3);
}

// ---------------------------------------------------------------- durations

void TMOVWriter::RecomputeDurations()
{
  DurationMs = 0;
  for (TMOVTrack &t : Tracks) {
    int64_t d = 0;
    for (const TMOVSample &s : t.Samples) d += Round(s.Duration);
    t.Duration = d;
    t.DurationMs = t.TimeScale > 0 ? DurationToMs(d, t.TimeScale) : 0;
    if (t.DurationMs > DurationMs) {
      DurationMs = t.DurationMs;
      TimeScale = t.TimeScale;
      Duration = t.Duration;
    }
  }
}

// ---------------------------------------------------------------- rollback

TMOVWriter::TUndo TMOVWriter::SaveUndo() const
{
  TUndo u;
  u.Pos = GetPos();
  u.OpenAtoms = AtomStarts.size();
  u.TrackCount = Tracks.size();
  for (const TMOVTrack &t : Tracks)
    u.Tracks.push_back({t.Samples.size(), t.Samples.empty() ? 0.0 : t.Samples.back().Duration});
  u.TimeScale = TimeScale;
  u.Duration = Duration;
  u.DurationMs = DurationMs;
  u.CurTrack = CurTrack;
  return u;
}

// Puts the file and the tracks back as they were when undo was taken: the
// output ends where the failed call began, so the next call writes a valid
// movie with correct timing.
void TMOVWriter::Rollback(const TUndo &undo) noexcept
{
  FRun = TRun();
  AtomStarts.resize(std::min(AtomStarts.size(), undo.OpenAtoms));
  AtomSizes.resize(AtomStarts.size());
  Tracks.resize(std::min(Tracks.size(), undo.TrackCount));
  for (size_t i = 0; i < Tracks.size() && i < undo.Tracks.size(); ++i) {
    std::vector<TMOVSample> &smp = Tracks[i].Samples;
    if (smp.size() > undo.Tracks[i].Count) smp.resize(undo.Tracks[i].Count);
    if (!smp.empty()) smp.back().Duration = undo.Tracks[i].LastDuration;
  }
  FDelays.resize(std::min(FDelays.size(), Tracks.size()));
  for (size_t i = 0; i < FDelays.size(); ++i)
    while (!FDelays[i].empty() && FDelays[i].back().first >= Tracks[i].Samples.size()) FDelays[i].pop_back();
  RecomputeDurations();
  TimeScale = undo.TimeScale;
  Duration = undo.Duration;
  DurationMs = undo.DurationMs;
  CurTrack = undo.CurTrack;
  try {
    FOut->SetSize(undo.Pos);
    FOut->Seek(std::min(undo.Pos, FOut->Size()));
  } catch (const std::exception &) {
    // The position stays where it was; the caller sees the original error.
  }
}

// ---------------------------------------------------------------- text

QByteArray TruncateUtf8(const QByteArray &text, int maxBytes)
{
  if (text.size() <= maxBytes) return text;
  int n = std::max(0, maxBytes);
  // Step back over continuation bytes (10xxxxxx) to the start of the
  // character that would be cut, and cut before it.
  while (n > 0 && (uint8_t(text[n]) & 0xC0) == 0x80) --n;
  return text.left(n);
}

} // namespace kp
