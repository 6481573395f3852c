#pragma once
// The main window as its collaborators see it: one adapter that answers
// every host interface with the window's widgets, collaborators, dialogs and
// message boxes, so the collaborators never include the window. Messages to
// the user are shown here and nowhere else. Main thread only; a child of the
// window.

#include "IAuxHost.h"
#include "ICropHost.h"
#include "IDialogHost.h"
#include "IFileListHost.h"
#include "IMapBridgeHost.h"
#include "IPlaybackHost.h"
#include "IViewsHost.h"

#include <QObject>

namespace kp {

class TFormMain;

class TMainHost : public QObject,
                  public IFileListHost,
                  public IPlaybackHost,
                  public IMapBridgeHost,
                  public ICropHost,
                  public IUpdateHost,
                  public IGpsLogHost,
                  public IViewsHost {
  Q_OBJECT
public:
  explicit TMainHost(TFormMain &window);

  // ------------------------------------------------------------ list
  bool IsSelectedGroupLoaded() const override;
  bool NothingLoaded() const override;
  void StopPlayback() override;
  std::vector<const TMovingInfo *> LoadedTracks() const override;
  void ListClick() override;
  void RestartUpdateChecker(int delayMs) override;
  void ShowProperties(const TFileItem &row) override;
  void ShowGpsLogs(const QStringList &logs, const QStringList &tick, bool onlyTicked) override;
  void OpenDocument(const QString &path) override;
  void ShowInFileManager(const QString &path) override;
  bool AskYesNo(const QString &text, bool warning, const QStringList &details) override;
  void ShowMessage(const QString &text) override;
  void ShowFailure(const QString &text, const QStringList &details) override;
  void ShowFailure(const QString &text) override;
  void ShowNote(const QString &text) override;
  QString ChooseSaveFile(const QString &proposed, const QStringList &filters, int &filterIndex,
                         const QString &defaultSuffix) override;
  void ProcessEvents() override;
  void SetBusy(bool busy) override;

  // ------------------------------------------------------------ playback
  void FormResize() override;
  void NormalizeTimeWindow() override;
  void ButtonVideoZoomOutClick() override;
  void N_FullScreenClick() override;
  void N_View_Time_LoopABClick() override;
  void SetMenuChecked(QAction *item) override;
  void SyncMenuCopies() override;
  void ShowDetails(long double position, long double lastPosition, TMyGraphic *graph, long double timeStep) override;
  void HideDetails() override;
  void DetailsDrawCursor(long double position) override;
  void PopupMenuListViewPopup() override;
  void AddFiles(const QStringList &fileNames) override;
  void SetTitle(const QString &title) override;
  TActiveWindow ActiveWindow() const override;
  bool FullScreen() const override;
  bool VideoInFullScreen() const override;
  bool GaugesInFullScreen() const override;
  bool MainWindowVisible() const override;
  void Repaint() override;
  void CloseMainWindow() override;

  // ------------------------------------------------------------ map
  TMovingPoint CurrentPoint() const override;
  int CurrentFile() const override;
  int FileCount() const override;
  const TMovingInfo *FileTrack(int file) const override;
  long double FileTrackToGroupPosition(int file, long double fraction) const override;
  long double MarkA() const override;
  long double MarkB() const override;
  TMovingPoint GetTelemetryAt(long double position) const override;
  int TimePointMinutes() const override;
  bool MainWindowActive() const override;
  void SeekTo(long double position) override;
  void TimerPass() override;
  void MoveFocusFromMap() override;
  void NavigateAnalytics(const QUrl &url) override;

  // ------------------------------------------------------------ cutting
  void HideMain() override;
  void ShowMain() override;
  QStringList ChooseVideoFiles() override;
  TCropTrack FindTrack(const QString &videoFileName) override;
  void AddCut(const QString &movie) override;

  // ------------------------------------------------------------ update, GPS logs
  void HideMainWindow() override;
  void ShowMainWindow() override;
  void NavigateAds(const QString &url) override;
  void RefreshFileList() override;

  // ------------------------------------------------------------ views
  void SplitterRightMoved() override;
  void LayoutControlPanel() override;
  void ApplyLanguage() override;
  void RepaintList() override;
  void ButtonPlayClick() override;
  void ButtonStopClick() override;
  void RefreshClockTexts() override;
  long double GetPosition() override;
  void ListViewSelectItem() override;
  void FrameNext() override;
  void JumpSecondBack() override;
  int GraphState() const override;
  bool CanSeek() const override;
  int64_t FileDuration() const override;
  void BuildVideoWindow() override;
  TEVR *EVR() const override;
  QWidget *VideoWindowEVR() const override;
  TVideoWindow *VideoWindowWMR() const override;
  void RefreshPausedFrame() override;
  void ShowMapAB() override;
  void LoadMapPage(int provider) override;
  void ExecMapScript(const QString &script) override;
  QString MarkerLatLngJS() const override;
  void UpdateDetailsVisibility() override;
  void ShowGroupWindow(int row) override;
  void CloseActiveWindow() override;
  void OpenWebSite() override;
  TBS_Image *NewGraphImage() override;
  void GraphsChanged() override;
  TFileManager *FileManager() const override;

  void SetMapBounds(const std::vector<const TMovingInfo *> &tracks, const std::vector<bool> &highlight) override;

private:
  TFormMain &W;
};

// The same window for the auxiliary windows (their telemetry query has
// another shape than the map's).
class TMainDialogHost : public QObject, public IDialogHost {
  Q_OBJECT
public:
  explicit TMainDialogHost(TFormMain &window);

  QRect MainGeometry() const override;
  QSize MainClientSize() const override;
  bool MenuChecked(const QString &name) const override;
  void OpenWebSite() override;
  bool SelectFolder(QString &path, const QString &caption) override;
  TFileManager *Catalogue() override;
  std::vector<TDialogListColumn> ListColumns() const override;
  QList<QIcon> ListImages() const override;
  std::vector<int> SelectedRows() const override;
  void SetMapBounds(const std::vector<const TMovingInfo *> &tracks, const std::vector<bool> &highlight) override;
  TDetailsTelemetry GetTelemetryAt(long double position) const override;
  TDateTime PositionToDateTime(long double position) const override;
  int64_t PositionToMs(long double position) const override;
  QString FileCaptionAt(long double position) const override;
  void DrawGraphWindow(TMyGraphic &graph, long double from, long double to, int columns) override;
  QRect GraphPanelScreenRect() const override;

private:
  TFormMain &W;
};

// CR LF as the message boxes show line breaks.
QString MessageText(QString text);

} // namespace kp
