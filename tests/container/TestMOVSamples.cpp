// Sample lists built from the tables, the queries on them, and the guards
// against tables that promise more than the file holds.

#include "AtomBuilder.h"
#include "TestSupport.h"
#include "UnitMOV.h"

using namespace kp;
using namespace kptest;

namespace {

std::vector<int64_t> Offsets(const TMOVTrack &t)
{
  std::vector<int64_t> out;
  for (const TMOVSample &s : t.Samples) out.push_back(s.Offset - MdatData);
  return out;
}

} // namespace

TEST(MOVSamples, OffsetsFollowSampleToChunk)
{
  const QByteArray tables = Stts({{6, 10}}) + Stsz({1, 2, 3, 4, 5, 6}) + Stsc({{1, 2}, {3, 1}});
  const std::vector<uint32_t> chunks = {MdatData, MdatData + 100, MdatData + 200, MdatData + 300};
  // The same through 32- and 64-bit offsets.
  for (const QByteArray &offsets : {Stco(chunks), Co64({chunks.begin(), chunks.end()})}) {
    const auto r = Read(OneTrack("vide", "avc1", tables + offsets, 400));
    ASSERT_EQ(r->Tracks.size(), 1u);
    EXPECT_EQ(Offsets(r->Tracks[0]), (std::vector<int64_t>{0, 1, 100, 103, 200, 300}));
  }
}

TEST(MOVSamples, TimesKeyFramesCompositionAndDependency)
{
  const QByteArray tables = Stts({{2, 10}, {0, 99}, {3, 20}}) + Ctts({{1, 5}, {2, -5}}) + Stsz({1, 1, 1, 1, 1}) +
                            Stsc({{1, 5}}) + Stco({MdatData}) + Stss({1, 4, 0, 99}) +
                            Sdtp(QByteArray("\x20\x10\x10", 3));
  const auto r = Read(OneTrack("vide", "avc1", tables, 10));
  const auto &s = r->Tracks.at(0).Samples;
  ASSERT_EQ(s.size(), 5u);
  const int64_t dts[] = {0, 10, 20, 40, 60};
  const double dur[] = {10, 10, 20, 20, 20};
  const int32_t cto[] = {5, -5, -5, -5, -5}; // the last entry goes on applying
  const uint8_t dep[] = {0x20, 0x10, 0x10, 0, 0};
  const bool key[] = {true, false, false, true, false};
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(std::tuple(s[i].DecodeTime, s[i].Duration, s[i].CompositionOffset, s[i].DependencyFlags, s[i].KeyFrame),
              std::tuple(dts[i], dur[i], cto[i], dep[i], key[i]))
        << i;
  // Without a sync table every video sample is a key frame; sound and an
  // empty sync table have none.
  const QByteArray noSync = Stts({{3, 1}}) + Stsz({1, 1, 1}) + Stsc({{1, 3}}) + Stco({MdatData});
  const std::tuple<const char *, const char *, QByteArray, bool> kinds[] = {
      {"vide", "jpeg", noSync, true}, {"soun", "mp4a", noSync, false}, {"vide", "avc1", noSync + Stss({}), false}};
  for (const auto &[handler, codec, t, all] : kinds) {
    const auto k = Read(OneTrack(handler, codec, t, 3));
    for (const TMOVSample &x : k->Tracks.at(0).Samples) EXPECT_EQ(x.KeyFrame, all) << handler;
  }
}

TEST(MOVSamples, PCMIsRegroupedPerChunk)
{
  // 1000 chunks of 1024 four-byte frames.
  std::vector<uint32_t> chunks;
  for (uint32_t i = 0; i < 1000; ++i) chunks.push_back(MdatData + i * 4096);
  const QByteArray tables = Stts({{1024000, 1}}) + StszConstant(4, 1024000) + Stsc({{1, 1024}}) + Stco(chunks);
  auto r = Read(OneTrack("soun", "sowt", tables, 4096000, 48000, 1024000));
  const TMOVTrack &t = r->Tracks.at(0);
  EXPECT_EQ(t.PCMFrameSize, 4);
  EXPECT_TRUE(r->HasPCMAudio());
  ASSERT_EQ(t.Samples.size(), 1000u);
  const TMOVSample &last = t.Samples[999];
  EXPECT_EQ(std::tuple(last.Size, last.Duration, last.Offset, last.DecodeTime),
            std::tuple(4096, 1024.0, MdatData + 999 * 4096, 999 * 1024));

  // Several sample-to-chunk entries and a shorter last chunk (as ffmpeg
  // writes): each chunk becomes one sample of its own frames; frames the
  // chunks cannot hold are left out.
  const QByteArray uneven = Stts({{11, 1}}) + StszConstant(2, 11) + Stsc({{1, 4}, {3, 2}}) +
                            Stco({MdatData, MdatData + 8, MdatData + 16, MdatData + 20});
  r = Read(OneTrack("soun", "sowt", uneven, 24));
  EXPECT_EQ(r->Tracks[0].PCMFrameSize, 2);
  EXPECT_EQ(Offsets(r->Tracks[0]), (std::vector<int64_t>{0, 8, 16, 20}));
  std::vector<std::pair<int32_t, double>> sizes;
  for (const TMOVSample &x : r->Tracks[0].Samples) sizes.push_back({x.Size, x.Duration});
  EXPECT_EQ(sizes, (std::vector<std::pair<int32_t, double>>{{8, 4}, {8, 4}, {4, 2}, {2, 1}}));
  EXPECT_EQ(r->Tracks[0].Samples[3].DecodeTime, 10);

  // Zero frames per chunk: nothing to divide by, no regrouping, no crash.
  const QByteArray zero = Stts({{8, 1}}) + StszConstant(2, 8) + Stsc({{1, 0}}) + Stco({MdatData});
  r = Read(OneTrack("soun", "sowt", zero, 16));
  EXPECT_EQ(r->Tracks[0].PCMFrameSize, 0);
}

TEST(MOVSamples, MovieFactsComeFromTheTracks)
{
  const auto trak = [](int32_t id, uint32_t created, uint32_t ms) {
    return Trak(Tkhd0(created, id, ms, 0, 0), Mdhd(0, 1000, ms, 0), "vide", "avc1", {});
  };
  const auto r = Read(Movie(Mvhd0(0, 1000, 10000) + trak(1, 2000, 10040) + trak(2, 1000, 9000) + trak(3, 0, 1)));
  EXPECT_EQ(r->DurationMs, 10040);
  EXPECT_EQ(r->Duration, 10000); // the movie's own units are left alone
  EXPECT_DOUBLE_EQ(r->CreationTime, MacTimeToDateTime(1000));
}

TEST(MOVSamples, SampleAtPositionAndKeyFrameBefore)
{
  const QByteArray tables = Stts({{5, 100}}) + Stsz({1, 1, 1, 1, 1}) + Stsc({{1, 5}}) + Stco({MdatData}) + Stss({2, 4});
  const auto r = Read(OneTrack("vide", "avc1", tables, 5, 1000, 500));
  const TMOVTrack &t = r->Tracks.at(0);
  EXPECT_EQ(TrackSampleIndexAt(t, 0), 0);
  EXPECT_EQ(TrackSampleIndexAt(t, 1), 4);
  EXPECT_EQ(TrackSampleIndexAt(t, 0.4L), 2); // exactly sample 2's decode time
  EXPECT_EQ(TrackSampleIndexAt(t, 0.39L), 1);
  EXPECT_EQ(TrackSampleIndexAt(t, 0.81L), 4);
  EXPECT_EQ(TrackSampleIndexAt(t, -3), 0);
  EXPECT_EQ(TrackKeyFrameAtOrBefore(t, 2), 1);
  EXPECT_EQ(TrackKeyFrameAtOrBefore(t, 4), 3);
  EXPECT_EQ(TrackKeyFrameAtOrBefore(t, 0), -1);
  EXPECT_EQ(TrackSampleIndexAt(TMOVTrack(), 0.5L), 0);
}

TEST(MOVSamples, FrameTypesFromAccessUnitDelimiters)
{
  // Sample i holds 6 bytes: AUD with the given picture-type byte, or junk.
  const auto movie = [](const std::vector<QByteArray> &payloads, const std::vector<uint32_t> &sync) {
    QByteArray mdat;
    std::vector<uint32_t> sizes;
    for (const QByteArray &p : payloads) {
      mdat += p;
      sizes.push_back(uint32_t(p.size()));
    }
    const QByteArray tables = Stts({{uint32_t(sizes.size()), 1}}) + Stsz(sizes) + Stsc({{1, uint32_t(sizes.size())}}) +
                              Stco({MdatData}) + Stss(sync);
    const QByteArray trak = Trak(Tkhd0(0, 1, 1, 8, 8), Mdhd(0, 1, 1, 0), "vide", "avc1", tables);
    return Ftyp() + Atom("mdat", mdat) + Atom("moov", Mvhd0(0, 1, 1) + trak);
  };
  const auto aud = [](int type) { return QByteArray("\0\0\0\x02\x09", 5) + char(type); };
  const QByteArray junk("\0\0\0\x05\x65\x88", 6);
  auto r = Read(movie({aud(0x10), aud(0x50), aud(0x30), aud(0x10), aud(0xF0), junk, aud(0x10), aud(0x30)}, {1, 7}));
  EXPECT_EQ(r->GetFrameTypes(), QStringLiteral("BPI?."));
  r = Read(movie({aud(0x10), aud(0x10), aud(0x30)}, {1, 2}));
  EXPECT_EQ(r->GetFrameTypes(), QString());
  // Header-only: no sample list, no pattern.
  EXPECT_EQ(Read(movie({aud(0x10), aud(0x30)}, {1}), true)->GetFrameTypes(), QString());

  std::vector<QByteArray> many(5001, aud(0x30));
  r = Read(movie(many, {1}));
  EXPECT_EQ(r->GetFrameTypes(), QString(1000, QLatin1Char('P')));
}

TEST(MOVSamples, FrameTypesOfSamplesAtTheFileEndGiveDots)
{
  // The last sample is 2 bytes long at the end of the file.
  const QByteArray tables = Stts({{2, 1}}) + Stsz({6, 2}) + Stsc({{1, 1}}) + Stco({MdatData, 0}) + Stss({1});
  const QByteArray trak = Trak(Tkhd0(0, 1, 1, 8, 8), Mdhd(0, 1, 1, 0), "vide", "avc1", tables);
  QByteArray file = Ftyp() + Atom("mdat", QByteArray(6, '\0')) + Atom("moov", Mvhd0(0, 1, 1) + trak);
  // Patch the second chunk offset to the last two bytes of the file.
  const qsizetype at = file.indexOf("stco") + 4 + 4 + 4 + 4;
  const uint32_t last = uint32_t(file.size() - 2);
  for (int i = 0; i < 4; ++i) file[at + i] = char(last >> (24 - 8 * i));
  EXPECT_EQ(Read(file)->GetFrameTypes(), QStringLiteral("."));
}

// ------------------------------------------------- tables that lie about sizes

TEST(MOVSamplesHostile, CountsAreCappedByWhatBacksThem)
{
  // One 24-byte stts asking for 2^32 - 1 samples of a three-entry size table.
  QByteArray tables = Stts({{0xFFFFFFFFu, 1}}) + Stsz({1, 1, 1}) + Stsc({{1, 3}}) + Stco({MdatData});
  auto r = Read(OneTrack("vide", "avc1", tables, 3));
  EXPECT_EQ(r->Tracks[0].SampleCount, 3);
  EXPECT_EQ(r->Tracks[0].Samples.size(), 3u);

  // Constant size: capped by the file size over the sample size.
  tables = Stts({{0xFFFFFFFFu, 1}, {0xFFFFFFFFu, 1}}) + StszConstant(1000, 0) + Stsc({{1, 1}, {3, 2}}) +
           Stco({MdatData, MdatData});
  r = Read(OneTrack("vide", "avc1", tables, 2000), true);
  EXPECT_LE(r->Tracks[0].SampleCount, 3);

  // A size field of 2^31 is no constant size: the table after it counts.
  const QByteArray big = FullAtom("stsz", 0, Bytes().u32(0x80000000u).u32(2).u32(7).u32(8));
  r = Read(OneTrack("vide", "avc1", Stts({{2, 1}}) + big, 0), true);
  EXPECT_EQ(std::make_pair(r->Tracks[0].TotalBytes, r->Tracks[0].SampleCount), std::make_pair(int64_t(15), int64_t(2)));

  // Entry counts larger than the atom: only what the atom holds is read.
  const QByteArray stsz = FullAtom("stsz", 0, Bytes().u32(0).u32(0x40000000).u32(7).u32(8));
  r = Read(OneTrack("vide", "avc1", Stts({{2, 1}}) + stsz, 0), true);
  EXPECT_EQ(r->Tracks[0].TotalBytes, 15);
  const QByteArray stts = FullAtom("stts", 0, Bytes().u32(0x7FFFFFFF).u32(2).u32(1));
  r = Read(OneTrack("vide", "avc1", stts + Stsz({7, 8}), 0), true);
  EXPECT_EQ(r->Tracks[0].SampleCount, 2);
}

TEST(MOVSamplesHostile, SamplesFromTheFirstOneOutsideTheFileAreLeftOut)
{
  // A recording cut short: the first sample is whole, the second runs past
  // the end of the file. The list keeps the intact part.
  const QByteArray tables = Stts({{2, 1}}) + Stsz({10, 100000}) + Stsc({{1, 2}}) + Stco({MdatData});
  auto r = Read(OneTrack("vide", "avc1", tables, 19));
  ASSERT_EQ(r->Tracks[0].Samples.size(), 1u);
  EXPECT_EQ(r->Tracks[0].Samples[0].Size, 10);
  EXPECT_EQ(r->Tracks[0].SampleCount, 2); // the header facts stay
  EXPECT_FALSE(r->LastError().isEmpty());
  const QByteArray far = Stts({{1, 1}}) + Stsz({10}) + Stsc({{1, 1}}) + Co64({0x7FFFFFFFFFFFFFF0ull});
  r = Read(OneTrack("vide", "avc1", far, 19));
  EXPECT_TRUE(r->Tracks[0].Samples.empty());
  // Another track of the same movie is still built.
  const QByteArray good = Trak(Tkhd0(0, 2, 1, 0, 0), Mdhd(0, 1, 1, 0), "soun", "mp4a",
                               Stts({{1, 1}}) + Stsz({4}) + Stsc({{1, 1}}) + Stco({MdatData}));
  const QByteArray bad = Trak(Tkhd0(0, 1, 1, 0, 0), Mdhd(0, 1, 1, 0), "vide", "avc1", far);
  r = Read(Ftyp() + Atom("mdat", QByteArray(8, '\0')) + Atom("moov", bad + good));
  EXPECT_TRUE(r->Tracks.at(0).Samples.empty());
  EXPECT_EQ(r->Tracks.at(1).Samples.size(), 1u);
}

TEST(MOVSamplesHostile, DependencyTableNeverReadsPastItsAtom)
{
  // Ten sizes but a 3-byte sdtp followed by another atom.
  const QByteArray tables = Stsz(std::vector<uint32_t>(10, 1)) + Sdtp(QByteArray("\x01\x02\x03", 3)) + Stts({{10, 1}}) +
                            Stsc({{1, 10}}) + Stco({MdatData});
  auto r = Read(OneTrack("vide", "avc1", tables, 10));
  const auto &s = r->Tracks.at(0).Samples;
  ASSERT_EQ(s.size(), 10u);
  EXPECT_EQ(s[2].DependencyFlags, 3);
  EXPECT_EQ(s[3].DependencyFlags, 0);
  // A constant size reads what the atom holds (two time-to-sample entries
  // keep the tiny samples from being regrouped as PCM).
  const QByteArray constant = StszConstant(1, 10) + Sdtp(QByteArray("\x01\x02\x03", 3)) + Stts({{5, 1}, {5, 1}}) +
                              Stsc({{1, 5}, {2, 5}}) + Stco({MdatData, MdatData + 5});
  r = Read(OneTrack("vide", "avc1", constant, 10));
  EXPECT_EQ(r->Tracks.at(0).Samples.at(0).DependencyFlags, 1);
  EXPECT_EQ(r->Tracks.at(0).Samples.at(2).DependencyFlags, 3);
  EXPECT_EQ(r->Tracks.at(0).Samples.at(3).DependencyFlags, 0);
}

TEST(MOVSamplesHostile, BuildStaysInsideEveryTable)
{
  struct Case {
    const char *name;
    QByteArray tables;
  };
  const QByteArray sizes = Stsz({1, 1, 1, 1, 1, 1});
  const Case cases[] = {
      {"first chunk above 1", Stts({{6, 1}}) + sizes + Stsc({{3, 2}}) + Stco({MdatData, MdatData + 2})},
      {"no sample-to-chunk", Stts({{6, 1}}) + sizes + Stco({MdatData})},
      {"zero samples per chunk", Stts({{6, 1}}) + sizes + Stsc({{1, 0}}) + Stco({MdatData, MdatData + 1})},
      {"zero time counts", Stts({{0, 1}, {0, 2}, {6, 3}, {0, 4}}) + sizes + Stsc({{1, 6}}) + Stco({MdatData})},
      {"times for fewer samples", Stts({{2, 1}}) + StszConstant(1, 6) + Stsc({{1, 1}}) + Stco({MdatData})},
      {"composition offsets run out", Stts({{6, 1}}) + sizes + Stsc({{1, 6}}) + Stco({MdatData}) + Ctts({{1, 4}})},
      {"zero composition counts", Stts({{6, 1}}) + sizes + Stsc({{1, 6}}) + Stco({MdatData}) + Ctts({{0, 4}, {0, 5}})},
      {"more chunks promised than present", Stts({{6, 1}}) + sizes + Stsc({{1, 1}}) + Stco({MdatData})},
      {"sync samples out of range",
       Stts({{6, 1}}) + sizes + Stsc({{1, 6}}) + Stco({MdatData}) + Stss({0, 7, 0xFFFFFFFFu})},
      {"sample-to-chunk out of order",
       Stts({{6, 1}}) + sizes + Stsc({{5, 1}, {1, 3}}) + Stco({MdatData, MdatData + 3})},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const auto r = Read(OneTrack("vide", "avc1", c.tables, 6));
    ASSERT_EQ(r->Tracks.size(), 1u);
    const TMOVTrack &t = r->Tracks[0];
    EXPECT_LE(t.Samples.size(), 6u);
    for (const TMOVSample &s : t.Samples) {
      EXPECT_GE(s.Offset, int64_t(MdatData));
      EXPECT_LE(s.Offset + s.Size, int64_t(MdatData) + 6);
    }
    EXPECT_NO_FATAL_FAILURE(r->GetFrameTypes());
    EXPECT_NO_FATAL_FAILURE(DumpMOV(*r, 100));
  }
}

TEST(MOVSamplesHostile, SampleDurationsSaturateInsteadOfWrapping)
{
  const QByteArray tables = Stts({{4, 0xFFFFFFFFu}}) + StszConstant(1, 4) + Stsc({{1, 4}}) + Stco({MdatData});
  const auto r = Read(OneTrack("vide", "avc1", tables, 4));
  const auto &s = r->Tracks.at(0).Samples;
  ASSERT_EQ(s.size(), 4u);
  EXPECT_EQ(s[3].DecodeTime, 3 * int64_t(0xFFFFFFFFu));
}

TEST(MOVSamplesHostile, SampleListNeverOutgrowsTheFile)
{
  // Two million one-byte samples inside a 2 MB file: every sample lies in
  // the file, but their records would take 80 MB (over the 64 MiB floor).
  const uint32_t n = 2000000;
  const QByteArray tables =
      Stts({{n / 2, 1}, {n / 2, 1}}) + StszConstant(1, n) + Stsc({{1, n / 2}}) + Stco({MdatData, MdatData + n / 2});
  const auto r = Read(OneTrack("soun", "sowt", tables, int(n)));
  EXPECT_EQ(r->Tracks.at(0).SampleCount, n);
  EXPECT_TRUE(r->Tracks.at(0).Samples.empty());
  EXPECT_TRUE(r->LastError().contains(QStringLiteral("outgrow")));
}

TEST(MOVSamples, WithoutASizeTableTheTimesStillCountTheSamples)
{
  // No stsz (a writer that uses compact sizes): nothing is allocated, and the
  // frame rate still comes from the time-to-sample counts.
  const auto r = Read(OneTrack("vide", "avc1", Stts({{300, 33}}), 0, 1000, 10000), true);
  ASSERT_EQ(r->Tracks.size(), 1u);
  EXPECT_EQ(r->Tracks[0].SampleCount, 300);
  EXPECT_DOUBLE_EQ(r->GetVideoFPS(), 30.0);
  EXPECT_TRUE(r->Tracks[0].Samples.empty());
}
