#include "FileListCommands.h"

#include "Errors.h"

#include "DateTime.h"
#include "FileListModel.h"
#include "ListNotice.h"
#include "MainMenus.h"
#include "RecordingTelemetry.h"
#include "UnitGpsConverters.h"
#include "UnitMovingInfo.h"
#include "UnitRegSettings.h"
#include "UnitTempFiles.h"
#include "UnitTranslate.h"
#include "UnitUtilsFiles.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QTableView>
#include <algorithm>

namespace kp {

QString ExportFileName(const QString &trackName)
{
  QString name = trackName;
  name.replace(QLatin1Char(':'), QLatin1Char('-'));
  return SanitizeFileName(name);
}

QString WithExportExtension(const QString &name, const QString &ext)
{
  const QString dotted = QLatin1Char('.') + ext.toLower();
  return name.right(dotted.size()).toLower() == dotted ? name : name + QLatin1Char('.') + ext;
}

QString ReplaceQuestion(const QString &path)
{
  return Translate(u"Mes_FileExists") + QLatin1String("\r\n") + path + QLatin1String("\r\n\r\n") +
         Translate(u"Mes_SureToReplace") + QLatin1String(" ?");
}

QStringList QtFilters(const QString &pairs)
{
  QStringList out;
  const QStringList parts = pairs.split(QLatin1Char('|'));
  for (int i = 0; i + 1 < parts.size(); i += 2)
    if (!parts[i].isEmpty())
      out << parts[i] + QLatin1String(" (") + QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' ')) +
                 QLatin1Char(')');
  return out;
}

TFileListCommands::TFileListCommands(IFileListHost &host, TFileListModel &model, QTableView &view, TMainMenus &menus,
                                     QObject *parent)
  : QObject(parent), FHost(host), FModel(model), FView(view), FMenus(menus), FNotice(new TListNotice(view))
{
  if (QCoreApplication::instance())
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
            &TFileListCommands::RemoveTemporaryFiles);
  // The status row comes and goes with a reset or as row 0 changes.
  connect(&FModel, &QAbstractItemModel::modelReset, this, [this] { UpdateStatusSpan(); });
  connect(&FModel, &QAbstractItemModel::dataChanged, this, [this] { UpdateStatusSpan(); });
}

TFileListCommands::~TFileListCommands()
{
  RemoveTemporaryFiles();
}

void TFileListCommands::RemoveTemporaryFiles()
{
  for (const QString &path : std::as_const(FTemporaryFiles)) QFile::remove(path);
  if (!FTemporaryFiles.isEmpty()) RemoveTempFilesFolder();
  FTemporaryFiles.clear();
}

void TFileListCommands::UpdateStatusSpan()
{
  // The catalogue's status text reads across the columns after the name.
  const bool status = FModel.rowCount() > 0 && FModel.IsStatusRow(0);
  const int span = status ? TFileListModel::ColumnCount - 1 : 1;
  if (FView.columnSpan(0, 1) == span && FView.rowSpan(0, 1) == 1) return;
  FView.clearSpans();
  if (status) FView.setSpan(0, 1, 1, span);
}

TFileManager *TFileListCommands::Manager() const
{
  return FModel.FileManager();
}

QAction *TFileListCommands::Item(const char *name) const
{
  return FMenus.Action(QLatin1String(name));
}

std::vector<int> TFileListCommands::SelectedRows() const
{
  std::vector<int> rows;
  if (!FView.selectionModel()) return rows;
  for (const QModelIndex &i : FView.selectionModel()->selectedRows()) rows.push_back(i.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

int TFileListCommands::CurrentRow() const
{
  const QModelIndex current = FView.currentIndex();
  return current.isValid() ? current.row() : -1;
}

void TFileListCommands::ClearSelection()
{
  if (!FView.selectionModel()) return;
  FView.selectionModel()->clearSelection();
  FView.selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

void TFileListCommands::UpdateNotice()
{
  TFileManager *m = Manager();
  if (!m) return;
  // While a search runs its status row says what it skips.
  if (!m->GetStatus().isEmpty()) {
    FNotice->Reset();
    return;
  }
  FNotice->ShowNotice(m->SkippedNotice(), (m->UnreadableFolders() + m->GoneFiles()).join(QLatin1Char('\n')));
}

void TFileListCommands::FileManagerChanged(int index)
{
  if (FModel.Sync()) UpdateEnabling();
  UpdateNotice();
  const int current = CurrentRow();
  if (!SelectedCaption.isEmpty() && (current < 0 || FModel.Caption(current) != SelectedCaption)) {
    int match = -1;
    for (int row = 0; row < FModel.rowCount() && match < 0; ++row)
      if (!FModel.IsStatusRow(row) && FModel.Caption(row) == SelectedCaption) match = row;
    ClearSelection();
    if (match >= 0) {
      FView.selectionModel()->setCurrentIndex(FModel.index(match, 0),
                                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    } else {
      SelectedCaption.clear();
    }
  }
  if (index == -2 && GpsFormatsChanged()) FHost.RestartUpdateChecker(500);
}

void TFileListCommands::ColumnClick(int column)
{
  TFileManager *m = Manager();
  if (!m) return;
  m->SortByColumn(column);
  settings::ColSort.Write(m->GetSortColumn());
  settings::ColSortDur.Write(m->GetSortAscending());
}

void TFileListCommands::DeleteFromDisk()
{
  TFileManager *m = Manager();
  if (!m) return;
  std::vector<TFileItem> items;
  for (int row : SelectedRows()) {
    if (FModel.IsStatusRow(row)) continue;
    if (row == CurrentRow() && FHost.IsSelectedGroupLoaded()) FHost.StopPlayback();
    items.push_back(m->GetGroup(row));
  }
  if (items.empty()) return;
  QStringList names;
  for (const QStringList &files : m->FilesToDelete(items)) names += files;
  const QString question = Translate(u"Mes_SureToDelFile") + QLatin1String(" ?\r\n") + CountAndSize(names) +
                           QLatin1String("\r\n\r\n") + Translate(u"Mes_NoWayToBack") + QLatin1String(" ! ! !");
  if (!FHost.AskYesNo(question, false, names)) return;
  QStringList failed, reasons;
  for (const TFileItem &item : items) {
    QStringList stayed, why;
    m->DeleteGroupFiles(item, &stayed, &why);
    failed += stayed;
    reasons += why;
  }
  ClearSelection();
  ReportUndeleted(failed, reasons);
}

QString CountAndSize(const QStringList &files)
{
  qint64 bytes = 0;
  for (const QString &file : files) bytes += std::max<qint64>(QFileInfo(file).size(), 0);
  return Translate(u"Mes_SureToDelAllFiles2") + QLatin1String(": ") + QString::number(files.size()) +
         QLatin1String(" (") + FloatToStrDot(double(bytes) / 1048576.0, 1, true) + QLatin1Char(' ') + Translate(u"Mb") +
         QLatin1Char(')');
}

QString TFileListCommands::DeleteAllQuestion(const QStringList &files)
{
  return Translate(u"Mes_SureToDelAllFiles") + QLatin1String("?\r\n\r\n") + CountAndSize(files) +
         QLatin1String("\r\n\r\n") + Translate(u"Mes_NoWayToBack") + QLatin1String(" ! ! !");
}

void TFileListCommands::DeleteAllUnlocked()
{
  TFileManager *m = Manager();
  if (!m) return;
  FHost.StopPlayback();
  std::vector<TFileItem> items;
  for (int i = 0; i < m->GetCount(); ++i) {
    const TFileItem row = m->GetGroup(i);
    if (row.Files.empty() || row.Summary.Locked != lsNone) continue;
    items.push_back(row);
  }
  if (items.empty()) return;
  QStringList names;
  for (const QStringList &files : m->FilesToDelete(items)) names += files;
  if (!FHost.AskYesNo(DeleteAllQuestion(names), true, names)) return;
  QStringList failed, reasons;
  for (const TFileItem &item : items) {
    QStringList stayed, why;
    m->DeleteGroupFiles(item, &stayed, &why);
    failed += stayed;
    reasons += why;
    FHost.ProcessEvents();
  }
  ReportUndeleted(failed, reasons);
}

void TFileListCommands::ReportUndeleted(const QStringList &failed, const QStringList &reasons)
{
  if (failed.isEmpty()) return;
  // Each file with the system's reason, as a failed save names them.
  QStringList named;
  for (qsizetype i = 0; i < failed.size(); ++i) named << failed[i] + QLatin1String(": ") + reasons.value(i);
  FHost.ShowFailure(Translate(u"Mes_CantDelete") + QLatin1String("\r\n") + CountAndSize(failed), named);
}

void TFileListCommands::Remove()
{
  TFileManager *m = Manager();
  if (!m) return;
  std::vector<int> rows = SelectedRows();
  for (auto it = rows.rbegin(); it != rows.rend(); ++it)
    if (!FModel.IsStatusRow(*it)) m->RemoveGroup(m->GetGroup(*it));
  ClearSelection();
}

void TFileListCommands::SetLock(bool lock)
{
  TFileManager *m = Manager();
  if (!m) return;
  std::vector<int> rows = SelectedRows();
  QStringList unchanged;
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
    if (FModel.IsStatusRow(*it)) continue;
    const TFileItem row = m->GetGroup(*it);
    QStringList kept;
    if (!row.Files.empty()) m->SetGroupLocked(*it, lock, row.Files.front().FileName, &kept);
    unchanged += kept;
  }
  UpdateEnabling();
  if (!unchanged.isEmpty())
    FHost.ShowFailure(Translate(u"Mes_CantChangeLock") + QLatin1String("\r\n") + CountAndSize(unchanged), unchanged);
}

void TFileListCommands::UpdateEnabling()
{
  TFileManager *m = Manager();
  const int current = CurrentRow();
  const bool hasCurrent = current >= 0;
  for (QAction *a : FMenus.ListPopupActions())
    if (!a->isSeparator()) a->setEnabled(hasCurrent);
  for (const char *always : {"N_FileList_Add", "N_FileList_DelDiskAll", "N_FileList_Refresh", "N_FileList_Clear"})
    Item(always)->setEnabled(true);
  if (hasCurrent && m) {
    bool setLock = false, unsetLock = false, ungroup = false, gpsLog = false, exportable = false;
    for (int row : SelectedRows()) {
      if (FModel.IsStatusRow(row)) continue;
      const TFileItem item = m->GetGroup(row);
      setLock |= item.Summary.Locked != lsLocked;
      unsetLock |= item.Summary.Locked != lsNone;
      ungroup |= item.Files.size() > 1;
      for (const TFileItemSubitem &f : item.Files) gpsLog |= !f.Log.FileName.isEmpty();
      exportable |= !item.Summary.TrackFileName.isEmpty();
    }
    Item("N_FileList_SetLock")->setEnabled(setLock);
    Item("N_FileList_UnsetLock")->setEnabled(unsetLock);
    Item("N_FileList_Ungroup")->setEnabled(ungroup);
    Item("N_FileList_Track_GPSLog")->setEnabled(gpsLog);
    Item("N_FileList_Track_Export")->setEnabled(exportable);
    Item("N_FileList_Track_Google")->setEnabled(exportable);
    Item("N_FileList_DelDisk")->setEnabled(!unsetLock);
  }
  const bool one = SelectedRows().size() == 1 && hasCurrent;
  for (const char *name : {"N_FileList_Open", "N_FileList_Track_Set", "N_FileList_Track_Move"})
    Item(name)->setEnabled(one);
  const bool recording = FModel.rowCount() > 0 && !FModel.IsStatusRow(0);
  for (const char *name : {"N_FileList_Group_With", "N_FileList_Group_Auto", "N_FileList_Ungroup_All"})
    Item(name)->setEnabled(recording);
}

bool TFileListCommands::CollectSelectedTracks(TTrackInfo &info)
{
  info = TTrackInfo();
  bool first = true;
  const auto feed = [&](const TMovingInfo &track) {
    if (first)
      track.ToTrackInfo(info);
    else
      track.AppendToTrackInfo(info);
    first = false;
  };
  const std::vector<int> rows = SelectedRows();
  if (rows.size() == 1 && FHost.IsSelectedGroupLoaded()) {
    for (const TMovingInfo *track : FHost.LoadedTracks())
      if (track) feed(*track);
    return info.Items.size() >= 2;
  }
  TFileManager *m = Manager();
  if (!m) return false;
  std::vector<TFileItem> trips;
  for (int row : rows)
    if (!FModel.IsStatusRow(row)) trips.push_back(m->GetGroup(row));
  // A track runs forward in time, whatever order the list shows.
  std::stable_sort(trips.begin(), trips.end(),
                   [](const TFileItem &a, const TFileItem &b) { return a.Summary.StartTime < b.Summary.StartTime; });
  FHost.SetBusy(true);
  // Each trip as the player loads it, the log's altitudes merged in.
  TRecordingTelemetry telemetry;
  for (const TFileItem &trip : trips) {
    if (!first) info.TripStarts.push_back(info.Items.size());
    for (const auto &track : telemetry.Load(trip)) feed(*track);
  }
  FHost.SetBusy(false);
  return info.Items.size() >= 2;
}

void TFileListCommands::ExportTrack()
{
  TTrackInfo info;
  if (!CollectSelectedTracks(info)) {
    FHost.ShowMessage(Translate(u"Mes_NoGPSInfo"));
    return;
  }
  QStringList filters;
  for (const TGpsInfoConverter *c : GpsExportConverters()) filters << QtFilters(c->GetFilter());
  int chosen = 0;
  const QString name = FHost.ChooseSaveFile(ExportFileName(info.Name), filters, chosen, QString());
  const auto &converters = GpsExportConverters();
  if (name.isEmpty() || chosen < 0 || size_t(chosen) >= converters.size()) return;
  const TGpsInfoConverter &converter = *converters[size_t(chosen)];
  QString path = WithExportExtension(name, converter.GetExt());
  // The save dialog asked about the name as typed; a name that only now
  // gets its extension may be another, existing file.
  if (path != name && (QFileInfo::exists(path) || QFileInfo(path).isSymLink()) &&
      !FHost.AskYesNo(ReplaceQuestion(path), true, {}))
    return;
  QByteArray text;
  QString error;
  if (!converter.ExportToText(info, text))
    FHost.ShowFailure(Translate(u"Mes_CantSave") + QLatin1String("\r\n") + path, {});
  else if (!SaveStringToFile(path, text, error))
    FHost.ShowFailure(FileFailureMessage(path, error), {});
}

void TFileListCommands::OpenTrackInEarth()
{
  TTrackInfo info;
  if (!CollectSelectedTracks(info)) {
    FHost.ShowMessage(Translate(u"Mes_NoGPSInfo"));
    return;
  }
  // Named as the track inside it is, so the globe's list and the file agree.
  const QString file = ExportFileName(info.Name) + QLatin1String(".kml");
  QByteArray text;
  QString error, path;
  if (GpsExportConverters().front()->ExportToText(info, text)) path = CreateTempFile(file, text, error);
  if (path.isEmpty()) {
    FHost.ShowFailure(FileFailureMessage(file, error), {});
    return;
  }
  FTemporaryFiles << path;
  FHost.OpenDocument(path);
}

void TFileListCommands::ShowInExplorer()
{
  TFileManager *m = Manager();
  const int row = CurrentRow();
  if (!m || row < 0 || FModel.IsStatusRow(row)) return;
  const TFileItem item = m->GetGroup(row);
  if (!item.Files.empty()) FHost.ShowInFileManager(item.Files.front().FileName);
}

TFileItem TFileListCommands::SelectedForCopy() const
{
  TFileItem all;
  TFileManager *m = Manager();
  if (!m) return all;
  QStringList names;
  for (int row : SelectedRows()) {
    if (FModel.IsStatusRow(row)) continue;
    const TFileItem item = m->GetGroup(row);
    if (item.Files.empty()) continue;
    all.Files.insert(all.Files.end(), item.Files.begin(), item.Files.end());
    names += item.Summary.Name;
  }
  if (all.Files.empty()) return all;
  all.Summary = all.Files.front();
  all.Summary.Name = names.join(QLatin1String(", "));
  return all;
}

void TFileListCommands::ShowProperties()
{
  TFileManager *m = Manager();
  if (!m) return;
  for (int row : SelectedRows())
    if (!FModel.IsStatusRow(row)) FHost.ShowProperties(m->GetGroup(row));
}

void TFileListCommands::ShowGpsLogs(bool matchedToSelection)
{
  TFileManager *m = Manager();
  QStringList logs;
  if (m)
    for (const QString &log : m->GetGpsLogList()) logs << log;
  QStringList tick;
  if (matchedToSelection && m)
    for (int row : SelectedRows())
      for (const TFileItemSubitem &f : m->GetGroup(row).Files)
        if (!f.Log.FileName.isEmpty() && !tick.contains(f.Log.FileName)) tick << f.Log.FileName;
  FHost.ShowGpsLogs(logs, tick, matchedToSelection);
  FHost.StopPlayback();
}

} // namespace kp
