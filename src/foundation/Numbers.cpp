#include "Numbers.h"

namespace kp {

namespace {

template <typename I, typename F>
I saturate(F v)
{
  if (std::isnan(v)) return 0;
  // Compare in floating point: the integer limits are exact powers of two.
  if (v >= static_cast<F>(std::numeric_limits<I>::max())) return std::numeric_limits<I>::max();
  if (v <= static_cast<F>(std::numeric_limits<I>::min())) return std::numeric_limits<I>::min();
  return static_cast<I>(v);
}

} // namespace

int64_t Round(double v)
{
  return saturate<int64_t>(std::nearbyint(v));
}
int64_t Round(long double v)
{
  return saturate<int64_t>(std::nearbyintl(v));
}
int32_t Round32(double v)
{
  return saturate<int32_t>(std::nearbyint(v));
}
int64_t Trunc(double v)
{
  return saturate<int64_t>(std::trunc(v));
}
int64_t Trunc(long double v)
{
  return saturate<int64_t>(std::truncl(v));
}
int32_t Trunc32(double v)
{
  return saturate<int32_t>(std::trunc(v));
}
int64_t Floor(double v)
{
  return saturate<int64_t>(std::floor(v));
}
int64_t Ceil(double v)
{
  return saturate<int64_t>(std::ceil(v));
}

} // namespace kp
