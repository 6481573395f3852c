#pragma once
// The components of the main window that playing a recording acts on. The
// window fills one of these with its own widgets and painters; tests fill it
// with bare widgets. Nothing here is owned. Null members are left alone,
// except FilterGraph, which must be set. Main thread only.

#include <QAction>
#include <QList>
#include <QObject>
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
  // The graph images, in the order of Graphs.
  QList<QWidget *> GraphImages;

  TFilterGraph *FilterGraph = nullptr;
  TVideoWindow *VideoWindowWMR = nullptr;
  TEVR *EVR = nullptr; // set when the EVR renderer is in use
  TFilter *FilterEVR = nullptr;
  TFilter *FilterMicrosoftVideo = nullptr;

  TSeekBitmap *SeekBitmap = nullptr;
  TSpeedBitmap *SpeedBitmap = nullptr;
  TAzimutBitmap *AzimutBitmap = nullptr;
  TGSensorBitmap *GSensorBitmap = nullptr;
  std::vector<TMyGraphic *> Graphs;

  IMapPage *MapPage = nullptr;
  TFileManager *FileManager = nullptr;

  // Where the menu's QActions live; found by object name.
  QObject *Menu = nullptr;

  QAction *Action(const char *name) const { return Menu ? Menu->findChild<QAction *>(QLatin1String(name)) : nullptr; }
  bool Checked(const char *name) const
  {
    const QAction *item = Action(name);
    return item && item->isChecked();
  }
};

} // namespace kp
