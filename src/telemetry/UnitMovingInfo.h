#pragma once
// The telemetry of one video file as the rest of the program uses it: GPS
// points and G-sensor samples in time order, cleaned of the faults camera
// logs carry, every sample timed and centred, trip, speed and course
// completed; plus every query the player, the map, the graphs, the exports
// and the cutting job make of it.

#include "UnitUtils.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace kp {

// One GPS point. Time..NoFix is the block shared with TTrackInfoItem.
struct TMovingPoint : TFixBlock {
  int32_t Index = 0; // position in the recording, continued across joined files
};

// A point with every field 0 (Course and Speed included): what queries hand
// out when there is nothing to report.
TMovingPoint ZeroedPoint();

struct TGSensorSample {
  TDateTime Time = 0;
  double X = 0, Y = 0, Z = 0; // g
  double A = 0;               // magnitude, g
  // While loading: for a sample read without a time, the index of the GPS
  // point directly before it, or -1 when another sample stands between.
  int32_t GpsIndex = 0;
  int32_t Index = 0; // position in the recording, continued across joined files
};

// Simplified map route: one item per segment (a segment ends at a point
// without fix or at a gap of more than 6 s).
struct TTrackPoint {
  double Lon = 0, Lat = 0;
  TDateTime Time = 0;
};
struct TTrackItem {
  std::vector<TTrackPoint> Points;
};
using TTrack = std::vector<TTrackItem>;

// One pixel column of a time graph. The caller sizes the array (one element
// per column) before asking for a series.
struct TGraphicItem {
  double MinValue = 0, MaxValue = 0;
  int32_t Count = 0;  // values in the column; 0 = empty column
  TDateTime Time = 0; // time of the first value that fell into the column
};
using TGraphicItems = std::vector<TGraphicItem>;

// Display shift added wherever times are shown (none for local time, else the
// chosen GMT offset less the computer's offset), in days.
double TimeZoneShift();
void SetTimeZoneShift(double days);

class TMovingInfo {
public:
  std::vector<TGSensorSample> GSensor;  // in time order
  std::vector<TMovingPoint> Points;     // in time order
  TDateTime StartTime = 0, EndTime = 0; // recording window
  double SampleInterval = 0;            // mean sample interval, days (0 = not measured)
  // When each piece after the first begins (its first fix), ascending: a
  // cut joins fragments minutes apart end to end, and the way between them
  // is no part of its trip.
  std::vector<TDateTime> PieceStarts;

  // ------------------------------------------------------------ loading

  // Reads, detects, cleans and completes a track file. Null when the file
  // yields no track. Quick skips course and speed completion (the catalogue).
  static std::unique_ptr<TMovingInfo> LoadFromFile(const QString &fileName, bool quick);
  // The same from an already parsed track; FileName gives the file times for
  // untimed samples. Null when Info holds no GPS fix and no G-sensor sample.
  static std::unique_ptr<TMovingInfo> LoadFromTrackInfo(const TTrackInfo &info, const QString &fileName, bool quick);

  // Loader steps, in the order LoadFromTrackInfo runs them (public so each
  // can be checked on its own).
  void Clean();
  void RemoveDuplicates();
  void FixDayJumps();
  void FixTimeSteps();
  void MarkOutliers();
  void MarkOutliersIn(size_t from, size_t to); // points From..To-1, all with a position
  void AssignGSensorTimes(const QString &fileName);
  void CenterGSensor();
  void CalcDerived(bool quick);

  // ------------------------------------------------------------ queries

  // Telemetry at a play time (interpolated); Valid tells whether the point
  // may be shown as a position.
  void GetDataAtTime(TDateTime time, TMovingPoint &point, TGSensorSample &sample, bool &valid) const;
  TDateTime GetStartTime() const { return StartTime; }
  TDateTime GetEndTime() const { return EndTime; }
  void SetTimeRange(TDateTime startTime, TDateTime endTime);

  // Tolerance in metres; negative asks for the default (5..20 m by size).
  // A segment that starts within the tolerance of an earlier segment's end
  // continues the first such segment.
  void GetRoute(TTrack &track, double tolerance) const;
  // Route points (same segments and thinning) inside the rectangle.
  int CountRoutePointsInBounds(double west, double north, double east, double south, double tolerance) const;
  // Widens NorthWest to (min Lon, max Lat) and SouthEast to (max Lon, min Lat).
  void GetBounds(TGeoPoint &northWest, TGeoPoint &southEast) const;

  void GetSpeedSeries(TGraphicItems &series, TDateTime fromTime, TDateTime toTime) const;
  void GetAltitudeSeries(TGraphicItems &series, TDateTime fromTime, TDateTime toTime) const;
  void GetGSensorASeries(TGraphicItems &series, TDateTime fromTime, TDateTime toTime) const;
  void GetGSensorXSeries(TGraphicItems &series, TDateTime fromTime, TDateTime toTime) const;
  void GetGSensorYSeries(TGraphicItems &series, TDateTime fromTime, TDateTime toTime) const;
  void GetGSensorZSeries(TGraphicItems &series, TDateTime fromTime, TDateTime toTime) const;

  // Fraction of the recording window at the point nearest to (Lat, Lon), or
  // -1. MaxDist2 (squared degrees) bounds the search and returns the best.
  double FindPositionByCoord(double &maxDist2, double lat, double lon) const;

  double GetTrackLength() const; // metres
  double GetAvgSpeed() const;    // km/h, -1 when unknown
  int GetPointSpan() const;
  int GetGSensorSpan() const;
  // Point I, or a zeroed record when I is out of range.
  void GetPoint(int i, TMovingPoint &point) const;
  // The first and last points with a position; false (both left as they
  // are) when there is none.
  bool FixEnds(TFixBlock &first, TFixBlock &last) const;
  // Metres between the last fix of one piece and the first of the next
  // when the next follows on (FollowsOn); 0 for pieces recorded apart and
  // for a missing fix (time 0).
  static double WayBetween(const TFixBlock &last, const TFixBlock &first);

  // The telemetry as an export record: fixes and samples merged by time,
  // bounds, size, length, average speed, a "Track <date> <time>" name (in
  // the chosen zone) and a summary text. Append adds to what Info holds.
  void ToTrackInfo(TTrackInfo &info) const;
  void AppendToTrackInfo(TTrackInfo &info) const;

  // Continues point and sample indexes and the trip across the files of one
  // recording, in playing order, the way between files that follow on
  // included (WayBetween). Every element must exist.
  static void Join(std::span<TMovingInfo *const> infos);
  // Whether a piece whose first fix was taken at Next follows on from one
  // whose last fix was taken at Previous: the camera kept recording between
  // them, so the way between the two fixes was driven on the pictures and
  // counts. Pieces recorded apart (a gap the route itself would break at,
  // more than 6 s, or pieces that share time) add nothing between them.
  static bool FollowsOn(TDateTime previous, TDateTime next);
  // Takes altitudes from another track of the same trip (by time).
  void MergeAltitude(const TMovingInfo *other);
  // Refills Info.Items with the fixes and samples of a time range.
  void ExtractRange(TTrackInfo &info, TDateTime fromTime, TDateTime toTime) const;
  // Cuts everything outside the window; true when anything was cut.
  bool Crop(TDateTime fromTime, TDateTime toTime);

  std::unique_ptr<TMovingInfo> Clone() const;
  std::unique_ptr<TMovingInfo> CloneGps() const;

private:
  void FillUntimedGaps();
  void CalcTrip();
  double SpeedAround(size_t i) const;
  void InterpolateBetweenGoodPoints();
  template <typename TVisit>
  void WalkRoute(double tolerance, TVisit &&visit) const;
};

// Longitude To minus From the short way round (-180..180), and a longitude
// brought back into -180..180 after one step past 180.
double LonDelta(double from, double to);
double NormalLon(double lon);

// Western and eastern edge of the shortest span of longitude holding every
// value of Lons: West > East when the span crosses 180. False (edges
// untouched) for no finite value.
bool ShortLonSpan(std::vector<double> lons, double &west, double &east);

// Value of 0-based rank N div 2 in ascending order (the upper middle value
// for even N); Fallback for an empty array.
double UtilMedian(std::vector<double> values, double fallback = 0.0);

} // namespace kp
