#pragma once
// The GPS-log window: lists camera GPS logs (from the catalogue, a file
// dialog or dropped files), fills in their points, span and length, draws
// the selected or ticked ones on the map, converts the ticked ones into the
// ticked export formats beside them, and deletes logs with those side files.
// Created once by the main window (its parent) as a modeless tool window;
// main thread only.
//
// Loops that pump events (convert, route) work on a snapshot of paths and
// look rows up again afterwards, so rows removed or a window closed
// meanwhile cannot break them.

#include "DialogPrompts.h"

#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <vector>

class QCheckBox;
class QListWidget;
class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace kp {

class IGpsLogHost;
class TGpsInfoConverter;

class TFormGPSLog : public QWidget {
  Q_OBJECT
public:
  TFormGPSLog(IGpsLogHost &host, QWidget *mainWindow);

  void SetPrompts(const TDialogPrompts &prompts) { FPrompts = prompts; }

  // Lists Paths when the list is empty, fills the formats once, places and
  // shows the window.
  void Execute(const QStringList &paths);
  // The list's "GPS log" command: every row unticked and unselected, then
  // the rows of Paths ticked and selected.
  void TickAndSelect(const QStringList &paths);
  // Texts of the active language, the distance column in the chosen units;
  // the main window calls it on a language or units switch.
  void ApplyLanguage();

  // Window events.
  void ButtonAddClick();
  void AddDroppedFiles(const QStringList &paths);
  void CheckBoxAllClick();
  void ListViewFilesClick();
  void ButtonConvertClick();
  void DeleteSelectedFromDisk();
  void DeleteAllFromDisk();
  void RemoveSelectedRows();
  void ClearRows();
  void ShowSelectedInExplorer();

  QTreeWidget *ListViewFiles() const { return FList; }
  QListWidget *ListFormats() const { return FFormats; }
  QCheckBox *CheckBoxShowPath() const { return FShowPath; }
  // True when every listed row has its figures.
  bool InformationComplete() const;
  // The "delete every log" question: the count of Files and their names.
  static QString DeleteAllQuestion(const std::vector<QStringList> &files, int count);

protected:
  void closeEvent(QCloseEvent *event) override;
  void dragEnterEvent(QDragEnterEvent *event) override;
  void dropEvent(QDropEvent *event) override;

private:
  void BuildPopup();
  void FillFormats();
  QTreeWidgetItem *AddRow(const QString &path, bool ticked);
  QTreeWidgetItem *RowOf(const QString &path) const;
  QStringList TickedPaths() const;
  QStringList FilesToKeep(const QStringList &paths, const std::vector<const TGpsInfoConverter *> &formats) const;
  // The select-all box shows whether every row is ticked.
  void SyncCheckAll();
  void InformationTimer();
  void TimerDrawRouteTimer();

  IGpsLogHost &FHost;
  TDialogPrompts FPrompts;
  QTreeWidget *FList = nullptr;
  QListWidget *FFormats = nullptr;
  QCheckBox *FCheckAll = nullptr;
  QCheckBox *FShowPath = nullptr;
  QPushButton *FButtonAdd = nullptr;
  QPushButton *FButtonConvert = nullptr;
  QMenu *FPopup = nullptr;
  QTimer *FInfoTimer = nullptr;
  QTimer FRouteTimer;
};

} // namespace kp
