#include "FileListModel.h"

namespace kp {

TFileListModel::TFileListModel(QObject *parent) : QAbstractTableModel(parent)
{
  for (int i = 0; i < ColumnCount; ++i) FHeaders << QString();
}

void TFileListModel::SetFileManager(TFileManager *manager)
{
  beginResetModel();
  FManager = manager;
  FCount = manager ? manager->GetCount() : 0;
  endResetModel();
}

bool TFileListModel::Sync()
{
  const int count = FManager ? FManager->GetCount() : 0;
  if (count != FCount) {
    beginResetModel();
    FCount = count;
    endResetModel();
    return true;
  }
  if (FCount > 0) emit dataChanged(index(0, 0), index(FCount - 1, ColumnCount - 1));
  return false;
}

void TFileListModel::SetHeaders(const QStringList &headers)
{
  FHeaders = headers;
  while (FHeaders.size() < ColumnCount) FHeaders << QString();
  emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

int TFileListModel::rowCount(const QModelIndex &parent) const
{
  return parent.isValid() ? 0 : FCount;
}

int TFileListModel::columnCount(const QModelIndex &parent) const
{
  return parent.isValid() ? 0 : ColumnCount;
}

TFileListItem TFileListModel::Item(int row) const
{
  TFileListItem item;
  if (FManager && row >= 0 && row < FCount) FManager->FillListItem(row, item);
  return item;
}

QString TFileListModel::Caption(int row) const
{
  return Item(row).Caption;
}

bool TFileListModel::IsStatusRow(int row) const
{
  return Item(row).SubItems.size() == 1;
}

QVariant TFileListModel::data(const QModelIndex &index, int role) const
{
  if (!index.isValid()) return {};
  const TFileListItem item = Item(index.row());
  const int column = index.column();
  switch (role) {
  case Qt::DisplayRole:
    if (column == 0) return item.Caption;
    return column - 1 < item.SubItems.size() ? item.SubItems[column - 1] : QString();
  case ImageRole:
    if (column == 0) return item.ImageIndex;
    return size_t(column - 1) < item.SubItemImages.size() ? item.SubItemImages[size_t(column - 1)] : int(fliNone);
  case StatusRowRole: return item.SubItems.size() == 1;
  case Qt::TextAlignmentRole:
    // The status text starts after the name, over the columns it spans.
    if (item.SubItems.size() == 1) return int(Qt::AlignLeft | Qt::AlignVCenter);
    // Durations, distances, speeds and sizes line up on the right.
    if (column == flcDuration || column == flcDistance || column == flcSpeed || column == flcSize)
      return int(Qt::AlignRight | Qt::AlignVCenter);
    return int(Qt::AlignLeft | Qt::AlignVCenter);
  default: return {};
  }
}

QVariant TFileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= FHeaders.size()) return {};
  return FHeaders[section];
}

} // namespace kp
