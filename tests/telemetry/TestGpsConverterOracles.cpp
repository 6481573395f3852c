// Our exports read back by independent tools: gpsbabel (GPX, PLT, KML, CSV),
// xmllint (well-formed XML) and ffmpeg (SubRip).

#include "TestGpsConverterSupport.h"
#include "UnitGpsConverterCSV.h"
#include "UnitGpsConverterGPX.h"
#include "UnitGpsConverterKML.h"
#include "UnitGpsConverterPLT.h"
#include "UnitGpsConverterSRT.h"

#include <QTemporaryDir>

using namespace kp;
using namespace kptest;

namespace {

constexpr int kFixes = 40;

// A drive of 40 s-ish fixes with samples between them, one fix without
// position and a 10 s gap.
TTrackInfo OracleTrack()
{
  TTrackInfo info;
  info.Name = QStringLiteral("Drive <1> & more");
  info.Description = QStringLiteral("A \"test\" drive");
  info.MinLon = 37.61;
  info.MaxLon = 37.62;
  info.MinLat = 55.75;
  info.MaxLat = 55.76;
  info.StartTime = Dt(2011, 5, 1, 13, 0, 0);
  info.EndTime = Dt(2011, 5, 1, 13, 0, 50);
  TDateTime t = info.StartTime;
  for (int i = 0; i < kFixes; ++i) {
    t += (i == 30 ? 10 : 1) * kSec;
    info.Items.push_back(Fix(t, 55.75 + i * 1e-4, 37.61 + i * 1.3e-4, 100 + i, 30 + i, (i * 37) % 360));
    info.Items.back().Trip = i * 8.5;
    if (i == 20) {
      info.Items.back().Lat = 0;
      info.Items.back().Lon = 0;
      info.Items.back().NoFix = true;
    }
    info.Items.push_back(Sample(t + 0.5 * kSec, 0.01 * i, -0.02 * i, 1));
  }
  return info;
}

class ExportOracles : public TFormatsTest {
protected:
  QString Write(const TGpsInfoConverter &converter, const TTrackInfo &info, const QString &name)
  {
    const QString path = FDir.filePath(name);
    EXPECT_TRUE(writeFileBytes(path, Export(converter, info)));
    return path;
  }
  void ExpectWellFormed(const QString &path)
  {
    KP_REQUIRE_TOOL(xmllint, "xmllint");
    bool ok = false;
    QByteArray errors;
    RunTool(xmllint, {"--noout", path}, ok, &errors);
    EXPECT_TRUE(ok) << errors.constData();
  }

  QTemporaryDir FDir;
  TTrackInfo FTrack = OracleTrack();
};

TEST_F(ExportOracles, GpxReadByGpsbabelPointForPoint)
{
  KP_REQUIRE_TOOL(babel, "gpsbabel");
  const QString path = Write(TGpsInfoConverterGPX(), FTrack, "drive.gpx");
  ExpectWellFormed(path);
  bool ok = false;
  const std::vector<TPoint> theirs = BabelPoints(babel, "gpx", path, ok);
  ASSERT_TRUE(ok);
  const std::vector<TPoint> ours = OurFixes(FTrack);
  ASSERT_EQ(ours.size(), size_t(kFixes - 1));
  ASSERT_EQ(theirs.size(), ours.size());
  for (size_t i = 0; i < ours.size(); ++i) EXPECT_EQ(theirs[i].Ms, ours[i].Ms) << i; // UTC, whole seconds
  EXPECT_EQ(Unmatched(ours, theirs), 0);
}

TEST_F(ExportOracles, PltReadByGpsbabelPointForPoint)
{
  KP_REQUIRE_TOOL(babel, "gpsbabel");
  const QString path = Write(TGpsInfoConverterPLT(), FTrack, "drive.plt");
  bool ok = false;
  const std::vector<TPoint> theirs = BabelPoints(babel, "ozi", path, ok);
  ASSERT_TRUE(ok);
  const std::vector<TPoint> ours = OurFixes(FTrack);
  ASSERT_EQ(theirs.size(), ours.size());
  // gpsbabel truncates the day number to whole seconds: each fix must be
  // read back in its own second.
  EXPECT_EQ(Unmatched(ours, theirs), 0);
}

TEST_F(ExportOracles, KmlCoordinatesReadByGpsbabel)
{
  KP_REQUIRE_TOOL(babel, "gpsbabel");
  const QString path = Write(TGpsInfoConverterKML(), FTrack, "drive.kml");
  ExpectWellFormed(path);
  bool ok = false;
  std::vector<TPoint> theirs = BabelPoints(babel, "kml", path, ok, "-t");
  ASSERT_TRUE(ok);
  if (theirs.empty()) theirs = BabelPoints(babel, "kml", path, ok, "-r");
  const std::vector<TPoint> ours = OurFixes(FTrack);
  ASSERT_EQ(theirs.size(), ours.size());
  for (size_t i = 0; i < ours.size(); ++i) {
    EXPECT_NEAR(theirs[i].Lat, ours[i].Lat, 1.5e-6) << i;
    EXPECT_NEAR(theirs[i].Lon, ours[i].Lon, 1.5e-6) << i;
  }
}

TEST_F(ExportOracles, CsvReadByGpsbabelWithUtcTimes)
{
  KP_REQUIRE_TOOL(babel, "gpsbabel");
  const QString path = Write(TGpsInfoConverterCSV(true, false), FTrack, "drive.csv");
  bool ok = false;
  std::vector<TPoint> theirs = BabelPoints(babel, "unicsv,utc=0", path, ok, "-w");
  ASSERT_TRUE(ok);
  // The row of the fix without position ("?0.000000") is no point for it.
  const std::vector<TPoint> ours = OurFixes(FTrack);
  EXPECT_EQ(Unmatched(ours, theirs, 0, 1), 0);
}

TEST_F(ExportOracles, SubRipParsedByFfmpeg)
{
  KP_REQUIRE_TOOL(ffmpeg, "ffmpeg");
  SetFormatSettings(TFormatSettings{});
  const QString path = Write(TGpsInfoConverterSRT(), FTrack, "drive.srt");
  bool ok = false;
  QByteArray errors;
  const QByteArray text =
      RunTool(ffmpeg, {"-hide_banner", "-loglevel", "error", "-i", path, "-f", "srt", "-"}, ok, &errors);
  ASSERT_TRUE(ok) << errors.constData();
  EXPECT_EQ(text.count("-->"), kFixes);
  EXPECT_TRUE(text.startsWith("1\r\n00:00:01,000 --> 00:00:02,000\r\n01.05.2011 13:00:01") ||
              text.startsWith("1\n00:00:01,000 --> 00:00:02,000\n01.05.2011 13:00:01"))
      << text.left(80).constData();
  // The entry before the 10 s gap lasts the 6 s maximum.
  EXPECT_TRUE(text.contains("00:00:30,000 --> 00:00:36,000")) << text.constData();
}

} // namespace
