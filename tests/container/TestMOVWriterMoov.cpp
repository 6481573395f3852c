// The rebuilt moov: which traks are written with which IDs, the patched
// headers, the regenerated tables, and the offsets' width.

#include "WriterSupport.h"

using namespace kp;
using namespace kptest;

namespace {

class MOVWriterMoov : public WriterTest {
protected:
  std::unique_ptr<TMOVReader> Source(const std::vector<SynthVideo> &v, const std::vector<SynthSound> &s = {},
                                     bool soundFirst = false, const QString &name = QStringLiteral("a.mov"))
  {
    return WriterTest::Source(name, v, s, soundFirst);
  }
  // Copies the whole source and writes the moov from it.
  Output CopyAll(TMOVReader &src, bool video, bool audio, const TSubtitleItems *subs = nullptr, double speed = 1)
  {
    auto w = NewWriter();
    EXPECT_TRUE(Append(*w, src, 0, 1, speed, true, video, audio));
    if (subs) {
      w->AddTextTrack("GPS information", 0);
      w->WriteSubtitles(*subs);
    }
    Output o = Finish(w, &src, OutPath());
    ExpectSameTables(o);
    return o;
  }
};

const TSubtitleItems AB = {{"A", 0, 1 / 86400.0}, {"B", 1 / 86400.0, 2 / 86400.0}};

uint32_t NextTrackID(const Output &o)
{
  return BE32(o.Body("moov/mvhd"), 96);
}

std::vector<uint32_t> TrakIDs(const Output &o)
{
  std::vector<uint32_t> ids;
  for (const FoundAtom &a : o.Find("moov/trak/tkhd")) ids.push_back(BE32(AtomBody(o.Bytes, a), 12));
  return ids;
}

TEST_F(MOVWriterMoov, NextTrackIDFollowsTheTraksWritten)
{
  auto src = Source({{.Types = GopTypes(30, 15)}}, {{.Count = 20}});
  // With sound unticked the text track still takes an ID the template's
  // sound track does not use.
  const std::tuple<bool, bool, std::vector<uint32_t>> cases[] = {
      {false, false, {1}}, {true, true, {1, 2, 3}}, {false, true, {1, 3}}};
  for (const auto &[audio, subs, ids] : cases) {
    const Output o = CopyAll(*src, true, audio, subs ? &AB : nullptr);
    EXPECT_EQ(TrakIDs(o), ids);
    EXPECT_EQ(NextTrackID(o), ids.back() + 1);
    ASSERT_EQ(o.Reader->Tracks.size(), ids.size());
    if (subs) {
      EXPECT_EQ(o.Reader->Tracks.back().Kind, mtkText);
      EXPECT_EQ(o.Reader->Tracks.back().Samples.size(), 2u);
    }
  }
}

TEST_F(MOVWriterMoov, TrakIsChosenFromItsTkhdWhereverItStands)
{
  // Sound first; the video trak's edit list precedes its tkhd.
  auto src = Source({{.Types = GopTypes(30, 15), .EditListFirst = true}}, {{.Count = 20}}, true);
  Output o = CopyAll(*src, true, false);
  EXPECT_EQ(TrakIDs(o), (std::vector<uint32_t>{1}));
  ASSERT_EQ(o.Find("moov/trak/edts/elst").size(), 1u);
  // One entry from the start (no composition offsets), rate 1.
  EXPECT_EQ(Words(o.Body("moov/trak/edts/elst"), 4, 4), (std::vector<uint32_t>{1, 30 * 3003, 0, 0x00010000u}));
}

TEST_F(MOVWriterMoov, HeadersArePatchedAndUnknownAtomsDropped)
{
  auto src = Source({{.Types = GopTypes(30, 15)}}, {{.Delta = 1100, .Count = 60}});
  Output o = CopyAll(*src, true, true, nullptr, 2);
  // Video at speed 2 lasts 30 x 1502 units of 1/90000 s (0.5007 s); every
  // second sound sample goes with it up to its end, and the last of the 22
  // (22 x 1100 at 48 kHz, 0.5042 s) ends later and sets the movie's scale.
  EXPECT_EQ(Words(o.Body("moov/mvhd"), 12, 2), (std::vector<uint32_t>{48000, 22 * 1100}));
  EXPECT_TRUE(o.Find("moov/free").empty());
  const QByteArray videoTkhd = o.Body("moov/trak/tkhd", 0);
  EXPECT_EQ(BE32(videoTkhd, 20), uint32_t(Round(30 * 1502 / 90000.0 * 48000)));
  EXPECT_EQ(Words(o.Body("moov/trak/mdia/mdhd", 0), 12, 2), (std::vector<uint32_t>{90000, 30 * 1502}));
  EXPECT_EQ(Words(o.Body("moov/trak/edts/elst", 0), 8, 2), (std::vector<uint32_t>{BE32(videoTkhd, 20), 0}));
  // The template's vmhd, smhd, dinf and counted handler names are kept.
  EXPECT_EQ(o.Find("moov/trak/mdia/minf/vmhd").size(), 1u);
  EXPECT_EQ(o.Find("moov/trak/mdia/minf/smhd").size(), 1u);
  EXPECT_EQ(o.Reader->Tracks[0].HandlerName, "VideoHandler");
}

TEST_F(MOVWriterMoov, SampleTablesAreRegenerated)
{
  auto src = Source({{.Types = GopTypes(45, 15, "PBB")}});
  auto w = NewWriter();
  // 3 frames at speed 1, then 2 at speed 2: durations 3003 x 3, 1501.5 x 2.
  ASSERT_TRUE(Append(*w, *src, 0, 2.0 / 45, 1, true));
  src->Tracks[0].Samples[3].KeyFrame = true; // lets the second fragment start at 3
  ASSERT_TRUE(Append(*w, *src, 3.0 / 45, 4.0 / 45, 2, true));
  ASSERT_EQ(w->Tracks[0].Samples.size(), 5u);
  Output o = Finish(w, src.get(), OutPath());
  EXPECT_EQ(Words(o.Body("moov/trak/mdia/minf/stbl/stts"), 4, 5), (std::vector<uint32_t>{2, 3, 3003, 2, 1502}));
  EXPECT_TRUE(o.Find("moov/trak/mdia/minf/stbl/ctts").empty()); // none in the template
  EXPECT_EQ(Words(o.Body("moov/trak/mdia/minf/stbl/stss"), 4, 3), (std::vector<uint32_t>{2, 1, 4}));
  // One chunk per mdat: the samples of each fragment follow each other.
  EXPECT_EQ(Words(o.Body("moov/trak/mdia/minf/stbl/stsc"), 4, 7), (std::vector<uint32_t>{2, 1, 3, 1, 2, 2, 1}));
  EXPECT_EQ(BE32(o.Body("moov/trak/mdia/minf/stbl/stco"), 4), 2u);
  EXPECT_TRUE(o.Find("moov/trak/mdia/minf/stbl/sdtp").empty()); // none in the template
  ExpectSameTables(o);
}

// Presentation times of a re-read track, in decode order.
std::vector<int64_t> Pts(const TMOVTrack &t)
{
  std::vector<int64_t> pts;
  for (const TMOVSample &s : t.Samples) pts.push_back(s.DecodeTime + s.CompositionOffset);
  return pts;
}

TEST_F(MOVWriterMoov, ReorderedFramesStayInOrderAcrossFragments)
{
  // Mini-GOPs K P B B: a cut that ends on a P frame (decode index 4) would
  // show it after the next fragment's first frame; the end moves back to
  // the B frame before it.
  auto src = Source({{.Types = GopTypes(52, 13, "PBB"), .Reorder = true}});
  auto w = NewWriter();
  std::vector<size_t> parts = {0};
  // Then a slow part (offsets doubled) and a normal one: each part keeps
  // the longest decode-to-show delay, so none shows a frame too early.
  const std::tuple<double, double, double> cuts[] = {
      {0, 4.0 / 52, 1}, {13.0 / 52, 25.0 / 52, 1}, {0.5, 1, 0.5}, {0, 1, 2}};
  for (auto [p1, p2, speed] : cuts) {
    ASSERT_TRUE(Append(*w, *src, p1, p2, speed, true));
    parts.push_back(w->Tracks[0].Samples.size());
  }
  EXPECT_EQ(parts, (std::vector<size_t>{0, 4, 4 + 13, 4 + 13 + 26, 4 + 13 + 26 + 52}));
  Output o = Finish(w, src.get(), OutPath());
  ExpectSameTables(o);
  const std::vector<int64_t> pts = Pts(o.Reader->Tracks.at(0));
  std::vector<int64_t> sorted = pts;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_TRUE(std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end()) << "two frames at one time";
  // The edit starts at the first frame shown, so none is hidden.
  EXPECT_EQ(BE32(o.Body("moov/trak/edts/elst"), 12), uint32_t(sorted.front()));
  // Each part's frames are all shown after the previous part's.
  for (int k = 0; k + 2 < 5; ++k) {
    const int64_t lastShown = *std::max_element(pts.begin() + parts[k], pts.begin() + parts[k + 1]);
    const int64_t firstNext = *std::min_element(pts.begin() + parts[k + 1], pts.begin() + parts[k + 2]);
    EXPECT_LT(lastShown, firstNext) << "part " << k;
  }
}

TEST_F(MOVWriterMoov, ConstantSizesAndPCMNeedNoSizeTable)
{
  auto src = Source({{.Types = GopTypes(30, 15), .ConstSize = 40}}, {{.Count = 5, .PCMFrame = 4}});
  ASSERT_EQ(src->Tracks[1].PCMFrameSize, 4);
  Output o = CopyAll(*src, true, true);
  // Each stsz is just the constant size and the count.
  EXPECT_EQ(Words(o.Body("moov/trak/mdia/minf/stbl/stsz", 0), 0, 9), (std::vector<uint32_t>{0, 40, 30}));
  EXPECT_EQ(Words(o.Body("moov/trak/mdia/minf/stbl/stsz", 1), 0, 9), (std::vector<uint32_t>{0, 4, 5 * 1024}));
  EXPECT_EQ(BE32(o.Body("moov/trak/mdia/minf/stbl/stsc", 1), 12), 1024u);
  EXPECT_EQ(Words(o.Body("moov/trak/mdia/minf/stbl/stts", 1), 4, 3), (std::vector<uint32_t>{1, 5 * 1024, 1}));
  // Read back, the sound is regrouped into the same five chunks.
  EXPECT_EQ(o.Reader->Tracks[1].Samples.size(), 5u);
  EXPECT_EQ(o.Reader->Tracks[1].Samples[4].Offset, o.Written[1].Samples[4].Offset);
}

TEST_F(MOVWriterMoov, Co64IsChosenFromTheIntendedSize)
{
  auto src = Source({{.Types = GopTypes(30, 15)}});
  for (int extra : {0, 1}) {
    auto w = NewWriter();
    ASSERT_TRUE(Append(*w, *src, 0, 1, 1, true));
    const int64_t intended = w->GetPos() + src->MoovSize + 32 * 30 + 1048576;
    // A small threshold stands in for 1,900,000,000: the file stays tiny.
    w = NewWriter({1900000000, intended + extra});
    ASSERT_TRUE(Append(*w, *src, 0, 1, 1, true));
    Output o = Finish(w, src.get(), OutPath());
    EXPECT_LT(o.Bytes.size(), intended);
    EXPECT_EQ(o.Find("moov/trak/mdia/minf/stbl/co64").size(), extra == 0 ? 1u : 0u);
    EXPECT_EQ(o.Find("moov/trak/mdia/minf/stbl/stco").size(), extra == 0 ? 0u : 1u);
    ExpectSameTables(o);
  }
}

TEST_F(MOVWriterMoov, Version1MediaHeaderKeepsItsVersion)
{
  auto src = Source({{.Types = GopTypes(30, 15), .MdhdVersion = 1}});
  Output o = CopyAll(*src, true, true);
  const QByteArray mdhd = o.Body("moov/trak/mdia/mdhd");
  ASSERT_EQ(mdhd.size(), 36);
  EXPECT_EQ(uint8_t(mdhd[0]), 1);
  EXPECT_EQ(BE32(mdhd, 20), 90000u);
  EXPECT_EQ(BE32(mdhd, 28), 30u * 3003u);
}

TEST_F(MOVWriterMoov, TrackWithoutTemplateTrakHasNoIndex)
{
  auto a = Source({{.Types = GopTypes(30, 15)}});
  auto b = Source({{.Types = GopTypes(30, 15)}}, {{.Count = 10}}, false, QStringLiteral("b.mov"));
  auto w = NewWriter();
  ASSERT_TRUE(Append(*w, *a, 0, 1, 1, true));
  ASSERT_TRUE(Append(*w, *b, 0, 1, 1, true));
  Output o = Finish(w, a.get(), OutPath());
  EXPECT_EQ(TrakIDs(o), (std::vector<uint32_t>{1}));
  EXPECT_EQ(NextTrackID(o), 2u);
  ExpectSameTables(o);
}

TEST_F(MOVWriterMoov, DamagedTemplateHeadersAreNotPatchedOutsideTheirAtoms)
{
  // A template whose first trak has a tkhd too short for its ID, and whose
  // second has an mdhd too short to patch.
  const QByteArray shortTkhd = FullAtom("tkhd", 0, QByteArray(8, '\0'));
  const QByteArray shortMdhd = FullAtom("mdhd", 0, QByteArray(8, '\0'));
  const QByteArray stbl = Atom("stbl", {Stsd("avc1"), Stts({}), Stsz({}), Stsc({}), Stco({})});
  const QByteArray trak1 = Atom("trak", {shortTkhd, Atom("mdia", {Mdhd(0, 90000, 0, 0), Atom("minf", {stbl})})});
  const QByteArray trak2 = Atom("trak", {Tkhd0(0, 1, 0, 128, 96), Atom("mdia", {shortMdhd, Atom("minf", {stbl})})});
  auto tmpl = OpenSynth(Dir, "t.mov", Movie(Mvhd0(0, 1000, 0) + trak1 + trak2));
  ASSERT_TRUE(tmpl->HasMoov());
  auto src = Source({{.Types = GopTypes(30, 15)}});
  auto w = NewWriter();
  ASSERT_TRUE(Append(*w, *src, 0, 1, 1, true));
  Output o = Finish(w, tmpl.get(), OutPath());
  EXPECT_EQ(TrakIDs(o), (std::vector<uint32_t>{1}));
  EXPECT_EQ(o.Body("moov/trak/mdia/mdhd"), shortMdhd.mid(8));
  ASSERT_EQ(o.Reader->Tracks.size(), 1u);
  EXPECT_EQ(o.Reader->Tracks[0].Samples.size(), 30u);
}

TEST_F(MOVWriterMoov, NoTemplateOrNoMoovWritesNoHeader)
{
  auto src = Source({{.Types = GopTypes(30, 15)}});
  auto w = NewWriter();
  ASSERT_TRUE(Append(*w, *src, 0, 1, 1, true));
  const int64_t size = w->GetPos();
  w->WriteMoov(nullptr);
  EXPECT_EQ(w->Out().Size(), size);
  auto noMoov = OpenSynth(Dir, "n.mov", Ftyp() + Atom("mdat", QByteArray(16, '\0')));
  ASSERT_FALSE(noMoov->HasMoov());
  w->WriteMoov(noMoov.get());
  EXPECT_EQ(w->Out().Size(), size);
}

TEST_F(MOVWriterMoov, TrackLeftEmptyGetsAnEmptyIndex)
{
  // The second source brings a sound track (its first, which reports
  // progress), and its copy stops at once.
  auto a = Source({{.Types = GopTypes(30, 15)}});
  auto b = Source({{.Types = GopTypes(30, 15)}}, {{.Count = 20}}, true, QStringLiteral("b.mov"));
  auto w = NewWriter();
  ASSERT_TRUE(Append(*w, *a, 0, 1));
  EXPECT_FALSE(Append(*w, *b, 0, 1, 1, false, true, true, [](double, double) { return false; }));
  Output o = Finish(w, b.get(), OutPath());
  // One sample-to-chunk entry; empty sizes and offsets.
  ASSERT_EQ(TrakIDs(o), (std::vector<uint32_t>{2, 1}));
  EXPECT_EQ(Words(o.Body("moov/trak/mdia/minf/stbl/stsc"), 0, 5), (std::vector<uint32_t>{0, 1, 1, 1, 1}));
  EXPECT_EQ(o.Body("moov/trak/mdia/minf/stbl/stsz"), QByteArray(12, '\0'));
  EXPECT_EQ(o.Body("moov/trak/mdia/minf/stbl/stco"), QByteArray(8, '\0'));
}

} // namespace
