// The way a cut shows: along its fixes from 0, across from one fragment to
// the next only where the camera kept recording between them.
#include "CropTrip.h"

#include <gtest/gtest.h>

using namespace kp;

namespace {

constexpr double kSecond = 1.0 / 86400.0;
constexpr TDateTime kT0 = 46000.5;
constexpr double kMetresPerSecond = 10;
const double kDegreesPerMetre = 1 / GeoDistance(30, 50, 30, 51);

// A fix of a car driving north at 10 m/s, S seconds after kT0.
TTrackInfoItem Fix(double s)
{
  TTrackInfoItem fix;
  fix.Kind = ikGps;
  fix.Time = kT0 + s * kSecond;
  fix.Lon = 30;
  fix.Lat = 50 + s * kMetresPerSecond * kDegreesPerMetre;
  return fix;
}

// A fragment from T1 to T2 (seconds) keeping the fixes at Kept, counted;
// the metres shown at each.
std::vector<double> Fragment(TCropTrip &trip, double t1, double t2, const std::vector<double> &kept)
{
  trip.Fragment(kT0 + std::ceil(t1) * kSecond, kT0 + (std::ceil(t2) - 1) * kSecond);
  TTrackInfo range;
  for (double s : kept) range.Items.push_back(Fix(s));
  trip.Count(range, kT0 + t1 * kSecond, kT0 + t2 * kSecond);
  std::vector<double> shown;
  for (const TTrackInfoItem &fix : range.Items) shown.push_back(fix.Trip);
  return shown;
}

void ExpectMetres(const std::vector<double> &shown, const std::vector<double> &expected)
{
  ASSERT_EQ(shown.size(), expected.size());
  for (size_t i = 0; i < shown.size(); ++i) EXPECT_NEAR(shown[i], expected[i], 0.5) << i;
}

} // namespace

TEST(CropTrip, CountsTheWayAlongTheFixesAndAcrossFragmentsThatFollowOn)
{
  TCropTrip trip;
  // The fix before the fragment shows what its first fix shows: 0.
  ExpectMetres(Fragment(trip, 10.5, 20, {10, 11, 15, 19}), {0, 0, 40, 80});
  EXPECT_FALSE(trip.TakeFollowsOn());
  // Sped up: its first fix kept is 3 s in, yet the camera's fixes follow
  // on; the fix at its end is the next fragment's and shows no more.
  ExpectMetres(Fragment(trip, 20, 30, {23, 27, 30}), {120, 160, 160});
  EXPECT_TRUE(trip.TakeFollowsOn());
  // Recorded a minute later: nothing between.
  ExpectMetres(Fragment(trip, 90, 95, {90, 94}), {160, 200});
  EXPECT_FALSE(trip.TakeFollowsOn());
  // A fragment without fixes and one following it on from the last fix.
  trip.Fragment(0, 0);
  ExpectMetres(Fragment(trip, 95, 100, {96}), {220});
  EXPECT_TRUE(trip.TakeFollowsOn());
  // The same stretch again is no continuation.
  ExpectMetres(Fragment(trip, 95, 100, {96, 99}), {220, 250});
  EXPECT_FALSE(trip.TakeFollowsOn());
}
