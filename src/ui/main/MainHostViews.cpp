// The main window as the view commands see it.

#include "MainHost.h"

#include "FileListModel.h"
#include "MapBridge.h"
#include "PlaybackLoop.h"
#include "PositionModel.h"
#include "RecordingSelection.h"
#include "UnitFormCropping.h"
#include "UnitFormDetails.h"
#include "UnitFormGroup.h"
#include "UnitFormMain.h"
#include "UnitUtils.h"

#include <QApplication>
#include <QMenu>
#include <QTableView>
#include <QToolButton>

namespace kp {

void TMainHost::SplitterRightMoved()
{
  W.SplitterMoved(false);
}

void TMainHost::LayoutControlPanel()
{
  W.LayoutControlPanel();
}

void TMainHost::ApplyLanguage()
{
  W.ApplyLanguage(nullptr);
}

void TMainHost::RepaintList()
{
  W.ListView->viewport()->update();
}

void TMainHost::ButtonPlayClick()
{
  W.Loop->ButtonPlayClick(TOrigin::Window);
}

void TMainHost::ButtonStopClick()
{
  W.Loop->ButtonStopClick(TOrigin::Window);
}

void TMainHost::RefreshClockTexts()
{
  W.Loop->RefreshTitle();
  if (W.Windows.Cropping) W.Windows.Cropping->ClockChanged();
}

long double TMainHost::GetPosition()
{
  return W.Model->GetPosition();
}

void TMainHost::ListViewSelectItem()
{
  W.Selection->ListViewSelectItem(true);
}

void TMainHost::FrameNext()
{
  W.FrameNext();
}

void TMainHost::JumpSecondBack()
{
  W.FramePrev();
}

int TMainHost::GraphState() const
{
  return W.FilterGraph.Active() ? W.FilterGraph.GetState() : 0;
}

bool TMainHost::CanSeek() const
{
  return W.State.MediaSeeking != nullptr;
}

int64_t TMainHost::FileDuration() const
{
  int64_t duration = 0;
  if (W.State.MediaSeeking && W.State.MediaSeeking->GetDuration(duration) != 0) duration = 0;
  return std::max<int64_t>(0, duration);
}

void TMainHost::BuildVideoWindow()
{
  W.BuildVideoWindow();
}

TEVR *TMainHost::EVR() const
{
  return W.EVR.get();
}

QWidget *TMainHost::VideoWindowEVR() const
{
  return W.VideoWindowEVR;
}

TVideoWindow *TMainHost::VideoWindowWMR() const
{
  return W.VideoWindowWMR;
}

void TMainHost::RefreshPausedFrame()
{
  if (W.FilterGraph.Active()) W.FilterGraph.RefreshPausedFrame();
}

void TMainHost::ShowMapAB()
{
  W.MapBridge->ShowMapAB();
}

void TMainHost::LoadMapPage(int provider)
{
  W.MapBridge->LoadMapPage(provider);
}

void TMainHost::ExecMapScript(const QString &script)
{
  W.MapBridge->ExecMapScript(script);
}

QString TMainHost::MarkerLatLngJS() const
{
  const TMovingPoint &p = W.State.CurrentPoint;
  if (!W.MapView.FollowMarker || p.Lon == 0 || p.Lat == 0) return QStringLiteral("null");
  return MapLatLngJS(p.Lon, p.Lat);
}

void TMainHost::UpdateDetailsVisibility()
{
  if (W.Windows.Details) W.Windows.Details->UpdateVisibility();
}

void TMainHost::ShowGroupWindow(int row)
{
  if (!W.Windows.Group) return;
  W.Windows.Group->Execute(row);
  // Its preview leaves the map with it.
  if (W.MapBridge) W.MapBridge->ShowRecordingTracks();
}

void TMainHost::CloseActiveWindow()
{
  if (QWidget *active = QApplication::activeWindow()) active->close();
}

void TMainHost::OpenWebSite()
{
  W.DialogHost().OpenWebSite();
}

TBS_Image *TMainHost::NewGraphImage()
{
  return W.NewGraphImage();
}

void TMainHost::GraphsChanged()
{
  W.GraphsChanged();
}

TFileManager *TMainHost::FileManager() const
{
  return W.FileManager();
}

} // namespace kp
