// Fragment copying on synthetic sources: key-frame thinning, speeds, the
// start snap, cancellation, mdat splits, joins and rollback.

#include "Errors.h"
#include "WriterSupport.h"

#include <QFile>

#include <numeric>

using namespace kp;
using namespace kptest;

namespace {

using MOVWriterCopy = WriterTest;

// Every interval: K, then a P and a non-sync I, then P frames.
QByteArray KPIGops(int gops)
{
  QByteArray t;
  for (int g = 0; g < gops; ++g) t += "KPI" + QByteArray(27, 'P');
  return t;
}

TEST_F(MOVWriterCopy, CreateOverwritesAReadOnlyFileWithTheFileType)
{
  writeFileBytes(OutPath(), QByteArray(1000, 'x'));
  QFile::setPermissions(OutPath(), QFileDevice::ReadOwner);
  {
    TMOVWriter w(OutPath());
  }
  EXPECT_EQ(readFileBytes(OutPath()), QByteArray("\0\0\0\x18"
                                                 "ftypqt  \0\0\0\0qt  \0\0\0\0",
                                                 24));
}

TEST_F(MOVWriterCopy, KeyFrameModeKeepsDecodableFramesAtTheStep)
{
  struct Case {
    QByteArray Types;
    double Speed;
    std::vector<int> Kept; // the first source frames kept
  };
  const QByteArray withI = GopTypes(120, 30, "I"); // non-sync I frames decode alone
  // Without B frames the first P frame after a key frame stands in for the
  // next key frame, or better a dropped non-sync I frame.
  const Case cases[] = {{GopTypes(120, 30), 4, {0, 1, 60, 61}},
                        {KPIGops(4), 4, {0, 2, 60, 62}},
                        {GopTypes(48, 12, "PBB"), 2, {0, 1, 24, 25}},
                        {withI, 16, {0, 15, 30, 45, 60, 75, 90, 105}},
                        {withI, 20, {0, 29, 60, 89}},
                        {withI, 4, {0, 4, 8, 12, 16, 20, 24, 28, 32}}};
  for (const Case &c : cases) {
    const bool bFrames = c.Types.contains('B');
    auto src = Source("a.mov", {{.Types = c.Types, .Ctts = bFrames}});
    Output o = CutOne(*src, 0, 1, c.Speed);
    std::vector<int> kept = MarkerIndexes(o.Bytes, o.Reader->Tracks.at(0));
    if (bFrames) {
      EXPECT_EQ(kept.size(), c.Kept.size()); // every kept frame listed: no B among them
    }
    kept.resize(std::min(kept.size(), c.Kept.size()));
    EXPECT_EQ(kept, c.Kept) << "speed " << c.Speed;
  }
}

TEST_F(MOVWriterCopy, BigFPSKeepsEveryFrameWithShorterDurationsAndDecimatesSound)
{
  auto src = Source("a.mov", {{.Types = GopTypes(60, 15, "PBB"), .Ctts = true}}, {{.Count = 40}});
  Output o = CutOne(*src, 0, 1, 2, true);
  const TMOVTrack &v = TrackOfKind(o.Reader->Tracks, mtkVideo), &a = TrackOfKind(o.Reader->Tracks, mtkAudio);
  ASSERT_EQ(v.Samples.size(), 60u);
  EXPECT_EQ(v.Samples[0].Duration, 1502); // 1501.5 halves to even
  EXPECT_EQ(v.Samples[1].CompositionOffset, 1502);
  EXPECT_EQ(v.Samples[2].CompositionOffset, 3003);
  const std::vector<int> markers = MarkerIndexes(o.Bytes, a);
  ASSERT_EQ(markers.size(), 20u);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(markers[size_t(i)], 2 * i);
  EXPECT_EQ(a.Samples[0].Duration, 1024); // sound durations stay
}

TEST_F(MOVWriterCopy, SlowSoundIsRepeatedAndWrittenOnce)
{
  // 1 / 0.35 rounds up to 3: the list grows past its pre-sized room.
  for (const auto &[speed, n] : {std::pair{0.5, 2}, std::pair{0.35, 3}}) {
    auto src = Source("a.mov", {{.Types = GopTypes(30, 15)}}, {{.Count = 40}});
    Output o = CutOne(*src, 0, 1, speed);
    const TMOVTrack &a = TrackOfKind(o.Reader->Tracks, mtkAudio);
    ASSERT_EQ(a.Samples.size(), size_t(40 * n)) << speed;
    for (size_t i = 0; i < a.Samples.size(); ++i) {
      EXPECT_EQ(a.Samples[i].Offset, a.Samples[i - i % n].Offset);
      EXPECT_EQ(MarkerIndex(o.Bytes, a.Samples[i]), int(i / n));
    }
    // Each sound sample's data is written once.
    EXPECT_EQ(o.Find("mdat").at(0).Size,
              uint32_t(8 + 40 * 16 +
                       std::accumulate(src->Tracks[0].Samples.begin(), src->Tracks[0].Samples.end(), 0,
                                       [](int sum, const TMOVSample &s) { return sum + s.Size; })));
  }
}

TEST_F(MOVWriterCopy, StartSnapsBackToTheKeyFrame)
{
  auto src = Source("a.mov", {{.Types = GopTypes(60, 15)}});
  auto w = NewWriter();
  double p1 = 20.0 / 60, p2 = 1;
  ASSERT_TRUE(w->AppendFragment(p1, p2, 1, false, *src, {}, true, true));
  EXPECT_DOUBLE_EQ(p1, 0.25);
  EXPECT_EQ(p2, 1);
  Output o = Finish(w, src.get(), OutPath());
  EXPECT_EQ(MarkerIndexes(o.Bytes, o.Reader->Tracks.at(0)).front(), 15);
  EXPECT_EQ(o.Reader->Tracks.at(0).Samples.size(), 45u);
}

TEST_F(MOVWriterCopy, CancelOnTheFirstCallCopiesNothing)
{
  auto src = Source("a.mov", {{.Types = GopTypes(60, 15)}}, {{.Count = 20}});
  auto w = NewWriter();
  int calls = 0;
  EXPECT_FALSE(Append(*w, *src, 0, 1, 1, false, true, true, [&](double, double) {
    ++calls;
    return false;
  }));
  EXPECT_EQ(calls, 1);
  for (const TMOVTrack &t : w->Tracks) EXPECT_TRUE(t.Samples.empty());
  // A movie of empty tracks is not written.
  EXPECT_THROW(w->WriteMoov(src.get()), EConvertError);
  w.reset();
  EXPECT_FALSE(QFile::exists(OutPath()));
}

TEST_F(MOVWriterCopy, ProgressFollowsTheFirstCopiedTrack)
{
  // Sound comes first in the source and is not copied: progress and
  // cancellation still come, from the video track.
  auto src = Source("a.mov", {{.Types = GopTypes(100, 25)}}, {{.Count = 80}}, true);
  ASSERT_EQ(src->Tracks.at(0).Kind, mtkAudio);
  auto w = NewWriter();
  std::vector<double> fractions;
  EXPECT_FALSE(Append(*w, *src, 0, 1, 1, false, true, false, [&](double, double f) {
    fractions.push_back(f);
    return fractions.size() < 3;
  }));
  EXPECT_EQ(fractions, (std::vector<double>{0, 0.32, 0.64}));
  ASSERT_EQ(w->Tracks.size(), 1u); // sound off: no sound track
  EXPECT_EQ(w->Tracks[0].Kind, mtkVideo);
  EXPECT_EQ(w->Tracks[0].Samples.size(), 64u);
  // An orderly stop leaves a valid movie of what was copied.
  Output o = Finish(w, src.get(), OutPath());
  EXPECT_EQ(o.Reader->Tracks.at(0).Samples.size(), 64u);
}

TEST_F(MOVWriterCopy, MdatSplitsAfterTheSampleThatCrossesTheThreshold)
{
  auto src = Source("a.mov", {{.Types = GopTypes(30, 15)}});
  auto w = NewWriter({.MdatSplit = 100, .Co64From = 1900000000});
  ASSERT_TRUE(Append(*w, *src, 0, 1));
  Output o = Finish(w, src.get(), OutPath());
  const auto mdats = o.Find("mdat");
  ASSERT_GE(mdats.size(), 5u);
  const TMOVTrack &v = o.Reader->Tracks.at(0);
  EXPECT_EQ(MarkerIndexes(o.Bytes, v).size(), 30u);
  size_t k = 0;
  for (size_t m = 0; m + 1 < mdats.size(); ++m) {
    int64_t payload = 0, last = 0;
    while (k < v.Samples.size() && v.Samples[k].Offset < mdats[m].Offset + mdats[m].Size) {
      EXPECT_GE(v.Samples[k].Offset, mdats[m].Offset + 8);
      payload += last = v.Samples[k].Size;
      ++k;
    }
    EXPECT_EQ(payload, int64_t(mdats[m].Size) - 8);
    EXPECT_GE(payload, 100);
    EXPECT_LT(payload - last, 100);
  }
}

TEST_F(MOVWriterCopy, JoinsFragmentsOfTwoSources)
{
  auto a = Source("a.mov", {{.Types = GopTypes(60, 30)}}, {{.Count = 30}});
  auto b = Source("b.mov", {{.Types = GopTypes(60, 30)}}, {{.Count = 30}});
  auto w = NewWriter();
  ASSERT_TRUE(Append(*w, *a, 0, 1));
  ASSERT_TRUE(Append(*w, *b, 0, 1, 4));
  ASSERT_EQ(w->Tracks.size(), 2u);
  // The key frame that opens the second fragment is dropped in key-frame
  // mode; its time goes to the first fragment's last frame.
  const TMOVTrack &v = w->Tracks[0];
  EXPECT_DOUBLE_EQ(v.Samples[59].Duration, 3003 + 30 * 3003 / 4.0);
  EXPECT_DOUBLE_EQ(std::accumulate(v.Samples.begin(), v.Samples.end(), 0.0,
                                   [](double d, const TMOVSample &s) { return d + s.Duration; }),
                   60 * 3003 + 60 * 3003 / 4.0);
  Output o = Finish(w, a.get(), OutPath());
  const TMOVTrack &rv = o.Reader->Tracks.at(0);
  std::vector<int> markers = MarkerIndexes(o.Bytes, rv);
  ASSERT_EQ(markers.size(), 61u);
  EXPECT_EQ(markers[60], 30);
  EXPECT_EQ(o.Reader->Tracks.at(1).Samples.size(), 30u + 8u); // every 4th sound sample
}

TEST_F(MOVWriterCopy, NoPFrameIsWrittenWithoutItsKeyFrame)
{
  // At speed 2 the second fragment's opening key frame is dropped; the P
  // frame after it would refer to it, so nothing is written before the
  // fragment's next key frame.
  auto a = Source("a.mov", {{.Types = GopTypes(30, 15)}});
  auto w = NewWriter();
  ASSERT_TRUE(Append(*w, *a, 0, 1));
  ASSERT_TRUE(Append(*w, *a, 0, 1, 2));
  Output o = Finish(w, a.get(), OutPath());
  const std::vector<int> markers = MarkerIndexes(o.Bytes, o.Reader->Tracks.at(0));
  ASSERT_EQ(markers.size(), 31u);
  EXPECT_EQ(markers[30], 15);
  EXPECT_TRUE(o.Reader->Tracks.at(0).Samples[30].KeyFrame);
}

TEST_F(MOVWriterCopy, TracksMatchByIdAndKind)
{
  auto a = Source("a.mov", {{.Types = GopTypes(30, 15)}}, {{.Count = 10}});
  // A second source whose track 2 is a video track: it cannot continue the
  // sound track 2, and is not added beside it with the same ID.
  auto b = Source("b.mov", {{.Types = GopTypes(30, 15)}, {.Id = 2, .Types = GopTypes(30, 15)}});
  auto w = NewWriter();
  ASSERT_TRUE(Append(*w, *a, 0, 1));
  ASSERT_TRUE(Append(*w, *b, 0, 1));
  ASSERT_EQ(w->Tracks.size(), 2u);
  EXPECT_EQ(w->Tracks[0].Samples.size(), 60u);
  EXPECT_EQ(w->Tracks[1].Kind, mtkAudio);
  EXPECT_EQ(w->Tracks[1].Samples.size(), 10u);
}

// A source whose reads fail beyond a given offset once armed.
struct FailingStream : TByteStream {
  FailingStream(QByteArray data, int64_t failFrom) : Data(std::move(data)), FailFrom(failFrom) {}
  QByteArray Data;
  int64_t FailFrom;
  bool Armed = false;
  int64_t DoSize() const override { return Data.size(); }
  int64_t DoReadAt(int64_t pos, void *buffer, int64_t n) override
  {
    if (Armed && pos + n > FailFrom) return -1;
    std::memcpy(buffer, Data.constData() + pos, size_t(n));
    return n;
  }
};

// A reader over bytes whose reads fail from failFrom on once Armed is set.
std::pair<std::unique_ptr<TMOVReader>, FailingStream *> FailingSource(const QByteArray &bytes, int64_t failFrom)
{
  auto stream = std::make_unique<FailingStream>(bytes, failFrom);
  FailingStream *raw = stream.get();
  return {std::make_unique<TMOVReader>(std::move(stream), false), raw};
}

TEST_F(MOVWriterCopy, FailedFragmentIsRolledBack)
{
  auto a = Source("a.mov", {{.Types = GopTypes(60, 30)}}, {{.Count = 30}});
  auto [b, fail] = FailingSource(SynthMovie({{.Types = GopTypes(60, 30)}}, {{.Id = 3, .Count = 30}}), 0);
  ASSERT_EQ(b->Tracks.size(), 2u);
  // Fail in the middle of the second key-frame interval.
  fail->Armed = true;
  auto w = NewWriter();
  ASSERT_TRUE(Append(*w, *a, 0, 1));
  const int64_t sizeAfterA = w->GetPos();
  const double lastA = w->Tracks[0].Samples.back().Duration;
  const int64_t movieDuration = w->Duration;
  EXPECT_THROW(Append(*w, *b, 0, 1, 4), EStreamReadError);
  EXPECT_EQ(w->GetPos(), sizeAfterA);
  EXPECT_EQ(w->Out().Size(), sizeAfterA);
  EXPECT_EQ(w->OpenAtoms(), 0);
  ASSERT_EQ(w->Tracks.size(), 2u); // b's sound track 3 is gone again
  EXPECT_EQ(w->Tracks[0].Samples.size(), 60u);
  EXPECT_EQ(w->Tracks[0].Samples.back().Duration, lastA);
  EXPECT_EQ(w->Duration, movieDuration);
  ASSERT_TRUE(Append(*w, *a, 0, 1));
  Output o = Finish(w, a.get(), OutPath());
  const TMOVTrack &v = o.Reader->Tracks.at(0);
  std::vector<int> expected(60);
  std::iota(expected.begin(), expected.end(), 0);
  expected.insert(expected.end(), expected.begin(), expected.end());
  EXPECT_EQ(MarkerIndexes(o.Bytes, v), expected);
  EXPECT_EQ(v.Duration, 120 * 3003);
}

TEST_F(MOVWriterCopy, FailureAfterDroppedFramesRestoresTheLastDuration)
{
  auto a = Source("a.mov", {{.Types = GopTypes(60, 30)}});
  const QByteArray bBytes = SynthMovie({{.Types = GopTypes(60, 30)}}, {});
  auto probe = OpenSynth(Dir, "b.mov", bBytes);
  // Reads fail from the key frame at 30 on: the frames before it were
  // dropped and their time added to a's last frame first.
  auto [b, fail] = FailingSource(bBytes, probe->Tracks[0].Samples[30].Offset);
  fail->Armed = true;
  auto w = NewWriter();
  ASSERT_TRUE(Append(*w, *a, 0, 1));
  EXPECT_THROW(Append(*w, *b, 0, 1, 4), EStreamReadError);
  EXPECT_EQ(w->Tracks[0].Samples.back().Duration, 3003);
  EXPECT_EQ(w->Tracks[0].Duration, 60 * 3003);
}

TEST_F(MOVWriterCopy, TruncatedSourceIsClippedAndNegativeSizesRefused)
{
  auto src = Source("a.mov", {{.Types = GopTypes(30, 15)}});
  {
    TMOVReader clipped(Dir.filePath("a.mov"), false);
    clipped.Tracks[0].Samples[20].Offset = clipped.Stream->Size() - 3;
    auto w = NewWriter();
    ASSERT_TRUE(Append(*w, clipped, 0, 1));
    EXPECT_EQ(w->Tracks[0].Samples.size(), 20u);
  }
  {
    TMOVReader bad(Dir.filePath("a.mov"), false);
    bad.Tracks[0].Samples[5].Size = -1;
    auto w = NewWriter();
    const int64_t before = w->GetPos();
    EXPECT_THROW(Append(*w, bad, 0, 1), EConvertError);
    EXPECT_TRUE(w->Tracks.empty());
    EXPECT_EQ(w->GetPos(), before);
  }
}

TEST_F(MOVWriterCopy, BadSpeedAndEmptyTracksAreHarmless)
{
  auto src = Source("a.mov", {{.Types = GopTypes(30, 15)}}, {{.Count = 10}});
  src->Tracks[1].Samples.clear(); // a track whose tables could not be read
  auto w = NewWriter();
  ASSERT_TRUE(Append(*w, *src, 0, 1, 0));
  EXPECT_EQ(w->Tracks[0].Samples.size(), 30u);
  ASSERT_EQ(w->Tracks.size(), 2u);
  EXPECT_TRUE(w->Tracks[1].Samples.empty());
  ASSERT_TRUE(Append(*w, *src, 0, 1, std::numeric_limits<double>::quiet_NaN()));
  EXPECT_EQ(w->Tracks[0].Samples.size(), 60u);
}

TEST_F(MOVWriterCopy, JoinedSourceWithAnotherTimeScaleIsConverted)
{
  auto a = Source("a.mov", {{.Types = GopTypes(30, 15), .Ctts = true}});
  auto b = Source("b.mov", {{.TimeScale = 30000, .Delta = 1001, .Types = GopTypes(30, 15), .Ctts = true}});
  auto w = NewWriter();
  ASSERT_TRUE(Append(*w, *a, 0, 1));
  ASSERT_TRUE(Append(*w, *b, 0, 1, 2, true));
  const TMOVTrack &v = w->Tracks.at(0);
  ASSERT_EQ(v.Samples.size(), 60u);
  EXPECT_EQ(v.TimeScale, 90000);
  for (size_t i = 30; i < 60; ++i) {
    EXPECT_DOUBLE_EQ(v.Samples[i].Duration, 3003 / 2.0);
    // (i % 3) * 1001 at 30000 is (i % 3) * 3003 at 90000, then halved and
    // rounded to even.
    EXPECT_EQ(v.Samples[i].CompositionOffset, int32_t(Round(((i - 30) % 3) * 3003 / 2.0)));
  }
  EXPECT_EQ(v.Duration, 30 * 3003 + 30 * 1502);
}

TEST_F(MOVWriterCopy, ProgressSecondsContinueFromTheMovieSoFar)
{
  auto a = Source("a.mov", {{.Types = GopTypes(64, 16)}});
  auto w = NewWriter();
  std::vector<std::pair<double, double>> calls;
  const TMOVProgressEvent record = [&](double s, double f) {
    calls.push_back({s, f});
    return true;
  };
  ASSERT_TRUE(Append(*w, *a, 0, 1, 1, false, true, true, record));
  ASSERT_TRUE(Append(*w, *a, 0, 0.5, 1, false, true, true, record));
  // Samples 0 and 32 of 64, then 0 and 32 of 33: seconds run on.
  const std::pair<double, double> expected[] = {{0, 0}, {32, 0.5}, {64, 0}, {96, 32 / 33.0}};
  ASSERT_EQ(calls.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_NEAR(calls[i].first, expected[i].first * 3003 / 90000.0, 1e-9) << i;
    EXPECT_DOUBLE_EQ(calls[i].second, expected[i].second) << i;
  }
}

TEST_F(MOVWriterCopy, NothingToCopyFailsAndTheMovieIsNotWritten)
{
  // HEVC is no video track the writer copies; nor is anything when both
  // kinds are unticked.
  QByteArray hevc = SynthMovie({{.Types = GopTypes(30, 15)}}, {});
  hevc.replace(hevc.indexOf("avc1"), 4, "hvc1");
  const std::tuple<const char *, QByteArray, bool> cases[] = {
      {"HEVC", hevc, true}, {"nothing ticked", SynthMovie({{.Types = GopTypes(30, 15)}}, {{.Count = 10}}), false}};
  for (const auto &[name, bytes, ticked] : cases) {
    SCOPED_TRACE(name);
    auto src = OpenSynth(Dir, "a.mov", bytes);
    auto w = NewWriter();
    EXPECT_THROW(Append(*w, *src, 0, 1, 1, false, ticked, ticked), EConvertError);
    EXPECT_THROW(w->WriteMoov(src.get()), EConvertError);
    w.reset();
    EXPECT_FALSE(QFile::exists(OutPath()));
  }
}

} // namespace
