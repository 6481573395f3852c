// The subtitle text track: samples, gaps and trims, the trak's bytes.

#include "WriterSupport.h"

using namespace kp;
using namespace kptest;

namespace {

constexpr double Sec = 1 / 86400.0;

class MOVWriterText : public WriterTest {
protected:
  std::unique_ptr<TMOVWriter> W = NewWriter();

  TMOVTrack &Text() { return W->Tracks.back(); }
  std::vector<double> Durations() const
  {
    std::vector<double> d;
    for (const TMOVSample &s : W->Tracks.back().Samples) d.push_back(s.Duration);
    return d;
  }
  QByteArray SampleBytes(const QByteArray &file, int i) const
  {
    const TMOVSample &s = W->Tracks.back().Samples.at(size_t(i));
    return file.mid(int(s.Offset), s.Size);
  }
};

TEST_F(MOVWriterText, EntriesBecomeCountedSamples)
{
  W->AddTextTrack("GPS information", 0);
  W->WriteSubtitles({{"A", 0, 1 * Sec}, {"B", 1 * Sec, 2 * Sec}});
  EXPECT_EQ(Durations(), (std::vector<double>{1000, 1000}));
  const QByteArray file = readFileBytes(OutPath());
  const auto mdats = FindAtoms(WalkAtoms(file), "mdat");
  ASSERT_EQ(mdats.size(), 1u);
  EXPECT_EQ(AtomBody(file, mdats[0]), QByteArray("\x00\x01\x41\x00\x01\x42", 6));
}

TEST_F(MOVWriterText, GapsAreFilledAndOverlapsTrimmed)
{
  W->AddTextTrack("GPS information", 0);
  W->WriteSubtitles({{"A", 0, 1 * Sec}, {"B", 3 * Sec, 4 * Sec}});
  EXPECT_EQ(Durations(), (std::vector<double>{1000, 2000, 1000}));
  const QByteArray file = readFileBytes(OutPath());
  EXPECT_EQ(SampleBytes(file, 1), QByteArray("\x00\x00", 2));
  // Overlapping the written end: starts there. Ending before it: skipped.
  // Reversed or empty: skipped.
  W->WriteSubtitles({{"C", 3.5 * Sec, 4.5 * Sec}, {"D", 0, 1 * Sec}, {"E", 6 * Sec, 5 * Sec}, {"F", 6 * Sec, 6 * Sec}});
  EXPECT_EQ(Durations(), (std::vector<double>{1000, 2000, 1000, 500}));
  // The next call continues the timeline, filling the gap to its first entry.
  W->WriteSubtitles({{"G", 6 * Sec, 7 * Sec}});
  EXPECT_EQ(Durations(), (std::vector<double>{1000, 2000, 1000, 500, 1500, 1000}));
  EXPECT_EQ(Text().Duration, 7000);
}

TEST_F(MOVWriterText, NothingWithoutATextTrack)
{
  const int64_t size = W->Out().Size();
  W->WriteSubtitles({{"A", 0, 1 * Sec}});
  EXPECT_EQ(W->Out().Size(), size);
  EXPECT_TRUE(W->Tracks.empty());
  W->SelectTextTrack();
  EXPECT_EQ(W->CurTrack, -1);
}

TEST_F(MOVWriterText, LongTextIsCutAtACharacterBoundary)
{
  W->AddTextTrack("GPS information", 0);
  QByteArray text = "ab";
  for (int i = 0; i < 40000; ++i) text += "\xc3\xa9"; // é
  W->WriteTextSample(text, 1);
  ASSERT_EQ(Text().Samples.size(), 1u);
  EXPECT_EQ(Text().Samples[0].Size, 2 + 65534);
  const QByteArray stored = SampleBytes(readFileBytes(OutPath()), 0);
  EXPECT_EQ(BE16(stored, 0), 65534);
  EXPECT_EQ(QString::fromUtf8(stored.mid(2)).toUtf8(), stored.mid(2)); // valid UTF-8 throughout
  EXPECT_EQ(TruncateUtf8("a\xc3\xa9", 2), "a");
  EXPECT_EQ(TruncateUtf8("a\xe2\x82\xac", 3), "a");
  EXPECT_EQ(TruncateUtf8("a\xe2\x82\xac", 4), "a\xe2\x82\xac");
}

TEST_F(MOVWriterText, TrakTakesTheVideoSizeAndClosesTheMoov)
{
  // With a 128 x 96 video track 1, and with sound track 2 only (640 x 480).
  const std::tuple<bool, uint32_t, uint32_t, uint32_t> cases[] = {{true, 128, 96, 2}, {false, 640, 480, 3}};
  for (const auto &[video, width, height, id] : cases) {
    SCOPED_TRACE(video);
    W = NewWriter();
    auto src = video ? Source("a.mov", {{.Types = GopTypes(30, 15)}}) : Source("a.mov", {}, {{.Count = 50}});
    ASSERT_TRUE(Append(*W, *src, 0, 1));
    W->AddTextTrack("GPS information", 32);
    W->WriteSubtitles({{"A", 0, 1 * Sec}});
    Output o = Finish(W, src.get(), OutPath());
    ExpectSameTables(o);
    const auto traks = o.Find("moov/trak");
    ASSERT_EQ(traks.size(), 2u);
    const QByteArray tkhd = o.Body("moov/trak/tkhd", 1);
    EXPECT_EQ(BE32(tkhd, 12), id);
    EXPECT_EQ(Words(tkhd, 76, 2), (std::vector<uint32_t>{width << 16, height << 16}));
    EXPECT_EQ(BE32(o.Body("moov/trak/mdia/minf/stbl/stsd", 1), 8 + 30), (height << 16) | width); // text box
    EXPECT_EQ(BE16(o.Body("moov/trak/mdia/mdhd", 1), 20), 32);                                   // the language
    EXPECT_EQ(o.Body("moov/trak/mdia/hdlr", 1).mid(24), QByteArray("\x0fGPS information"));
    std::vector<QByteArray> order;
    for (const FoundAtom &a : o.Atoms)
      if (a.Offset > traks[1].Offset && a.Path.startsWith("moov/trak/mdia/minf/stbl/")) order.push_back(a.Path.mid(25));
    EXPECT_EQ(order, (std::vector<QByteArray>{"stsd", "stts", "stsc", "stsz", "stco"}));
  }
}

TEST_F(MOVWriterText, FailedSubtitlesAreRolledBack)
{
  // A stream that refuses writes once armed.
  struct Refusing : TFileStream {
    using TFileStream::TFileStream;
    bool Armed = false;
    bool DoWriteAt(int64_t pos, const void *b, int64_t n) override
    {
      return !Armed && TFileStream::DoWriteAt(pos, b, n);
    }
  };
  auto out = std::make_unique<Refusing>(Dir.filePath(QStringLiteral("r.mov")), TFileStream::fmCreate);
  Refusing *r = out.get();
  TMOVWriter w(std::move(out));
  w.AddTextTrack("GPS information", 0);
  w.WriteSubtitles({{"A", 0, 1 * Sec}});
  const int64_t size = w.GetPos();
  r->Armed = true;
  EXPECT_THROW(w.WriteSubtitles({{"B", 1 * Sec, 2 * Sec}}), EStreamWriteError);
  r->Armed = false;
  EXPECT_EQ(w.GetPos(), size);
  EXPECT_EQ(w.OpenAtoms(), 0);
  EXPECT_EQ(w.Tracks[0].Samples.size(), 1u);
  EXPECT_EQ(w.Tracks[0].Duration, 1000);
  w.WriteSubtitles({{"B", 1 * Sec, 2 * Sec}});
  EXPECT_EQ(w.Tracks[0].Samples.size(), 2u);
}

} // namespace
