#pragma once
// The main window: it keeps the widgets, the layout and the handler names;
// each handler calls into the collaborator that owns its concern (menus and
// their marks, layout rules, playback, map, list commands). Main thread
// only. The window owns its widgets, menus, painters and collaborators.

#include "DSPack.h"
#include "MainMenus.h"
#include "MapViewState.h"
#include "PlaybackControls.h"
#include "PlaybackState.h"
#include "UnitBSImage.h"
#include "UnitBitmaps.h"
#include "UnitGraphics.h"
#include "ViewsControls.h"

#include <QIcon>
#include <QMainWindow>
#include <QTimer>
#include <memory>
#include <vector>

class QCheckBox;
class QUrl;
class QLabel;
class QScrollBar;
class QSlider;
class QSplitter;
class QTableView;
class QToolButton;

namespace kp {

class TAutoUpdateChecker;
class TEVR;
class TFileListCommands;
class TFileListModel;
class TFileManager;
class TFormAbout;
class TFormAutoUpdate;
class TFormCropping;
class TFormCroppingItem;
class TFormDetails;
class TFormFullScreen;
class TViews;
class TFormGPSLog;
class TFormGroup;
class TFormSelectFolder;
class TFormSetupDevice;
class TFormWhatsNew;
class TMainDialogHost;
class TMainHost;
class TMapBridge;
class TMapBrowser;
class TPlaybackLoop;
class TPositionModel;
class TRecordingSelection;
class TWindowPlacement;

// The other windows, created after the main window and kept until exit.
struct TOtherWindows {
  std::unique_ptr<TFormAbout> About;
  std::unique_ptr<TFormAutoUpdate> AutoUpdate;
  std::unique_ptr<TFormDetails> Details;
  std::unique_ptr<TFormGPSLog> GPSLog;
  std::unique_ptr<TFormGroup> Group;
  std::unique_ptr<TFormSelectFolder> SelectFolder;
  std::unique_ptr<TFormCroppingItem> CroppingItem;
  std::unique_ptr<TFormCropping> Cropping;
  std::unique_ptr<TFormSetupDevice> SetupDevice;
  std::unique_ptr<TFormWhatsNew> WhatsNew;
  TOtherWindows();
  ~TOtherWindows();
};

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
  // Lays the window out and redraws the seek bar and the graphs, now.
  void FormResize();
  // FormResize once the running command or event has returned; any number
  // of requests meanwhile make one pass. Commands and layout handlers ask
  // this way, so no pass meets views a command is rebuilding.
  void RequestLayout();
  // How many passes FormResize made so far.
  int LayoutPasses() const { return FLayoutPasses; }
  // A splitter moved (ListView: the one between map and list): the map's
  // share follows, the window is laid out and the panel sizes are stored.
  void SplitterMoved(bool listView);
  void LayoutControlPanel();
  // The other windows exist: ApplyLanguage may act.
  void SetAllWindowsCreated() { FAllWindowsCreated = true; }

  // The catalogue and the list.
  TFileManager *FileManager() const { return FFileManager.get(); }
  TFileListCommands &ListCommands() { return *FListCommands; }
  // A new catalogue that searches the cards and folders (or, with
  // Search false, one that lists only what is added to it).
  void N_FileList_RefreshClick(bool search = true);
  void FileManagerChanged(int index);
  void AddFiles(const QStringList &names);
  void SaveSnapshot(bool window);
  // One frame forward; one second back.
  void FrameNext();
  void FramePrev();
  // The other windows, in their order of creation.
  void CreateOtherWindows();
  TOtherWindows Windows;

  // Playing a recording.
  TFilterGraph FilterGraph;
  TFilter FilterEVR;
  TFilter FilterMicrosoftVideo;
  TVideoWindow *VideoWindowWMR = nullptr; // child of PanelVideo; NUL and WMR
  QWidget *VideoWindowEVR = nullptr;      // child of PanelVideo; EVR draws into it
  std::unique_ptr<TEVR> EVR;
  TPlaybackState State;
  TMapViewState MapView;
  TPlaybackControls Controls;
  std::unique_ptr<TPositionModel> Model;
  std::unique_ptr<TPlaybackLoop> Loop;
  std::unique_ptr<TRecordingSelection> Selection;
  // Builds the video window of the checked renderer (none, VMR or EVR).
  void BuildVideoWindow();
  // A graph image beside the seek bar, wired like it; the graphs were made anew.
  TBS_Image *NewGraphImage();
  void GraphsChanged();
  std::vector<TMyGraphicClass> GraphClasses;

  // The views: time window, marks, video zoom, renderer, full screen, keys,
  // wheel, units, time zone, profiles.
  std::unique_ptr<TFormFullScreen> FullScreenForm;
  TViewsControls ViewsControls;
  std::unique_ptr<TViews> Views;
  QWidget *WebBrowserAds = nullptr;

  // The map.
  QWidget *MapWebView = nullptr;
  QWidget *WebBrowserAnalytics = nullptr;
  TMapBrowser *MapBrowser = nullptr;
  std::unique_ptr<TMapBridge> MapBridge;
  std::unique_ptr<TAutoUpdateChecker> UpdateChecker;
  void RestartUpdateChecker(int delayMs);

  // Views the window offers its collaborators.
  void NormalizeTimeWindow();
  void ApplyVideoZoom();
  void ToggleFullScreen();
  void LoopABChanged();
  QWidget *FullScreenWindow() const;
  void NavigateAnalytics(const QUrl &url);
  void NavigateAds(const QString &url);
  QList<QIcon> ListImages;
  TMainHost &Host() { return *FHost; }
  TMainDialogHost &DialogHost() { return *FDialogHost; }

  // The start-up that waits for the window to be on the screen; runs once.
  void TimerOnStartTimer();
  void ProbeEVR();
  // The command line without the program's name (tests set it).
  QStringList Arguments;

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
  void closeEvent(QCloseEvent *event) override;
  void showEvent(QShowEvent *event) override;
  bool eventFilter(QObject *watched, QEvent *event) override;
  void dragEnterEvent(QDragEnterEvent *event) override;
  void dropEvent(QDropEvent *event) override;

private:
  void FormCreate();
  void BuildWidgets();
  QWidget *BuildControlPanel();
  QWidget *BuildBottomGraphics();
  QWidget *BuildRightPanel();
  void BuildPlaySpeedButtons();
  void BuildFileListToolbar();
  void LoadButtonGlyphs();
  void LoadImageResource();
  void LoadMenuBitmaps();
  void LoadListColumns();
  void RestoreLayout();
  QRect RestoredBounds() const;
  void ApplyColours();
  void CreateGauges();
  void TranslateMainWindowTexts();
  void FitColumnCaptions();
  void ConnectCommands();
  void ConnectPlaybackCommands();
  void ConnectWindowCommands();
  void SaveSelectedFragment();
  void SaveWholeGroup();
  void BuildPlayback();
  void BuildMap();
  void ApplyRefreshRate();
  void BuildViews();
  void BuildList();

  TMainMenus *FMenus = nullptr;           // a child of the window
  TMainHost *FHost = nullptr;             // a child of the window
  TMainDialogHost *FDialogHost = nullptr; // a child of the window
  std::unique_ptr<TFileManager> FFileManager;
  TFileListModel *FListModel = nullptr;
  std::unique_ptr<TFileListCommands> FListCommands;
  TWindowPlacement *FPlacement = nullptr;
  bool FStarted = false;
  bool FAllWindowsCreated = false;
  bool FLayoutQueued = false;
  bool FInLayout = false;
  int FLayoutPasses = 0;
};

} // namespace kp
