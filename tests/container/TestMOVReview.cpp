// Field-level cases of the atom handlers that the broader reader tests do not
// pin: how a sample-size field of 2^31 and more, a dependency table after a
// constant size and a sample description cut short are read.

#include "AtomBuilder.h"
#include "TestSupport.h"
#include "UnitMOV.h"

using namespace kp;
using namespace kptest;

TEST(MOVReview, SampleSizeFieldIsConstantOnlyWhenPositiveAsInt32)
{
  // A size field of 2^31 counts as no constant size: the count and the
  // size table after it are read.
  const QByteArray stsz = FullAtom("stsz", 0, Bytes().u32(0x80000000u).u32(2).u32(7).u32(8));
  const auto r = Read(OneTrack("vide", "avc1", Stts({{2, 1}}) + stsz, 0), true);
  ASSERT_EQ(r->Tracks.size(), 1u);
  EXPECT_EQ(r->Tracks[0].TotalBytes, 15);
  EXPECT_EQ(r->Tracks[0].SampleCount, 2);
}

TEST(MOVReview, DependencyBytesAfterAConstantSizeCoverEverySample)
{
  // stsz (constant) before sdtp: every sample keeps its own dependency byte,
  // and nothing past the sdtp atom is taken.
  const QByteArray tables = StszConstant(1, 4) + Sdtp(QByteArray("\x20\x10\x18", 3)) +
                            Stts({{4, 1}}) + Stsc({{1, 2}, {2, 2}}) + Stco({MdatData, MdatData + 2});
  const auto r = Read(OneTrack("vide", "avc1", tables, 4));
  const auto &s = r->Tracks.at(0).Samples;
  ASSERT_EQ(s.size(), 4u);
  const uint8_t expected[] = {0x20, 0x10, 0x18, 0};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(s[i].DependencyFlags, expected[i]) << i;
}

TEST(MOVReview, SampleDescriptionCutAfterItsFormatStillNamesTheCodec)
{
  // Version, entry count, the entry's size and format, and nothing more.
  const QByteArray stsd = FullAtom("stsd", 0, Bytes().u32(1).u32(16).tag("avc1"));
  const auto r = Read(OneTrack("vide", nullptr, stsd, 0), true);
  ASSERT_EQ(r->Tracks.size(), 1u);
  EXPECT_EQ(r->Tracks[0].Codec, QByteArray("AVC1"));
  EXPECT_EQ(r->Tracks[0].Kind, mtkVideo);
}

TEST(MOVReview, WithoutASizeTableTheTimesStillCountTheSamples)
{
  // No stsz (a writer that uses compact sizes): nothing is allocated, and the
  // frame rate still comes from the time-to-sample counts.
  const auto r = Read(OneTrack("vide", "avc1", Stts({{300, 33}}), 0, 1000, 10000), true);
  ASSERT_EQ(r->Tracks.size(), 1u);
  EXPECT_EQ(r->Tracks[0].SampleCount, 300);
  EXPECT_DOUBLE_EQ(r->GetVideoFPS(), 30.0);
  EXPECT_TRUE(r->Tracks[0].Samples.empty());
}
