#include "RecordingSelection.h"

#include "DSPack.h"
#include "IMapPage.h"
#include "PlaybackGuard.h"
#include "PlaybackLoop.h"
#include "PositionModel.h"
#include "RecordingTelemetry.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QToolButton>

namespace kp {

TRecordingSelection::TRecordingSelection(TPlaybackState &state, const TPlaybackControls &controls, IPlaybackHost &host,
                                         TPositionModel &model, TPlaybackLoop &loop)
  : S(state), C(controls), FHost(host), FModel(model), FLoop(loop)
{
  LoadTrack = [](const QString &fileName) { return TMovingInfo::LoadFromFile(fileName, false); };
  FLoop.ListViewDblClick = [this](TOrigin origin) { ListViewDblClick(origin); };
}

int TRecordingSelection::SelectedRow(bool &several) const
{
  several = false;
  if (!C.ListView || !C.ListView->selectionModel()) return -1;
  const QModelIndexList rows = C.ListView->selectionModel()->selectedRows();
  several = rows.size() > 1;
  return rows.size() == 1 ? rows.first().row() : -1;
}

void TRecordingSelection::ListViewSelectItem(bool selected)
{
  bool several = false;
  const int row = SelectedRow(several);
  if (several && ((C.ButtonStop && C.ButtonStop->isEnabled()) || (C.ButtonPlay && C.ButtonPlay->isEnabled())))
    FLoop.ButtonStopClick(TOrigin::None);
  if (QAction *open = C.Action("N_FileList_Open")) open->setEnabled(row >= 0);
  if (row < 0) {
    if (!C.FilterGraph->Active() && C.ButtonPlay) C.ButtonPlay->setEnabled(false);
    S.SelectedCaption.clear();
  } else {
    S.SelectedCaption = C.ListView->model()->index(row, 0).data().toString();
    const bool loaded = FModel.IsSelectedGroupLoaded(row) && C.ButtonPlay && C.ButtonPlay->isEnabled();
    if (selected && !loaded) LoadRecording(row);
  }
  FHost.PopupMenuListViewPopup();
}

void TRecordingSelection::LoadRecording(int row)
{
  // A recording the user picks may be tried again, whatever failed before.
  if (!FModel.Unattended) FModel.ForgetFailures();
  FLoop.ButtonStopClick(TOrigin::None);
  if (!C.FileManager) return;
  TFileItem item = C.FileManager->GetGroup(row);
  // A row that vanished before it could be read loads nothing.
  if (item.Files.empty()) return;
  TBusyCursor cursor;
  S.Recording = std::move(item);
  S.CurrentFile = 0;
  if (C.ButtonPlay) C.ButtonPlay->setEnabled(true);
  if (C.PanelPlaySpeed) C.PanelPlaySpeed->setEnabled(true);
  FHost.Repaint();
  S.MovingInfos.clear();
  // The catalogue crops each file's telemetry to the file and takes its
  // figures from the full load.
  TRecordingTelemetry telemetry(LoadTrack, [this](const TFileItemSubitem &file, TMovingInfo &info) {
    if (C.FileManager) C.FileManager->UpdateFileTrack(file.FileName, info);
  });
  S.MovingInfos = telemetry.Load(S.Recording);
  std::vector<TMovingInfo *> infos;
  for (const auto &info : S.MovingInfos) infos.push_back(info.get());
  FHost.NormalizeTimeWindow();
  FHost.FormResize();
  S.CurrentPoint = ZeroedPoint();
  if (S.Map) S.Map->FollowMarker = true;
  if (C.MapPage) C.MapPage->SetMapBounds(std::vector<const TMovingInfo *>(infos.begin(), infos.end()), {}, true, true);
  FollowCatalogue();
  FLoop.RefreshTitle();
  FLoop.TimerTimer(TOrigin::None);
}

bool TRecordingSelection::FollowCatalogue()
{
  TFileItem &r = S.Recording;
  if (!C.FileManager || r.Files.empty()) return false;
  const int row = C.FileManager->IndexOfFile(r.Files.front().FileName);
  if (row < 0) return false;
  const TFileItem listed = C.FileManager->GetGroup(row);
  if (listed.Files.size() != r.Files.size()) return false;
  for (size_t k = 0; k < r.Files.size(); ++k)
    if (listed.Files[k].FileName != r.Files[k].FileName) return false;
  // Times and positions stay the loaded ones: playback goes on undisturbed.
  bool changed = false;
  const auto take = [&changed](TFileItemSubitem &to, const TFileItemSubitem &from) {
    changed |= to.TrackLength != from.TrackLength || to.AvgSpeed != from.AvgSpeed || to.HasTrack != from.HasTrack;
    to.TrackLength = from.TrackLength;
    to.AvgSpeed = from.AvgSpeed;
    to.HasTrack = from.HasTrack;
  };
  take(r.Summary, listed.Summary);
  for (size_t k = 0; k < r.Files.size(); ++k) take(r.Files[k], listed.Files[k]);
  return changed;
}

void TRecordingSelection::ListViewClick(Qt::KeyboardModifiers modifiers)
{
  if (!C.ButtonPlay || C.FilterGraph->Active()) return;
  if (modifiers & (Qt::ControlModifier | Qt::ShiftModifier)) return;
  // A stop keeps the row selected, and a click on a selected row changes no
  // selection: the click loads it.
  if (!C.ButtonPlay->isEnabled()) ListViewSelectItem(true);
  if (!C.ButtonPlay->isEnabled()) return;
  FHost.Repaint();
  C.ButtonPlay->setChecked(false);
  FLoop.ButtonPlayClick(TOrigin::Control);
}

void TRecordingSelection::ListViewDblClick(TOrigin)
{
  if (C.ButtonPlay && !C.ButtonPlay->isEnabled()) {
    FLoop.ButtonStopClick(TOrigin::None);
    ListViewSelectItem(true);
  }
  FHost.Repaint();
  if (C.ButtonPlay) C.ButtonPlay->setChecked(true);
  FLoop.ButtonPlayClick(TOrigin::None);
}

namespace {

// Remembers the keyboard modifiers of the last mouse press or release on
// the list, which the list's click signal does not carry.
class TClickModifiers : public QObject {
public:
  using QObject::QObject;
  Qt::KeyboardModifiers Last;

protected:
  bool eventFilter(QObject *watched, QEvent *event) override
  {
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease ||
        event->type() == QEvent::MouseButtonDblClick)
      Last = static_cast<QMouseEvent *>(event)->modifiers();
    return QObject::eventFilter(watched, event);
  }
};

} // namespace

void ConnectListView(QAbstractItemView *view, TRecordingSelection &selection)
{
  auto *modifiers = new TClickModifiers(view);
  view->viewport()->installEventFilter(modifiers);
  QObject::connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, view,
                   [&selection](const QItemSelection &added, const QItemSelection &) {
                     selection.ListViewSelectItem(!added.isEmpty());
                   });
  QObject::connect(view, &QAbstractItemView::clicked, view,
                   [&selection, modifiers](const QModelIndex &) { selection.ListViewClick(modifiers->Last); });
  QObject::connect(view, &QAbstractItemView::doubleClicked, view,
                   [&selection](const QModelIndex &) { selection.ListViewDblClick(TOrigin::Control); });
}

} // namespace kp
