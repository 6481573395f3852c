#pragma once
// The demo memory card: what a dash camera leaves on its card after two days
// of driving. Three trips of consecutive fragments, each fragment a movie
// (H.264 with PCM sound and the camera's clock and speed burned in), a ".DAT"
// track beside it and a ".3GF" G-sensor side file; one GPS log per trip in
// the card's GPS folder; the fragment with a hard braking locked by the
// camera (no write bits); the last fragment cut short by the power going off
// (its movie has no index).
//
// Card layout (file numbers run on across folders, as the camera's do):
//   DCIM/100MEDIA/FILE0001.MOV .DAT .3GF ...   day 1, trips 1 and 2
//   DCIM/101MEDIA/FILE00nn.MOV .DAT .3GF ...   day 2, trip 3
//   GPS/LOG0001.LOG ... LOG0003.LOG            one log per trip
//
// Everything is computed from a fixed script and fixed seeds, so two runs
// write identical track files.

#include "DateTime.h"
#include "DemoDrive.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace kp::demo {

struct TDemoOptions {
  // A small card for tests: fragments of 15 s instead of one minute and
  // fewer of them; the same story, told faster.
  bool Quick = false;
};

struct TDemoTrip {
  TDateTime Start = 0; // local time of the first frame
  int Fragments = 0;
  double Seconds = 0;        // recorded; the power cut shortens the last trip
  double FixFromSeconds = 0; // the receiver's first fix after power-on
  QString Folder;            // relative to the card, "DCIM/100MEDIA"
  QString LogName;           // relative to the card, "GPS/LOG0001.LOG"
  uint32_t Seed = 0;
  int SkyColour = 0; // 0xRRGGBB of the movie's sky
  std::vector<TDrivePhase> Phases;
  std::vector<TSensorState> Sensors; // one per 100 ms, Seconds x 10 + 1
};

struct TDemoFragment {
  int Trip = 0;              // index into Trips
  int Number = 0;            // the camera's file number
  QString Folder;            // relative to the card
  QString Name;              // "FILE0001"
  TDateTime Start = 0;       // local time of the first frame
  double OffsetSeconds = 0;  // from the trip's start
  double Seconds = 0;        // recorded length (whole seconds)
  double FixFromSeconds = 0; // first second with a fix, from the fragment's start
  bool Damaged = false;      // power cut: the movie has no index
  bool Locked = false;       // the camera's G-sensor tripped in it

  QString BasePath(const QString &root) const { return root + '/' + Folder + '/' + Name; }
  QString MoviePath(const QString &root) const { return BasePath(root) + QStringLiteral(".MOV"); }
  QString TrackPath(const QString &root) const { return BasePath(root) + QStringLiteral(".DAT"); }
  QString SidePath(const QString &root) const { return BasePath(root) + QStringLiteral(".3GF"); }
  TDateTime End() const { return Start + Seconds / SecsPerDay; }
};

struct TDemoCard {
  TDemoOptions Options;
  double FragmentSeconds = 60;
  std::vector<TDemoTrip> Trips;
  std::vector<TDemoFragment> Fragments;
};

// A horizontal jolt above this (in g) makes the camera lock the fragment.
constexpr double kLockThresholdG = 0.45;
// Uptime of the camera's G-sensor clock when a trip starts (ms); the side
// files count from it.
constexpr int kSensorClockStartMs = 4210;

// The card's script, simulated: trips, fragments, telemetry, lock marks.
TDemoCard DemoCardPlan(const TDemoOptions &options);

// Raise when the movies change in a way the track data does not show (the
// scene, the encoder settings), so existing cards are written anew.
constexpr int kMovieRecipe = 1;

// Text that identifies a card with exactly this content: the options, the
// movie recipe and a digest of every track, side file and log.
QString DemoCardSignature(const TDemoCard &card);

// The sensor state at a time of a trip (seconds from its start, on the
// 100 ms grid).
const TSensorState &SensorAt(const TDemoTrip &trip, double seconds);

// File contents, exactly as the camera would write them.
QByteArray TrackFileText(const TDemoCard &card, const TDemoFragment &fragment);
QByteArray SideFileBytes(const TDemoCard &card, const TDemoFragment &fragment);
QByteArray GpsLogText(const TDemoTrip &trip);

// Writes the track files, side files and GPS logs; false with Error set on
// the first failure.
bool WriteTrackFiles(const TDemoCard &card, const QString &root, QString &error);

// Encodes the movies with ffmpeg, Jobs at a time; false with Error set.
bool WriteMovies(const TDemoCard &card, const QString &root, const QString &ffmpeg, int jobs, QString &error);

// What the camera did last: the power cut (movie index lost), the lock, and
// every file's last-write time at the moment the camera closed it.
bool FinishCard(const TDemoCard &card, const QString &root, QString &error);

} // namespace kp::demo
