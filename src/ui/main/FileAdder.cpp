#include "FileAdder.h"

#include "CatalogueLog.h"
#include "UnitFileManager.h"
#include "UnitGpsConverters.h"
#include "UnitTranslate.h"

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
  QString lastFile;
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
        lastFile = info.absoluteFilePath();
      }
    } else if (info.isDir()) {
      if (manager.AddFolder(info.absoluteFilePath())) {
        added = true;
        const TFileItem last = manager.GetGroup(manager.GetCount() - 1);
        if (!last.Files.empty()) lastFile = last.Files.front().FileName;
      }
    } else {
      // A name given in another encoding than UTF-8 arrives with
      // replacement characters and can never be found.
      qCWarning(lcKpCatalogue).noquote() << (name.contains(QChar::ReplacementCharacter)
                                                 ? "cannot open a name that is not valid UTF-8:"
                                                 : "no such file or folder:")
                                         << name;
      result.Unopened << name;
    }
    if (!added) continue;
    result.AddedAny = true;
    if (afterEach) afterEach();
  }
  manager.MatchGpsLogs();
  manager.AutoGroup();
  // Grouping renames rows: the caption is the one of the group now holding
  // the last file added.
  const int row = nothingLoaded && !lastFile.isEmpty() ? manager.IndexOfFile(lastFile) : -1;
  if (row >= 0) result.CaptionToSelect = manager.GetGroup(row).Summary.Name;
  return result;
}

QString UnopenedNamesText(const QStringList &names)
{
  QStringList parts;
  for (const QString &name : names)
    parts << Translate(u"Mes_CannotOpen_Video") + QStringLiteral("\r\n") + name + QStringLiteral("\r\n") +
                 Translate(name.contains(QChar::ReplacementCharacter) ? u"Mes_CannotOpen_NotUtf8"
                                                                      : u"Mes_CannotOpen_NotFound");
  return parts.join(QStringLiteral("\r\n\r\n"));
}

} // namespace kp
