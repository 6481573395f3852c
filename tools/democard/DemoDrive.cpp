#include "DemoDrive.h"

#include "Numbers.h"
#include "UnitUtils.h"

#include <algorithm>
#include <cmath>

namespace kp::demo {

namespace {

constexpr double kKmhPerMs = 3.6;
// How quickly the car's acceleration follows the driver's wish: pedal,
// engine and suspension together.
constexpr double kAccelLag = 0.35;
// Speed error (m/s) to acceleration (m/s²).
constexpr double kSpeedGain = 0.8;
// The sideways pull (m/s²) a driver accepts in a turn: he slows down for a
// tight corner and takes it wider when he comes in too fast.
constexpr double kMaxLateral = 2.5;

// A car pulls harder from a standstill than at motorway speed.
double AccelLimit(double speed)
{
  return std::max(0.5, 2.3 - 0.025 * speed);
}

struct TPhaseCursor {
  size_t Index = 0;
  double Ends = 0; // seconds from the trip's start
};

// Wanted acceleration for the phase at the current speed, turning into a
// corner of the given radius (0: straight on).
double WantedAccel(const TDrivePhase &phase, double speed, double cornerRadius)
{
  double target = phase.TargetKmh / kKmhPerMs;
  if (cornerRadius > 0) target = std::min(target, std::sqrt(kMaxLateral * cornerRadius));
  double wanted = Clamp((target - speed) * kSpeedGain, -phase.BrakeMs2, AccelLimit(speed));
  // The last metres to a stop are rolled at a steady pace, not approached
  // forever.
  if (target < 0.1 && speed > 0 && speed < 1.5) wanted = -1.5;
  return wanted;
}

// Moves Lat/Lon by Distance metres along Course on the sphere the program's
// own geodesy uses.
void Advance(TCarState &car, double distance)
{
  const double c = car.Course * DegToRad;
  car.Lat += distance * std::cos(c) / MetresPerDegree;
  car.Lon += distance * std::sin(c) / (MetresPerDegree * std::cos(car.Lat * DegToRad));
  car.Odometer += distance;
}

} // namespace

TDemoRandom::TDemoRandom(uint32_t seed) : FState(0x9E3779B97F4A7C15ULL ^ seed) {}

double TDemoRandom::Uniform()
{
  // splitmix64: tiny, fast and the same everywhere.
  uint64_t z = (FState += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  z ^= z >> 31;
  return double(z >> 11) * (1.0 / 9007199254740992.0);
}

double TDemoRandom::Symmetric(double limit)
{
  return (Uniform() * 2.0 - 1.0) * limit;
}

double TDemoRandom::Gaussian(double sigma)
{
  // Four uniforms have variance 4/12; scale to unit variance.
  const double sum = Uniform() + Uniform() + Uniform() + Uniform() - 2.0;
  return sum * std::sqrt(3.0) * sigma;
}

double TerrainAltitude(double odometer)
{
  return 46.0 + 14.0 * std::sin(odometer / 1500.0) + 5.0 * std::sin(odometer / 380.0 + 0.7);
}

std::vector<TDriveState> SimulateTrip(const std::vector<TDrivePhase> &phases, double seconds, TCarState &car)
{
  const int64_t steps = Round(seconds * kStepsPerSecond);
  std::vector<TDriveState> states;
  states.reserve(size_t(std::max<int64_t>(steps, 0) + 1));
  static const TDrivePhase kParked{};
  TPhaseCursor cursor;
  cursor.Ends = phases.empty() ? 0 : phases[0].Seconds;
  double speed = 0, accel = 0, accelRight = 0;
  double pendingTurn = phases.empty() ? 0 : phases[0].TurnDegrees;
  double radius = phases.empty() ? 0 : phases[0].TurnRadius;
  for (int64_t k = 0;; ++k) {
    states.push_back(
        {car.Lat, car.Lon, TerrainAltitude(car.Odometer), speed * kKmhPerMs, car.Course, accel, accelRight});
    if (k >= steps) break;
    const double t = double(k) * kStepSeconds;
    while (cursor.Index < phases.size() && t >= cursor.Ends - 1e-9) {
      if (++cursor.Index < phases.size()) {
        cursor.Ends += phases[cursor.Index].Seconds;
        pendingTurn += phases[cursor.Index].TurnDegrees;
        if (phases[cursor.Index].TurnRadius > 0) radius = phases[cursor.Index].TurnRadius;
      }
    }
    const TDrivePhase &phase = cursor.Index < phases.size() ? phases[cursor.Index] : kParked;

    const bool turning = pendingTurn != 0 && radius > 0;
    const double wanted = WantedAccel(phase, speed, turning ? radius : 0);
    accel += (wanted - accel) * std::min(1.0, kStepSeconds / kAccelLag);
    const double before = speed;
    speed = std::max(0.0, speed + accel * kStepSeconds);
    if (speed == 0 && wanted <= 0) accel = 0; // standing: the brake holds

    accelRight = 0;
    if (turning && speed > 0) {
      const double omega = std::min(speed / radius, kMaxLateral / speed); // rad/s
      const double turn = std::min(std::fabs(pendingTurn), omega * kStepSeconds / DegToRad);
      const double sign = pendingTurn > 0 ? 1.0 : -1.0;
      car.Course = std::fmod(car.Course + sign * turn + 360.0, 360.0);
      pendingTurn -= sign * turn;
      if (std::fabs(pendingTurn) < 1e-9) pendingTurn = 0;
      accelRight = sign * speed * omega;
    }
    Advance(car, (before + speed) / 2 * kStepSeconds);
  }
  return states;
}

std::vector<TSensorState> SenseTrip(const std::vector<TDriveState> &states, uint32_t seed)
{
  TDemoRandom rnd(seed);
  std::vector<TSensorState> out;
  out.reserve(states.size());
  // The receiver's position error wanders slowly (about a metre); the camera
  // sits a little tilted on the windscreen.
  double errNorth = 0, errEast = 0, errAlt = 0;
  double heldCourse = states.empty() ? 0 : states[0].Course;
  double bumpEcho = 0;
  constexpr double kTiltForward = 0.02, kTiltRight = -0.015;
  for (const TDriveState &s : states) {
    errNorth = 0.998 * errNorth + rnd.Gaussian(0.06);
    errEast = 0.998 * errEast + rnd.Gaussian(0.06);
    errAlt = 0.998 * errAlt + rnd.Gaussian(0.08);
    TSensorState o;
    o.Lat = s.Lat + errNorth / MetresPerDegree;
    o.Lon = s.Lon + errEast / (MetresPerDegree * std::cos(s.Lat * DegToRad));
    o.Alt = s.Alt + errAlt;
    o.SpeedKmh = s.SpeedKmh > 1.0 ? std::max(0.0, s.SpeedKmh + rnd.Gaussian(0.3)) : 0.0;
    // A receiver cannot tell a heading while standing; it keeps the last.
    if (s.SpeedKmh > 3.0) heldCourse = s.Course;
    o.Course = heldCourse;

    const double moving = std::min(1.0, s.SpeedKmh / 90.0);
    const double shake = 0.008 + 0.03 * moving;
    o.GX = s.AccForward / kGravity + kTiltForward + rnd.Gaussian(shake * 0.6);
    o.GY = s.AccRight / kGravity + kTiltRight + rnd.Gaussian(shake * 0.6);
    o.GZ = 1.0 + rnd.Gaussian(shake) + bumpEcho;
    bumpEcho = 0;
    // Now and then a joint in the road or a manhole cover.
    if (rnd.Uniform() < 0.004 * moving * 3) {
      o.GZ += 0.25 + rnd.Uniform() * 0.1;
      bumpEcho = -0.18;
    }
    out.push_back(o);
  }
  return out;
}

} // namespace kp::demo
