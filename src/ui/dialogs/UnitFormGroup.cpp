#include "UnitFormGroup.h"

#include "IDialogHost.h"
#include "UnitFileManager.h"
#include "UnitMovingInfo.h"
#include "UnitTranslate.h"
#include "UnitUtilsDesktop.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <memory>

namespace kp {

namespace {

constexpr int kIdentityRole = Qt::UserRole + 1;

QString RowIdentity(const TFileItem &row)
{
  return row.Files.empty() ? QString() : row.Files.front().FileName;
}

} // namespace

TFormGroup::TFormGroup(IDialogHost *host, QWidget *parent) : QDialog(parent), FHost(host)
{
  setWindowIcon(LoadResourceIcon(QStringLiteral("icon_group.ico")));
  resize(713, DesignHeight);
  FListView = new QTreeWidget(this);
  FListView->setRootIsDecorated(false);
  FListView->setSelectionMode(QAbstractItemView::ExtendedSelection);
  FListView->setSelectionBehavior(QAbstractItemView::SelectRows);
  FListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
  FListView->header()->setSectionsClickable(false);
  FListView->setAlternatingRowColors(false);
  FListView->installEventFilter(this);
  FPanel = new QWidget(this);
  FPanel->setFixedHeight(41);
  FButtonGroup = new QPushButton(FPanel);
  FButtonGroup->setGeometry(8, 8, 113, 25);
  FButtonClose = new QPushButton(FPanel);
  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(FListView);
  layout->addWidget(FPanel);
  FTimerDrawRoute = new QTimer(this);
  FTimerDrawRoute->setSingleShot(true);
  FTimerDrawRoute->setInterval(500);
  connect(FTimerDrawRoute, &QTimer::timeout, this, &TFormGroup::TimerDrawRouteTimer);
  connect(FButtonGroup, &QPushButton::clicked, this, &TFormGroup::ButtonGroupClick);
  connect(FButtonClose, &QPushButton::clicked, this, &QDialog::reject);
  connect(FListView, &QTreeWidget::itemSelectionChanged, this, &TFormGroup::RestartRouteTimer);
  connect(FListView, &QTreeWidget::itemChanged, this, &TFormGroup::RestartRouteTimer);
  // The route timer starts with the first fill: the window is created hidden
  // at start-up, and a pass then would wipe the main window's track.
  ApplyLanguage();
}

void TFormGroup::ApplyLanguage()
{
  setWindowTitle(Translate(u"Grouping_Title"));
  FButtonGroup->setText(Translate(u"Grouping_Btn"));
  FButtonClose->setText(Translate(u"Cancel"));
}

void TFormGroup::resizeEvent(QResizeEvent *event)
{
  QDialog::resizeEvent(event);
  const int top = FButtonGroup->y();
  const int w = FButtonGroup->width();
  FButtonClose->setGeometry(width() - w - top, top, w, FButtonGroup->height());
}

void TFormGroup::showEvent(QShowEvent *event)
{
  QDialog::showEvent(event);
  FListView->setFocus();
}

void TFormGroup::Fill(int row)
{
  TFileManager *catalogue = FHost ? FHost->Catalogue() : nullptr;
  const std::vector<TDialogListColumn> columns = FHost ? FHost->ListColumns() : std::vector<TDialogListColumn>{};
  const QList<QIcon> images = FHost ? FHost->ListImages() : QList<QIcon>{};
  const std::vector<int> selected = FHost ? FHost->SelectedRows() : std::vector<int>{};
  const QSignalBlocker blocker(FListView);
  FListView->clear();
  FListView->setColumnCount(int(columns.size()));
  QStringList captions;
  for (const TDialogListColumn &c : columns) captions << c.Caption;
  FListView->setHeaderLabels(captions);
  for (int c = 0; c < int(columns.size()); ++c) {
    FListView->setColumnWidth(c, columns[size_t(c)].Width + 8);
    FListView->headerItem()->setTextAlignment(c, columns[size_t(c)].Alignment | Qt::AlignVCenter);
  }
  const int count = catalogue ? catalogue->GetCount() : 0;
  for (int i = 0; i < count; ++i) {
    TFileListItem li;
    catalogue->FillListItem(i, li);
    auto *item = new QTreeWidgetItem(FListView);
    for (int c = 0; c < int(columns.size()); ++c) {
      const int design = columns[size_t(c)].DesignIndex;
      const int sub = design - 1;
      item->setText(c, design == 0 ? li.Caption : (sub < li.SubItems.size() ? li.SubItems[sub] : QString()));
      item->setTextAlignment(c, columns[size_t(c)].Alignment | Qt::AlignVCenter);
      const int image =
          design == 0 ? li.ImageIndex : (size_t(sub) < li.SubItemImages.size() ? li.SubItemImages[size_t(sub)] : -1);
      if (image >= 0 && image < images.size()) item->setIcon(c, images[image]);
    }
    item->setData(0, kIdentityRole, RowIdentity(catalogue->GetGroup(i)));
    const bool isSelected = std::find(selected.begin(), selected.end(), i) != selected.end();
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, isSelected || i == row ? Qt::Checked : Qt::Unchecked);
  }
  if (row >= 0 && row < count) {
    FListView->topLevelItem(row)->setSelected(true);
    const QList<QTreeWidgetItem *> sel = FListView->selectedItems();
    if (!sel.isEmpty()) FListView->setCurrentItem(sel.front(), 0, QItemSelectionModel::NoUpdate);
  }
  RestartRouteTimer();
}

int TFormGroup::Execute(int row)
{
  Fill(row);
  if (FHost) {
    const QRect main = FHost->MainGeometry();
    move(main.left() + 10, main.top() + 50);
    resize(width(), std::max(std::min(DesignHeight, FHost->MainClientSize().height() - 10), 100));
  }
  return exec();
}

int TFormGroup::CheckedCount() const
{
  int n = 0;
  for (int i = 0; i < FListView->topLevelItemCount(); ++i)
    if (FListView->topLevelItem(i)->checkState(0) == Qt::Checked) ++n;
  return n;
}

QStringList TFormGroup::CheckedIdentities() const
{
  QStringList ids;
  for (int i = 0; i < FListView->topLevelItemCount(); ++i) {
    const QTreeWidgetItem *item = FListView->topLevelItem(i);
    if (item->checkState(0) == Qt::Checked) ids << item->data(0, kIdentityRole).toString();
  }
  return ids;
}

void TFormGroup::RestartRouteTimer()
{
  FTimerDrawRoute->stop();
  FTimerDrawRoute->setInterval(CheckedCount() > 1 ? 1000 : 100);
  FTimerDrawRoute->start();
}

void TFormGroup::ButtonGroupClick()
{
  TFileManager *catalogue = FHost ? FHost->Catalogue() : nullptr;
  const QStringList ids = CheckedIdentities();
  if (!catalogue || ids.size() < 2) {
    accept();
    return;
  }
  std::vector<int> indices;
  bool found = true;
  for (const QString &id : ids) {
    const int index = id.isEmpty() ? -1 : catalogue->IndexOfFile(id);
    found = found && index >= 0;
    indices.push_back(index);
  }
  if (!found || !catalogue->JoinGroups(indices, true, ids)) {
    QMessageBox::warning(this, windowTitle(), Translate(u"Grouping_Refused"));
    return;
  }
  accept();
}

bool TFormGroup::eventFilter(QObject *watched, QEvent *event)
{
  if (watched == FListView && event->type() == QEvent::KeyPress) {
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
      ToggleSelectedChecks();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TFormGroup::ToggleSelectedChecks()
{
  QList<QTreeWidgetItem *> selected;
  for (int i = 0; i < FListView->topLevelItemCount(); ++i)
    if (FListView->topLevelItem(i)->isSelected()) selected << FListView->topLevelItem(i);
  if (selected.isEmpty()) return;
  const Qt::CheckState next = selected.front()->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked;
  for (QTreeWidgetItem *item : selected) item->setCheckState(0, next);
}

void TFormGroup::TimerDrawRouteTimer()
{
  FTimerDrawRoute->stop();
  // The map belongs to the main window unless the user is choosing here.
  if (!isVisible()) return;
  if (FDrawing) {
    // A click while the tracks load: draw again once this pass is over.
    FRedrawPending = true;
    return;
  }
  TFileManager *catalogue = FHost ? FHost->Catalogue() : nullptr;
  if (!catalogue) return;
  FDrawing = true;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  // A snapshot: clicks and a close during the loads below do not touch it.
  struct TRow {
    QString Identity;
    bool Selected;
  };
  std::vector<TRow> rows;
  for (int i = 0; i < FListView->topLevelItemCount(); ++i) {
    const QTreeWidgetItem *item = FListView->topLevelItem(i);
    if (item->checkState(0) == Qt::Checked)
      rows.push_back({item->data(0, kIdentityRole).toString(), item->isSelected()});
  }
  std::vector<std::unique_ptr<TMovingInfo>> loaded;
  std::vector<bool> flags;
  for (const TRow &r : rows) {
    TFileItem group;
    if (r.Identity.isEmpty() || !catalogue->GetGroupByFile(r.Identity, group)) continue;
    for (const TFileItemSubitem &file : group.Files) {
      if (file.TrackFileName.isEmpty()) continue;
      if (auto info = TMovingInfo::LoadFromFile(file.TrackFileName, false)) {
        loaded.push_back(std::move(info));
        flags.push_back(r.Selected);
      }
      QApplication::processEvents();
    }
  }
  if (loaded.size() == 1) flags[0] = false;
  std::vector<const TMovingInfo *> tracks;
  for (const auto &info : loaded) tracks.push_back(info.get());
  // Closed while the tracks loaded: the main window has its map back.
  if (isVisible()) FHost->SetMapBounds(tracks, flags);
  QApplication::restoreOverrideCursor();
  FDrawing = false;
  if (FRedrawPending) {
    FRedrawPending = false;
    RestartRouteTimer();
  }
}

} // namespace kp
