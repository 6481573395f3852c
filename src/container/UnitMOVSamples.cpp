// Turning raw sample tables into per-sample lists, and the queries that rest
// on them.

#include "Numbers.h"
#include "UnitMOV.h"

#include <algorithm>
#include <limits>

namespace kp {

namespace {

constexpr int64_t MinSampleListBytes = int64_t(64) << 20;

int64_t SaturatingAdd(int64_t a, int64_t b)
{
  if (b > 0 && a > std::numeric_limits<int64_t>::max() - b) return std::numeric_limits<int64_t>::max();
  return a + b;
}

// Tiny fixed-size sound samples (PCM frames) become one sample per chunk of
// the chunk's own frames, whatever the number of sample-to-chunk entries:
// recorders often end with a shorter chunk, and a record per frame would
// outgrow the list. Frames the chunks cannot hold are left out. Returns the
// frame size, or 0 when the track does not qualify.
int32_t RegroupPCM(TMOVSampleTables &tab)
{
  const auto &stc = tab.SampleToChunk;
  if (tab.SampleSizes.size() != 1 || tab.SampleSizes[0] >= 10 || tab.SampleSizes[0] <= 0 || stc.empty() ||
      tab.TimeToSample.size() != 1 || tab.ChunkOffsets.empty())
    return 0;
  // A zero count per chunk leaves nothing sound to group by.
  if (std::any_of(stc.begin(), stc.end(), [](const TMOVSampleToChunk &e) { return e.SamplesPerChunk <= 0; })) return 0;
  const int64_t frame = tab.SampleSizes[0];
  const int64_t delta = tab.TimeToSample[0].Delta;
  int64_t left = tab.TimeToSample[0].Count;
  std::vector<int32_t> sizes;
  std::vector<TMOVTimeToSample> times;
  for (size_t c = 0, e = 0; c < tab.ChunkOffsets.size() && left > 0; ++c) {
    while (e + 1 < stc.size() && int64_t(c) >= stc[e + 1].FirstChunk) ++e;
    const int64_t n = std::min<int64_t>(stc[e].SamplesPerChunk, left);
    left -= n;
    // A chunk too large for the fields is no PCM chunk we can store.
    if (frame * n > std::numeric_limits<int32_t>::max() || delta * n > std::numeric_limits<uint32_t>::max()) return 0;
    sizes.push_back(int32_t(frame * n));
    const auto d = uint32_t(delta * n);
    if (!times.empty() && times.back().Delta == d)
      ++times.back().Count;
    else
      times.push_back({1, d});
  }
  tab.ChunkOffsets.resize(sizes.size());
  tab.SampleSizes = std::move(sizes);
  tab.TimeToSample = std::move(times);
  tab.SampleToChunk = {{0, 1}};
  return int32_t(frame);
}

// The number of samples the tables describe, capped by what the size table
// (or, for a constant size, the file) can back.
int64_t CountSamples(const TMOVSampleTables &tab, int64_t fileSize)
{
  int64_t sum = 0;
  for (const TMOVTimeToSample &e : tab.TimeToSample) sum += e.Count; // at most 2^32 entries of 2^32
  // Without a size table no list is built, so the count only feeds the
  // frame rate and needs no backing.
  int64_t cap = tab.SampleSizes.empty() ? sum : int64_t(tab.SampleSizes.size());
  if (tab.SampleSizes.size() == 1 && tab.SampleSizes[0] > 0) cap = fileSize / tab.SampleSizes[0];
  return std::min({sum, cap, int64_t(std::numeric_limits<int32_t>::max())});
}

// Walks the tables sample by sample as the list is built, every index kept
// inside its table. visit(i, sample) is called in decode order; the walk
// stops at the first sample that does not lie inside the file and returns
// how many samples it visited.
template <typename Visit>
int64_t WalkSamples(const TMOVSampleTables &tab, int64_t count, int64_t fileSize, Visit &&visit,
                    int64_t *outsideAt = nullptr)
{
  const auto &chunks = tab.ChunkOffsets;
  const auto &stc = tab.SampleToChunk;
  const auto &stts = tab.TimeToSample;
  const auto &ctts = tab.CompositionOffsets;
  const auto &sizes = tab.SampleSizes;
  const size_t lastChunk = chunks.size() - 1;
  size_t c = 0, e = 0, t = 0, u = 0;
  int64_t k = 0, r = 0, v = 0, decodeTime = 0;
  int64_t offset = chunks[0];
  for (int64_t i = 0; i < count; ++i) {
    // The entry in force is the last whose first chunk is not after this one.
    while (e + 1 < stc.size() && int64_t(c) >= stc[e + 1].FirstChunk) ++e;
    if (stc[e].SamplesPerChunk <= k) {
      k = 0;
      ++c;
      offset = chunks[std::min(c, lastChunk)];
    }
    while (t < stts.size() && stts[t].Count <= r) {
      r = 0;
      ++t;
    }
    TMOVSample s;
    const TMOVTimeToSample &time = stts[std::min(t, stts.size() - 1)];
    s.Offset = offset;
    s.DecodeTime = decodeTime;
    s.Duration = time.Delta;
    s.Size = sizes[std::min(size_t(i), sizes.size() - 1)];
    s.DependencyFlags = i < tab.SampleDependency.size() ? uint8_t(tab.SampleDependency.at(qsizetype(i))) : 0;
    if (offset < 0 || offset > fileSize - s.Size) {
      if (outsideAt) *outsideAt = offset;
      return i;
    }
    offset += s.Size;
    ++k;
    decodeTime = SaturatingAdd(decodeTime, time.Delta);
    ++r;
    if (!ctts.empty()) {
      while (u < ctts.size() && ctts[u].Count <= v) {
        v = 0;
        ++u;
      }
      s.CompositionOffset = ctts[std::min(u, ctts.size() - 1)].Offset;
      ++v;
    }
    visit(i, s);
  }
  return count;
}

} // namespace

void TMOVReader::BuildSampleTables()
{
  for (TMOVTrack &t : Tracks) {
    if (CreationTime == 0 || (t.CreationTime > 0 && t.CreationTime < CreationTime)) CreationTime = t.CreationTime;
    if (t.DurationMs > DurationMs) DurationMs = t.DurationMs;
    try {
      BuildTrack(t);
    } catch (const std::exception &e) {
      t.Samples.clear();
      t.ListError = QString::fromStdString(e.what());
      Note(QStringLiteral("track %1: %2").arg(t.TrackID).arg(t.ListError), MoovPos, true);
    }
    t.Tables.Clear();
  }
}

void TMOVReader::BuildTrack(TMOVTrack &track)
{
  TMOVSampleTables &tab = track.Tables;
  const int64_t fileSize = Stream->Size();
  track.PCMFrameSize = RegroupPCM(tab);
  track.SampleCount = CountSamples(tab, fileSize);
  track.TotalBytes = 0;
  for (int32_t s : tab.SampleSizes) track.TotalBytes += s;
  if (track.SampleCount <= 0) return;
  if (tab.ChunkOffsets.empty() || tab.TimeToSample.empty() || tab.SampleSizes.empty() || tab.SampleToChunk.empty()) {
    // Header-only reading never has the chunk tables; a full read should.
    if (!FHeaderOnly) {
      track.ListError = QStringLiteral("incomplete sample tables");
      Note(QStringLiteral("track %1: %2").arg(track.TrackID).arg(track.ListError), MoovPos, true);
    }
    return;
  }
  // Tiny samples that lie inside the file can still describe far more
  // records than memory holds (one byte each over gigabytes): the list is
  // never allowed to outgrow the file, or a small floor for small files.
  const int64_t records = std::max<int64_t>(fileSize, MinSampleListBytes) / int64_t(sizeof(TMOVSample));
  if (track.SampleCount > records) {
    track.ListError = QStringLiteral("%1 samples would outgrow the file").arg(track.SampleCount);
    Note(QStringLiteral("track %1: %2").arg(track.TrackID).arg(track.ListError), MoovPos, true);
    return;
  }
  // A dry run first, before anything is allocated: the list keeps only the
  // samples before the first one that lies outside the file, so the intact
  // part of a recording cut short by a power loss can still be played and
  // cut. SampleCount stays the table's own count (the header facts).
  int64_t outside = -1;
  const int64_t inside = WalkSamples(
      tab, track.SampleCount, fileSize, [](int64_t, const TMOVSample &) {}, &outside);
  if (inside < track.SampleCount) {
    track.ListError = QStringLiteral("sample %1 lies outside the file").arg(inside);
    Note(QStringLiteral("track %1: %2").arg(track.TrackID).arg(track.ListError), outside, true);
  }
  if (inside <= 0) return;
  track.Samples.resize(size_t(inside));
  WalkSamples(tab, inside, fileSize, [&track](int64_t i, const TMOVSample &s) { track.Samples[i] = s; });
  // Without a sync table every video sample is a key frame (an intra-only
  // codec such as Motion JPEG); sound has no key frames.
  if (!tab.HasSyncSamples && track.Kind == mtkVideo)
    for (TMOVSample &s : track.Samples) s.KeyFrame = true;
  for (int32_t s : tab.SyncSamples)
    if (s >= 0 && s < int64_t(track.Samples.size())) track.Samples[s].KeyFrame = true;
}

QString TMOVReader::GetFrameTypes()
{
  QString result;
  const TMOVTrack *video = FindVideoTrack();
  if (!HasMoov() || !video || !Stream) return result;
  const int64_t n = std::min<int64_t>(1000, int64_t(video->Samples.size()) - 1);
  for (int64_t i = 1; i <= n; ++i) {
    const TMOVSample &s = video->Samples[i];
    if (s.KeyFrame) break;
    uint8_t b[6] = {};
    int64_t got = 0;
    try {
      if (s.Offset >= 0 && s.Offset <= Stream->Size()) {
        Stream->Seek(s.Offset);
        got = Stream->ReadSome(b, 6);
      }
    } catch (const EStreamError &) {
      got = 0;
    }
    // A 4-byte NAL length of 2, then an access unit delimiter.
    if (got == 6 && b[0] == 0 && b[1] == 0 && b[2] == 0 && b[3] == 2 && b[4] == 9) {
      switch (b[5]) {
      case 0x10: result += QLatin1Char('I'); break;
      case 0x30: result += QLatin1Char('P'); break;
      case 0x50: result += QLatin1Char('B'); break;
      default: result += QLatin1Char('?'); break;
      }
    } else {
      result += QLatin1Char('.');
    }
  }
  return result;
}

// ---------------------------------------------------------------- queries

const TMOVTrack *TMOVBaseFile::FindVideoTrack() const
{
  for (const TMOVTrack &t : Tracks)
    if (t.Kind == mtkVideo) return &t;
  return nullptr;
}

void TMOVBaseFile::GetVideoSize(int32_t &width, int32_t &height) const
{
  const TMOVTrack *t = FindVideoTrack();
  width = t ? t->Width : 0;
  height = t ? t->Height : 0;
}

double TMOVBaseFile::GetVideoFPS() const
{
  const TMOVTrack *t = FindVideoTrack();
  if (!t || t->DurationMs <= 0) return 0;
  return double(t->SampleCount) / (double(t->DurationMs) / 1000.0);
}

double TMOVBaseFile::GetVideoBitrate() const
{
  const TMOVTrack *t = FindVideoTrack();
  if (!t || t->DurationMs <= 0) return 0;
  const double kbps = double(t->TotalBytes) / (double(t->DurationMs) / 1000.0) / 1000.0 * 8.0;
  return kbps < 0.001 ? 0 : kbps;
}

bool TMOVBaseFile::HasPCMAudio() const
{
  return std::any_of(Tracks.begin(), Tracks.end(), [](const TMOVTrack &t) { return t.PCMFrameSize > 0; });
}

int32_t TrackSampleIndexAt(const TMOVTrack &track, long double position)
{
  const auto &s = track.Samples;
  if (s.empty()) return 0;
  const int64_t time = Round(static_cast<long double>(track.Duration) * position);
  if (time <= s.front().DecodeTime) return 0;
  const int32_t last = int32_t(s.size() - 1);
  if (time >= s.back().DecodeTime) return last;
  // Decode times never decrease, so the last sample starting at or before
  // the time is found by bisection.
  const auto it =
      std::upper_bound(s.begin(), s.end(), time, [](int64_t v, const TMOVSample &x) { return v < x.DecodeTime; });
  return int32_t(it - s.begin()) - 1;
}

int32_t TrackKeyFrameAtOrBefore(const TMOVTrack &track, int32_t index)
{
  if (track.Samples.empty()) return -1;
  for (int32_t i = std::min<int32_t>(index, int32_t(track.Samples.size()) - 1); i >= 0; --i)
    if (track.Samples[i].KeyFrame) return i;
  return -1;
}

} // namespace kp
