#pragma once
// The recording list's commands: the catalogue's change notification with
// the reselection by caption, sorting, deleting, removing, locking, the
// enabling of the list's items, track export and the temporary KML, the file
// manager, properties and the GPS-log window. Rows are passed to the
// catalogue with their identity (first file path), so they act correctly
// while a search runs. Main thread only.

#include "IFileListHost.h"
#include "UnitFileManager.h"
#include "UnitUtils.h"

#include <QObject>
#include <QString>
#include <functional>
#include <vector>

class QAction;
class QTableView;

namespace kp {

class TFileManager;
class TFileListModel;
class TListNotice;
class TMainMenus;

// Names built from date or time text, ready to join a folder.
QString ExportFileName(const QString &trackName);
// The chosen name with the format's extension unless it already ends so.
QString WithExportExtension(const QString &name, const QString &ext);
// "The file already exists: Path ... Do you want to replace it ?", asked
// of a name that only got its extension after the save dialog.
QString ReplaceQuestion(const QString &path);
// "caption|*.ext|" pairs as Qt's "caption (*.ext)" filters.
QStringList QtFilters(const QString &pairs);
// "Count: 12 (3.4 Mb)": how many files there are and what they hold.
QString CountAndSize(const QStringList &files);

class TFileListCommands : public QObject {
  Q_OBJECT
public:
  TFileListCommands(IFileListHost &host, TFileListModel &model, QTableView &view, TMainMenus &menus,
                    QObject *parent = nullptr);
  // Removes the temporary tracks it wrote.
  ~TFileListCommands() override;

  TFileManager *Manager() const;
  // The caption kept selected across catalogue changes.
  QString SelectedCaption;

  void FileManagerChanged(int index);
  void ColumnClick(int column);
  void DeleteFromDisk();
  void DeleteAllUnlocked();
  void Remove();
  void SetLock(bool lock);
  void UpdateEnabling();
  bool CollectSelectedTracks(TTrackInfo &info);
  void ExportTrack();
  void OpenTrackInEarth();
  void ShowInExplorer();
  void ShowProperties();
  void ShowGpsLogs(bool matchedToSelection);

  // One item holding the files of every selected recording for the copy
  // command, named as the list names the rows ("FILE0001-5"; several rows
  // joined with ", "). No files when nothing is selected.
  TFileItem SelectedForCopy() const;
  // The line below the list about what the last search left out.
  TListNotice &Notice() const { return *FNotice; }

  // The rows selected in display order, each with its identity.
  std::vector<int> SelectedRows() const;
  int CurrentRow() const;
  void ClearSelection();

  // The question before deleting every unlocked recording, over the files
  // the rows take along (TFileManager::FilesToDelete): their count and size;
  // the names go with it as the question's details.
  static QString DeleteAllQuestion(const QStringList &files);

private:
  QAction *Item(const char *name) const;
  // Failed and Reasons side by side: each file and the system's reason.
  void ReportUndeleted(const QStringList &failed, const QStringList &reasons);
  void RemoveTemporaryFiles();
  // Row 0 spans the columns after the name while it is the status row.
  void UpdateStatusSpan();
  // What the finished search left out stays said below the list.
  void UpdateNotice();

  IFileListHost &FHost;
  TFileListModel &FModel;
  QTableView &FView;
  TMainMenus &FMenus;
  // The tracks written for another program to open, removed at exit.
  QStringList FTemporaryFiles;
  TListNotice *FNotice; // a child of the view
};

} // namespace kp
