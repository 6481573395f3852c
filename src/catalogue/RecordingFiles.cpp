#include "RecordingFiles.h"

#include "UnitGpsConverters.h"

namespace kp {

namespace {

// Path without the file-name part's extension.
QString WithoutExtension(const QString &path)
{
  const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
  const qsizetype sep = path.lastIndexOf(QLatin1Char('/'));
  return dot > sep ? path.left(dot) : path;
}

void AddOnce(QStringList &list, const QString &path)
{
  if (!path.isEmpty() && !list.contains(path)) list += path;
}

QString ExistingSubtitles(const QString &track)
{
  // The cutting job writes "<movie>.srt" beside "<movie>.dat".
  return FindFileNoCase(WithoutExtension(track) + QStringLiteral(".srt"));
}

} // namespace

QString TrackFileOf(const TFileItemSubitem &file)
{
  if (!file.TrackFileName.isEmpty()) return file.TrackFileName;
  if (file.FileName.isEmpty()) return {};
  // Only names made from this video: the search's look at the previous
  // recording's track would hand over a neighbour's file.
  const QString base = WithoutExtension(file.FileName);
  for (const TGpsInfoConverter *c : GpsImportConverters()) {
    const QString found = GpsFindTrackFileByName(*c, base);
    if (!found.isEmpty()) return found;
  }
  return {};
}

QString VideoGSensorFile(const QString &video)
{
  return GSensorSideFileOf(video);
}

QStringList RecordingCopyFiles(const TFileItem &item)
{
  QStringList files;
  for (const TFileItemSubitem &f : item.Files) {
    AddOnce(files, f.FileName);
    const QString track = TrackFileOf(f);
    AddOnce(files, track);
    AddOnce(files, GSensorSideFileOf(track));
    AddOnce(files, VideoGSensorFile(f.FileName));
  }
  return files;
}

void TKeptTracks::Add(const QString &track)
{
  if (track.isEmpty()) return;
  FPaths.insert(track);
  FBases.insert(WithoutExtension(track).toLower());
}

bool TKeptTracks::HoldsBaseOf(const QString &path) const
{
  return FBases.count(WithoutExtension(path).toLower()) > 0;
}

QStringList DeleteCompanions(const TFileItemSubitem &file, const TKeptTracks &kept)
{
  QStringList out;
  const QString track = TrackFileOf(file);
  if (!track.isEmpty() && !kept.Holds(track)) {
    AddOnce(out, FindFileNoCase(track));
    AddOnce(out, GSensorSideFileOf(track));
    AddOnce(out, ExistingSubtitles(track));
  }
  const QString own = VideoGSensorFile(file.FileName);
  if (!kept.HoldsBaseOf(own)) AddOnce(out, own);
  return out;
}

} // namespace kp
