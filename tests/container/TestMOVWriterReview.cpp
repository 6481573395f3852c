// Second look at the writer: cases the other writer tests leave out (non-sync
// I frames in key-frame mode, joins of sources with other time scales,
// progress seconds across joins, the index of a track left empty).

#include "WriterSupport.h"

using namespace kp;
using namespace kptest;

namespace {

using MOVWriterReview = WriterTest;

// Every interval: K, then a P and a non-sync I, then P frames.
QByteArray KPIGops(int gops)
{
  QByteArray t;
  for (int g = 0; g < gops; ++g) t += "KPI" + QByteArray(27, 'P');
  return t;
}

TEST_F(MOVWriterReview, DroppedNonSyncIFrameIsPreferredInTheKeyFramesPlace)
{
  auto src = Source("a.mov", {{.Types = KPIGops(4)}});
  Output o = CutOne(*src, 0, 1, 4);
  EXPECT_EQ(MarkerIndexes(o.Bytes, o.Reader->Tracks.at(0)), (std::vector<int>{0, 2, 60, 62}));
}

TEST_F(MOVWriterReview, JoinedSourceWithAnotherTimeScaleIsConverted)
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

TEST_F(MOVWriterReview, ProgressSecondsContinueFromTheMovieSoFar)
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

TEST_F(MOVWriterReview, TrackLeftEmptyGetsAnEmptyIndex)
{
  auto a = Source("a.mov", {{.Types = GopTypes(30, 15)}});
  auto w = NewWriter();
  EXPECT_FALSE(Append(*w, *a, 0, 1, 1, false, true, true, [](double, double) { return false; }));
  Output o = Finish(w, a.get(), OutPath());
  // One edit of no length; one sample-to-chunk entry; empty sizes and offsets.
  EXPECT_EQ(Words(o.Body("moov/trak/edts/elst"), 0, 9), (std::vector<uint32_t>{0, 1, 0, 3003, 0x10000}));
  const QByteArray stsc = o.Body("moov/trak/mdia/minf/stbl/stsc");
  ASSERT_EQ(stsc.size(), 20);
  EXPECT_EQ(BE32(stsc, 12), 1u);
  EXPECT_EQ(o.Body("moov/trak/mdia/minf/stbl/stsz"), QByteArray(12, '\0'));
  EXPECT_EQ(o.Body("moov/trak/mdia/minf/stbl/stco"), QByteArray(8, '\0'));
}

} // namespace
