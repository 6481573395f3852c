#pragma once
// The main window's components the view commands act on, and the small
// state they share. The window fills TViewsControls with its own widgets;
// tests fill it with bare ones. Nothing is owned; null widgets are left
// alone. Main thread only.

#include <QPoint>
#include <QRect>
#include <memory>
#include <vector>

class QAction;
class QCheckBox;
class QObject;
class QScrollBar;
class QSplitter;
class QTableView;
class QTimer;
class QToolButton;
class QWidget;

namespace kp {

class TBS_Image;
class TFilterGraph;
class TMainMenus;
class TMyGraphic;
class TSeekBitmap;

struct TViewsControls {
  QWidget *Window = nullptr;     // the main window
  QWidget *FullScreen = nullptr; // TFormFullScreen
  TMainMenus *Menus = nullptr;

  QWidget *PanelVideo = nullptr;
  QWidget *PanelBottom = nullptr;
  QWidget *PanelControl = nullptr;
  QWidget *PanelGraphicsAddon = nullptr;
  QWidget *PanelBottomGraphics = nullptr;
  QWidget *PanelZoomScroll = nullptr;
  QWidget *PanelRight = nullptr;
  QWidget *PanelListView = nullptr;
  QWidget *WebBrowser = nullptr;
  QWidget *WebBrowserAds = nullptr;
  QSplitter *SplitterRight = nullptr;
  QSplitter *SplitterBottom = nullptr;
  QSplitter *SplitterListView = nullptr;
  QTableView *ListView = nullptr;

  QToolButton *ButtonPlay = nullptr;
  QToolButton *ButtonZoomIn = nullptr;
  QToolButton *ButtonZoomOut = nullptr;
  QToolButton *ButtonVideoZoomIn = nullptr;
  QToolButton *ButtonVideoZoomOut = nullptr;
  QScrollBar *ScrollBarZoom = nullptr;
  QCheckBox *CheckBoxLoop = nullptr;

  TBS_Image *ImageSpeed = nullptr;
  TBS_Image *ImageAzimut = nullptr;
  TBS_Image *ImageGSensor = nullptr;
  TBS_Image *ImageSeek = nullptr;
  TSeekBitmap *SeekBitmap = nullptr;
  // The window's graphs and their images, in the same order.
  std::vector<std::unique_ptr<TMyGraphic>> *Graphs = nullptr;
  std::vector<TBS_Image *> *GraphImages = nullptr;
  // Design widths of the list columns, by column identity.
  const std::vector<int> *DesignColumnWidths = nullptr;

  QAction *Item(const char *name) const;
  bool Checked(const char *name) const;
  // Whether Sender is the named item or the named button.
  bool Is(const QObject *sender, const char *name) const;
};

// State the view collaborators share with each other.
struct TViewState {
  // One zoom step of the time window and the video; the wheel lowers it
  // for its own command only.
  double ZoomStep = 2.0;
  bool ZoomBarUpdating = false;
  // The scroll bar's full range and page, in its own units.
  int ZoomBarRange = 0;
  int ZoomBarPage = 0;

  bool VideoDragging = false;
  QPoint DragCursor; // screen pixels
  QRect PictureRect; // PanelVideo pixels
  QRect VideoRect;

  // When a seek key last acted, in seconds of a monotonic clock; a value
  // far in the past lets the next one act at once.
  double SeekKeyTime = -1e9;
};

} // namespace kp
