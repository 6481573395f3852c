// Real side files from the shared samples.

#include "TelemetryTestSupport.h"
#include "TestSupport.h"

using namespace kp;
using namespace kptest;

namespace {

const char *kSideSample = "blackvue/blackvuesync_mock.3gf";

} // namespace

// A real side file beside a video alone, and beside a camera track whose
// last fix anchors it.
TEST(TelemetrySamples, BlackVueSideFileAloneAndBesideATrack)
{
  KP_REQUIRE_SAMPLES();
  TFormatCapture formats;
  TTrackFolder dir;
  const QByteArray side = readFileBytes(samplePath(QString::fromLatin1(kSideSample)));
  dir.Write("REC_20190321_094614_N.3gf", side);
  const QString video = dir.Write("REC_20190321_094614_N.mp4", QByteArray("\0\0\0\x18"
                                                                          "ftypmp42",
                                                                          12));
  const TDateTime written = Dt(2019, 3, 21, 9, 46, 31);
  dir.SetTimes("REC_20190321_094614_N.3gf", 0, written);
  auto m = TMovingInfo::LoadFromFile(video, false);
  ASSERT_TRUE(m);
  EXPECT_TRUE(m->Points.empty());
  ASSERT_EQ(m->GSensor.size(), 155u);
  // The records cover 0 to 16870 ms; record 0 holds Z 120, X -2, Y -20 and
  // record 1 Z 146, X 12, Y -34 (1/128 g): the first field carries gravity.
  EXPECT_NEAR(m->GSensor.front().Time, written - 16870 * kMsDays, 1e-10);
  EXPECT_NEAR(m->GSensor[1].Z - m->GSensor[0].Z, 26 / 128.0, 1e-12);
  EXPECT_NEAR(m->GSensor[1].X - m->GSensor[0].X, 14 / 128.0, 1e-12);
  EXPECT_NEAR(m->GSensor[1].Y - m->GSensor[0].Y, -14 / 128.0, 1e-12);
  EXPECT_TRUE(formats.Written.isEmpty()) << "a side file alone records no format";

  dir.Write("FILE0001.3GF", side);
  const TDateTime t0 = Dt(2019, 3, 21, 9, 46, 14);
  QByteArray dat;
  for (int i = 0; i < 18; ++i) dat += DatFix(t0 + i * kSec, 55.7 + i * 1e-4, 37.6);
  m = TMovingInfo::LoadFromFile(dir.Write("FILE0001.DAT", dat), true);
  ASSERT_TRUE(m);
  ASSERT_EQ(m->GSensor.size(), 155u);
  EXPECT_NEAR(m->GSensor.back().Time, t0 + 17 * kSec, 1e-10);
}
