// GPX 1.0: the exact text written, and reading it and other files back.

#include "TestGpsConverterSupport.h"
#include "UnitGpsConverterGPX.h"

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

class GpxFormat : public TFormatsTest {
protected:
  TGpsInfoConverterGPX FGpx;
};

TEST_F(GpxFormat, WritesTheExactText)
{
  EXPECT_EQ(Export(FGpx, GoldenTrack()), kGoldenGpx);
  EXPECT_TRUE(Export(FGpx, TTrackInfo{}).endsWith("  <trkseg>\r\n  </trkseg>\r\n</trk>\r\n</gpx>\r\n"));
}

TEST_F(GpxFormat, RoundTripGivesLocalTimesAndKmh)
{
  TTrackInfo info;
  ASSERT_TRUE(LoadWith(FGpx, kGoldenGpx, info));
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
  ASSERT_TRUE(LoadWith(FGpx, text, info));
  // The zone offset and the fraction of a second are not read.
  EXPECT_EQ(Items(info), "G 2015-12-11 18:43:13.000 41.25,12.5 a7.5 s-1 c-1\n"
                         "G 2015-12-11 18:43:16.000 41.4,12.7 a0 s0 c-1\n");
}

TEST_F(GpxFormat, ReaderFailsWithoutAnyUsablePoint)
{
  TTrackInfo info;
  EXPECT_FALSE(LoadWith(FGpx, "<?xml version=\"1.0\"?><gpx><wpt lat=\"1\" lon=\"2\"/></gpx>", info));
  EXPECT_TRUE(info.Items.empty());
  // A point starting in the last 16 characters is not looked at.
  EXPECT_FALSE(LoadWith(FGpx, "<?xml?><gpx><trkpt lat=\"1\" lon", info));
}

TEST_F(GpxFormat, RecognitionNeedsXmlAndGpx)
{
  EXPECT_TRUE(FGpx.CanRead("<?xml version=\"1.0\"?>\n<gpx xmlns=\"http://www.topografix.com/GPX/1/0\">"));
  EXPECT_FALSE(FGpx.CanRead("<?xml version=\"1.0\"?>\n<kml version=\"1.0\">"));
  EXPECT_FALSE(FGpx.CanRead("<gpx version=\"1.0\">"));
}

TEST_F(GpxFormat, EscapingKeepsOtherCharacters)
{
  EXPECT_EQ(XmlEscape(QStringLiteral("a&b<c>d\"e\u00e9")), "a&amp;b&lt;c&gt;d&quot;e\xc3\xa9");
}

} // namespace
