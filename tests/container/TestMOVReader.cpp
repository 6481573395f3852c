// The atom walk and the header facts of movie files built in memory.

#include "AtomBuilder.h"
#include "LogCapture.h"
#include "TestSupport.h"
#include "UnitMOV.h"

#include <QTemporaryDir>

using namespace kp;
using namespace kptest;

namespace {

QByteArray VideoTrak(int32_t id = 1, const QByteArray &extra = {})
{
  return Trak(Tkhd0(100, id, 600, 320, 240), Mdhd(0, 1000, 1000, 0x55C4), "vide", "avc1",
              Stts({{10, 100}}) + Stsz({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}) + extra);
}

} // namespace

TEST(MOVWalk, MoovIsFoundOnlyAfterFtypAndBeforeAnyAtomThatEndsTheLevel)
{
  const QByteArray moov = Atom("moov", {Mvhd0(0, 600, 600), VideoTrak()});
  const std::pair<const char *, QByteArray> notFound[] = {
      {"no ftyp", moov},
      {"mdat first", Atom("mdat", QByteArray(4, '\0')) + moov},
      {"cut ftyp", QByteArray("\0\0\0\x08", 4) + "fty"},
      {"empty", QByteArray()},
      {"64-bit size", Ftyp() + Bytes().u32(1).tag("mdat").u64(16) + moov},
      {"size to the end", Ftyp() + Bytes().u32(0).tag("free") + moov},
      {"size below a header", Ftyp() + Bytes().u32(7).tag("free") + moov},
  };
  for (const auto &[name, file] : notFound) EXPECT_FALSE(Read(file)->HasMoov()) << name;
  EXPECT_TRUE(Read(Movie(Mvhd0(0, 600, 600) + VideoTrak()))->HasMoov());
  EXPECT_FALSE(TMOVReader(QStringLiteral("/nonexistent/x.mov"), true).HasMoov());
}

TEST(MOVWalk, OverrunningAtomEndsOnlyItsParent)
{
  // The first trak's stbl holds an atom claiming more than is left: the
  // tables after it in that stbl are lost, the second trak is still read.
  const QByteArray bad = Bytes().u32(1000).tag("junk").zeros(8);
  const QByteArray trak1 = Trak(Tkhd0(0, 1, 600, 320, 240), Mdhd(0, 1000, 1000, 0), "vide", "avc1",
                                Stts({{10, 100}}) + bad + Stsz({1, 2, 3}));
  const auto r = Read(Movie(Mvhd0(0, 600, 600) + trak1 + VideoTrak(2)));
  ASSERT_TRUE(r->HasMoov());
  ASSERT_EQ(r->Tracks.size(), 2u);
  EXPECT_EQ(r->Tracks[0].TotalBytes, 0);
  EXPECT_EQ(r->Tracks[1].TrackID, 2);
  EXPECT_EQ(r->Tracks[1].TotalBytes, 55);
  EXPECT_FALSE(r->LastError().isEmpty());
}

TEST(MOVWalk, TrakOutsideMoovIsIgnored)
{
  const auto r = Read(Ftyp() + VideoTrak(7) + Atom("moov", {Mvhd0(0, 600, 600), VideoTrak(1)}) + VideoTrak(8));
  ASSERT_EQ(r->Tracks.size(), 1u);
  EXPECT_EQ(r->Tracks[0].TrackID, 1);
}

TEST(MOVWalk, DeepNestingNeitherCrashesNorRecursesWithoutEnd)
{
  QByteArray nest = VideoTrak();
  for (int i = 0; i < 20000; ++i) nest = Atom("udta", nest);
  const auto r = Read(Movie(Mvhd0(0, 600, 600) + nest));
  EXPECT_TRUE(r->HasMoov());
  EXPECT_TRUE(r->Tracks.empty());
}

TEST(MOVWalk, MdatOfTwoToFourGiBBeforeMoovIsSkipped)
{
  // A long recording with the moov at the end: its mdat size has the top bit
  // set. Written sparse, so the test costs no disk space.
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath(QStringLiteral("long.mov"));
  const uint32_t mdatSize = 0x90000000u;
  const QByteArray moov = Atom("moov", {Mvhd0(0, 600, 600), VideoTrak()});
  {
    TFileStream w(path, TFileStream::fmCreate);
    w.WriteBlock(Ftyp());
    const int64_t mdatPos = w.Position();
    w.WriteU32BE(mdatSize);
    w.WriteBlock("mdat");
    w.WriteAt(mdatPos + mdatSize, moov.constData(), moov.size());
  }
  TMOVReader r(path, true);
  ASSERT_TRUE(r.HasMoov());
  EXPECT_EQ(r.MoovPos, int64_t(Ftyp().size()) + mdatSize);
  EXPECT_EQ(r.MoovSize, moov.size());
  auto *file = dynamic_cast<TFileStream *>(r.Stream.get());
  ASSERT_NE(file, nullptr);
  // Header-only: the atom headers and the moov, nothing of the media data.
  EXPECT_LE(file->BytesRead(), moov.size() + 64);
}

TEST(MOVHeader, MovieHeaderVersions)
{
  constexpr int64_t Max = std::numeric_limits<int64_t>::max();
  const std::tuple<const char *, QByteArray, int64_t, int64_t> cases[] = {
      {"version 0", Mvhd0(0, 600, 6000), 6000, 10000},
      {"version 1", Mvhd1(1000, 123456789012ull), 123456789012, 123456789012},
      {"2^31 and more is a duration", Mvhd0(0, 1000, 0x90000000u), 0x90000000u, 0x90000000u},
      {"all ones is unknown", Mvhd0(0, 1000, 0xFFFFFFFFu), -1, -1},
      {"milliseconds saturate", Mvhd1(1, 0x7FFFFFFFFFFFFFFFull), Max, Max},
      {"time scale 0", Mvhd0(0, 0, 600), 600, 0},
  };
  for (const auto &[name, mvhd, duration, ms] : cases) {
    const auto r = Read(Movie(mvhd));
    EXPECT_EQ(std::make_pair(r->Duration, r->DurationMs), std::make_pair(duration, ms)) << name;
  }
  EXPECT_DOUBLE_EQ(Read(Movie(Mvhd0(3600u * 24 * 365, 600, 6000)))->CreationTime, QuickTimeEpoch + 365);
}

TEST(MOVHeader, TrackHeaderAndApertureSize)
{
  const auto trak = [](const QByteArray &tkhd, const QByteArray &enof, bool enofFirst) {
    const QByteArray tapt = Atom("tapt", enof);
    return Atom("trak", enofFirst ? tapt + tkhd : tkhd + tapt);
  };
  auto r = Read(Movie(trak(Tkhd0(5000, 3, 1234, 1920, 1080), Enof(1440, 1080), false)));
  ASSERT_EQ(r->Tracks.size(), 1u);
  const TMOVTrack &t = r->Tracks[0];
  EXPECT_EQ(std::tuple(t.TrackID, t.Duration, t.Width, t.Height), std::tuple(3, 1234, 1440, 1080));
  EXPECT_DOUBLE_EQ(t.CreationTime, MacTimeToDateTime(5000));

  r = Read(Movie(trak(Tkhd0(0, 3, 1, 1920, 1080), Enof(9000, 1080), false)));
  EXPECT_EQ(r->Tracks[0].Width, 1920);
  // An enof before the tkhd wins: the tkhd then reads no size.
  r = Read(Movie(trak(Tkhd1(4, 99, 1920, 1080), Enof(1280, 720), true)));
  const TMOVTrack &u = r->Tracks[0];
  EXPECT_EQ(std::tuple(u.Width, u.Height, u.TrackID, u.Duration, u.CreationTime), std::tuple(1280, 720, 4, 99, 0.0));
}

TEST(MOVHeader, MediaHeaderVersions)
{
  // (time scale, duration, milliseconds, language); the tkhd says 777.
  using Facts = std::tuple<int32_t, int64_t, int64_t, uint16_t>;
  const std::tuple<const char *, QByteArray, Facts> cases[] = {
      {"version 0", Mdhd(0, 90000, 900000, 0x15C7), {90000, 900000, 10000, 0x15C7}},
      {"version 1", Mdhd(1, 48000, 48000ull * 3600 * 30, 7), {48000, 48000ll * 3600 * 30, 3600 * 30 * 1000LL, 7}},
      {"unknown version: scale 1, durations kept",
       FullAtom("mdhd", 2, Bytes().u16(0x1234).zeros(20)),
       {1, 777, 0, 0x1234}},
      {"2^31 and more count", Mdhd(0, 1, 0x80000000u, 0), {1, 0x80000000u, 0x80000000u * 1000LL, 0}},
  };
  for (const auto &[name, mdhd, facts] : cases) {
    const TMOVTrack t = Read(Movie(Atom("trak", {Tkhd0(0, 1, 777, 0, 0), Atom("mdia", mdhd)})))->Tracks.at(0);
    EXPECT_EQ(Facts(t.TimeScale, t.Duration, t.DurationMs, t.Language), facts) << name;
  }
}

TEST(MOVHeader, HandlerNames)
{
  const auto names = [](std::initializer_list<QByteArray> hdlrs) {
    QByteArray body = Tkhd0(0, 1, 1, 0, 0);
    for (const QByteArray &h : hdlrs) body += h;
    const TMOVTrack t = Read(Movie(Atom("trak", body)))->Tracks.at(0);
    return std::make_pair(t.HandlerType, t.HandlerName);
  };
  // A counted name loses its count byte, a zero-terminated one keeps its NUL.
  EXPECT_EQ(names({Hdlr("vide", QByteArray("\x05Video", 6))}), std::make_pair(QByteArray("vide"), QByteArray("Video")));
  EXPECT_EQ(names({Hdlr("soun", QByteArray("Sound\0", 6))}),
            std::make_pair(QByteArray("soun"), QByteArray("Sound\0", 6)));
  // The first complete handler wins.
  EXPECT_EQ(names({Hdlr("vide", "A"), Hdlr("alis", "B")}), std::make_pair(QByteArray("vide"), QByteArray("A")));
  // A name of one zero byte becomes empty, so the next handler replaces both.
  EXPECT_EQ(names({Hdlr("vide", QByteArray(1, '\0')), Atom("minf", Hdlr("alis", "\x04"
                                                                                "Data"))}),
            std::make_pair(QByteArray("alis"), QByteArray("Data")));
  // A handler cut short has a type and no name.
  EXPECT_EQ(names({FullAtom("hdlr", 0, Bytes().tag("mhlr").tag("text"))}),
            std::make_pair(QByteArray("text"), QByteArray()));
}

TEST(MOVHeader, CodecAndKind)
{
  const auto of = [](const QByteArray &format) {
    const TMOVTrack t = Read(Movie(Atom("trak", {Tkhd0(0, 1, 1, 0, 0), Stsd(format.constData())})))->Tracks.at(0);
    return std::make_pair(t.Codec, t.Kind);
  };
  EXPECT_EQ(of("avc1"), std::make_pair(QByteArray("AVC1"), mtkVideo));
  EXPECT_EQ(of("png "), std::make_pair(QByteArray("PNG "), mtkOther));
  EXPECT_EQ(of(QByteArray("ms\0\x11", 4)), std::make_pair(QByteArray("MS\0\x11", 4), mtkAudio));
  EXPECT_EQ(of("tx3g"), std::make_pair(QByteArray("TX3G"), mtkText));
  EXPECT_EQ(of("hvc1"), std::make_pair(QByteArray("HVC1"), mtkOther));
}

TEST(MOVWalk, ShortAtomsNeverReadTheirNeighbours)
{
  // A tkhd cut after its duration, followed by a free atom whose bytes would
  // read as a 640 x 480 picture if the handler ran on into it.
  const QByteArray shortTkhd = FullAtom("tkhd", 0, Bytes().u32(0).u32(0).u32(9).u32(0).u32(500));
  const QByteArray bait = Atom("free", Bytes().zeros(52).u32(640u << 16).u32(480u << 16));
  const QByteArray shortMdhd = FullAtom("mdhd", 0, Bytes().u32(0).u32(0).u32(1000));
  const auto r = Read(Movie(Atom("trak", {shortTkhd, bait, Atom("mdia", {shortMdhd, bait})})));
  ASSERT_EQ(r->Tracks.size(), 1u);
  const TMOVTrack &t = r->Tracks[0];
  EXPECT_EQ(std::tuple(t.TrackID, t.Duration, t.Width, t.Height, t.DurationMs), std::tuple(9, 500, 0, 0, 0));
  EXPECT_TRUE(r->LastError().contains(QStringLiteral("tkhd")));
}

TEST(MOVHeader, SampleDescriptionCutAfterItsFormatStillNamesTheCodec)
{
  // Version, entry count, the entry's size and format, and nothing more.
  const QByteArray stsd = FullAtom("stsd", 0, Bytes().u32(1).u32(16).tag("avc1"));
  const auto r = Read(OneTrack("vide", nullptr, stsd, 0), true);
  ASSERT_EQ(r->Tracks.size(), 1u);
  EXPECT_EQ(r->Tracks[0].Codec, QByteArray("AVC1"));
  EXPECT_EQ(r->Tracks[0].Kind, mtkVideo);
}

TEST(MOVLog, DamageOfAMovieIsWarnedOnceNamingTheFile)
{
  QTemporaryDir dir;
  const QByteArray good = Movie(Mvhd0(0, 600, 600) + VideoTrak());
  const QByteArray overrun = Bytes().u32(1000).tag("junk").zeros(8);
  const QByteArray damaged = Movie(Mvhd0(0, 600, 600) + VideoTrak(1, overrun) + VideoTrak(2, overrun));
  const std::tuple<const char *, QByteArray, int> cases[] = {
      {"intact", good, 0},
      {"padded with zeros", good + QByteArray(64, '\0'), 0},
      {"junk in free space", Movie(Mvhd0(0, 600, 600) + Atom("free", QByteArray(8, 'x')) + VideoTrak()), 0},
      {"no movie", QByteArray("not a movie at all"), 0},
      {"two damaged tracks", damaged, 1},
  };
  TLogCapture log("kp.container");
  int total = 0;
  for (const auto &[name, bytes, warnings] : cases) {
    SCOPED_TRACE(name);
    const QString path = dir.filePath(QLatin1String(name) + QStringLiteral(".mov"));
    ASSERT_TRUE(writeFileBytes(path, bytes));
    const TMOVReader r(path, true);
    EXPECT_EQ(log.Lines().size(), total += warnings) << qPrintable(log.Lines().join(QLatin1Char('\n')));
    EXPECT_EQ(log.LinesWith(path).size(), warnings);
  }
}
