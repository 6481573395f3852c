// Real side files from the shared samples.

#include "TelemetryTestSupport.h"
#include "TestSupport.h"

using namespace kp;
using namespace kptest;

namespace {

const char *kSideSample = "blackvue/blackvuesync_mock.3gf";

} // namespace

TEST(TelemetrySamples, BlackVueSideFileBesideAVideoLoadsAsSamples)
{
  KP_REQUIRE_SAMPLES();
  TFormatCapture formats;
  TTrackFolder dir;
  const QByteArray side = readFileBytes(samplePath(QString::fromLatin1(kSideSample)));
  ASSERT_EQ(side.size(), 1550);
  dir.Write("REC_20190321_094614_N.3gf", side);
  const QString video = dir.Write("REC_20190321_094614_N.mp4", QByteArray("\0\0\0\x18" "ftypmp42", 12));
  const TDateTime written = Dt(2019, 3, 21, 9, 46, 31);
  dir.SetTimes("REC_20190321_094614_N.3gf", 0, written);

  auto m = TMovingInfo::LoadFromFile(video, false);
  ASSERT_TRUE(m);
  EXPECT_TRUE(m->Points.empty());
  ASSERT_EQ(m->GSensor.size(), 155u);
  // The last record falls on the side file's last write; the records cover
  // 0 to 16870 ms.
  EXPECT_NEAR(m->GSensor.back().Time, written, 1e-10);
  EXPECT_NEAR(m->GSensor.front().Time, written - 16870 * kMsDays, 1e-10);
  EXPECT_NEAR(m->GSensor[1].Time - m->GSensor[0].Time, 110 * kMsDays, 1e-10);
  EXPECT_NEAR(m->StartTime, m->GSensor.front().Time, 1e-12);
  EXPECT_EQ(m->EndTime, m->GSensor.back().Time);
  for (size_t i = 1; i < m->GSensor.size(); ++i) EXPECT_GT(m->GSensor[i].Time, m->GSensor[i - 1].Time);
  // Record 0: Z 120, X -2, Y -20; record 1: Z 146, X 12, Y -34 (1/128 g).
  // The first field carries gravity, as Z should.
  EXPECT_NEAR(m->GSensor[1].Z - m->GSensor[0].Z, 26 / 128.0, 1e-12);
  EXPECT_NEAR(m->GSensor[1].X - m->GSensor[0].X, 14 / 128.0, 1e-12);
  EXPECT_NEAR(m->GSensor[1].Y - m->GSensor[0].Y, -14 / 128.0, 1e-12);
  EXPECT_EQ(m->GSensor[154].Index, 154);

  TTrackInfo raw;
  raw.Name = video;
  TGpsInfoConverter::LoadGSensorSideFile(raw);
  ASSERT_EQ(raw.Items.size(), 155u);
  EXPECT_DOUBLE_EQ(raw.Items[0].Alt, 120 / 128.0);
  EXPECT_DOUBLE_EQ(raw.Items[0].Lon, -2 / 128.0);
  EXPECT_DOUBLE_EQ(raw.Items[0].Lat, -20 / 128.0);
  EXPECT_TRUE(formats.Written.isEmpty()) << "a side file alone records no format";
}

TEST(TelemetrySamples, BlackVueSideFileAnchorsOnTheLastFixOfATrack)
{
  KP_REQUIRE_SAMPLES();
  TFormatCapture formats;
  TTrackFolder dir;
  dir.Write("FILE0001.3GF", readFileBytes(samplePath(QString::fromLatin1(kSideSample))));
  const TDateTime t0 = Dt(2019, 3, 21, 9, 46, 14);
  QByteArray dat;
  for (int i = 0; i < 18; ++i) dat += DatFix(t0 + i * kSec, 55.7 + i * 1e-4, 37.6);
  const QString track = dir.Write("FILE0001.DAT", dat);
  auto m = TMovingInfo::LoadFromFile(track, true);
  ASSERT_TRUE(m);
  EXPECT_EQ(m->Points.size(), 18u);
  ASSERT_EQ(m->GSensor.size(), 155u);
  EXPECT_NEAR(m->GSensor.back().Time, t0 + 17 * kSec, 1e-10);
  EXPECT_EQ(GpsFormats(), QStringLiteral("dat600"));
}
