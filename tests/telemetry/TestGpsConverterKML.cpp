// KML: the exact text and the viewing range.

#include "TestGpsConverterSupport.h"
#include "UnitGpsConverterKML.h"

using namespace kp;
using namespace kptest;

namespace {

const QByteArray kGoldenKml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                              "<kml creator=\"KESTRIL PLAYER 1.1\" xmlns=\"http://www.opengis.net/kml/2.2\" "
                              "xmlns:gx=\"http://www.google.com/kml/ext/2.2\">\r\n"
                              "<Placemark>\r\n"
                              "  <name>Trip &amp; &lt;Test&gt; &quot;1&quot;</name>\r\n"
                              "  <description>Desc</description>\r\n"
                              "  <LookAt>\r\n"
                              "    <longitude>1.500000</longitude>\r\n"
                              "    <latitude>11.125000</latitude>\r\n"
                              "    <range>200</range>\r\n"
                              "    <altitude>0</altitude>\r\n"
                              "    <tilt>0</tilt>\r\n"
                              "    <heading>0</heading>\r\n"
                              "    <gx:TimeSpan>\r\n"
                              "      <begin>2011-05-01T10:00:00Z</begin>\r\n"
                              "      <end>2011-05-01T10:00:10Z</end>\r\n"
                              "    </gx:TimeSpan>\r\n"
                              "  </LookAt>\r\n"
                              "  <Style id=\"yellowLine\">\r\n"
                              "    <LineStyle>\r\n"
                              "      <color>7f00ffff</color>\r\n"
                              "      <width>4</width>\r\n"
                              "    </LineStyle>\r\n"
                              "  </Style>\r\n"
                              "  <LineString>\r\n"
                              "  <coordinates>\r\n"
                              "\t37.618423,55.751244,150.5\r\n"
                              "\t37.618500,55.751300,0\r\n"
                              "\t-70.250000,-33.500000,10\r\n"
                              "  </coordinates>\r\n"
                              "  </LineString>\r\n"
                              "</Placemark>\r\n"
                              "</kml>\r\n";

using KmlFormat = TFormatsTest;
const TGpsInfoConverterKML kKml;

TEST_F(KmlFormat, WritesTheExactTextWithUtcTimes)
{
  EXPECT_EQ(Export(kKml, GoldenTrack()), kGoldenKml);
  EXPECT_TRUE(Export(kKml, TTrackInfo{})
                  .endsWith("  <coordinates>\r\n  </coordinates>\r\n  </LineString>\r\n"
                            "</Placemark>\r\n</kml>\r\n"));
}

} // namespace
