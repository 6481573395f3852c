// Every reader over every real-world sample, and the NMEA, GPX and PLT
// readers compared fix by fix with gpsbabel reading the same files.

#include "TestGpsConverterSupport.h"
#include "UnitGpsConverterGPX.h"
#include "UnitGpsConverterNMEA.h"
#include "UnitGpsConverterPLT.h"

#include <QDirIterator>
#include <algorithm>
#include <cmath>
#include <map>

using namespace kp;
using namespace kptest;

namespace {

QStringList ListSamples()
{
  QStringList files;
  QDirIterator it(samplesDir(), QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    if (!path.contains(QLatin1String("/LICENSES/")) && !path.endsWith(QLatin1String(".md"))) files << path;
  }
  files.sort();
  return files;
}

QString Relative(const QString &path)
{
  return QDir(samplesDir()).relativeFilePath(path);
}

// What each converter reads from a text: "id=fixes/samples" for every one
// that succeeds.
QString ReadByEach(const QByteArray &text)
{
  QStringList parts;
  for (const TGpsInfoConverter *c : GpsImportConverters()) {
    TTrackInfo info;
    info.EndTime = Dt(2020, 1, 1); // the date a GGA-only log would borrow
    if (c->Load(text, info))
      parts << c->GetId() + "=" + QString::number(CountKind(info, ikGps)) + "/" +
                   QString::number(CountKind(info, ikGSensor));
  }
  return parts.join(' ');
}

class SampleFiles : public TFormatsTest {
protected:
  void SetUp() override
  {
    TFormatsTest::SetUp();
    SetLocalTimeOffset(0); // local time = UTC, as gpsbabel prints it
  }
};

// Direct reads by every converter and the detected format, per file. The
// gpsd logs begin with "#" comment lines, which count towards the give-up
// rule and hide the NMEA from detection (its first character is not "$").
// The PLT reader takes any comma-separated line; positions that do not exist
// are not stored.
const std::map<QString, std::pair<QString, QString>> kExpected = {
    {"blackvue/blackvuesync_mock.3gf", {"", "side file: 155 samples"}},
    {"blackvue/blackvuesync_mock_anonymised.gps", {"", ""}}, // one GGA, no RMC
    {"blackvue/mapillary_test_excerpt_DC_2021.gps", {"gpsBV=2/0", "gpsBV 2"}},
    {"dashcam-other/70mai_A810_GPSData000001.txt", {"", ""}}, // its "fixes" lie beyond 90 degrees
    {"nmea/exiftool_Geotag2_tnt_compass.log", {"NMEA=3/0", "NMEA 3"}},
    {"nmea/exiftool_Geotag_magellan_pmgntrk.log", {"", ""}},
    {"nmea/gpsbabel_amod3080.nmea", {"plt=5/0 NMEA=4/0", "NMEA 4"}},
    {"nmea/gpsbabel_gga_only_no_date.nmea", {"", ""}},
    {"nmea/gpsbabel_subsecond_4hz.nmea", {"NMEA=30/0", "NMEA 30"}},
    {"nmea/gpsbabel_time_fraction_variants.nmea", {"NMEA=19/0", "NMEA 19"}},
    {"nmea/gpsbabel_track_2004.nmea", {"NMEA=154/0", "NMEA 154"}},
    {"nmea/gpsd_bu353-glonass.log", {"", ""}},
    {"nmea/gpsd_ch-4711.log", {"", ""}},
    {"nmea/gpsd_garmin25lp.log", {"NMEA=20/0", ""}},
    {"nmea/gpsd_gp-320fw-2019-04-07-coldboot.log", {"", ""}},
    {"nmea/gpsd_haicom-305N.log", {"", ""}},
    {"nmea/gpsd_mt3339.log", {"NMEA=30/0", ""}},
    {"nmea/gpsd_mtk-3301.log", {"", ""}},
    {"nmea/gpsd_nmea-rtk.log", {"", ""}},
    {"nmea/gpsd_quectel-eg25-g.log", {"NMEA=23/0", ""}},
    {"nmea/gpsd_quectel-l76k-nmea.log", {"", ""}},
    {"nmea/gpsd_rx210.log", {"NMEA=62/0", ""}},
    {"nmea/gpsd_telit-he910.log", {"", ""}},
    {"nmea/gpsd_tomtom-mkII.log", {"NMEA=27/0", ""}},
    {"nmea/gpsd_ublox-neo-m9n-nmea.log", {"", ""}},
    {"nmea/pynmeagps_ublox_startup_nofix_crlf.log", {"", ""}},
    {"nmea/pynmeagps_unicore_um981_crlf.log", {"NMEA=1/0", "NMEA 1"}},
    {"other-loggers/columbus_v900_advanced_mode.csv", {"", ""}},
    {"other-loggers/columbus_v900_basic_mode.csv", {"", ""}},
    {"tracks/exiftool_Geotag_google_latitude.kml", {"", ""}},
    {"tracks/exiftool_Geotag_gpx10_map3d.gpx", {"gpx=9/0", "gpx 9"}},
    {"tracks/gpsbabel_garmin_mapsource.txt", {"", ""}},
    {"tracks/gpxpy_etrex20x_gpx11.gpx", {"gpx=104/0", "gpx 104"}},
    {"tracks/gpxpy_korita-zbevnica_gpx10.gpx", {"gpx=513/0", "gpx 513"}}, // 358 untimed points dropped
    {"tracks/gpxpy_nikeplus_ms_tzoffset.gpx", {"gpx=2/0", "gpx 2"}},
    {"tracks/gpxpy_ultra_gps_logger_comments.gpx", {"gpx=1/0", "gpx 1"}},
    {"tracks/opentracks_gx_multitrack.kml", {"", ""}},
    {"tracks/ozi_20070813_short.plt", {"plt=44/0", "plt 44"}}, // the header claims 2390
    {"tracks/skydrop_vario_linestring.kml", {"", ""}},
};

TEST_F(SampleFiles, EveryReaderOverEveryFile)
{
  KP_REQUIRE_SAMPLES();
  const QStringList files = ListSamples();
  ASSERT_EQ(files.size(), static_cast<qsizetype>(kExpected.size()));
  for (const QString &path : files) {
    SCOPED_TRACE(Relative(path).toStdString());
    const QByteArray text = readFileBytes(path);
    const auto expected = kExpected.find(Relative(path));
    ASSERT_NE(expected, kExpected.end());
    EXPECT_EQ(ReadByEach(text).toStdString(), expected->second.first.toStdString());
    // Recognition and detection, then the same on a cut-off copy.
    TTrackInfo info;
    SetGpsFormats(QString());
    const bool loaded = GpsConvertersLoad(text, path, info);
    QString detected;
    if (path.endsWith(QLatin1String(".3gf")))
      detected = loaded ? "side file: " + QString::number(CountKind(info, ikGSensor)) + " samples" : "";
    else if (loaded)
      detected = GpsFormats() + " " + QString::number(info.Items.size());
    EXPECT_EQ(detected.toStdString(), expected->second.second.toStdString());
    for (const qsizetype cut : {text.size() / 2, text.size() - 1, qsizetype(600), qsizetype(11)}) {
      const QByteArray part = text.left(cut);
      for (const TGpsInfoConverter *c : GpsImportConverters()) {
        TTrackInfo p;
        c->CanRead(part.left(512));
        c->Load(part, p);
      }
    }
  }
}

} // namespace

namespace {

// The gpsd logs carry an annotation header of "#" lines that no receiver
// wrote; the comparison reads the receiver's own lines.
QByteArray WithoutCommentHeader(const QByteArray &text)
{
  qsizetype pos = 0;
  while (pos < text.size() && text[pos] == '#') {
    const qsizetype lf = text.indexOf('\n', pos);
    pos = lf < 0 ? text.size() : lf + 1;
  }
  return text.mid(pos);
}

struct TBabelExpectation {
  int Ours;      // valid fixes we keep
  int Babel;     // points gpsbabel reads
  int Unmatched; // of ours, not found in gpsbabel's
  const char *Reason;
  int64_t ShiftMs = 0; // added to gpsbabel's times before comparing
};

// Reasons shared by several files.
const char *const kSame = "same fixes";
const char *const kGgaAlone = "a last GGA without its RMC: gpsbabel makes a point of it, we make fixes of RMC only";
const char *const kSecondLate = "gpsbabel dates each point one second late (integer-second times)";

} // namespace

TEST_F(SampleFiles, NmeaFixesAgreeWithGpsbabel)
{
  KP_REQUIRE_SAMPLES();
  KP_REQUIRE_TOOL(babel, "gpsbabel");
  const std::map<QString, TBabelExpectation> expected = {
      {"exiftool_Geotag2_tnt_compass.log", {3, 3, 0, kSame}},
      {"exiftool_Geotag_magellan_pmgntrk.log", {0, 0, 0, "only proprietary $PMGNTRK sentences"}},
      {"gpsbabel_amod3080.nmea", {4, 4, 0, kSame}},
      {"gpsbabel_gga_only_no_date.nmea", {0, 0, 0, "GGA only: GGA lends altitude, never makes a fix"}},
      {"gpsbabel_subsecond_4hz.nmea",
       {30, 26, 3,
        "4 Hz: gpsbabel pairs each RMC with a GGA of another quarter second and drops the "
        "backward step; three of our RMC positions are not among its points"}},
      {"gpsbabel_time_fraction_variants.nmea",
       {19, 19, 3, "malformed times read by position: \"222515.x\", \" 222519\" (00:22:51) and \"222523.0x\""}},
      {"gpsbabel_track_2004.nmea", {154, 154, 0, kSame}},
      {"gpsd_bu353-glonass.log", {9, 9, 0, kSame}},
      {"gpsd_ch-4711.log", {7, 7, 0, kSame}},
      {"gpsd_garmin25lp.log", {10, 9, 1, kSecondLate, -1000}}, // and has no point for our last fix
      {"gpsd_gp-320fw-2019-04-07-coldboot.log", {1, 1, 0, "spliced sentences: one clean GP fix for both"}},
      {"gpsd_haicom-305N.log", {68, 68, 0, kSame}},
      {"gpsd_mt3339.log", {30, 30, 0, kSame}},
      {"gpsd_mtk-3301.log", {4, 4, 0, kSame}},
      {"gpsd_nmea-rtk.log", {122, 122, 0, kSame}},
      {"gpsd_quectel-eg25-g.log", {23, 23, 0, kSame}},
      {"gpsd_quectel-l76k-nmea.log", {150, 151, 0, kGgaAlone}},
      {"gpsd_rx210.log", {40, 39, 1, kSecondLate, -1000}},
      {"gpsd_telit-he910.log", {187, 187, 0, "same fixes, after 37 empty cold-start RMC"}},
      {"gpsd_tomtom-mkII.log", {4, 4, 0, kSame}},
      {"gpsd_ublox-neo-m9n-nmea.log",
       {61, 61, 1, "one gpsbabel point carries the position of the fix a second before"}},
      {"pynmeagps_ublox_startup_nofix_crlf.log", {0, 0, 0, "no fix at all"}},
      {"pynmeagps_unicore_um981_crlf.log", {1, 2, 0, kGgaAlone}},
  };
  TGpsInfoConverterNMEA nmea;
  for (const QString &path : ListSamples()) {
    if (!Relative(path).startsWith(QLatin1String("nmea/"))) continue;
    SCOPED_TRACE(Relative(path).toStdString());
    TTrackInfo info;
    LoadWith(nmea, WithoutCommentHeader(readFileBytes(path)), info);
    bool ok = false;
    const std::vector<TPoint> theirs = BabelPoints(babel, "nmea", path, ok);
    ASSERT_TRUE(ok);
    const std::vector<TPoint> ours = OurFixes(info);
    const auto e = expected.find(QFileInfo(path).fileName());
    const int unmatched = Unmatched(ours, theirs, e == expected.end() ? 0 : e->second.ShiftMs);
    if (e == expected.end()) {
      ADD_FAILURE() << "no expectation: " << ours.size() << " " << theirs.size() << " " << unmatched;
      continue;
    }
    EXPECT_EQ(int(ours.size()), e->second.Ours) << e->second.Reason;
    EXPECT_EQ(int(theirs.size()), e->second.Babel) << e->second.Reason;
    EXPECT_EQ(unmatched, e->second.Unmatched) << e->second.Reason;
  }
}

TEST_F(SampleFiles, GpxAndPltPointsAgreeWithGpsbabel)
{
  KP_REQUIRE_SAMPLES();
  KP_REQUIRE_TOOL(babel, "gpsbabel");
  struct TCase {
    const char *File, *BabelFormat;
    TBabelExpectation Expect;
    int64_t TimeToleranceMs;
  };
  const TCase cases[] = {
      {"tracks/exiftool_Geotag_gpx10_map3d.gpx", "gpx", {9, 9, 0, kSame}, 0},
      {"tracks/gpxpy_etrex20x_gpx11.gpx", "gpx", {104, 104, 0, kSame}, 0},
      {"tracks/gpxpy_korita-zbevnica_gpx10.gpx", "gpx", {513, 871, 0, "358 points without <time> are dropped"}, 0},
      {"tracks/gpxpy_nikeplus_ms_tzoffset.gpx", "gpx", {2, 2, 0, "same fixes, zone offset and milliseconds"}, 1},
      {"tracks/gpxpy_ultra_gps_logger_comments.gpx", "gpx", {1, 1, 0, kSame}, 0},
      // gpsbabel takes the time from the date and time texts, we from the
      // day number; they lie within a second.
      {"tracks/ozi_20070813_short.plt", "ozi", {44, 44, 0, "day number against date texts"}, 1000},
  };
  TGpsInfoConverterGPX gpx;
  TGpsInfoConverterPLT plt;
  for (const TCase &c : cases) {
    SCOPED_TRACE(c.File);
    const QString path = samplePath(c.File);
    TTrackInfo info;
    const TGpsInfoConverter &reader =
        QByteArray(c.BabelFormat) == "gpx" ? static_cast<const TGpsInfoConverter &>(gpx) : plt;
    ASSERT_TRUE(LoadWith(reader, readFileBytes(path), info));
    bool ok = false;
    const std::vector<TPoint> theirs = BabelPoints(babel, c.BabelFormat, path, ok);
    ASSERT_TRUE(ok);
    const std::vector<TPoint> ours = OurFixes(info);
    EXPECT_EQ(int(ours.size()), c.Expect.Ours) << c.Expect.Reason;
    EXPECT_EQ(int(theirs.size()), c.Expect.Babel) << c.Expect.Reason;
    EXPECT_EQ(Unmatched(ours, theirs, c.Expect.ShiftMs, c.TimeToleranceMs), c.Expect.Unmatched) << c.Expect.Reason;
  }
}
