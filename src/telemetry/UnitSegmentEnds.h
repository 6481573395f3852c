#pragma once
// The ends of the route's segments, filed by place, so that a segment that
// starts near the end of an earlier one finds it without comparing itself
// with every earlier segment.

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

namespace kp {

class TSegmentEnds {
public:
  // Ends within Tolerance metres (great-circle) count as near.
  explicit TSegmentEnds(double tolerance);

  // The lowest segment number whose end lies within the tolerance of
  // (Lon, Lat), or -1.
  std::ptrdiff_t FindNear(double lon, double lat) const;
  // Segment number Segment (new or grown) now ends at (Lon, Lat).
  void SetEnd(size_t segment, double lon, double lat);

private:
  struct TKey {
    int64_t X, Y, Z;
    bool operator==(const TKey &) const = default;
  };
  struct THash {
    size_t operator()(const TKey &k) const;
  };
  struct TEnd {
    double Lon = 0, Lat = 0;
    bool Filed = false;
    bool Odd = false;
    TKey Key{};
  };

  bool KeyOf(double lon, double lat, TKey &key) const;
  bool Near(const TEnd &end, double lon, double lat) const;
  void Unfile(size_t segment);

  double FTolerance;
  double FCell;
  std::vector<TEnd> FEnds;
  std::unordered_map<TKey, std::vector<size_t>, THash> FCells;
  std::vector<size_t> FOdd; // ends that are no place (not finite)
};

} // namespace kp
