#pragma once
// The cutting list as the dialog's table shows it: one row per fragment
// with its file, its limits as local times, its speed and its output length
// (or, on the row being copied, how much of it is done). Main thread only.

#include "CropItem.h"

#include <QAbstractTableModel>
#include <vector>

namespace kp {

class TCropListModel : public QAbstractTableModel {
  Q_OBJECT
public:
  enum TColumn { colFileName = 0, colStartFinish, colSpeed, colDuration, colCount };

  // Items and the copy state belong to the dialog and outlive the model.
  TCropListModel(const std::vector<TCropItem> &items, const int &currentItem, const double &itemProgress,
                 QObject *parent = nullptr);

  int rowCount(const QModelIndex &parent = {}) const override;
  int columnCount(const QModelIndex &parent = {}) const override;
  QVariant data(const QModelIndex &index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  // The main window translates the column titles.
  bool setHeaderData(int section, Qt::Orientation orientation, const QVariant &value, int role) override;

  // One item about to be appended to the list, and appended.
  void BeginAppend();
  void EndAppend();
  // Everything changed (rows removed, moved, edited).
  void Reset();
  void RepaintRow(int row);

private:
  const std::vector<TCropItem> &FItems;
  const int &FCurrentItem;
  const double &FItemProgress;
  QString FTitles[colCount];
};

} // namespace kp
