#pragma once
// Saves the list's columns: each column's width under its identity and the
// identity shown at each position, deleting the values equal to the design.
// It saves when a column was dragged to another place and when a resize
// ends (the mouse is released), never for each pixel of a resize, since
// every settings write replaces the file.
//
// It also keeps each column's own width: the one restored at start or the
// last one the user gave it with the mouse. A column widened for a longer
// caption, or hidden by a profile, comes back at its own width; that is
// the width saved. Main thread only; the list is the window's.

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

  // Every shown column at its own width, widened where its caption needs
  // more; a column 1 pixel wide of its own (the location) stays hidden.
  void FitCaptions();
  // Hides a column (1 pixel wide) or shows it again at its own width.
  void SetHidden(int column, bool hidden);
  int OwnWidth(int column) const;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  QHeaderView *FHeader;
  const std::vector<int> &FDesignWidths;
  void Fit(int column);

  QWidget *FWindow;
  bool FResized = false;
  bool FMouseDown = false; // the user is at the header with the mouse
  std::vector<int> FOwnWidths;
  std::vector<bool> FHidden;
};

} // namespace kp
