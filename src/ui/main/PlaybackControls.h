#pragma once
// The components of the main window that playing a recording acts on. The
// window fills one of these with its own widgets and painters; tests fill it
// with bare widgets. Nothing here is owned. Null members are left alone,
// except FilterGraph, which must be set. Main thread only.
//
// What a command replaces (the graphs, the video window) is reached through
// its owner at each use, never kept here as a copy: a timer pass or a layout
// handler may run while a command rebuilds it.

#include <QAction>
#include <QList>
#include <QObject>
#include <functional>
#include <memory>
#include <vector>

class QAbstractItemView;
class QCheckBox;
class QSlider;
class QTimer;
class QToolButton;
class QWidget;

namespace kp {

class IMapPage;
class TAzimutBitmap;
class TBS_Image;
class TEVR;
class TFileManager;
class TFilter;
class TFilterGraph;
class TGSensorBitmap;
class TMyGraphic;
class TSeekBitmap;
class TSpeedBitmap;
class TVideoWindow;

struct TPlaybackControls {
  // Checkable: checked is "down", i.e. playing.
  QToolButton *ButtonPlay = nullptr;
  QToolButton *ButtonStop = nullptr;
  QToolButton *ButtonVideoZoomIn = nullptr;
  QToolButton *ButtonVideoZoomOut = nullptr;
  QToolButton *ButtonFrameNext = nullptr;
  QToolButton *ButtonFramePrev = nullptr;
  QWidget *PanelPlaySpeed = nullptr;
  // The speed buttons, each with an integer property "tag" of -3, -1, 0, 1
  // or 3; checked is down.
  QList<QToolButton *> SpeedButtons;
  QSlider *TrackBarVolume = nullptr;
  QCheckBox *CheckBoxLoop = nullptr;
  QTimer *Timer = nullptr;
  QAbstractItemView *ListView = nullptr;
  QWidget *PanelControl = nullptr;
  TBS_Image *ImageSeek = nullptr;
  // The owner's graph images, in the order of Graphs.
  const std::vector<TBS_Image *> *GraphImages = nullptr;

  TFilterGraph *FilterGraph = nullptr;
  // The owner's video window and EVR (the latter only while the EVR
  // renderer is in use); unset or null: none.
  std::function<TVideoWindow *()> VideoWindowWMR;
  std::function<TEVR *()> EVR;
  TFilter *FilterEVR = nullptr;
  TFilter *FilterMicrosoftVideo = nullptr;

  TSeekBitmap *SeekBitmap = nullptr;
  TSpeedBitmap *SpeedBitmap = nullptr;
  TAzimutBitmap *AzimutBitmap = nullptr;
  TGSensorBitmap *GSensorBitmap = nullptr;
  // The owner's graph painters.
  const std::vector<std::unique_ptr<TMyGraphic>> *Graphs = nullptr;

  IMapPage *MapPage = nullptr;
  TFileManager *FileManager = nullptr;

  // Where the menu's QActions live; found by object name.
  QObject *Menu = nullptr;

  TVideoWindow *CurrentVideoWindowWMR() const { return VideoWindowWMR ? VideoWindowWMR() : nullptr; }
  TEVR *CurrentEVR() const { return EVR ? EVR() : nullptr; }
  // The graph painter of Image, or null.
  TMyGraphic *GraphOf(const QObject *image) const;

  QAction *Action(const char *name) const { return Menu ? Menu->findChild<QAction *>(QLatin1String(name)) : nullptr; }
  bool Checked(const char *name) const
  {
    const QAction *item = Action(name);
    return item && item->isChecked();
  }
};

} // namespace kp
