// Deleting recordings from the disk: every file that goes with a video,
// except tracks another listed file still uses; what stays is named with
// its reason.
#include "Errors.h"
#include "RecordingFiles.h"
#include "UnitFileManager.h"
#include "UnitTranslate.h"

#include <cerrno>

#include <algorithm>
#include <unordered_set>

namespace kp {

TKeptTracks TFileManager::KeptTracks(const std::vector<TFileItem> &items) const
{
  // Track files that another listed file still uses (a card log matched to
  // several recordings, a track attached by hand) stay on disk.
  std::unordered_set<QString> going;
  for (const TFileItem &item : items)
    for (const TFileItemSubitem &f : item.Files) going.insert(f.FileName);
  TKeptTracks kept;
  std::lock_guard<std::mutex> lock(FLock);
  for (const TFileItem &row : FItems)
    for (const TFileItemSubitem &f : row.Files)
      if (!going.count(f.FileName)) {
        kept.Add(f.TrackFileName);
        kept.Add(f.Log.FileName);
      }
  return kept;
}

std::vector<QStringList> TFileManager::FilesToDelete(const std::vector<TFileItem> &items) const
{
  const TKeptTracks kept = KeptTracks(items);
  std::vector<QStringList> out;
  QStringList named;
  for (const TFileItem &item : items) {
    QStringList files;
    for (const TFileItemSubitem &f : item.Files) {
      QStringList paths = DeleteCompanions(f, kept);
      paths.prepend(f.FileName);
      // A track shared by rows deleted together goes once, with the first.
      for (const QString &p : paths)
        if (!named.contains(p)) {
          named += p;
          files += p;
        }
    }
    out.push_back(files);
  }
  return out;
}

bool TFileManager::DeleteGroupFiles(const TFileItem &item, QStringList *failed, QStringList *reasons)
{
  const TKeptTracks others = KeptTracks({item});
  TKeptTracks kept = others;
  std::unordered_set<QString> deleted;
  QStringList stayed, why;
  // A file already gone counts as deleted.
  const auto remove = [&](const QString &path) {
    int error = 0;
    if (ForceDeleteFile(path, &error) || error == ENOENT || error == ENOTDIR) return true;
    stayed += path;
    why += SystemErrorText(error);
    return false;
  };
  for (const TFileItemSubitem &f : item.Files) {
    if (remove(f.FileName)) {
      deleted.insert(f.FileName);
      continue;
    }
    // The track goes only with its video, so a video that stays keeps it
    // (also when another file of this row shares it). What was to go with
    // it is named after it: the question counted those files too.
    kept.Add(f.TrackFileName);
    kept.Add(f.Log.FileName);
    for (const QString &side : DeleteCompanions(f, others))
      if (!stayed.contains(side)) {
        stayed += side;
        why += Translate(u"Mes_StaysWithVideo");
      }
  }
  for (const TFileItemSubitem &f : item.Files) {
    if (!deleted.count(f.FileName)) continue;
    for (const QString &side : DeleteCompanions(f, kept)) remove(side);
  }
  {
    std::lock_guard<std::mutex> lock(FLock);
    for (size_t r = 0; r < FItems.size(); ++r) {
      if (FItems[r].Summary.FileName != item.Summary.FileName) continue;
      std::vector<TFileItemSubitem> &files = FItems[r].Files;
      files.erase(std::remove_if(files.begin(), files.end(),
                                 [&](const TFileItemSubitem &f) { return deleted.count(f.FileName) > 0; }),
                  files.end());
      if (files.empty())
        RemoveRowLocked(int(r));
      else
        RecalcLocked(FItems[r]);
      break;
    }
    for (const QString &path : deleted) FPaths.erase(path.toLower());
    SortLocked();
  }
  Changed(-1);
  if (failed) *failed = stayed;
  if (reasons) *reasons = why;
  return stayed.isEmpty();
}

} // namespace kp
