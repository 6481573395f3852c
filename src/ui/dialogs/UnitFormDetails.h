#pragma once
// The details hover window: a small frameless, always-on-top tool window
// beside the pointer over the main window's seek bar and graphs, with the
// telemetry at the pointed moment and, over a graph, a magnified mini graph
// with the playback cursor. It never takes the focus. Created once and
// kept; the main window's mouse handlers call ShowDetails and HideDetails,
// the playback loop DrawCursor, the language switch ApplyLanguage. Main
// thread only.

#include "UnitFormDetailsText.h"
#include "UnitGraphics.h"

#include <QWidget>
#include <memory>

class QFrame;
class QLabel;

namespace kp {

class IDialogHost;
class TBS_Image;

class TFormDetails : public QWidget {
  Q_OBJECT
public:
  static constexpr int DesignWidth = 280;
  static constexpr int DesignHeight = 201;
  static constexpr int GraphHeight = 90;

  explicit TFormDetails(IDialogHost *host);
  ~TFormDetails() override;

  // GraphClass: the factory of the graph under the pointer, or null over
  // the seek bar. Width: the fraction width of 20 pixels of the main graphs.
  void ShowDetails(TMyGraphicClass graphClass, long double cursorPosition, long double width, long double position);
  void HideDetails();
  void DrawCursor(long double position);
  void UpdateVisibility();
  void ApplyLanguage();

  bool Shown() const { return FShown; }
  TMyGraphic *Graph() const { return FGraph.get(); }
  QLabel *Label(const QString &name) const;

  // Top-left for a pointer at Pointer (screen), the graph panel's screen
  // rectangle and the work area's bottom.
  static QPoint Placement(QPoint pointer, const QRect &panel, int workBottom, int height, bool hasGraph);

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;
  void mouseMoveEvent(QMouseEvent *event) override;

private:
  void Create();
  void ApplyLayout();
  QLabel *AddLabel(const QString &name, const QString &text = {});
  void FillTexts(long double position);
  void DrawMiniGraph(TMyGraphicClass graphClass, long double cursor, long double width, long double position);
  void MoveAwayFrom(QPoint inWindow);
  int WorkBottom() const;

  IDialogHost *FHost;
  std::unique_ptr<TMyGraphic> FGraph;
  TMyGraphicClass FGraphClass = nullptr;
  bool FShown = false;
  TDetailsWords FWords;
  QFrame *FShapeBorder;
  TBS_Image *FImage;
  QList<QLabel *> FLabels;
};

} // namespace kp
