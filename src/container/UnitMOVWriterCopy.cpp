// Copying one fragment of a source movie: the start snapped back to a key
// frame, the selected tracks interleaved by output time into mdat atoms, and
// the speed applied (durations scaled, sound decimated or repeated, video
// thinned to decodable frames).

#include "Errors.h"
#include "Numbers.h"
#include "UnitMOVWriter.h"
#include "UnitMOVWriterImpl.h"

#include <QStringList>
#include <algorithm>
#include <cmath>
#include <limits>

namespace kp {

namespace {

// The H.264 frame type from an access-unit delimiter at the start of the
// sample: 1 I, 2 P, 3 B, 0 unknown (no delimiter, or another value).
int FrameType(const std::vector<uint8_t> &data, int32_t size)
{
  if (size < 6 || data.size() < 6) return 0;
  if (data[0] != 0 || data[1] != 0 || data[2] != 0 || data[3] != 2 || data[4] != 9) return 0;
  switch (data[5]) {
  case 0x10: return 1;
  case 0x30: return 2;
  case 0x50: return 3;
  default: return 0;
  }
}

bool Copied(TMOVTrackKind kind, bool video, bool audio)
{
  return (kind == mtkVideo && video) || (kind == mtkAudio && audio);
}

// A fragment's sound catches up with its picture by at most this much
// (seconds): more means an earlier source's sound stopped before its
// picture, and no sound is there to keep in step.
constexpr long double kCatchUpSeconds = 0.25;

// Longest run of contiguous samples copied with one read and one write.
constexpr int64_t MaxRun = int64_t(4) << 20;

QString SourceName(const TMOVReader &reader)
{
  return reader.FileName().isEmpty() ? QStringLiteral("the source movie") : reader.FileName();
}

const char *KindWord(TMOVTrackKind kind)
{
  return kind == mtkVideo ? "video" : "sound";
}

} // namespace

bool TMOVWriter::AppendFragment(double &P1, double &P2, double Speed, bool BigFPS, TMOVReader &Reader,
                                const TMOVProgressEvent &OnProgress, bool Video, bool Audio)
{
  // A speed that is not a positive number cannot scale anything.
  if (!(Speed > 0) || !std::isfinite(Speed)) Speed = 1;
  if (const TMOVTrack *v = Reader.FindVideoTrack()) {
    const int32_t i = TrackSampleIndexAt(*v, P1);
    if (i < int32_t(v->Samples.size()) && !v->Samples[i].KeyFrame) {
      const int32_t k = TrackKeyFrameAtOrBefore(*v, i);
      if (k >= 0 && v->Duration > 0) P1 = double(v->Samples[k].DecodeTime) / double(v->Duration);
    }
  }
  TFragment f{Reader, Speed, BigFPS, OnProgress, {}, 1, 0, -1, 0, 0};
  FLastFragmentClipped = false;
  const TUndo undo = SaveUndo();
  try {
    CheckListed(Reader, Video, Audio);
    f.States.resize(Reader.Tracks.size());
    for (size_t ti = 0; ti < Reader.Tracks.size(); ++ti) SetUpState(f, int(ti), P1, P2, Video, Audio);
    AlignSound(f, P1, P2);
    ChooseStep(f);
    const bool result = CopyFragment(f);
    if (result) CheckNotEmpty(SourceName(Reader));
    return result;
  } catch (...) {
    Rollback(undo);
    throw;
  }
}

// A track the caller asked for whose samples the reader could not list
// would vanish from the movie without a word.
void TMOVWriter::CheckListed(const TMOVReader &Reader, bool Video, bool Audio) const
{
  for (const TMOVTrack &t : Reader.Tracks)
    if (Copied(t.Kind, Video, Audio) && t.Samples.empty() && !t.ListError.isEmpty())
      throw EConvertError(QStringLiteral("%1: the %2 track %3 cannot be copied: %4")
                              .arg(SourceName(Reader), QLatin1String(KindWord(t.Kind)))
                              .arg(t.TrackID)
                              .arg(t.ListError));
}

// A movie whose video and sound tracks hold no sample (or that has none)
// would play as nothing.
void TMOVWriter::CheckNotEmpty(const QString &source) const
{
  QStringList ids;
  for (const TMOVTrack &t : Tracks) {
    if (t.Kind == mtkText) continue;
    if (!t.Samples.empty()) return;
    ids << QString::number(t.TrackID);
  }
  if (ids.isEmpty()) throw EConvertError(QStringLiteral("%1: no video or sound track to copy").arg(source));
  throw EConvertError(QStringLiteral("%1: no samples to copy in track %2").arg(source, ids.join(QStringLiteral(", "))));
}

// The writer track a source track continues: same ID and same kind, never
// the text track. -1: none yet; -2: the ID belongs to a track of another
// kind, so the source track cannot be copied.
int TMOVWriter::FindDestination(const TMOVTrack &source) const
{
  for (size_t i = 0; i < Tracks.size(); ++i) {
    const TMOVTrack &t = Tracks[i];
    if (t.Kind == mtkText || t.TrackID != source.TrackID) continue;
    return t.Kind == source.Kind ? int(i) : -2;
  }
  return -1;
}

// Samples First..Last, clipped to those that lie wholly inside the source
// file (a truncated camera file keeps its intact part).
void TMOVWriter::ClipToSource(TFragment &f, const TMOVTrack &t, TCopyState &s)
{
  const int64_t fileSize = f.Reader.Stream ? f.Reader.Stream->Size() : 0;
  for (int32_t i = s.First; i <= s.Last; ++i) {
    const TMOVSample &smp = t.Samples[i];
    if (smp.Size < 0 || smp.Offset < 0)
      throw EConvertError(QStringLiteral("track %1: sample %2 has a negative size or offset").arg(t.TrackID).arg(i));
    if (smp.Offset > fileSize - smp.Size) {
      s.Last = i - 1;
      break;
    }
    f.Bytes += smp.Size;
  }
}

// With reordered frames (B-frames) a fragment that ends in decode order
// between a reference frame and the frames shown before it would show that
// frame after the next fragment's first. The end moves back to the last
// sample after which nothing earlier is still to be shown.
int32_t TMOVWriter::DisplayClosedEnd(const TMOVTrack &t, int32_t first, int32_t last)
{
  const auto &smp = t.Samples;
  const int32_t n = int32_t(smp.size());
  if (last < first || last >= n - 1) return last;
  const bool reordered = std::any_of(smp.begin() + first, smp.begin() + last + 1,
                                     [](const TMOVSample &x) { return x.CompositionOffset != 0; });
  if (!reordered) return last;
  auto pts = [&smp](int32_t i) { return smp[i].DecodeTime + smp[i].CompositionOffset; };
  // Earliest presentation among the samples after each candidate end.
  std::vector<int64_t> minAfter(size_t(last - first + 1));
  int64_t m = std::numeric_limits<int64_t>::max();
  for (int32_t j = n - 1; j > last; --j) m = std::min(m, pts(j));
  for (int32_t e = last; e >= first; --e) {
    minAfter[size_t(e - first)] = m;
    m = std::min(m, pts(e));
  }
  int64_t maxUpTo = std::numeric_limits<int64_t>::min();
  int32_t closed = -1;
  for (int32_t e = first; e <= last; ++e) {
    maxUpTo = std::max(maxUpTo, pts(e));
    if (maxUpTo < minAfter[size_t(e - first)]) closed = e;
  }
  return closed >= 0 ? closed : last;
}

void TMOVWriter::SetUpState(TFragment &f, int ti, double P1, double P2, bool Video, bool Audio)
{
  const TMOVTrack &t = f.Reader.Tracks[ti];
  TCopyState &s = f.States[ti];
  s.First = TrackSampleIndexAt(t, P1);
  s.Last = t.Samples.empty() ? s.First - 1 : TrackSampleIndexAt(t, P2);
  if (t.Kind == mtkVideo) {
    for (size_t i = 1; i < t.Samples.size(); ++i)
      if (t.Samples[i].KeyFrame) {
        f.Gop = int32_t(i);
        break;
      }
  }
  if (t.Kind == mtkVideo) s.Last = DisplayClosedEnd(t, s.First, s.Last);
  const int32_t asked = s.Last;
  ClipToSource(f, t, s);
  if (s.Last < asked && Copied(t.Kind, Video, Audio)) FLastFragmentClipped = true;
  s.Cur = s.First;
  s.Count = std::max(0, s.Last - s.First + 1);
  int dst = FindDestination(t);
  for (int j = 0; j < ti && dst >= 0; ++j)
    if (f.States[j].DstIndex == dst) dst = -2; // a duplicate ID within the source
  if (dst == -1 && Copied(t.Kind, Video, Audio)) {
    TMOVTrack d = t;
    d.Samples = {};
    d.Tables.Clear();
    d.Duration = 0;
    d.DurationMs = 0;
    d.Written = false;
    Tracks.push_back(std::move(d));
    dst = int(Tracks.size()) - 1;
  }
  if (dst < 0) {
    s = TCopyState();
    s.Cur = 1;
    return;
  }
  TMOVTrack &d = Tracks[dst];
  s.DstIndex = dst;
  s.DstCount = int32_t(d.Samples.size());
  int64_t room = int64_t(s.DstCount) + s.Count;
  if (d.Kind == mtkAudio && f.Speed < 0.99) room = Round(double(room) / f.Speed);
  d.Samples.reserve(size_t(std::max<int64_t>(room, 0)));
  s.OutTime = d.TimeScale > 0 ? (long double)d.Duration / d.TimeScale : 0;
  // Progress follows the first track, or the first one copied when that
  // one is not.
  if (f.ProgressTrack < 0) f.ProgressTrack = ti;
}

// The sound's part of the fragment: from the first picture copied, as long
// as the pictures last in the output. Sound is stored in blocks (a PCM chunk
// is a tenth of a second or so) that rarely begin with a picture; taken
// whole, and repeated in slow motion, each block's overhang would delay the
// next fragment's sound behind its picture, more the more it is slowed.
void TMOVWriter::AlignSound(TFragment &f, double p1, double p2)
{
  const TMOVTrack *v = f.Reader.FindVideoTrack();
  if (!v || v->TimeScale <= 0) return;
  const TCopyState &vs = f.States[size_t(v - f.Reader.Tracks.data())];
  // The pictures the fragment spans, copied or not.
  int32_t first = vs.First, last = vs.Last;
  if (vs.DstIndex < 0) {
    first = TrackSampleIndexAt(*v, p1);
    last = v->Samples.empty() ? first - 1 : DisplayClosedEnd(*v, first, TrackSampleIndexAt(*v, p2));
  }
  if (last < first || size_t(last) >= v->Samples.size()) return;
  const long double start = (long double)v->Samples[size_t(first)].DecodeTime / v->TimeScale;
  long double length = 0;
  for (int32_t i = first; i <= last; ++i) length += v->Samples[size_t(i)].Duration;
  length /= v->TimeScale;
  if (std::fabs(f.Speed - 1) > 0.01) length /= f.Speed;
  // Where the picture of this fragment begins in the output; the sound
  // catches up there unless an earlier source had none to keep step with.
  long double pictureAt = -1;
  if (vs.DstIndex >= 0 && Tracks[size_t(vs.DstIndex)].TimeScale > 0)
    pictureAt = (long double)Tracks[size_t(vs.DstIndex)].Duration / Tracks[size_t(vs.DstIndex)].TimeScale;
  for (size_t ti = 0; ti < f.States.size(); ++ti) {
    TCopyState &s = f.States[ti];
    const TMOVTrack &t = f.Reader.Tracks[ti];
    if (t.Kind != mtkAudio || s.DstIndex < 0 || t.TimeScale <= 0 || s.Last < s.First ||
        Tracks[size_t(s.DstIndex)].TimeScale <= 0)
      continue;
    const int64_t at = Round(double(start * t.TimeScale));
    // The block holding the first picture.
    while (s.First > 0 && t.Samples[size_t(s.First)].DecodeTime > at) --s.First;
    while (s.First < s.Last && t.Samples[size_t(s.First) + 1].DecodeTime <= at) ++s.First;
    const TMOVSample &block = t.Samples[size_t(s.First)];
    if (t.PCMFrameSize > 0 && block.Size >= 2 * t.PCMFrameSize && block.Duration > 0 && at > block.DecodeTime) {
      const int32_t frames = block.Size / t.PCMFrameSize;
      const double perFrame = block.Duration / frames;
      s.HeadFrames = int32_t(std::min<int64_t>(Round(double(at - block.DecodeTime) / perFrame), frames - 1));
    }
    s.Cur = s.First;
    s.Count = s.Last - s.First + 1;
    s.EndTime = (pictureAt >= 0 && std::fabs(pictureAt - s.OutTime) < kCatchUpSeconds ? pictureAt : s.OutTime) + length;
    s.Aligned = true;
  }
}

void TMOVWriter::ChooseStep(TFragment &f)
{
  f.Step = int32_t(std::max<int64_t>(1, Round(f.Speed)));
  if (f.Gop <= 1) return;
  const double r = double(f.Step) / f.Gop;
  if (r < 0.5) return;
  if (r <= 0.55)
    f.Step = f.Gop / 2;
  else
    f.Step = int32_t(std::ceil(r)) * f.Gop;
}

bool TMOVWriter::CopyFragment(TFragment &f)
{
  const int64_t total = f.Bytes + (f.Bytes / FLimits.MdatSplit + 1) * 8;
  FOut->Reserve(GetPos() + total); // only a hint to the file system
  BeginAtom("mdat", 0);
  f.MdatBytes = 0;
  bool result = true;
  for (;;) {
    int best = -1;
    for (size_t i = 0; i < f.States.size(); ++i) {
      const TCopyState &s = f.States[i];
      if (s.Cur <= s.Last && (best < 0 || s.OutTime < f.States[best].OutTime)) best = int(i);
    }
    if (best < 0) break;
    TCopyState &s = f.States[best];
    if (best == f.ProgressTrack && (s.Cur - s.First) % 32 == 0 && f.OnProgress &&
        !f.OnProgress(double(s.OutTime), double(s.Cur - s.First) / std::max(s.Count, 1))) {
      result = false;
      break;
    }
    CopySample(f, best);
    ++s.Cur;
  }
  if (result) PadSound(f);
  FlushRun();
  EndAtom();
  if (FOut->Size() != GetPos()) FOut->SetSize(GetPos());
  RecomputeDurations();
  return result;
}

void TMOVWriter::ReadSample(TMOVReader &reader, const TMOVSample &smp)
{
  if (Buffer.size() < size_t(smp.Size)) Buffer.resize(size_t(smp.Size) * 2);
  if (!reader.Stream) throw EStreamReadError(QStringLiteral("source movie is closed"), smp.Offset);
  reader.Stream->ReadAt(smp.Offset, Buffer.data(), smp.Size);
}

void TMOVWriter::CopySample(TFragment &f, int ti)
{
  TCopyState &s = f.States[ti];
  if (s.Aligned) {
    CopySound(f, ti);
    return;
  }
  const TMOVTrack &t = f.Reader.Tracks[ti];
  TMOVTrack &d = Tracks[s.DstIndex];
  if (d.Kind == mtkAudio && f.Speed > 1.01 && (s.Cur - s.First) % f.SoundStep() != 0) return;
  TMOVSample smp = t.Samples[s.Cur];
  if (t.TimeScale > 0 && d.TimeScale > 0 && t.TimeScale != d.TimeScale) {
    smp.Duration = d.TimeScale * (smp.Duration / t.TimeScale);
    smp.CompositionOffset = Round32(double(d.TimeScale) * smp.CompositionOffset / t.TimeScale);
  }
  if (d.Kind == mtkVideo && std::fabs(f.Speed - 1) > 0.01) {
    smp.Duration = smp.Duration / f.Speed;
    smp.CompositionOffset = Round32(smp.CompositionOffset / f.Speed);
  }
  const long double dt = d.TimeScale > 0 ? (long double)smp.Duration / d.TimeScale : 0;
  s.OutTime += dt;
  // Thinning needs the frame's bytes to tell its type; everything else is
  // copied in runs.
  const bool thin = d.Kind == mtkVideo && f.Speed > 1.01 && !f.BigFPS;
  if (thin) {
    ReadSample(f.Reader, smp);
    if (ThinKeyFrames(f, ti, smp)) return;
  }
  WriteSampleData(f, s, smp, thin);
  if (d.Kind == mtkAudio && f.Speed < 0.99) {
    // Slow motion repeats each sound sample in the index; its data is
    // written once.
    const int64_t n = f.SoundRepeats();
    const TMOVSample written = d.Samples.back();
    for (int64_t k = 1; k < n; ++k) {
      d.Samples.push_back(written);
      s.OutTime += dt;
      ++s.DstCount;
    }
  }
}

namespace {

// Frames Skip .. Skip + Keep - 1 of a PCM sample (at least one frame).
TMOVSample PCMPart(TMOVSample smp, int32_t frameSize, int32_t skip, int32_t keep)
{
  const int32_t frames = smp.Size / frameSize;
  if (frames <= 0) return smp;
  const double perFrame = smp.Duration / frames;
  skip = std::clamp(skip, 0, frames - 1);
  keep = std::clamp(keep, 1, frames - skip);
  smp.Offset += int64_t(skip) * frameSize;
  smp.Size = keep * frameSize;
  smp.Duration = perFrame * keep;
  return smp;
}

} // namespace

// Sound in step with the picture: decimated when sped up, each sample
// listed again and again when slowed, and ended (a PCM sample to the frame)
// where the fragment's picture ends.
void TMOVWriter::CopySound(TFragment &f, int ti)
{
  TCopyState &s = f.States[ti];
  const TMOVTrack &t = f.Reader.Tracks[ti];
  TMOVTrack &d = Tracks[s.DstIndex];
  if (f.Speed > 1.01 && (s.Cur - s.First) % f.SoundStep() != 0) return;
  TMOVSample smp = t.Samples[s.Cur];
  if (s.Cur == s.First && s.HeadFrames > 0) smp = PCMPart(smp, t.PCMFrameSize, s.HeadFrames, smp.Size);
  if (t.TimeScale > 0 && d.TimeScale > 0 && t.TimeScale != d.TimeScale)
    smp.Duration = d.TimeScale * (smp.Duration / t.TimeScale);
  const int64_t times = f.SoundRepeats();
  int64_t dataAt = -1;
  for (int64_t k = 0; k < times; ++k) {
    TMOVSample part = smp;
    if (!FitSound(d, s, part)) {
      s.Cur = s.Last; // the picture has ended
      return;
    }
    if (dataAt < 0) {
      WriteSampleData(f, s, part, false);
      dataAt = d.Samples.back().Offset;
    } else {
      // Slow motion lists the sample again; its data is written once.
      part.Offset = dataAt;
      d.Samples.push_back(part);
      ++s.DstCount;
    }
    s.OutTime += (long double)part.Duration / d.TimeScale;
  }
}

// Fits Part into what is left of the fragment's sound: false when nothing
// is (half a frame or half a sample); a PCM sample that would outlast the
// picture is cut to the frame.
bool TMOVWriter::FitSound(const TMOVTrack &d, const TCopyState &s, TMOVSample &part)
{
  if (!(part.Duration > 0)) return true;
  const long double left = (s.EndTime - s.OutTime) * d.TimeScale;
  if (d.PCMFrameSize > 0 && part.Size >= d.PCMFrameSize) {
    const int32_t frames = part.Size / d.PCMFrameSize;
    const int64_t fit = Round(double(left * frames / part.Duration));
    if (fit <= 0) return false;
    if (fit < frames) part = PCMPart(part, d.PCMFrameSize, 0, int32_t(fit));
    return true;
  }
  return left >= part.Duration / 2;
}

// A source whose sound ends before its picture (its last block cut short,
// as recorders do) by no more than one of its samples: its last sound is
// listed again up to the picture's end, so the next fragment's sound does
// not run ahead of its picture. A sound that stops earlier stays as it is.
void TMOVWriter::PadSound(TFragment &f)
{
  for (size_t ti = 0; ti < f.States.size(); ++ti) {
    TCopyState &s = f.States[ti];
    if (!s.Aligned || !s.Started) continue;
    const TMOVTrack &t = f.Reader.Tracks[ti];
    TMOVTrack &d = Tracks[size_t(s.DstIndex)];
    const TMOVSample last = d.Samples[size_t(s.DstCount) - 1];
    const long double sample = (long double)f.SoundRepeats() * t.Samples[size_t(s.Last)].Duration / t.TimeScale;
    if (!(last.Duration > 0) || s.EndTime - s.OutTime > sample) continue;
    for (TMOVSample part = last; FitSound(d, s, part); part = last) {
      d.Samples.push_back(part);
      ++s.DstCount;
      s.OutTime += (long double)part.Duration / d.TimeScale;
    }
  }
}

// Key-frame mode: keeps only frames that decode without the dropped ones,
// at most one every Step frames. Returns true when the frame is dropped; its
// time then goes to the last written frame.
bool TMOVWriter::ThinKeyFrames(TFragment &f, int ti, TMOVSample &smp)
{
  TCopyState &s = f.States[ti];
  TMOVTrack &d = Tracks[s.DstIndex];
  const int type = smp.KeyFrame ? 1 : FrameType(Buffer, smp.Size);
  // A P frame before this call's first written key frame would refer to
  // frames that were never written (a dropped opening key frame, or the
  // previous fragment's pictures): it cannot be decoded.
  const bool orphan = type == 2 && s.KeptSinceKey == 0;
  const bool drop = type == 3 || type == 0 || s.SinceKept < f.Step - 1 || (type == 2 && s.RememberedP > 0) || orphan;
  if (drop && s.DstCount > 0) {
    if (s.RememberedP <= 0 && type == 2) s.RememberedP = s.Cur;
    if (!smp.KeyFrame && type == 1) s.RememberedI = s.Cur;
    ++s.SinceKept;
    d.Samples[size_t(s.DstCount) - 1].Duration += smp.Duration;
    return true;
  }
  s.SinceKept = 0;
  if (smp.KeyFrame) {
    const int32_t k = s.RememberedI > 0 ? s.RememberedI : (s.RememberedP > 0 ? s.RememberedP : 0);
    if (s.KeptSinceKey == 1 && k > 0) {
      // Only the previous key frame was written since the one before it:
      // the first frame after it takes this key frame's place, so the
      // picture moves on between key frames.
      TMOVSample r = f.Reader.Tracks[ti].Samples[k];
      r.Duration = smp.Duration;
      r.CompositionOffset = smp.CompositionOffset;
      smp = r;
      ReadSample(f.Reader, smp);
    }
  }
  s.KeptSinceKey = smp.KeyFrame ? 1 : s.KeptSinceKey + 1;
  s.RememberedP = 0;
  s.RememberedI = 0;
  return false;
}

void TMOVWriter::WriteSampleData(TFragment &f, TCopyState &s, TMOVSample &smp, bool inBuffer)
{
  TMOVTrack &d = Tracks[s.DstIndex];
  if (!s.Started && d.Kind == mtkVideo) {
    if (FDelays.size() < Tracks.size()) FDelays.resize(Tracks.size());
    FDelays[s.DstIndex].push_back({d.Samples.size(), smp.CompositionOffset});
  }
  s.Started = true;
  const int64_t from = smp.Offset;
  smp.Offset = FRun.Length > 0 ? FRun.To + FRun.Length : GetPos();
  if (inBuffer) {
    FlushRun();
    FOut->Seek(smp.Offset);
    FOut->Write(Buffer.data(), smp.Size);
  } else {
    if (!f.Reader.Stream) throw EStreamReadError(QStringLiteral("source movie is closed"), from);
    QueueRun(*f.Reader.Stream, from, smp.Offset, smp.Size);
  }
  f.MdatBytes += smp.Size;
  if (f.MdatBytes >= FLimits.MdatSplit) {
    FlushRun();
    EndAtom();
    BeginAtom("mdat", 0);
    f.MdatBytes = 0;
  }
  d.Samples.push_back(smp);
  ++s.DstCount;
}

void TMOVWriter::QueueRun(TByteStream &source, int64_t from, int64_t to, int32_t size)
{
  if (FRun.Length > 0 && (FRun.Source != &source || FRun.From + FRun.Length != from || FRun.Length + size > MaxRun))
    FlushRun();
  if (FRun.Length == 0) FRun = {&source, from, to, 0};
  FRun.Length += size;
}

void TMOVWriter::FlushRun()
{
  if (FRun.Length <= 0) return;
  const TRun run = FRun;
  FRun = TRun();
  if (FRunBuffer.size() < size_t(run.Length)) FRunBuffer.resize(size_t(run.Length));
  run.Source->ReadAt(run.From, FRunBuffer.data(), run.Length);
  FOut->Seek(run.To);
  FOut->Write(FRunBuffer.data(), run.Length);
}

} // namespace kp
