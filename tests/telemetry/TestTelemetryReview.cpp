// Corner cases of the track search and the telemetry queries found by a
// second reading of the rules: inputs the first tests did not reach.

#include "TelemetryTestSupport.h"

using namespace kp;
using namespace kptest;

namespace {

const TDateTime kT0 = Dt(2012, 5, 1, 10);

TGSensorSample SampleAt(TDateTime t, double x)
{
  TGSensorSample s;
  s.Time = t;
  s.X = x;
  return s;
}

TMovingPoint PointAt(TDateTime t, double lat)
{
  TMovingPoint p;
  p.Time = t;
  p.Lon = 37.6;
  p.Lat = lat;
  return p;
}

} // namespace

// Only the digits 0 to 9 make a file number; other scripts' digits are
// letters of the name.
TEST(ReviewFileNumber, OnlyAsciiDigitsFormTheNumber)
{
  const QString arabicThree = QString(QChar(0x0663));
  EXPECT_EQ(GpsFileNumberShift(QStringLiteral("/c/FILE0005") + arabicThree + QStringLiteral(".MOV"), -1),
            QStringLiteral("/c/FILE0004") + arabicThree + QStringLiteral(".MOV"));
  const QString fullWidthOne = QString(QChar(0xFF11));
  EXPECT_EQ(GpsFileNumberShift(QStringLiteral("/c/CLIP") + fullWidthOne, -1), QString());
}

// A side file whose clock stepped back leaves samples out of time order; the
// range starts at the first sample in array order that is not before it.
TEST(ReviewExtractRange, StartsAtTheFirstSampleInArrayOrder)
{
  TMovingInfo m;
  for (int i = 0; i <= 40; i += 5) m.Points.push_back(PointAt(kT0 + i * kSec, 55.7 + i * 1e-4));
  for (int sec : {1, 2, 8, 3, 12, 14}) m.GSensor.push_back(SampleAt(kT0 + sec * kSec, sec));
  TTrackInfo info;
  m.ExtractRange(info, kT0 + 7 * kSec, kT0 + 37 * kSec);
  ASSERT_GE(info.Items.size(), 3u);
  EXPECT_EQ(info.Items[0].Kind, ikGSensor);
  EXPECT_EQ(info.Items[0].Lon, 8) << "the sample at 8 s is the first at or after the start";
  EXPECT_EQ(info.Items[1].Lon, 3) << "and the one after it comes before the next fix";
  EXPECT_EQ(info.Items[2].Kind, ikGps);
  EXPECT_EQ(info.Items[2].Time, kT0 + 10 * kSec);
}
