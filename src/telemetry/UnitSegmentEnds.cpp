#include "UnitSegmentEnds.h"

#include "UnitUtils.h"

#include <algorithm>
#include <cmath>

namespace kp {

// Places go into cubes of the tolerance's size in space: two points within
// the tolerance along the sphere are closer still in a straight line, so
// they lie in the same or neighbouring cubes. A cube of at least 5 cm also
// covers the 1 cm within which the distance counts points as one.
TSegmentEnds::TSegmentEnds(double tolerance) : FTolerance(tolerance), FCell(std::max(tolerance, 0.05) * 1.001) {}

size_t TSegmentEnds::THash::operator()(const TKey &k) const
{
  uint64_t h = uint64_t(k.X) * 0x9E3779B97F4A7C15ull;
  h ^= uint64_t(k.Y) + 0x7F4A7C159E3779B9ull + (h << 6) + (h >> 2);
  h ^= uint64_t(k.Z) + 0x94D049BB133111EBull + (h << 6) + (h >> 2);
  return size_t(h);
}

bool TSegmentEnds::KeyOf(double lon, double lat, TKey &key) const
{
  if (!std::isfinite(lon) || !std::isfinite(lat)) return false;
  const double x = lon * DegToRad, y = lat * DegToRad;
  key.X = int64_t(std::floor(EarthRadius * std::cos(y) * std::cos(x) / FCell));
  key.Y = int64_t(std::floor(EarthRadius * std::cos(y) * std::sin(x) / FCell));
  key.Z = int64_t(std::floor(EarthRadius * std::sin(y) / FCell));
  return true;
}

bool TSegmentEnds::Near(const TEnd &end, double lon, double lat) const
{
  return GeoDistance(end.Lon, end.Lat, lon, lat) < FTolerance;
}

std::ptrdiff_t TSegmentEnds::FindNear(double lon, double lat) const
{
  if (!(FTolerance > 0)) return -1;
  std::ptrdiff_t best = -1;
  auto consider = [&](size_t segment) {
    if ((best < 0 || std::ptrdiff_t(segment) < best) && Near(FEnds[segment], lon, lat)) best = std::ptrdiff_t(segment);
  };
  TKey key;
  if (!KeyOf(lon, lat, key)) {
    for (size_t s = 0; s < FEnds.size(); ++s)
      if (FEnds[s].Filed) consider(s);
    return best;
  }
  for (size_t s : FOdd) consider(s);
  for (int64_t dx = -1; dx <= 1; ++dx)
    for (int64_t dy = -1; dy <= 1; ++dy)
      for (int64_t dz = -1; dz <= 1; ++dz) {
        const auto it = FCells.find(TKey{key.X + dx, key.Y + dy, key.Z + dz});
        if (it == FCells.end()) continue;
        for (size_t s : it->second) consider(s);
      }
  return best;
}

void TSegmentEnds::Unfile(size_t segment)
{
  TEnd &end = FEnds[segment];
  if (!end.Filed) return;
  std::vector<size_t> &list = end.Odd ? FOdd : FCells[end.Key];
  list.erase(std::find(list.begin(), list.end(), segment));
  if (!end.Odd && list.empty()) FCells.erase(end.Key);
  end.Filed = false;
}

void TSegmentEnds::SetEnd(size_t segment, double lon, double lat)
{
  if (FEnds.size() <= segment) FEnds.resize(segment + 1);
  Unfile(segment);
  TEnd &end = FEnds[segment];
  end.Lon = lon;
  end.Lat = lat;
  end.Filed = true;
  end.Odd = !KeyOf(lon, lat, end.Key);
  (end.Odd ? FOdd : FCells[end.Key]).push_back(segment);
}

} // namespace kp
