#pragma once
// A small driving model for the demo card: a car follows a script of phases
// (target speed, a turn of some radius, how hard to brake) and is sampled
// every 100 ms, the rate of a camera's G-sensor. The same states feed the
// GPS fixes (once a second, with receiver noise) and the accelerometer
// (with road vibration), so speed, course, position and acceleration agree.

#include <cstdint>
#include <vector>

namespace kp::demo {

constexpr int kStepsPerSecond = 10;
constexpr double kStepSeconds = 1.0 / kStepsPerSecond;
constexpr double kGravity = 9.80665;

// One piece of a trip's script.
struct TDrivePhase {
  double Seconds = 0;     // length of the phase
  double TargetKmh = 0;   // speed the driver heads for
  double TurnDegrees = 0; // course change to make (+ right, - left)
  double TurnRadius = 0;  // metres; the turn proceeds at v / radius
  double BrakeMs2 = 2.5;  // deceleration the driver allows himself
};

// Where a trip begins; trips continue from where the car was parked.
struct TCarState {
  double Lat = 0, Lon = 0; // degrees
  double Course = 0;       // degrees, 0 north, 90 east
  double Odometer = 0;     // metres driven since the card's first trip
};

// The car at one 100 ms step, exact (no sensor noise).
struct TDriveState {
  double Lat = 0, Lon = 0; // degrees
  double Alt = 0;          // metres above sea level
  double SpeedKmh = 0;
  double Course = 0;     // degrees 0..360
  double AccForward = 0; // m/s², braking negative
  double AccRight = 0;   // m/s², centripetal towards the right
};

// What the camera stores for one step: the GPS receiver's view (with its
// wandering position error) and the accelerometer's (gravity included).
struct TSensorState {
  double Lat = 0, Lon = 0, Alt = 0;
  double SpeedKmh = 0;
  double Course = 0;
  double GX = 0; // g, forward (braking negative)
  double GY = 0; // g, to the right
  double GZ = 0; // g, up (1 g at rest)
};

// Deterministic random numbers that do not depend on the standard library's
// distributions (whose algorithms differ between implementations).
class TDemoRandom {
public:
  explicit TDemoRandom(uint32_t seed);
  double Uniform();               // [0, 1)
  double Symmetric(double limit); // [-limit, limit)
  // Roughly normal (sum of four uniforms), standard deviation Sigma.
  double Gaussian(double sigma);

private:
  uint64_t FState;
};

// Steps of a trip of the given length (seconds x 10 + 1 states, the first at
// the car's start); Car is moved to where the trip ends.
std::vector<TDriveState> SimulateTrip(const std::vector<TDrivePhase> &phases, double seconds, TCarState &car);

// The camera's sensors over the exact states, seeded per trip.
std::vector<TSensorState> SenseTrip(const std::vector<TDriveState> &states, uint32_t seed);

// Height of the terrain at an odometer reading: gentle hills.
double TerrainAltitude(double odometer);

} // namespace kp::demo
