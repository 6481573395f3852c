#pragma once
// The grouping window: a checkable copy of the main recording list from
// which the user joins recordings by hand, with the checked tracks drawn on
// the main window's map while choosing. Created once and kept; Execute
// refills it and shows it modally. Main thread only.
//
// Rows are identified by their first file's path, taken at Execute, so a
// search that adds or re-sorts rows meanwhile never makes Group join the
// wrong recordings.

#include <QDialog>
#include <QStringList>

class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace kp {

class IDialogHost;

class TFormGroup : public QDialog {
  Q_OBJECT
public:
  static constexpr int DesignHeight = 621;

  explicit TFormGroup(IDialogHost *host, QWidget *parent = nullptr);

  // Row: the main list row to pre-check, or -1. Returns the modal result.
  int Execute(int row);
  // Fills the window as Execute does, without showing it (tests).
  void Fill(int row);
  void ApplyLanguage();

  QTreeWidget *ListView() const { return FListView; }
  QTimer *RouteTimer() const { return FTimerDrawRoute; }
  void ButtonGroupClick();
  void TimerDrawRouteTimer();

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;
  void showEvent(QShowEvent *event) override;
  void resizeEvent(QResizeEvent *event) override;

private:
  void RestartRouteTimer();
  int CheckedCount() const;
  QStringList CheckedIdentities() const;
  void ToggleSelectedChecks();

  IDialogHost *FHost;
  QTreeWidget *FListView;
  QWidget *FPanel;
  QPushButton *FButtonGroup, *FButtonClose;
  QTimer *FTimerDrawRoute;
  bool FDrawing = false;
  bool FRedrawPending = false;
};

} // namespace kp
