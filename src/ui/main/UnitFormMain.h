#pragma once
// The main window: it keeps the widgets, the layout and the handler names;
// each handler calls into the collaborator that owns its concern (menus and
// their marks, layout rules, playback, map, list commands). Main thread
// only. The window owns its widgets, menus, painters and collaborators.

#include "MainMenus.h"
#include "UnitBSImage.h"
#include "UnitBitmaps.h"

#include <QMainWindow>
#include <QTimer>
#include <memory>
#include <vector>

class QCheckBox;
class QLabel;
class QScrollBar;
class QSlider;
class QSplitter;
class QTableView;
class QToolButton;

namespace kp {

class TMyGraphic;

class TFormMain : public QMainWindow {
  Q_OBJECT
public:
  explicit TFormMain(QWidget *parent = nullptr);
  ~TFormMain() override;

  TMainMenus &Menus() { return *FMenus; }
  QAction *Item(const char *name) const { return FMenus->Action(QLatin1String(name)); }
  // Texts of the active language on this window (and, through their own
  // calls, on the others). Sender: the language item picked, or null.
  void ApplyLanguage(QAction *sender);
  void FormResize();
  void LayoutControlPanel();
  // The other windows exist: ApplyLanguage may act.
  void SetAllWindowsCreated() { FAllWindowsCreated = true; }

  // Widgets named as the layout names them (tests find them by name too).
  QWidget *PanelVideo = nullptr;
  QWidget *PanelBottom = nullptr;
  QWidget *PanelControl = nullptr;
  QWidget *PanelControl_s1 = nullptr;
  QWidget *PanelControl_s2 = nullptr;
  QWidget *PanelPlaySpeed = nullptr;
  QWidget *PanelGraphicsAddon = nullptr;
  QWidget *PanelBottomGraphics = nullptr;
  QWidget *PanelZoomScroll = nullptr;
  QWidget *PanelRight = nullptr;
  QWidget *PanelListView = nullptr;
  QWidget *PanelFileListMenu = nullptr;
  QWidget *WebBrowser = nullptr; // the map view's place
  QSplitter *SplitterRight = nullptr;
  QSplitter *SplitterBottom = nullptr;
  QSplitter *SplitterListView = nullptr;
  QTableView *ListView = nullptr;
  QToolButton *ButtonPlay = nullptr;
  QToolButton *ButtonStop = nullptr;
  QToolButton *ButtonFramePrev = nullptr;
  QToolButton *ButtonFrameNext = nullptr;
  QToolButton *ButtonVideoZoomIn = nullptr;
  QToolButton *ButtonVideoZoomOut = nullptr;
  QToolButton *ButtonZoomIn = nullptr;
  QToolButton *ButtonZoomOut = nullptr;
  QScrollBar *ScrollBarZoom = nullptr;
  QSlider *TrackBarVolume = nullptr;
  QCheckBox *CheckBoxLoop = nullptr;
  TBS_Image *ImageSpeed = nullptr;
  TBS_Image *ImageAzimut = nullptr;
  TBS_Image *ImageGSensor = nullptr;
  TBS_Image *ImageSeek = nullptr;
  std::vector<QToolButton *> PlaySpeedButtons;
  std::vector<QToolButton *> FileListButtons;
  QTimer Timer;

  std::unique_ptr<TSpeedBitmap> SpeedBitmap;
  std::unique_ptr<TAzimutBitmap> AzimutBitmap;
  std::unique_ptr<TGSensorBitmap> GSensorBitmap;
  std::unique_ptr<TSeekBitmap> SeekBitmap;
  std::vector<std::unique_ptr<TMyGraphic>> Graphs;
  std::vector<TBS_Image *> GraphImages;
  std::vector<int> DesignColumnWidths;
  double BrowserShare = 0.6;

protected:
  void resizeEvent(QResizeEvent *event) override;

private:
  void FormCreate();
  void BuildWidgets();
  QWidget *BuildControlPanel();
  QWidget *BuildBottomGraphics();
  QWidget *BuildRightPanel();
  void BuildPlaySpeedButtons();
  void BuildFileListToolbar();
  void LoadButtonGlyphs();
  void LoadMenuBitmaps();
  void LoadListColumns();
  void RestoreLayout();
  void ApplyColours();
  void CreateGauges();
  void TranslateMainWindowTexts();

  TMainMenus *FMenus = nullptr; // a child of the window
  bool FAllWindowsCreated = false;
};

} // namespace kp
