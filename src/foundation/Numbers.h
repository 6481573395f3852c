#pragma once
// Numeric helpers with the semantics the whole program relies on: rounding
// halves to even, Pascal-style Int/Frac/Trunc/div/mod, and conversions that
// never turn NaN, infinity or an out-of-range value into an integer.

#include <cmath>
#include <cstdint>
#include <limits>

namespace kp {

// Nearest integer, halves to the even neighbour (the default FP rounding
// mode). Never std::round, which rounds halves away from zero.
inline double RoundF(double v)
{
  return std::nearbyint(v);
}
inline long double RoundF(long double v)
{
  return std::nearbyintl(v);
}

// Rounds to a 64-bit integer; NaN gives 0 and out-of-range values saturate,
// so no caller ever hits undefined behaviour.
int64_t Round(double v);
int64_t Round(long double v);
// The same into 32 bits (saturating).
int32_t Round32(double v);

// Truncation towards zero, as a float (Int) and as an integer (Trunc).
inline double Int(double v)
{
  return std::trunc(v);
}
inline long double Int(long double v)
{
  return std::truncl(v);
}
inline double Frac(double v)
{
  return v - std::trunc(v);
}
inline long double Frac(long double v)
{
  return v - std::truncl(v);
}
int64_t Trunc(double v);
int64_t Trunc(long double v);
int32_t Trunc32(double v);
// Largest integer not above / smallest not below, saturating like Round.
int64_t Floor(double v);
int64_t Ceil(double v);

// Integer division and remainder truncating towards zero; a zero divisor
// gives 0 instead of a trap.
inline int64_t Div(int64_t a, int64_t b)
{
  if (b == 0) return 0;
  // Negating the lowest value wraps, as the original's integer division did.
  if (b == -1) return static_cast<int64_t>(0ULL - static_cast<uint64_t>(a));
  return a / b;
}
inline int64_t Mod(int64_t a, int64_t b)
{
  return (b == 0 || b == -1) ? 0 : a % b;
}

// Division guarded against a zero (or non-finite) result: gives fallback.
inline double SafeDiv(double a, double b, double fallback = 0.0)
{
  if (b == 0.0) return fallback;
  const double r = a / b;
  return std::isfinite(r) ? r : fallback;
}

inline bool IsFinite(double v)
{
  return std::isfinite(v);
}

template <typename T>
constexpr T Clamp(T v, T lo, T hi)
{
  return v < lo ? lo : (v > hi ? hi : v);
}

} // namespace kp
