#include "CropListModel.h"

#include "CropRules.h"

namespace kp {

TCropListModel::TCropListModel(const std::vector<TCropItem> &items, const int &currentItem, const double &itemProgress,
                               QObject *parent)
  : QAbstractTableModel(parent), FItems(items), FCurrentItem(currentItem),
    FItemProgress(itemProgress), FTitles{QStringLiteral("FileName"), QStringLiteral("Start - Finish"),
                                         QStringLiteral("Speed"), QStringLiteral("Duration")}
{
}

int TCropListModel::rowCount(const QModelIndex &parent) const
{
  return parent.isValid() ? 0 : int(FItems.size());
}

int TCropListModel::columnCount(const QModelIndex &parent) const
{
  return parent.isValid() ? 0 : colCount;
}

QVariant TCropListModel::data(const QModelIndex &index, int role) const
{
  if (!index.isValid() || index.row() >= int(FItems.size())) return {};
  if (role == Qt::TextAlignmentRole)
    return QVariant::fromValue(Qt::AlignVCenter | (index.column() == colFileName ? Qt::AlignLeft : Qt::AlignRight));
  if (role != Qt::DisplayRole) return {};
  const TCropItem &item = FItems[size_t(index.row())];
  switch (index.column()) {
  case colFileName: return item.FileName;
  case colStartFinish: return CropStartFinishText(item, TimeZoneShift());
  case colSpeed: return SpeedColumnText(item.Speed, item.BigFPS);
  case colDuration:
    if (index.row() == FCurrentItem) return QString::number(Round(FItemProgress * 100)) + QLatin1Char('%');
    return CropDurationText(item);
  default: return {};
  }
}

QVariant TCropListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
  if (orientation != Qt::Horizontal || section < 0 || section >= colCount) return {};
  if (role == Qt::DisplayRole) return FTitles[section];
  if (role == Qt::TextAlignmentRole)
    return QVariant::fromValue(Qt::AlignVCenter | (section == colFileName ? Qt::AlignLeft : Qt::AlignRight));
  return {};
}

bool TCropListModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant &value, int role)
{
  if (orientation != Qt::Horizontal || section < 0 || section >= colCount || role != Qt::DisplayRole) return false;
  FTitles[section] = value.toString();
  emit headerDataChanged(orientation, section, section);
  return true;
}

void TCropListModel::BeginAppend()
{
  beginInsertRows({}, int(FItems.size()), int(FItems.size()));
}

void TCropListModel::EndAppend()
{
  endInsertRows();
}

void TCropListModel::Reset()
{
  beginResetModel();
  endResetModel();
}

void TCropListModel::RepaintRow(int row)
{
  if (row >= 0 && row < int(FItems.size())) emit dataChanged(index(row, 0), index(row, colCount - 1));
}

} // namespace kp
