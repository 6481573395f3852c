#pragma once
// The recording list as Qt sees it: a table model over the catalogue's rows,
// filled row by row by TFileManager::FillListItem. The row count is cached
// and changed only by Sync (the catalogue's change notification), so a view
// never sees a count that moved under it. Main thread only; the catalogue is
// the window's and may be replaced (SetFileManager).

#include "UnitFileManager.h"

#include <QAbstractTableModel>
#include <QStringList>

namespace kp {

class TFileListModel : public QAbstractTableModel {
  Q_OBJECT
public:
  // The item's image index (TFileListImage) in a cell, and whether a row is
  // the catalogue's status row (one text over the columns from 1 on).
  static constexpr int ImageRole = Qt::UserRole + 1;
  static constexpr int StatusRowRole = Qt::UserRole + 2;
  static constexpr int ColumnCount = 8;

  explicit TFileListModel(QObject *parent = nullptr);

  void SetFileManager(TFileManager *manager);
  TFileManager *FileManager() const { return FManager; }
  // Takes the catalogue's count: a reset when it differs (true), else every
  // row repainted.
  bool Sync();
  void SetHeaders(const QStringList &headers);

  int rowCount(const QModelIndex &parent = QModelIndex()) const override;
  int columnCount(const QModelIndex &parent = QModelIndex()) const override;
  QVariant data(const QModelIndex &index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // The caption of a row (column 0's text); empty past the end.
  QString Caption(int row) const;
  bool IsStatusRow(int row) const;

private:
  TFileListItem Item(int row) const;

  TFileManager *FManager = nullptr;
  int FCount = 0;
  QStringList FHeaders;
};

} // namespace kp
