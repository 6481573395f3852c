#include "MainHost.h"

#include "CropTrack.h"

#include "FileListCommands.h"
#include "MapBridge.h"
#include "MessageBoxes.h"
#include "OpenFileDialog.h"
#include "PlaybackLoop.h"
#include "PositionModel.h"
#include "RecordingSelection.h"
#include "UnitEVRWindow.h"
#include "UnitFileManager.h"
#include "UnitFormAbout.h"
#include "UnitFormAutoUpdate.h"
#include "UnitFormDetails.h"
#include "UnitFormFileProperty.h"
#include "UnitFormGPSLog.h"
#include "UnitFormGroup.h"
#include "UnitFormMain.h"
#include "UnitTranslate.h"
#include "UnitUtilsDesktop.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTableView>
#include <QToolButton>
#include <QUrl>

namespace kp {

QString MessageText(QString text)
{
  return text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
}

TMainHost::TMainHost(TFormMain &window) : QObject(&window), W(window) {}

// ------------------------------------------------------------ list

bool TMainHost::IsSelectedGroupLoaded() const
{
  const QModelIndex current = W.ListView->currentIndex();
  return current.isValid() && W.Model->IsSelectedGroupLoaded(current.row());
}

bool TMainHost::NothingLoaded() const
{
  return !W.ButtonPlay->isEnabled();
}

void TMainHost::StopPlayback()
{
  W.Loop->ButtonStopClick(TOrigin::None);
}

std::vector<const TMovingInfo *> TMainHost::LoadedTracks() const
{
  std::vector<const TMovingInfo *> tracks;
  for (const auto &info : W.State.MovingInfos) tracks.push_back(info.get());
  return tracks;
}

void TMainHost::ListClick()
{
  W.Selection->ListViewClick(Qt::NoModifier);
}

void TMainHost::RestartUpdateChecker(int delayMs)
{
  W.RestartUpdateChecker(delayMs);
}

void TMainHost::ShowProperties(const TFileItem &row)
{
  TFormFileProperty::ShowGroup(row);
}

void TMainHost::ShowGpsLogs(const QStringList &logs, const QStringList &tick, bool onlyTicked)
{
  if (!W.Windows.GPSLog) return;
  W.Windows.GPSLog->Execute(logs);
  if (onlyTicked) W.Windows.GPSLog->TickAndSelect(tick);
}

void TMainHost::OpenDocument(const QString &path)
{
  OpenWithDesktop(path, CantOpenReport(&W));
}

void TMainHost::ShowInFileManager(const QString &path)
{
  ShowInExplorer(path, QDBusConnection::sessionBus(), CantOpenReport(&W));
}

bool TMainHost::AskYesNo(const QString &text, bool warning, const QStringList &details)
{
  const TMessage question{warning ? TMessageKind::Warning : TMessageKind::Question, text, details};
  return ShowMessageBox(&W, W.windowTitle(), question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) ==
         QMessageBox::Yes;
}

void TMainHost::ShowMessage(const QString &text)
{
  ShowMessageBox(&W, W.windowTitle(), {TMessageKind::Information, text, {}});
}

void TMainHost::ShowFailure(const QString &text, const QStringList &details)
{
  ShowMessageBox(&W, W.windowTitle(), {TMessageKind::Warning, text, details});
}

void TMainHost::ShowFailure(const QString &text)
{
  ShowFailure(text, {});
}

void TMainHost::ShowNote(const QString &text)
{
  // One note at a time: a later one replaces the words of the shown one.
  const QString name = QStringLiteral("PlaybackNote");
  auto *note = W.findChild<QMessageBox *>(name, Qt::FindDirectChildrenOnly);
  if (!note) {
    note = new QMessageBox(QMessageBox::Warning, W.windowTitle(), QString(), QMessageBox::Ok, &W);
    note->setObjectName(name);
    note->setWindowModality(Qt::NonModal);
    note->setAttribute(Qt::WA_DeleteOnClose);
    // The keys stay with the window that plays.
    note->setAttribute(Qt::WA_ShowWithoutActivating);
  }
  note->setText(MessageText(text));
  note->show();
}

QString TMainHost::ChooseSaveFile(const QString &proposed, const QStringList &filters, int &filterIndex,
                                  const QString &defaultSuffix)
{
  QFileDialog dialog(&W);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters(filters);
  if (filterIndex >= 0 && filterIndex < filters.size()) dialog.selectNameFilter(filters[filterIndex]);
  dialog.setDefaultSuffix(defaultSuffix);
  dialog.selectFile(proposed);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  filterIndex = int(filters.indexOf(dialog.selectedNameFilter()));
  return dialog.selectedFiles().front();
}

void TMainHost::ProcessEvents()
{
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TMainHost::SetBusy(bool busy)
{
  if (busy)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
}

// ------------------------------------------------------------ playback

void TMainHost::FormResize()
{
  W.RequestLayout();
}

void TMainHost::NormalizeTimeWindow()
{
  W.NormalizeTimeWindow();
}

void TMainHost::ButtonVideoZoomOutClick()
{
  W.ApplyVideoZoom();
}

void TMainHost::N_FullScreenClick()
{
  W.ToggleFullScreen();
}

void TMainHost::N_View_Time_LoopABClick()
{
  W.LoopABChanged();
}

void TMainHost::SetMenuChecked(QAction *item)
{
  W.Menus().State().SetMenuChecked(item);
}

// The popups share the main menu's actions: there is nothing to copy.
void TMainHost::SyncMenuCopies() {}

void TMainHost::ShowDetails(long double position, long double lastPosition, TMyGraphic *graph, long double timeStep)
{
  if (!W.Windows.Details) return;
  TMyGraphicClass graphClass = nullptr;
  for (size_t i = 0; i < W.Graphs.size(); ++i)
    if (W.Graphs[i].get() == graph && i < W.GraphClasses.size()) graphClass = W.GraphClasses[i];
  W.Windows.Details->ShowDetails(graphClass, lastPosition, timeStep, position);
}

void TMainHost::HideDetails()
{
  if (W.Windows.Details) W.Windows.Details->HideDetails();
}

void TMainHost::DetailsDrawCursor(long double position)
{
  if (W.Windows.Details) W.Windows.Details->DrawCursor(position);
}

void TMainHost::PopupMenuListViewPopup()
{
  W.ListCommands().UpdateEnabling();
}

void TMainHost::AddFiles(const QStringList &fileNames)
{
  W.AddFiles(fileNames);
}

void TMainHost::SetTitle(const QString &title)
{
  W.setWindowTitle(title);
}

TActiveWindow TMainHost::ActiveWindow() const
{
  QWidget *active = QApplication::activeWindow();
  if (active == &W) return TActiveWindow::Main;
  if (W.FullScreenWindow() && active == W.FullScreenWindow()) return TActiveWindow::FullScreen;
  const auto is = [active](const auto &window) { return window && active == window.get(); };
  if (is(W.Windows.About)) return TActiveWindow::About;
  if (is(W.Windows.AutoUpdate)) return TActiveWindow::Update;
  if (is(W.Windows.Details)) return TActiveWindow::Details;
  if (is(W.Windows.GPSLog)) return TActiveWindow::GpsLog;
  if (is(W.Windows.Group)) return TActiveWindow::Grouping;
  return TActiveWindow::Other;
}

bool TMainHost::FullScreen() const
{
  return W.Item("N_FullScreen")->isChecked();
}

bool TMainHost::VideoInFullScreen() const
{
  return W.FullScreenWindow() && W.PanelVideo->window() == W.FullScreenWindow();
}

bool TMainHost::GaugesInFullScreen() const
{
  return W.FullScreenWindow() && W.PanelControl->window() == W.FullScreenWindow();
}

bool TMainHost::MainWindowVisible() const
{
  return W.isVisible();
}

void TMainHost::Repaint()
{
  W.repaint();
}

void TMainHost::CloseMainWindow()
{
  W.close();
}

// ------------------------------------------------------------ map

TMovingPoint TMainHost::CurrentPoint() const
{
  return W.State.CurrentPoint;
}

int TMainHost::CurrentFile() const
{
  return W.State.OpenFile() ? W.State.CurrentFile : -1;
}

int TMainHost::FileCount() const
{
  return int(W.State.Recording.Files.size());
}

const TMovingInfo *TMainHost::FileTrack(int file) const
{
  return file >= 0 && size_t(file) < W.State.MovingInfos.size() ? W.State.MovingInfos[size_t(file)].get() : nullptr;
}

long double TMainHost::FileTrackToGroupPosition(int file, long double fraction) const
{
  if (file < 0 || size_t(file) >= W.State.Recording.Files.size()) return -1;
  return TPositionModel::FileTrackToGroupPosition(W.State.Recording.Files[size_t(file)], fraction);
}

long double TMainHost::MarkA() const
{
  return W.State.MarkA;
}

long double TMainHost::MarkB() const
{
  return W.State.MarkB;
}

TMovingPoint TMainHost::GetTelemetryAt(long double position) const
{
  TMovingPoint point;
  TGSensorSample sample;
  bool valid = false;
  W.Model->GetTelemetryAt(position, point, sample, valid);
  return point;
}

int TMainHost::TimePointMinutes() const
{
  if (W.Item("N_View_TimePoints_1m")->isChecked()) return 1;
  if (W.Item("N_View_TimePoints_5m")->isChecked()) return 5;
  if (W.Item("N_View_TimePoints_20m")->isChecked()) return 20;
  return 0;
}

bool TMainHost::MainWindowActive() const
{
  return QApplication::activeWindow() == &W;
}

void TMainHost::SeekTo(long double position)
{
  W.Model->SeekTo(position, true, false);
}

void TMainHost::TimerPass()
{
  W.Loop->TimerTimer(TOrigin::None);
}

void TMainHost::MoveFocusFromMap()
{
  if (W.Item("N_FullScreen")->isChecked() || QApplication::activeWindow() != &W) return;
  QWidget *video = W.VideoWindowEVR ? W.VideoWindowEVR : static_cast<QWidget *>(W.VideoWindowWMR);
  if (video && video->focusPolicy() != Qt::NoFocus) video->setFocus();
  if (W.ListView->isVisible()) W.ListView->setFocus();
}

void TMainHost::NavigateAnalytics(const QUrl &url)
{
  W.NavigateAnalytics(url);
}

// ------------------------------------------------------------ cutting

void TMainHost::HideMain()
{
  W.hide();
}

void TMainHost::ShowMain()
{
  W.show();
}

QStringList TMainHost::ChooseVideoFiles()
{
  const QString filter = Translate(u"Filter_Video") + QStringLiteral(" (*.mov *.MOV *.mp4 *.MP4);;") +
                         Translate(u"Filter_AllFiles") + QStringLiteral(" (*)");
  return ChooseFilesToOpen(&W, filter, nullptr, true);
}

void TMainHost::AddCut(const QString &movie)
{
  // A cut may replace a listed file, or be written where the search looks
  // and be listed before it is whole: the list reads it as it now is.
  if (TFileManager *catalogue = W.FileManager()) catalogue->RereadFile(movie);
  W.AddFiles({movie});
}

TCropTrack TMainHost::FindTrack(const QString &videoFileName)
{
  return CropTrackOf(W.FileManager(), videoFileName);
}

// ------------------------------------------------------------ update, GPS logs

void TMainHost::HideMainWindow()
{
  W.hide();
}

void TMainHost::ShowMainWindow()
{
  W.show();
  W.activateWindow();
}

void TMainHost::NavigateAds(const QString &url)
{
  W.NavigateAds(url);
}

void TMainHost::RefreshFileList()
{
  W.N_FileList_RefreshClick();
}

void TMainHost::SetMapBounds(const std::vector<const TMovingInfo *> &tracks, const std::vector<bool> &highlight)
{
  std::vector<bool> flags = highlight;
  // A single track is never drawn as the highlighted one.
  if (tracks.size() == 1) flags.assign(1, false);
  if (W.MapBridge) W.MapBridge->SetMapBounds(tracks, flags, true, false);
}

} // namespace kp
