#include "PlaybackLoop.h"

#include "DSPack.h"
#include "IMapPage.h"
#include "PlaybackGuard.h"
#include "PositionModel.h"
#include "UnitBitmaps.h"
#include "UnitEVRWindow.h"
#include "UnitFileManager.h"
#include "UnitGraphics.h"
#include "UnitRegSettings.h"
#include "UnitTranslate.h"
#include "UnitUtilsDesktop.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QFileDialog>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

namespace kp {

namespace {

const QString kProgramTitle = QStringLiteral("KESTRIL PLAYER");

void SetEnabled(QWidget *widget, bool enabled)
{
  if (widget) widget->setEnabled(enabled);
}

} // namespace

TPlaybackLoop::TPlaybackLoop(TPlaybackState &state, const TPlaybackControls &controls, IPlaybackHost &host,
                             TPositionModel &model)
  : S(state), C(controls), FHost(host), FModel(model)
{
  FModel.TimerPass = [this](TOrigin origin) { TimerTimer(origin); };
  FModel.ReapplyPlaySpeed = [this] { TrackBarPlaySpeedChange(TOrigin::None); };
  ChooseFiles = [this] {
    QWidget *parent = C.ListView ? C.ListView->window() : nullptr;
    return QFileDialog::getOpenFileNames(parent);
  };
}

QString TPlaybackLoop::PlayingTitle() const
{
  const TFileItem &r = S.Recording;
  QString title = r.Summary.Name + QStringLiteral("    ") + r.DateText;
  if (!r.DistanceText.isEmpty()) title += QStringLiteral("    ") + r.DistanceText;
  if (!r.SpeedText.isEmpty())
    title += QStringLiteral("    ") + r.SpeedText + Translate(UseBritishUnits() ? u"MilesPerH" : u"KmetersPerH");
  return title + QStringLiteral(" - ") + kProgramTitle;
}

void TPlaybackLoop::RefreshTitle()
{
  if (S.Recording.Summary.FileName.isEmpty()) {
    FHost.SetTitle(kProgramTitle);
    return;
  }
  TFileManager::FormatItem(S.Recording, TCatalogueWords::Current(true));
  FHost.SetTitle(PlayingTitle());
}

// ------------------------------------------------------------------ play and pause

void TPlaybackLoop::ButtonPlayClick(TOrigin)
{
  TFilterGraph *graph = C.FilterGraph;
  bool nothingLoaded = false;
  const bool done = GuardStep(FHost, TGraphFailure::Log, [&] {
    if (!graph->Active()) {
      if (S.Recording.Summary.FileName.isEmpty()) {
        nothingLoaded = true;
        return;
      }
      FHost.SetTitle(PlayingTitle());
      TBusyCursor cursor;
      if (C.CurrentEVR()) {
        if (C.FilterEVR) C.FilterEVR->SetFilterGraph(graph);
        if (C.FilterMicrosoftVideo) C.FilterMicrosoftVideo->SetFilterGraph(graph);
      } else if (TVideoWindow *video = C.CurrentVideoWindowWMR())
        video->SetFilterGraph(graph);
      graph->SetActive(true);
      if (TEVR *evr = C.CurrentEVR(); evr && C.FilterEVR) evr->ConnectFilter(C.FilterEVR);
      S.CurrentFile = kForceOpenFile;
      FModel.SeekTo(S.LastPosition, false, true);
      TrackBarVolumeChange();
    }
    if (C.ButtonPlay && C.ButtonPlay->isChecked()) {
      if (graph->GetState() != psPlaying) graph->Play();
      if (C.Timer) C.Timer->start();
      SetScreenSaverEnabled(false);
    } else {
      if (graph->GetState() == psPlaying) graph->Pause();
      if (C.Timer) C.Timer->stop();
      SetScreenSaverEnabled(true);
    }
  });
  SetEnabled(C.ButtonStop, true);
  SetEnabled(C.ButtonVideoZoomIn, true);
  SetEnabled(C.ButtonVideoZoomOut, true);
  FHost.FormResize();
  // A failed step ends the command after the buttons above, as a raised
  // failure would.
  if (done && !nothingLoaded) FinishPlayClick();
}

void TPlaybackLoop::FinishPlayClick()
{
  SetEnabled(C.PanelPlaySpeed, true);
  const bool stepping = !(C.ButtonPlay && C.ButtonPlay->isChecked()) && C.FilterGraph->Active();
  SetEnabled(C.ButtonFramePrev, stepping);
  SetEnabled(C.ButtonFrameNext, stepping);
  for (const char *name : {"N_Playback_Frame_Next", "N_Playback_Frame_Prev"})
    if (QAction *item = C.Action(name)) item->setEnabled(stepping);
  FHost.SyncMenuCopies();
  if (FHost.FullScreen() || !FHost.MainWindowVisible()) return;
  // The list ends up with the focus; the video window takes it first so
  // that it is the one the list's focus returns from.
  TEVR *evr = C.CurrentEVR();
  QWidget *video = evr ? evr->VideoWindow() : static_cast<QWidget *>(C.CurrentVideoWindowWMR());
  for (QWidget *widget : {video, static_cast<QWidget *>(C.ListView)})
    if (widget && widget->isVisible() && widget->isEnabled()) widget->setFocus();
}

// ------------------------------------------------------------------ stop

void TPlaybackLoop::ButtonStopClick(TOrigin origin)
{
  if (C.Timer) C.Timer->stop();
  if (C.ButtonPlay) {
    C.ButtonPlay->setChecked(false);
    C.ButtonPlay->setEnabled(false);
  }
  for (QWidget *widget : {static_cast<QWidget *>(C.ButtonStop), static_cast<QWidget *>(C.ButtonVideoZoomIn),
                          static_cast<QWidget *>(C.ButtonVideoZoomOut), static_cast<QWidget *>(C.ButtonFrameNext),
                          static_cast<QWidget *>(C.ButtonFramePrev), C.PanelPlaySpeed})
    SetEnabled(widget, false);
  if (origin == TOrigin::Control && C.ListView) C.ListView->clearSelection();
  if (C.FilterGraph->Active()) TearDownGraph();
  S.MediaSeeking.reset();
  S.SourceFilter.reset();
  FHost.SetTitle(kProgramTitle);
  ResetPlaybackView();
}

void TPlaybackLoop::TearDownGraph()
{
  // Failures while stopping are of no interest: the views are reset anyway.
  try {
    TBusyCursor cursor(Qt::WaitCursor);
    try {
      C.FilterGraph->Stop();
    } catch (const std::exception &) {
    }
    if (TEVR *evr = C.CurrentEVR()) evr->SetVideoPosition(QRect(0, 0, 1, 1), TNormalizedRect{0, 0, 1, 1});
    C.FilterGraph->SetActive(false);
    if (C.FilterEVR) C.FilterEVR->SetFilterGraph(nullptr);
    if (C.FilterMicrosoftVideo) C.FilterMicrosoftVideo->SetFilterGraph(nullptr);
    if (TVideoWindow *video = C.CurrentVideoWindowWMR()) video->SetFilterGraph(nullptr);
    C.FilterGraph->ClearGraph();
  } catch (const std::exception &e) {
    qCWarning(lcPlayback) << "stopping:" << e.what();
  }
}

void TPlaybackLoop::ResetPlaybackView()
{
  S.Recording = kEmptyFileItem;
  S.CurrentFile = -1;
  S.MovingInfos.clear();
  // Its values were of the recording forgotten here; the pointer's next
  // move over the time line shows the next one's.
  FHost.HideDetails();
  SetScreenSaverEnabled(true);
  if (C.Checked("N_FullScreen")) FHost.N_FullScreenClick();
  if (C.CheckBoxLoop && C.CheckBoxLoop->isChecked()) {
    {
      const QSignalBlocker blocker(C.CheckBoxLoop);
      C.CheckBoxLoop->setChecked(false);
    }
    FHost.N_View_Time_LoopABClick();
  }
  for (const char *script : {"ClearPath()", "ClearMarkersAB()", "ClearMarkers()"})
    ExecMapScript(QString::fromLatin1(script));
  DrawIdleGauges();
  DrawIdleGSensor();
  S.LastPosition = 0;
  S.Position = 0;
  S.FrameRefreshPending = false;
  S.CurrentPoint = ZeroedPoint();
  S.CurrentSample = TGSensorSample();
  S.TimeWindowStart = 0;
  S.TimeWindowEnd = 1;
  S.MarkA = 0;
  S.MarkB = 0;
  S.VideoZoom = 1.0;
  S.VideoZoomCenterX = 0.5;
  S.VideoZoomCenterY = 0.5;
  // Drawn after the marks and the window are forgotten: no band, no cursor.
  FHost.FormResize();
  if (C.Checked("N_VideoZoom_Custom"))
    if (QAction *letterbox = C.Action("N_VideoZoom_Letterbox")) FHost.SetMenuChecked(letterbox);
  if (C.MapPage) {
    C.MapPage->ForgetTrackScript();
    C.MapPage->SetMapBounds({}, {}, false, false);
  }
}

// No needles and empty boxes.
void TPlaybackLoop::DrawIdleGauges()
{
  if (C.SpeedBitmap) C.SpeedBitmap->Draw(0, -1, -1, 0);
  if (C.AzimutBitmap) C.AzimutBitmap->Draw(-1);
}

// The dots off the scale.
void TPlaybackLoop::DrawIdleGSensor()
{
  if (C.GSensorBitmap) C.GSensorBitmap->Draw(10, 10, 10, 0);
}

void TPlaybackLoop::ExecMapScript(const QString &script)
{
  if (C.MapPage) C.MapPage->ExecMapScript(script, false);
}

// ------------------------------------------------------------------ volume, speed, files

void TPlaybackLoop::TrackBarVolumeChange()
{
  if (!C.TrackBarVolume) return;
  const QSlider *bar = C.TrackBarVolume;
  const int v = bar->orientation() == Qt::Vertical ? bar->maximum() - bar->value() : bar->value();
  C.FilterGraph->SetVolume(v * 100);
  settings::Volume.WriteOrDelete(v, 100);
}

void TPlaybackLoop::TrackBarPlaySpeedChange(TOrigin origin)
{
  int tag = 0;
  for (const QToolButton *button : C.SpeedButtons)
    if (button->isChecked()) {
      tag = button->property("tag").toInt();
      break;
    }
  if (tag == 0 && origin == TOrigin::None) return;
  const double rate = tag >= 0 ? tag + 1.0 : 1.0 / (1.0 - tag);
  TFilterGraph *graph = C.FilterGraph;
  if (origin == TOrigin::None || graph->GetState() != psPlaying || !S.MediaSeeking) {
    graph->SetRate(rate);
    return;
  }
  GuardStep(FHost, TGraphFailure::Log, [&] {
    const long double position = FModel.GetPosition();
    if (C.ButtonPlay) C.ButtonPlay->setChecked(false);
    ButtonPlayClick(origin);
    graph->Stop();
    graph->SetRate(rate);
    graph->Pause();
    FModel.SeekTo(position, true, false);
    if (C.ButtonPlay) C.ButtonPlay->setChecked(true);
    ButtonPlayClick(origin);
  });
}

void TPlaybackLoop::N_File_OpenClick()
{
  const QStringList names = ChooseFiles ? ChooseFiles() : QStringList();
  if (!names.isEmpty()) FHost.AddFiles(names);
}

void TPlaybackLoop::N_File_ExitClick()
{
  FHost.CloseMainWindow();
}

} // namespace kp
