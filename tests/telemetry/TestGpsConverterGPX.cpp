// GPX 1.0: the exact text written, and reading it and other files back.

#include "TestGpsConverterSupport.h"
#include "UnitGpsConverterGPX.h"

#include <limits>

using namespace kp;
using namespace kptest;

namespace {

const QByteArray kGoldenGpx =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n"
    "<gpx\r\n"
    " version=\"1.0\"\r\n"
    " creator=\"KESTRIL PLAYER 1.1\"\r\n"
    " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\r\n"
    " xmlns=\"http://www.topografix.com/GPX/1/0\"\r\n"
    " xsi:schemaLocation=\"http://www.topografix.com/GPX/1/0 http://www.topografix.com/GPX/1/0/gpx.xsd\">\r\n"
    "<time>2011-05-01T10:00:00Z</time>\r\n"
    "<bounds minlat=\"-33.500000\" minlon=\"-70.250000\" maxlat=\"55.751300\" maxlon=\"37.618500\"/>\r\n"
    "<trk>\r\n"
    "  <name>Trip &amp; &lt;Test&gt; &quot;1&quot;</name>\r\n"
    "  <desc>Desc</desc>\r\n"
    "  <time>2011-05-01T10:00:00Z</time>\r\n"
    "  <trkseg>\r\n"
    "\t<trkpt lat=\"55.751244\" lon=\"37.618423\"><ele>150.5</ele><time>2011-05-01T10:00:00Z</time>"
    "<course>90</course><speed>10</speed></trkpt>\r\n"
    "\t<trkpt lat=\"55.751300\" lon=\"37.618500\"><time>2011-05-01T10:00:01Z</time></trkpt>\r\n"
    "\t<trkpt lat=\"-33.500000\" lon=\"-70.250000\"><ele>10</ele><time>2011-05-01T10:00:10Z</time>"
    "<course>0</course><speed>12.5</speed></trkpt>\r\n"
    "  </trkseg>\r\n"
    "</trk>\r\n"
    "</gpx>\r\n";

using GpxFormat = TFormatsTest;
const TGpsInfoConverterGPX kGpx;

TEST_F(GpxFormat, WritesTheExactText)
{
  EXPECT_EQ(Export(kGpx, GoldenTrack()), kGoldenGpx);
  EXPECT_TRUE(Export(kGpx, TTrackInfo{}).endsWith("  <trkseg>\r\n  </trkseg>\r\n</trk>\r\n</gpx>\r\n"));
}

TEST_F(GpxFormat, RoundTripGivesLocalTimesAndKmh)
{
  TTrackInfo info;
  ASSERT_TRUE(LoadWith(kGpx, kGoldenGpx, info));
  // Unknown course and speed are left out and read back as unknown.
  EXPECT_EQ(Items(info), "G 2011-05-01 13:00:00.000 55.751244,37.618423 a150.5 s36 c90\n"
                         "G 2011-05-01 13:00:01.000 55.7513,37.6185 a0 s-1 c-1\n"
                         "G 2011-05-01 13:00:10.000 -33.5,-70.25 a10 s45 c0\n");
  EXPECT_EQ(GpsFormats(), "gpx");
}

TEST_F(GpxFormat, ReaderTakesAttributesOrChildrenAndDropsUntimedPoints)
{
  const QByteArray text =
      "<?xml version=\"1.0\"?><gpx version=\"1.1\"><trk><trkseg>\n"
      "<trkpt lon=\"12.5\" lat=\"41.25\"><ele>7.5</ele><time>2015-12-11T15:43:13.994+01:00</time></trkpt>\n"
      "<trkpt lat=\"41.3\" lon=\"12.6\"><ele>8</ele></trkpt>\n"
      "<trkpt lat=\"0\" lon=\"12.6\"><time>2015-12-11T15:43:15Z</time></trkpt>\n"
      "<trkpt lat=\"41.4\" lon=\"12.7\"><time>2015-12-11T15:43:16Z</time><speed>0</speed></trkpt>\n"
      "</trkseg></trk></gpx>\n";
  TTrackInfo info;
  ASSERT_TRUE(LoadWith(kGpx, text, info));
  // The zone offset is taken off and the fraction of a second kept.
  EXPECT_EQ(Items(info), "G 2015-12-11 17:43:13.994 41.25,12.5 a7.5 s-1 c-1\n"
                         "G 2015-12-11 18:43:16.000 41.4,12.7 a0 s0 c-1\n");
}

// Valid layouts other writers use, each point one way; times in UTC+3.
const QByteArray kOtherLayouts =
    "<?xml version='1.0' encoding='UTF-8'?>\n<gpx version='1.1' creator='x' "
    "xmlns='http://www.topografix.com/GPX/1/1'><trk><trkseg>\n"
    "<trkpt lat='41.1' lon='12.1'><time>2015-12-11T15:43:13.25Z</time></trkpt>\n"
    "<trkpt\n  lat = \"41.2\"\n  lon = \"12.2\"><ele> 8 </ele><time>2015-12-11T17:43:14+02:00</time></trkpt>\n"
    "<trkpt\tlat=\"41.3\" lon=\"12.3\"><time>2015-12-11T10:13:15.5-05:30</time></trkpt>\n"
    "<trkpt lat=\"41.4\" lon=\"12.4\"><time>2015-12-11T15:43:16</time></trkpt>\n"
    "<trkptx lat=\"41.5\" lon=\"12.5\"><time>2015-12-11T15:43:17Z</time></trkptx>\n"
    "</trkseg></trk></gpx>\n";

// Read as gpsbabel reads them, to the millisecond.
TEST_F(GpxFormat, ReaderTakesOtherLayoutsAndZones)
{
  TTrackInfo info;
  ASSERT_TRUE(LoadWith(kGpx, kOtherLayouts, info));
  EXPECT_EQ(Items(info), "G 2015-12-11 18:43:13.250 41.1,12.1 a0 s-1 c-1\n"
                         "G 2015-12-11 18:43:14.000 41.2,12.2 a8 s-1 c-1\n"
                         "G 2015-12-11 18:43:15.500 41.3,12.3 a0 s-1 c-1\n"
                         "G 2015-12-11 18:43:16.000 41.4,12.4 a0 s-1 c-1\n");
  KP_REQUIRE_TOOL(babel, "gpsbabel");
  TTrackFolder folder;
  bool ok = false;
  const std::vector<TPoint> theirs = BabelPoints(babel, "gpx", folder.Write("layouts.gpx", kOtherLayouts), ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ(theirs.size(), 4u);
  EXPECT_EQ(Unmatched(OurFixes(info), theirs, 0, 1), 0);
  EXPECT_EQ(Unmatched(theirs, OurFixes(info), 0, 1), 0);
}

// Impossible values from a damaged or hostile file: the point goes, or the
// value becomes unknown; nothing of it reaches an export.
TEST_F(GpxFormat, ImpossibleValuesAreNotStored)
{
  const QByteArray points[] = {
      "<trkpt lat=\"95\" lon=\"12\"><time>2015-12-11T15:43:13Z</time></trkpt>",
      "<trkpt lat=\"41\" lon=\"-180.5\"><time>2015-12-11T15:43:13Z</time></trkpt>",
      "<trkpt lat=\"nan\" lon=\"12\"><time>2015-12-11T15:43:13Z</time></trkpt>",
      "<trkpt lat=\"41\" lon=\"1e400\"><time>2015-12-11T15:43:13Z</time></trkpt>",
      "<trkpt lat=\"41\" lon=\"12\"><ele>inf</ele><time>2015-12-11T15:43:14Z</time><course>nan</course>"
      "<speed>-inf</speed></trkpt>",
  };
  QByteArray text = "<?xml version=\"1.0\"?><gpx><trk><trkseg>\n";
  for (const QByteArray &p : points) text += p + "\n";
  text += "</trkseg></trk></gpx>\n";
  TTrackInfo info;
  ASSERT_TRUE(LoadWith(kGpx, text, info));
  EXPECT_EQ(Items(info), "G 2015-12-11 18:43:14.000 41,12 a0 s-1 c-1\n");
  info.Items[0].Alt = std::numeric_limits<double>::quiet_NaN();
  info.Items[0].Speed = std::numeric_limits<double>::infinity();
  const QByteArray out = Export(kGpx, info);
  EXPECT_FALSE(out.contains("nan") || out.contains("NAN") || out.contains("INF") || out.contains("inf"))
      << out.constData();
}

// Times are written to the nearest second: 5 ms before a second is that
// second, not the one before.
TEST_F(GpxFormat, WrittenTimesAreRounded)
{
  TTrackInfo info;
  for (int ms : {0, 995, 1499, 1500, 2500})
    info.Items.push_back(Fix(Dt(2011, 5, 1, 13) + ms / MSecsPerDay, 55.5, 37.5));
  QByteArray times;
  for (const QByteArray &line : Export(kGpx, info).split('\n'))
    if (line.contains("<trkpt")) times += line.mid(line.indexOf("<time>") + 23, 2) + " ";
  EXPECT_EQ(times, "00 01 01 02 02 ");
}

TEST_F(GpxFormat, ReaderFailsWithoutAnyUsablePoint)
{
  TTrackInfo info;
  EXPECT_FALSE(LoadWith(kGpx, "<?xml version=\"1.0\"?><gpx><wpt lat=\"1\" lon=\"2\"/></gpx>", info));
  EXPECT_TRUE(info.Items.empty());
  // A point starting in the last 16 characters is not looked at.
  EXPECT_FALSE(LoadWith(kGpx, "<?xml?><gpx><trkpt lat=\"1\" lon", info));
}

TEST_F(GpxFormat, RecognitionNeedsXmlAndGpx)
{
  EXPECT_TRUE(kGpx.CanRead("<?xml version=\"1.0\"?>\n<gpx xmlns=\"http://www.topografix.com/GPX/1/0\">"));
  EXPECT_FALSE(kGpx.CanRead("<?xml version=\"1.0\"?>\n<kml version=\"1.0\">"));
  EXPECT_FALSE(kGpx.CanRead("<gpx version=\"1.0\">"));
}

TEST_F(GpxFormat, EscapingKeepsOtherCharacters)
{
  EXPECT_EQ(XmlEscape(QStringLiteral("a&b<c>d\"e\u00e9")), "a&amp;b&lt;c&gt;d&quot;e\xc3\xa9");
}

} // namespace
