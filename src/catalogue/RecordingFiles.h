#pragma once
// The files on disk that belong to a video file of a recording besides the
// video itself: its track file (also one the program could not read), the
// G-sensor side files (".3gf") and the subtitles a cut leaves beside its
// track. Copy, delete and the delete questions take them from here, so a
// recording never leaves a side file behind nor goes without one.
// Pure file-system lookups; any thread.
#include "UnitFileManager.h"

#include <QString>
#include <QStringList>
#include <unordered_set>

namespace kp {

// The track file of File: the one it is paired with or, when the program
// could read none, the one named after the video that the track search
// tries first (an unreadable track still belongs to its video). Empty when
// there is none.
QString TrackFileOf(const TFileItemSubitem &file);

// The G-sensor side file named after the video; empty when there is none.
QString VideoGSensorFile(const QString &video);

// Every file a copy of the recording takes, in copy order: each video, then
// its track file and its G-sensor side files; no path twice.
QStringList RecordingCopyFiles(const TFileItem &item);

// Track files that stay because another listed file still uses them; a
// side file named like one of them stays too.
class TKeptTracks {
public:
  void Add(const QString &track);
  bool Holds(const QString &track) const { return FPaths.count(track) > 0; }
  bool HoldsBaseOf(const QString &path) const;

private:
  std::unordered_set<QString> FPaths;
  std::unordered_set<QString> FBases; // lower case, without extension
};

// What leaves the disk with the video of File: its track file with the
// track's G-sensor side file and ".srt" (unless Kept holds the track), and
// the G-sensor side file named after the video. Existing files only.
QStringList DeleteCompanions(const TFileItemSubitem &file, const TKeptTracks &kept);

} // namespace kp
