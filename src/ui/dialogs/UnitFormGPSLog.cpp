#include "UnitFormGPSLog.h"

#include "GpsLogFiles.h"
#include "IAuxHost.h"
#include "MenuHotKeys.h"
#include "Numbers.h"
#include "UnitFileManager.h"
#include "UnitGpsConverters.h"
#include "UnitMovingInfo.h"
#include "UnitTranslate.h"
#include "UnitUtils.h"
#include "UnitUtilsDesktop.h"

#include <QApplication>
#include <QBitmap>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QTime>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <optional>

namespace kp {

namespace {

constexpr double KmPerMetre = 0.001;
constexpr double MilesPerMetre = 0.0006213711922373319;

enum TColumn { colFile = 0, colPoints = 1, colSpan = 2, colLength = 3 };

// "All files|*.*|Name|*.a;*.b|" as the file dialog's "All files (*.*);;Name (*.a *.b)".
QStringList DialogFilters(const QString &filter)
{
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString masks = parts[i + 1];
    masks.replace(QLatin1Char(';'), QLatin1Char(' '));
    out << parts[i].trimmed() + QStringLiteral(" (") + masks.trimmed() + QLatin1Char(')');
  }
  return out;
}

// Rows keep their length in metres, so a units switch can show them anew.
constexpr int kMetresRole = Qt::UserRole + 1;

QString LengthText(double metres)
{
  return FloatToStrDot(metres * (UseBritishUnits() ? MilesPerMetre : KmPerMetre), 1, true);
}

// The span to the nearest second (a log and its conversions keep a fix's
// time to different fractions of a second) as a time of day in the locale's
// format, without a zone name. None for a log without a fix.
QString SpanText(double days)
{
  if (!IsFinite(days) || days < 0) return {};
  const int64_t ms = Round(Frac(days) * 86400.0) * 1000;
  QString format = QLocale().timeFormat(QLocale::LongFormat);
  format.remove(QLatin1Char('t'));
  return QLocale().toString(QTime::fromMSecsSinceStartOfDay(int(Clamp<int64_t>(ms, 0, 86399999))), format.trimmed());
}

} // namespace

TFormGPSLog::TFormGPSLog(IGpsLogHost &host, QWidget *mainWindow)
  : QWidget(mainWindow, Qt::Tool), FHost(host), FPrompts(DefaultDialogPrompts(this))
{
  setObjectName(QStringLiteral("FormGPSLog"));
  setWindowIcon(LoadResourceIcon(QStringLiteral("icon_gps_conv.ico")));
  setAcceptDrops(true);

  FList = new QTreeWidget(this);
  FList->setColumnCount(4);
  FList->setSelectionMode(QAbstractItemView::ExtendedSelection);
  FList->setRootIsDecorated(false);
  FList->setContextMenuPolicy(Qt::CustomContextMenu);
  // Logs in one deep folder differ at the end of their paths.
  FList->setTextElideMode(Qt::ElideMiddle);
  FFormats = new QListWidget(this);
  FCheckAll = new QCheckBox(this);
  FShowPath = new QCheckBox(this);
  FButtonAdd = new QPushButton(this);
  FButtonConvert = new QPushButton(this);

  auto *side = new QVBoxLayout;
  side->addWidget(FFormats, 1);
  side->addWidget(FButtonConvert);
  auto *bottom = new QHBoxLayout;
  bottom->addWidget(FCheckAll);
  bottom->addWidget(FShowPath);
  bottom->addStretch(1);
  bottom->addWidget(FButtonAdd);
  auto *left = new QVBoxLayout;
  left->addWidget(FList, 1);
  left->addLayout(bottom);
  auto *top = new QHBoxLayout(this);
  top->addLayout(left, 3);
  top->addLayout(side, 1);
  resize(760, 420);

  FRouteTimer.setSingleShot(true);
  connect(&FRouteTimer, &QTimer::timeout, this, &TFormGPSLog::TimerDrawRouteTimer);
  connect(FButtonAdd, &QPushButton::clicked, this, &TFormGPSLog::ButtonAddClick);
  connect(FButtonConvert, &QPushButton::clicked, this, &TFormGPSLog::ButtonConvertClick);
  connect(FCheckAll, &QCheckBox::clicked, this, &TFormGPSLog::CheckBoxAllClick);
  connect(FShowPath, &QCheckBox::clicked, this, &TFormGPSLog::ListViewFilesClick);
  connect(FList, &QTreeWidget::itemChanged, this, [this] {
    SyncCheckAll();
    ListViewFilesClick();
  });
  connect(FList, &QTreeWidget::itemSelectionChanged, this, &TFormGPSLog::ListViewFilesClick);
  connect(FList, &QTreeWidget::itemDoubleClicked, this, [this] { ShowSelectedInExplorer(); });
  BuildPopup();
  ApplyLanguage();
}

void TFormGPSLog::ApplyLanguage()
{
  setWindowTitle(Translate(u"GPSLog_Title"));
  FButtonAdd->setText(Translate(u"N_FileList_Add"));
  FButtonConvert->setText(Translate(u"GPSLog_Convert"));
  FCheckAll->setText(Translate(u"GPSLog_SelectAll"));
  FShowPath->setText(Translate(u"GPSLog_ShowTrack"));
  FList->setHeaderLabels(
      {Translate(u"File"), Translate(u"Points"), Translate(u"FileList_Col_Duration"),
       Translate(u"FileList_Col_Track") + QStringLiteral(", ") + Translate(UseBritishUnits() ? u"Miles" : u"Kmeters")});
  for (QAction *action : FPopup->actions())
    if (!action->isSeparator()) action->setText(Translate(action->objectName()));
  AssignHotKeys({FPopup});
  const QSignalBlocker block(FList);
  for (int i = 0; i < FList->topLevelItemCount(); ++i) {
    QTreeWidgetItem *row = FList->topLevelItem(i);
    const QVariant metres = row->data(colLength, kMetresRole);
    if (metres.isValid()) row->setText(colLength, LengthText(metres.toDouble()));
    if (!row->toolTip(colPoints).isEmpty()) row->setToolTip(colPoints, Translate(u"GPSLog_NoFix"));
  }
}

// Each item shows the picture named after it, its corner colour transparent.
void TFormGPSLog::BuildPopup()
{
  FPopup = new QMenu(this);
  const auto add = [this](const char *name, void (TFormGPSLog::*slot)()) {
    QAction *action = FPopup->addAction(QLatin1String(name), this, slot);
    action->setObjectName(QLatin1String(name));
    const QImage image = LoadResourceBitmap(QLatin1String(name) + QStringLiteral(".bmp"));
    if (!image.isNull()) {
      QPixmap pixmap = QPixmap::fromImage(image);
      pixmap.setMask(pixmap.createMaskFromColor(image.pixelColor(0, image.height() - 1)));
      action->setIcon(QIcon(pixmap));
    }
  };
  add("N_FileList_Add", &TFormGPSLog::ButtonAddClick);
  add("N_FileList_ShowExplorer", &TFormGPSLog::ShowSelectedInExplorer);
  add("N_FileList_Del", &TFormGPSLog::RemoveSelectedRows);
  add("N_FileList_Clear", &TFormGPSLog::ClearRows);
  add("N_FileList_DelDisk", &TFormGPSLog::DeleteSelectedFromDisk);
  add("N_FileList_DelDiskLogs", &TFormGPSLog::DeleteAllFromDisk);
  connect(FList, &QWidget::customContextMenuRequested, this,
          [this](const QPoint &at) { FPopup->popup(FList->viewport()->mapToGlobal(at)); });
}

void TFormGPSLog::FillFormats()
{
  for (const TGpsInfoConverter *format : GpsExportConverters()) {
    auto *item = new QListWidgetItem(GpsLogFormatLabel(*format), FFormats);
    item->setToolTip(item->text());
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(FFormats->count() == 1 ? Qt::Checked : Qt::Unchecked);
  }
  // Wide enough for every row whole: the three CSV rows differ only at
  // their ends.
  FFormats->setMinimumWidth(FFormats->sizeHintForColumn(0) + 2 * FFormats->frameWidth() +
                            FFormats->verticalScrollBar()->sizeHint().width());
}

QTreeWidgetItem *TFormGPSLog::AddRow(const QString &path, bool ticked)
{
  auto *item = new QTreeWidgetItem(FList, {path});
  item->setToolTip(colFile, path);
  item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
  item->setCheckState(colFile, ticked ? Qt::Checked : Qt::Unchecked);
  return item;
}

QTreeWidgetItem *TFormGPSLog::RowOf(const QString &path) const
{
  for (int i = 0; i < FList->topLevelItemCount(); ++i) {
    if (FList->topLevelItem(i)->text(colFile) == path) return FList->topLevelItem(i);
  }
  return nullptr;
}

QStringList TFormGPSLog::TickedPaths() const
{
  QStringList paths;
  for (int i = 0; i < FList->topLevelItemCount(); ++i) {
    const QTreeWidgetItem *item = FList->topLevelItem(i);
    if (item->checkState(colFile) == Qt::Checked) paths << item->text(colFile);
  }
  return paths;
}

void TFormGPSLog::Execute(const QStringList &paths)
{
  if (FList->topLevelItemCount() == 0) {
    for (const QString &path : paths) AddRow(path, false);
  }
  if (FFormats->count() == 0) FillFormats();
  if (!isVisible() && parentWidget()) {
    const QWidget *main = parentWidget();
    move(main->frameGeometry().topLeft() + QPoint(30, 70));
    resize(width(), std::min(height(), std::max(main->height() - 10, 100)));
  }
  const bool first = !FInfoTimer;
  show();
  raise();
  // The paths get most of the list; the user may change it afterwards.
  if (first) FList->setColumnWidth(colFile, FList->viewport()->width() * 3 / 5);
  // Opened by a command of the main window: the keys (Esc too) are meant
  // for this window now.
  activateWindow();
  FList->setFocus();
  if (!FInfoTimer) {
    FInfoTimer = new QTimer(this);
    connect(FInfoTimer, &QTimer::timeout, this, &TFormGPSLog::InformationTimer);
    FInfoTimer->start(500);
  }
  ListViewFilesClick();
}

void TFormGPSLog::TickAndSelect(const QStringList &paths)
{
  FCheckAll->setChecked(false);
  CheckBoxAllClick();
  FList->clearSelection();
  for (const QString &path : paths) {
    if (QTreeWidgetItem *item = RowOf(path)) {
      item->setCheckState(colFile, Qt::Checked);
      item->setSelected(true);
    }
  }
}

// One row per tick: the first row without figures.
void TFormGPSLog::InformationTimer()
{
  FInfoTimer->setInterval(1000);
  if (!isVisible()) return;
  QTreeWidgetItem *row = nullptr;
  for (int i = 0; i < FList->topLevelItemCount() && !row; ++i) {
    if (FList->topLevelItem(i)->text(colPoints).isEmpty()) row = FList->topLevelItem(i);
  }
  if (!row) return;
  // Figures are no change of ticks: the route stays as it is.
  const QSignalBlocker block(FList);
  bool noFix = false;
  const auto loaded = LoadGpsLog(row->text(colFile), noFix);
  if (!loaded && !noFix) {
    row->setText(colPoints, QStringLiteral("error"));
  } else {
    // A log of nothing but "no fix" sentences reads as one whose fixes
    // have no position: no points.
    const TMovingInfo none;
    const TMovingInfo &info = loaded ? *loaded : none;
    const int fixes = GpsLogFixCount(info);
    row->setText(colPoints, QString::number(fixes));
    row->setToolTip(colPoints, fixes == 0 ? Translate(u"GPSLog_NoFix") : QString());
    row->setText(colSpan, SpanText(GpsLogFixSpan(info)));
    row->setData(colLength, kMetresRole, double(info.GetTrackLength()));
    row->setText(colLength, LengthText(info.GetTrackLength()));
  }
  FInfoTimer->setInterval(1);
}

bool TFormGPSLog::InformationComplete() const
{
  for (int i = 0; i < FList->topLevelItemCount(); ++i) {
    if (FList->topLevelItem(i)->text(colPoints).isEmpty()) return false;
  }
  return true;
}

void TFormGPSLog::ButtonAddClick()
{
  FList->clearSelection();
  const QStringList filters = DialogFilters(GpsConvertersOpenFilter());
  const QStringList chosen =
      FPrompts.OpenFiles(filters.join(QStringLiteral(";;")), filters.size() > 1 ? filters[1] : QString());
  QPointer<TFormGPSLog> self(this);
  for (const QString &path : chosen) {
    AddRow(path, true);
    QCoreApplication::processEvents();
    if (!self) return;
  }
  if (QTreeWidgetItem *row = chosen.isEmpty() ? nullptr : RowOf(chosen.last())) {
    FList->setCurrentItem(row);
    row->setSelected(true);
    FList->scrollToItem(row);
  }
}

void TFormGPSLog::AddDroppedFiles(const QStringList &paths)
{
  FList->clearSelection();
  QTreeWidgetItem *last = nullptr;
  for (const QString &path : paths) {
    if (!QFileInfo(path).isFile()) continue;
    last = AddRow(path, true);
    last->setSelected(true);
  }
  if (last) {
    FList->setCurrentItem(last, colFile, QItemSelectionModel::NoUpdate);
    FList->scrollToItem(last);
  }
}

void TFormGPSLog::dragEnterEvent(QDragEnterEvent *event)
{
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TFormGPSLog::dropEvent(QDropEvent *event)
{
  QStringList paths;
  for (const QUrl &url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths << url.toLocalFile();
  }
  AddDroppedFiles(paths);
  event->acceptProposedAction();
}

void TFormGPSLog::CheckBoxAllClick()
{
  const Qt::CheckState state = FCheckAll->isChecked() ? Qt::Checked : Qt::Unchecked;
  const QSignalBlocker block(FList);
  for (int i = 0; i < FList->topLevelItemCount(); ++i) {
    FList->topLevelItem(i)->setCheckState(colFile, state);
    FList->topLevelItem(i)->setSelected(false);
  }
  ListViewFilesClick();
}

void TFormGPSLog::ListViewFilesClick()
{
  FRouteTimer.stop();
  int marked = 0;
  for (int i = 0; i < FList->topLevelItemCount(); ++i) {
    const QTreeWidgetItem *item = FList->topLevelItem(i);
    if (item->isSelected() || item->checkState(colFile) == Qt::Checked) ++marked;
  }
  FRouteTimer.setInterval(marked > 1 ? 500 : 100);
  if (FShowPath->isChecked()) FRouteTimer.start();
}

void TFormGPSLog::TimerDrawRouteTimer()
{
  FRouteTimer.stop();
  QStringList paths;
  std::vector<bool> selected;
  for (int i = 0; i < FList->topLevelItemCount(); ++i) {
    const QTreeWidgetItem *item = FList->topLevelItem(i);
    if (item->isSelected() || item->checkState(colFile) == Qt::Checked) {
      paths << item->text(colFile);
      selected.push_back(item->isSelected());
    }
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  QPointer<TFormGPSLog> self(this);
  std::vector<std::unique_ptr<TMovingInfo>> tracks;
  std::vector<bool> highlight;
  for (qsizetype i = 0; i < paths.size(); ++i) {
    if (auto info = TMovingInfo::LoadFromFile(paths[i], false)) {
      tracks.push_back(std::move(info));
      highlight.push_back(selected[size_t(i)]);
    }
    QCoreApplication::processEvents();
    if (!self) break;
  }
  QApplication::restoreOverrideCursor();
  if (!self) return;
  if (tracks.size() == 1) highlight[0] = false;
  std::vector<const TMovingInfo *> view;
  for (const auto &track : tracks) view.push_back(track.get());
  FHost.SetMapBounds(view, highlight);
}

void TFormGPSLog::ButtonConvertClick()
{
  const QStringList paths = TickedPaths();
  if (paths.isEmpty()) {
    FPrompts.Message(Translate(u"GPSLog_SelectToProcess"));
    return;
  }
  std::vector<const TGpsInfoConverter *> formats;
  for (int i = 0; i < FFormats->count(); ++i) {
    if (FFormats->item(i)->checkState() == Qt::Checked) formats.push_back(GpsExportConverters()[size_t(i)]);
  }
  const QStringList keep = FilesToKeep(paths, formats);
  FButtonConvert->setEnabled(false);
  FCheckAll->setEnabled(false);
  QPointer<TFormGPSLog> self(this);
  QStringList failures;
  for (const QString &path : paths) {
    QTreeWidgetItem *row = RowOf(path);
    if (!row) continue;
    FList->clearSelection();
    row->setSelected(true);
    QCoreApplication::processEvents();
    if (!self) return;
    const bool converted = ConvertGpsLog(path, formats, failures, keep);
    if (QTreeWidgetItem *again = converted ? RowOf(path) : nullptr) again->setCheckState(colFile, Qt::Unchecked);
  }
  FButtonConvert->setEnabled(true);
  FCheckAll->setEnabled(true);
  if (!failures.isEmpty()) FPrompts.Failure(failures.join(QStringLiteral("\r\n")));
}

// Asks about each existing file the conversion would replace, by name;
// the files the user keeps.
QStringList TFormGPSLog::FilesToKeep(const QStringList &paths,
                                     const std::vector<const TGpsInfoConverter *> &formats) const
{
  QStringList existing;
  for (const QString &path : paths)
    for (const QString &target : GpsLogExistingTargets(path, formats))
      if (!existing.contains(target)) existing << target;
  QStringList keep;
  std::optional<bool> all;
  for (qsizetype i = 0; i < existing.size(); ++i) {
    const QString text = Translate(u"Mes_FileExists") + QStringLiteral("\r\n") + existing[i] +
                         QStringLiteral("\r\n\r\n") + Translate(u"Mes_SureToReplace") + QStringLiteral(" ?");
    const TReplaceAnswer answer = all                   ? (*all ? TReplaceAnswer::Yes : TReplaceAnswer::No)
                                  : FPrompts.AskReplace ? FPrompts.AskReplace(text, i + 1 < existing.size())
                                                        : TReplaceAnswer::No;
    if (answer == TReplaceAnswer::YesToAll || answer == TReplaceAnswer::NoToAll)
      all = answer == TReplaceAnswer::YesToAll;
    if (answer == TReplaceAnswer::No || answer == TReplaceAnswer::NoToAll) keep << existing[i];
  }
  return keep;
}

void TFormGPSLog::SyncCheckAll()
{
  bool all = FList->topLevelItemCount() > 0;
  for (int i = 0; i < FList->topLevelItemCount() && all; ++i)
    all = FList->topLevelItem(i)->checkState(colFile) == Qt::Checked;
  FCheckAll->setChecked(all);
}

void TFormGPSLog::DeleteSelectedFromDisk()
{
  QTreeWidgetItem *row = FList->currentItem();
  if (!row || !row->isSelected()) {
    const QList<QTreeWidgetItem *> selected = FList->selectedItems();
    row = selected.isEmpty() ? nullptr : selected.first();
  }
  if (!row) return;
  const QString path = row->text(colFile);
  // The question names every file that goes, side files the user may have
  // made included, and exactly those are deleted.
  QStringList files = GpsLogFilesToDelete(path);
  if (files.isEmpty()) files << path;
  if (!FPrompts.Confirm(Translate(u"Mes_SureToDelFile") + QStringLiteral("\r\n") + files.join(QStringLiteral("\r\n")) +
                        QStringLiteral(" ?")))
    return;
  QStringList failures;
  if (DeleteGpsLog(path, files, failures)) delete RowOf(path);
  if (!failures.isEmpty()) FPrompts.Failure(failures.join(QStringLiteral("\r\n")));
}

void TFormGPSLog::DeleteAllFromDisk()
{
  QStringList paths;
  std::vector<QStringList> files;
  int count = 0;
  for (int i = 0; i < FList->topLevelItemCount(); ++i) {
    paths << FList->topLevelItem(i)->text(colFile);
    files.push_back(GpsLogFilesToDelete(paths.last()));
    count += int(files.back().size());
  }
  if (!FPrompts.Confirm(DeleteAllQuestion(files, count))) return;
  QStringList failures;
  for (qsizetype i = 0; i < paths.size(); ++i) {
    if (DeleteGpsLog(paths[i], files[size_t(i)], failures)) delete RowOf(paths[i]);
  }
  FHost.RefreshFileList();
  if (!failures.isEmpty()) FPrompts.Failure(failures.join(QStringLiteral("\r\n")));
  close();
}

// The count of every file that goes and the first 20 of them by name, as the
// recording list's question does (a box of hundreds of lines would not fit).
QString TFormGPSLog::DeleteAllQuestion(const std::vector<QStringList> &files, int count)
{
  QString names;
  int listed = 0;
  for (const QStringList &log : files)
    for (const QString &file : log) names += listed++ < 20 ? file + QStringLiteral("\r\n") : QStringLiteral("... ");
  return Translate(u"Mes_SureToDelAllGPSLogs") + QStringLiteral("?\r\n\r\n") + Translate(u"Mes_SureToDelAllFiles2") +
         QStringLiteral(": ") + QString::number(count) + QStringLiteral("\r\n") + names;
}

void TFormGPSLog::RemoveSelectedRows()
{
  qDeleteAll(FList->selectedItems());
}

void TFormGPSLog::ClearRows()
{
  FList->clear();
}

void TFormGPSLog::ShowSelectedInExplorer()
{
  const QList<QTreeWidgetItem *> selected = FList->selectedItems();
  if (selected.isEmpty()) return;
  ShowInExplorer(selected.first()->text(colFile), QDBusConnection::sessionBus(),
                 [self = QPointer<TFormGPSLog>(this)](const QString &path) {
                   if (self) self->FPrompts.Failure(Translate(u"Mes_CantOpen") + QStringLiteral("\r\n") + path);
                 });
}

void TFormGPSLog::closeEvent(QCloseEvent *event)
{
  delete FInfoTimer;
  FInfoTimer = nullptr;
  FRouteTimer.stop();
  QWidget::closeEvent(event);
}

} // namespace kp
