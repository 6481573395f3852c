#include "FileAdder.h"

#include "UnitFileManager.h"
#include "UnitGpsConverters.h"

#include <QFileInfo>

namespace kp {

QString MovieForName(const QString &name)
{
  if (name.size() < 4 || name.right(4).toLower() != QLatin1String(".dat")) return name;
  return FindFileNoCase(name.left(name.size() - 4) + QLatin1String(".mov"));
}

TAddFilesResult AddFilesToCatalogue(TFileManager &manager, const QStringList &names, bool nothingLoaded,
                                    const std::function<void()> &afterEach)
{
  TAddFilesResult result;
  for (const QString &given : names) {
    if (given.isEmpty()) continue;
    const QString name = MovieForName(given);
    if (name.isEmpty()) continue;
    const QFileInfo info(name);
    bool added = false;
    if (info.isFile()) {
      TFileItem item;
      if (manager.GetGroupByFile(info.absoluteFilePath(), item) && !item.Summary.Name.isEmpty()) {
        added = true;
        if (nothingLoaded) result.CaptionToSelect = item.Summary.Name;
      }
    } else if (info.isDir()) {
      if (manager.AddFolder(info.absoluteFilePath())) {
        added = true;
        const int count = manager.GetCount();
        if (nothingLoaded && count > 0) {
          TFileListItem last;
          manager.FillListItem(count - 1, last);
          result.CaptionToSelect = last.Caption;
        }
      }
    }
    if (!added) continue;
    result.AddedAny = true;
    if (afterEach) afterEach();
  }
  manager.MatchGpsLogs();
  manager.AutoGroup();
  return result;
}

} // namespace kp
