#pragma once
// Saves the list's columns: each column's width under its identity and the
// identity shown at each position, deleting the values equal to the design.
// It saves when a column was dragged to another place and when a resize
// ends (the mouse is released), never for each pixel of a resize, since
// every settings write replaces the file. Main thread only; the list is the
// window's.

#include <QObject>
#include <QString>
#include <optional>
#include <vector>

class QHeaderView;

namespace kp {

struct TColumnSetting {
  QString Name;
  std::optional<int> Value; // none: delete the setting
  bool operator==(const TColumnSetting &) const = default;
};

// Order: the identity shown at each position; Widths: by identity.
std::vector<TColumnSetting> ColumnSettings(const std::vector<int> &order, const std::vector<int> &widths,
                                           const std::vector<int> &designWidths);

class TColumnSaver : public QObject {
  Q_OBJECT
public:
  TColumnSaver(QHeaderView *header, const std::vector<int> &designWidths, QWidget *window);
  void Save();

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  QHeaderView *FHeader;
  const std::vector<int> &FDesignWidths;
  QWidget *FWindow;
  bool FResized = false;
};

} // namespace kp
