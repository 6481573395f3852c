// Telemetry back into a track record (exports, the cutting job), joining the
// files of one recording, the altitude merge, cropping and copies.

#include "UnitMovingInfo.h"

#include "UnitGpsConverterDatDOD.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kp {

namespace {

constexpr double kOneMs = 1.1574074074074074e-08;
constexpr double kShortRange = 0.0002314814814814815; // 20 s
constexpr double kNear = 6.944444444444444e-05;       // 6 s
constexpr double kEndReach = 3.472222222222222e-05;   // 3 s

TTrackInfoItem PointItem(const TMovingPoint &p)
{
  TTrackInfoItem item;
  item.block() = p;
  item.Kind = ikGps;
  return item;
}

TTrackInfoItem SampleItem(const TGSensorSample &s)
{
  TTrackInfoItem item;
  item.Kind = ikGSensor;
  item.Time = s.Time;
  item.Lon = s.X;
  item.Lat = s.Y;
  item.Alt = s.Z;
  return item;
}

void Widen(TTrackInfo &info, const TMovingPoint &p)
{
  info.MinLon = std::min(info.MinLon, p.Lon);
  info.MaxLat = std::max(info.MaxLat, p.Lat);
  info.MaxLon = std::max(info.MaxLon, p.Lon);
  info.MinLat = std::min(info.MinLat, p.Lat);
}

// A track across 180 is bounded on the short side: MinLon (west) then lies
// east of MaxLon.
void CrossingBounds(TTrackInfo &info)
{
  std::vector<double> lons;
  for (const TTrackInfoItem &item : info.Items)
    if (item.Kind == ikGps) lons.push_back(item.Lon);
  double west = 0, east = 0;
  if (ShortLonSpan(std::move(lons), west, east) && west > east) {
    info.MinLon = west;
    info.MaxLon = east;
  }
}

// "Track 2012.05.01 10:00:00": the time of the first fix written (else of
// the first point, else Start) to the nearest second, as the writers give a
// fix's time, in the chosen zone, as the list shows times. The start of the
// recording window may lie just before a whole second that the fix is on.
QString TrackName(const std::vector<TTrackInfoItem> &items, TDateTime start)
{
  const auto firstOf = [&](bool positioned) {
    const auto it = std::find_if(items.begin(), items.end(), [positioned](const TTrackInfoItem &item) {
      return item.Kind == ikGps && item.Time > 0 && !(positioned && item.NoFix);
    });
    return it == items.end() ? TDateTime(0) : it->Time;
  };
  TDateTime first = firstOf(true);
  if (!(first > 0)) first = firstOf(false);
  const TDateTime t = RoundToSecond((first > 0 ? first : start) + TimeZoneShift());
  TDateTimeFields f;
  DecodeDateTime(t, f);
  return QStringLiteral("Track ") + IntToStrZ(f.year, 4) + QLatin1Char('.') + IntToStr2(f.month) + QLatin1Char('.') +
         IntToStr2(f.day) + QLatin1Char(' ') + TimeToStr(t);
}

// Time of the last fix in Items, 0 without one.
TDateTime LastFixTime(const std::vector<TTrackInfoItem> &items)
{
  for (auto it = items.rbegin(); it != items.rend(); ++it)
    if (it->Kind == ikGps) return it->Time;
  return 0;
}

// The last fix with a position of the trip Info holds so far; time 0 when
// there is none or the next items start another trip.
TFixBlock LastPositionOfTrip(const TTrackInfo &info)
{
  const auto &items = info.Items;
  if (!info.TripStarts.empty() && info.TripStarts.back() >= items.size()) return {};
  for (auto it = items.rbegin(); it != items.rend(); ++it)
    if (it->Kind == ikGps && !it->NoFix) return *it;
  return {};
}

// The hours the list's average speed of a file counts: first to last fix.
double MovingHours(const TMovingInfo &info)
{
  const double kmh = info.GetAvgSpeed();
  return kmh > 0 ? info.GetTrackLength() / 1000 / kmh : 0;
}

// The average speed with one decimal in the user's number format.
QString SpeedText(double kmh)
{
  QString text = FloatToStrDot(double(Round(kmh * 10)) / 10, 1);
  text.replace(QLatin1Char('.'), FormatSettings().decimalSeparator);
  return text;
}

} // namespace

void TMovingInfo::ToTrackInfo(TTrackInfo &info) const
{
  info = TTrackInfo{};
  info.MinLon = 1000;
  info.MaxLat = -1000;
  info.MaxLon = -1000;
  info.MinLat = 1000;
  AppendToTrackInfo(info);
}

void TMovingInfo::AppendToTrackInfo(TTrackInfo &info) const
{
  if (StartTime > 0 && (info.StartTime == 0 || StartTime < info.StartTime)) info.StartTime = StartTime;
  info.EndTime = std::max(EndTime, info.EndTime);

  // Merge by time: a point goes before samples of the same time, samples up
  // to 1 ms after a point go after it. Ends when both arrays are used up.
  constexpr double kNoLimit = std::numeric_limits<double>::infinity();
  auto &items = info.Items;
  // Cameras write the fix at a fragment's boundary into both fragments'
  // tracks: the trip holds it once.
  const TDateTime lastFix = LastFixTime(items);
  TFixBlock first, last;
  const TFixBlock before = LastPositionOfTrip(info);
  const bool followsOn = FixEnds(first, last) && before.Time > 0 && FollowsOn(before.Time, first.Time);
  const auto addPoint = [&](const TMovingPoint &point) {
    if (lastFix > 0 && std::fabs(point.Time - lastFix) < kOneMs) return;
    items.push_back(PointItem(point));
    Widen(info, point);
  };
  items.reserve(items.size() + Points.size() + GSensor.size());
  size_t p = 0, s = 0;
  double limit = 0;
  while (p < Points.size() || s < GSensor.size()) {
    const size_t before = p + s;
    for (; p < Points.size(); ++p) {
      if (!(Points[p].Time < limit)) {
        limit = Points[p].Time;
        break;
      }
      addPoint(Points[p]);
    }
    if (p >= Points.size()) limit = kNoLimit;
    for (; s < GSensor.size(); ++s) {
      if (!(GSensor[s].Time < limit)) {
        limit = GSensor[s].Time + kOneMs;
        break;
      }
      items.push_back(SampleItem(GSensor[s]));
    }
    if (s >= GSensor.size()) limit = kNoLimit;
    // Times that do not compare (NaN) would stall the merge: take the next
    // point as it comes.
    if (p + s == before && p < Points.size()) {
      addPoint(Points[p++]);
    } else if (p + s == before && s < GSensor.size()) {
      items.push_back(SampleItem(GSensor[s++]));
    }
  }

  CrossingBounds(info);
  info.CentreLon =
      info.MinLon <= info.MaxLon ? (info.MinLon + info.MaxLon) / 2 : NormalLon((info.MinLon + info.MaxLon + 360) / 2);
  info.CentreLat = (info.MaxLat + info.MinLat) / 2;
  info.Width = GeoDistance(info.MinLon, info.CentreLat, info.MaxLon, info.CentreLat);
  info.Height = GeoDistance(info.CentreLon, info.MaxLat, info.CentreLon, info.MinLat);
  // The recording list's average: the length over the time between each
  // file's first and last fix and across files that follow on, so gaps
  // between files recorded apart and a G-sensor that runs on after the
  // last fix do not count.
  const double hours = (info.AvgSpeed > 0 ? info.Length / 1000 / info.AvgSpeed : 0) + MovingHours(*this) +
                       (followsOn ? (first.Time - before.Time) * 24 : 0);
  info.Length += GetTrackLength() + (followsOn ? WayBetween(before, first) : 0);
  const double duration = info.EndTime - info.StartTime;
  info.AvgSpeed = hours > 0 ? info.Length / 1000 / hours : 0;
  info.Name = TrackName(info.Items, info.StartTime);
  info.Description = QStringLiteral("Duration: ") + FormatDateTime(FormatSettings().longTimeFormat, duration) +
                     QStringLiteral(". Length: ") + QString::number(Round(info.Length)) +
                     QStringLiteral("m. AvgSpeed: ") + SpeedText(info.AvgSpeed) + QStringLiteral("km/h.");
}

namespace {

// The altitude of Points at Time, interpolated (a side without one gives
// way to the other); up to 3 s beyond their ends, as the player shows a
// fix, the end's. Alt stays when Time lies further out.
void AltitudeAt(const std::vector<TMovingPoint> &points, TDateTime time, double &alt)
{
  const auto byTime = [](const TMovingPoint &p, TDateTime t) { return p.Time < t; };
  const auto hi = std::lower_bound(points.begin(), points.end(), time, byTime);
  if (hi == points.end() || hi->Time == time || hi == points.begin()) {
    const TMovingPoint &end = hi == points.end() ? points.back() : *hi;
    if (std::fabs(end.Time - time) < kEndReach) alt = end.Alt;
    return;
  }
  const TMovingPoint &a = *(hi - 1), &b = *hi;
  if (a.Alt == 0 || b.Alt == 0) {
    alt = a.Alt == 0 ? b.Alt : a.Alt;
    return;
  }
  alt = a.Alt + (b.Alt - a.Alt) * (time - a.Time) / (b.Time - a.Time);
}

} // namespace

bool TMovingInfo::FixEnds(TFixBlock &first, TFixBlock &last) const
{
  const auto hasPosition = [](const TMovingPoint &p) { return !p.NoFix; };
  const auto head = std::find_if(Points.begin(), Points.end(), hasPosition);
  if (head == Points.end()) return false;
  first = *head;
  last = *std::find_if(Points.rbegin(), Points.rend(), hasPosition);
  return true;
}

double TMovingInfo::WayBetween(const TFixBlock &last, const TFixBlock &first)
{
  if (!(last.Time > 0 && first.Time > 0) || !FollowsOn(last.Time, first.Time)) return 0;
  const double metres = GeoDistance(last.Lon, last.Lat, first.Lon, first.Lat);
  return std::isfinite(metres) ? metres : 0;
}

void TMovingInfo::Join(std::span<TMovingInfo *const> infos)
{
  int32_t pointOffset = 0, sampleOffset = 0;
  double tripOffset = 0;
  TFixBlock lastFix, first, last; // the last fix of the files so far
  if (!infos.empty()) infos[0]->FixEnds(first, lastFix);
  for (size_t k = 1; k < infos.size(); ++k) {
    const TMovingInfo &prev = *infos[k - 1];
    if (!prev.Points.empty()) {
      pointOffset = prev.Points.back().Index + 1;
      tripOffset = prev.Points.back().Trip;
    }
    if (!prev.GSensor.empty()) sampleOffset = prev.GSensor.back().Index + 1;
    TMovingInfo &info = *infos[k];
    if (info.FixEnds(first, last)) {
      tripOffset += WayBetween(lastFix, first);
      lastFix = last;
    }
    for (TMovingPoint &p : info.Points) {
      p.Index += pointOffset;
      p.Trip += tripOffset;
    }
    for (TGSensorSample &s : info.GSensor) s.Index += sampleOffset;
  }
}

// Altitudes of the other track's points go to the first own point at or
// after each; own points between two such points are interpolated by time.
void TMovingInfo::MergeAltitude(const TMovingInfo *other)
{
  if (!other || Points.empty() || other->Points.empty()) return;
  const auto &o = other->Points;
  const auto byTime = [](const TMovingPoint &p, TDateTime t) { return p.Time < t; };
  size_t i = size_t(std::lower_bound(o.begin(), o.end(), Points[0].Time, byTime) - o.begin());
  size_t k = 0;
  ptrdiff_t first = -1, last = -1;
  for (; i < o.size(); ++i) {
    while (k < Points.size() && Points[k].Time < o[i].Time) ++k;
    if (k >= Points.size()) break;
    Points[k].Alt = o[i].Alt;
    if (first < 0) first = ptrdiff_t(k);
    if (last >= 0 && size_t(last) + 1 < k) {
      const TMovingPoint &a = Points[size_t(last)], &b = Points[k];
      const double span = b.Time - a.Time;
      for (size_t j = size_t(last) + 1; j < k; ++j) {
        const double f =
            span > 0 ? (Points[j].Time - a.Time) / span : double(j - size_t(last)) / double(k - size_t(last));
        Points[j].Alt = a.Alt + (b.Alt - a.Alt) * f;
      }
    }
    last = ptrdiff_t(k);
  }
  // Own points before the first and after the last that took an altitude
  // (a fragment's first and last fix, between two of the other track's
  // points) take the other track's altitude at their time.
  const size_t head = first < 0 ? Points.size() : size_t(first);
  for (size_t j = 0; j < head; ++j) AltitudeAt(o, Points[j].Time, Points[j].Alt);
  for (size_t j = last < 0 ? Points.size() : size_t(last) + 1; j < Points.size(); ++j)
    AltitudeAt(o, Points[j].Time, Points[j].Alt);
}

void TMovingInfo::ExtractRange(TTrackInfo &info, TDateTime fromTime, TDateTime toTime) const
{
  auto &items = info.Items;
  items.clear();
  auto addPoint = [&](const TMovingPoint &p) {
    if (!p.NoFix) items.push_back(PointItem(p));
  };
  // A linear search: a side file whose clock stepped back leaves the samples
  // out of order, where a binary search would skip some.
  const auto atOrAfter = [fromTime](const auto &r) { return r.Time >= fromTime; };
  size_t p = size_t(std::find_if(Points.begin(), Points.end(), atOrAfter) - Points.begin());
  size_t s = size_t(std::find_if(GSensor.begin(), GSensor.end(), atOrAfter) - GSensor.begin());
  // A short range also shows the fix just before it, when that is close.
  if (toTime - fromTime < kShortRange && p >= 1 && p < Points.size() && Points[p].Time - Points[p - 1].Time < kNear)
    addPoint(Points[p - 1]);
  for (; p < Points.size() && Points[p].Time <= toTime; ++p) {
    for (; s < GSensor.size() && GSensor[s].Time < Points[p].Time; ++s) items.push_back(SampleItem(GSensor[s]));
    addPoint(Points[p]);
  }
  for (; s < GSensor.size() && GSensor[s].Time < toTime; ++s) items.push_back(SampleItem(GSensor[s]));
}

namespace {

// Removes the leading records before From and the trailing ones after To;
// true when any went.
template <typename TRecord>
bool CutOutside(std::vector<TRecord> &r, TDateTime fromTime, TDateTime toTime)
{
  size_t lead = 0;
  while (lead < r.size() && r[lead].Time < fromTime) ++lead;
  size_t end = r.size();
  while (end > lead && r[end - 1].Time > toTime) --end;
  if (lead == 0 && end == r.size()) return false;
  r.erase(r.begin() + ptrdiff_t(end), r.end());
  r.erase(r.begin(), r.begin() + ptrdiff_t(lead));
  return true;
}

} // namespace

bool TMovingInfo::Crop(TDateTime fromTime, TDateTime toTime)
{
  const bool pointsCut = CutOutside(Points, fromTime, toTime);
  if (!Points.empty()) {
    const double firstTrip = Points[0].Trip;
    for (size_t i = 0; i < Points.size(); ++i) {
      Points[i].Trip -= firstTrip;
      Points[i].Index = int32_t(i);
    }
  }
  const bool samplesCut = CutOutside(GSensor, fromTime, toTime);
  for (size_t i = 0; i < GSensor.size(); ++i) GSensor[i].Index = int32_t(i);
  if (!pointsCut && !samplesCut) return false;
  StartTime = fromTime;
  EndTime = toTime;
  if (!Points.empty()) {
    StartTime = std::min(StartTime, Points.front().Time);
    EndTime = std::max(EndTime, Points.back().Time);
  }
  if (!GSensor.empty()) {
    StartTime = std::min(StartTime, GSensor.front().Time);
    EndTime = std::max(EndTime, GSensor.back().Time);
  }
  return true;
}

std::unique_ptr<TMovingInfo> TMovingInfo::Clone() const
{
  return std::make_unique<TMovingInfo>(*this);
}

std::unique_ptr<TMovingInfo> TMovingInfo::CloneGps() const
{
  auto copy = std::make_unique<TMovingInfo>();
  copy->Points = Points;
  copy->StartTime = StartTime;
  copy->EndTime = EndTime;
  copy->SampleInterval = SampleInterval;
  return copy;
}

} // namespace kp
