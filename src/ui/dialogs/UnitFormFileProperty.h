#pragma once
// The recording property window: a modeless, parentless window per command
// listing what the catalogue knows of one recording, with a button that
// copies the table as text. It frees itself when closed. Main thread only.

#include "UnitFormFilePropertyRows.h"

#include <QWidget>

class QPushButton;
class QTableWidget;

namespace kp {

class TFormFileProperty : public QWidget {
  Q_OBJECT
public:
  // Builds and shows a new window for Item.
  static TFormFileProperty *ShowGroup(const TFileItem &item);

  QTableWidget *Grid() const { return FGrid; }
  void ButtonCopyClick();

private:
  TFormFileProperty();
  void Fill(const std::vector<TPropertyRow> &rows);

  QTableWidget *FGrid;
  QPushButton *FButtonCopy;
};

} // namespace kp
