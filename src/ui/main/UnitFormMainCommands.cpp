// The main window's commands: each one a call into its collaborator.

#include "UnitFormMain.h"

#include "Errors.h"

#include "FileAdder.h"
#include "FileListCommands.h"
#include "FileListDelegate.h"
#include "FileListModel.h"
#include "CommandBoundary.h"
#include "MainHost.h"
#include "Views.h"
#include "MapBridge.h"
#include "UnitEVRWindow.h"
#include "PlaybackLoop.h"
#include "PositionModel.h"
#include "RecordingSelection.h"
#include "SecondaryPlacement.h"
#include "UnitFormCopy.h"
#include "UnitFormGroup.h"
#include "UnitFormAbout.h"
#include "UnitFormWhatsNew.h"
#include "UnitFormSetupDevice.h"
#include "UnitAutoUpdateChecker.h"
#include "UnitFormDetails.h"
#include "StartupSupport.h"
#include "UnitException.h"
#include "UnitGpsConverters.h"
#include "UnitUtilsFiles.h"
#include "UnitFileManager.h"
#include "UnitRegSettings.h"
#include "UnitSnapshot.h"
#include "UnitTempFiles.h"
#include "UnitTranslate.h"
#include "UnitUtilsDesktop.h"
#include "WindowLayout.h"
#include "WindowPlacement.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QScreen>
#include <QSplitter>
#include <QTableView>
#include <QToolButton>
#include <QTimer>
#include <QEventLoop>
#include <QWindow>

namespace kp {

void TFormMain::BuildList()
{
  FHost = new TMainHost(*this);
  FDialogHost = new TMainDialogHost(*this);
  FListModel = new TFileListModel(this);
  ListView->setModel(FListModel);
  std::vector<QPixmap> images;
  for (const char *name : {"FileList_icon_key.bmp", "FileList_icon_key_partial.bmp", "FileList_icon_video_warning.bmp",
                           "FileList_icon_gps_found.bmp"})
    images.push_back(QPixmap::fromImage(WithTransparentCorner(LoadResourceBitmap(QLatin1String(name)))));
  for (const QPixmap &image : images) ListImages << QIcon(image);
  auto *delegate = new TFileListDelegate(std::move(images), ListView);
  delegate->SetHasLocked([this] { return FFileManager && FFileManager->HasLocked(); });
  ListView->setItemDelegate(delegate);
  ListView->verticalHeader()->setDefaultSectionSize(18);
  // Design widths; column 0 takes what column 5 (the location) leaves.
  const int design[] = {160 + 100 - 13, 62, 122, 56, 32, 1, 52, 72};
  for (int i = 0; i < TFileListModel::ColumnCount; ++i) ListView->horizontalHeader()->resizeSection(i, design[i]);
  FListCommands = std::make_unique<TFileListCommands>(*FHost, *FListModel, *ListView, *FMenus);
  FPlacement = new TWindowPlacement(this);
  new TSecondaryPlacement(this);
  connect(ListView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { FListCommands->UpdateEnabling(); });
  connect(ListView->horizontalHeader(), &QHeaderView::sectionClicked, this,
          [this](int column) { FListCommands->ColumnClick(column); });
  connect(ListView, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
    FListCommands->UpdateEnabling();
    FMenus->ListPopup()->popup(ListView->viewport()->mapToGlobal(at));
  });
}

void TFormMain::ConnectCommands()
{
  TMainMenus &m = *FMenus;
  const auto on = [&m](const char *name, std::function<void()> f) {
    // Every command catches at its own boundary: a failure is reported and
    // the program goes on.
    m.OnTriggered(QLatin1String(name), [f = std::move(f)](QAction *) { RunCommand(f); });
  };
  on("N_FileList_Refresh", [this] { N_FileList_RefreshClick(); });
  on("N_FileList_Clear", [this] {
    if (FFileManager) FFileManager->Clear();
  });
  on("N_FileList_Del", [this] { FListCommands->Remove(); });
  on("N_FileList_DelDisk", [this] { FListCommands->DeleteFromDisk(); });
  on("N_FileList_DelDiskAll", [this] { FListCommands->DeleteAllUnlocked(); });
  on("N_FileList_SetLock", [this] { FListCommands->SetLock(true); });
  on("N_FileList_UnsetLock", [this] { FListCommands->SetLock(false); });
  on("N_FileList_Track_Export", [this] { FListCommands->ExportTrack(); });
  on("N_FileList_Track_Google", [this] { FListCommands->OpenTrackInEarth(); });
  on("N_FileList_ShowExplorer", [this] { FListCommands->ShowInExplorer(); });
  on("N_FileList_Property", [this] { FListCommands->ShowProperties(); });
  on("N_File_Convert_GPS", [this] { FListCommands->ShowGpsLogs(false); });
  on("N_FileList_Track_GPSLog", [this] { FListCommands->ShowGpsLogs(true); });
  on("N_FileList_Group_Auto", [this] {
    if (FFileManager) FFileManager->AutoGroup();
  });
  on("N_FileList_Ungroup_All", [this] {
    if (FFileManager) FFileManager->UngroupAll();
  });
  on("N_Playback_Save_Frame", [this] { SaveSnapshot(false); });
  on("N_Playback_Save_Wind", [this] { SaveSnapshot(true); });
  on("N_File_Exit", [this] { close(); });
  on("N_Settings_Clear", [this] {
    if (!FHost->AskYesNo(Translate(u"Mes_ClearSettings") + QLatin1String("?\r\n"), false, {})) return;
    ResetAllSettings([this] { close(); },
                     [] { return QProcess::startDetached(QCoreApplication::applicationFilePath(), {}); });
    QCoreApplication::quit();
  });
  for (const char *name : {"N_View_Refresh_Fast", "N_View_Refresh_Norm", "N_View_Refresh_Slow"})
    m.OnTriggered(QLatin1String(name), [this](QAction *) { ApplyRefreshRate(); });
  ConnectPlaybackCommands();
  ConnectWindowCommands();
}

void TFormMain::ConnectPlaybackCommands()
{
  TMainMenus &m = *FMenus;
  const auto on = [&m](const char *name, std::function<void()> f) {
    // Every command catches at its own boundary: a failure is reported and
    // the program goes on.
    m.OnTriggered(QLatin1String(name), [f = std::move(f)](QAction *) { RunCommand(f); });
  };
  on("N_File_Open", [this] { Loop->N_File_OpenClick(); });
  on("N_FileList_Add", [this] { Loop->N_File_OpenClick(); });
  on("N_FileList_Open", [this] { Selection->ListViewDblClick(TOrigin::Window); });
  on("N_Playback_Frame_Next", [this] { FrameNext(); });
  on("N_Playback_Frame_Prev", [this] { FramePrev(); });
  connect(ButtonFrameNext, &QToolButton::clicked, this, [this] { RunCommand([this] { FrameNext(); }); });
  connect(ButtonFramePrev, &QToolButton::clicked, this, [this] { RunCommand([this] { FramePrev(); }); });
  for (const char *name : {"N_View_Arrow_Small", "N_View_Arrow_Normal", "N_View_Arrow_Big"})
    on(name, [this] { Loop->TimerTimer(TOrigin::Window); });
  for (const char *name :
       {"N_View_TimePoints_1m", "N_View_TimePoints_5m", "N_View_TimePoints_20m", "N_View_TimePoints_Never"})
    on(name, [this] {
      MapBridge->ForgetTrackScript();
      MapBridge->DrawTrackPath();
      Loop->TimerTimer(TOrigin::Window);
    });
  on("N_File_Save_Video", [this] { SaveSelectedFragment(); });
  on("N_FileList_Save", [this] { SaveWholeGroup(); });
  for (QAction *a : FMenus->Menu(QStringLiteral("N_View_Language"))->actions())
    connect(a, &QAction::triggered, this, [this, a] { ApplyLanguage(a); });
}

void TFormMain::ConnectWindowCommands()
{
  TMainMenus &m = *FMenus;
  const auto on = [&m](const char *name, std::function<void()> f) {
    // Every command catches at its own boundary: a failure is reported and
    // the program goes on.
    m.OnTriggered(QLatin1String(name), [f = std::move(f)](QAction *) { RunCommand(f); });
  };
  on("N_Help_About", [this] { Windows.About->show(); });
  on("N_Help_WhatsNew", [this] { Windows.WhatsNew->show(); });
  on("N_SetupDevice", [this] { Windows.SetupDevice->show(); });
  on("N_FileList_Copy", [this] {
    const TFileItem all = FListCommands->SelectedForCopy();
    if (all.Files.empty()) return;
    auto *copy = new TFormCopy(FDialogHost);
    copy->setAttribute(Qt::WA_DeleteOnClose);
    copy->StartCopy(all);
  });
  for (QSplitter *splitter : {SplitterRight, SplitterBottom})
    connect(splitter, &QSplitter::splitterMoved, this, [this] { SplitterMoved(false); });
  connect(SplitterListView, &QSplitter::splitterMoved, this, [this] { SplitterMoved(true); });
}

void TFormMain::ApplyRefreshRate()
{
  Timer.setInterval(Item("N_View_Refresh_Slow")->isChecked()   ? 1000
                    : Item("N_View_Refresh_Norm")->isChecked() ? 300
                                                               : 100);
}

void TFormMain::N_FileList_RefreshClick(bool search)
{
  // The recordings listed so far: files the user added by hand are not
  // where the search looks, so the new list keeps every one still there;
  // those gone leave it, and a loaded one stops rather than fail later.
  std::vector<std::vector<TListedVideo>> listed;
  if (FFileManager) listed = FFileManager->StopAndListVideos();
  const auto gone = [](const TFileItemSubitem &f) { return !QFileInfo(f.FileName).isFile(); };
  if (std::any_of(State.Recording.Files.begin(), State.Recording.Files.end(), gone))
    Loop->ButtonStopClick(TOrigin::None);
  FListModel->SetFileManager(nullptr);
  Controls.FileManager = nullptr;
  FFileManager.reset();
  // Changes reach the window as queued calls: the search thread never waits.
  auto post = [this](std::function<void()> deliver) {
    QMetaObject::invokeMethod(this, std::move(deliver), Qt::QueuedConnection);
  };
  FFileManager = std::make_unique<TFileManager>(
      search, [this](int index) { FileManagerChanged(index); }, post);
  FFileManager->Refresh();
  FFileManager->SetSortColumn(settings::ColSort.Read());
  FFileManager->SetSortAscending(settings::ColSortDur.Read());
  FFileManager->KeepListed(listed);
  FListModel->SetFileManager(FFileManager.get());
  Controls.FileManager = FFileManager.get();
  FFileManager->Start();
  FListCommands->UpdateEnabling();
}

void TFormMain::RestartUpdateChecker(int delayMs)
{
  try {
    if (UpdateChecker) UpdateChecker->Stop();
  } catch (...) {
    ReportException();
  }
  UpdateChecker.reset();
  if (Windows.AutoUpdate) UpdateChecker = TAutoUpdateChecker::Create(delayMs, *Windows.AutoUpdate);
}

void TFormMain::FileManagerChanged(int index)
{
  // The selection keeps the caption of its row; the list re-selects it.
  FListCommands->SelectedCaption = State.SelectedCaption;
  FListCommands->FileManagerChanged(index);
  State.SelectedCaption = FListCommands->SelectedCaption;
  if (Selection && Selection->FollowCatalogue()) Loop->RefreshTitle();
}

void TFormMain::AddFiles(const QStringList &names)
{
  if (!FFileManager) N_FileList_RefreshClick(false);
  const bool nothingLoaded = FHost->NothingLoaded();
  FHost->SetBusy(true);
  const QString kept = State.SelectedCaption;
  State.SelectedCaption.clear();
  const TAddFilesResult r = AddFilesToCatalogue(*FFileManager, names, nothingLoaded, [this] {
    ListView->scrollTo(ListView->currentIndex());
    ListView->viewport()->update();
  });
  State.SelectedCaption = nothingLoaded ? r.CaptionToSelect : kept;
  FileManagerChanged(-2);
  if (isVisible()) {
    ListView->scrollTo(ListView->currentIndex());
    ListView->setFocus();
  }
  FHost->SetBusy(false);
  if (nothingLoaded && r.AddedAny) FHost->ListClick();
}

void TFormMain::SaveSnapshot(bool window)
{
  const long double position = Model->GetPosition();
  if (position >= 0) State.LastPosition = position;
  if (ButtonPlay->isChecked()) {
    ButtonPlay->setChecked(false);
    Loop->ButtonPlayClick(TOrigin::Window);
  }
  // The window's picture is the window as it shows without full screen.
  if (window && Item("N_FullScreen")->isChecked()) Views->FullScreen.N_FullScreenClick(nullptr);
  // The picture settles before it is taken (the pause may still be in flight).
  QEventLoop settle;
  QTimer::singleShot(500, &settle, &QEventLoop::quit);
  settle.exec(QEventLoop::ExcludeUserInputEvents);
  QImage picture;
  if (window) {
    QScreen *screen = windowHandle() ? windowHandle()->screen() : QGuiApplication::primaryScreen();
    if (screen)
      picture = screen
                    ->grabWindow(0, frameGeometry().x(), frameGeometry().y(), frameGeometry().width(),
                                 frameGeometry().height())
                    .toImage();
    // Platforms without a screen grab (offscreen, Wayland) give the window's own picture.
    if (picture.isNull() || picture.size() != frameGeometry().size()) picture = grab().toImage();
  }
  if (!window) {
    if (EVR)
      picture = EVR->GetCurrentImage();
    else if (VideoWindowWMR)
      VideoWindowWMR->VMRGetBitmap(picture);
  }
  if (picture.isNull()) {
    FHost->ShowMessage(Translate(u"Mes_NoFrame"));
    return;
  }
  const QString proposed =
      SnapshotFileName(window ? QStringLiteral("Window") : QStringLiteral("Frame"),
                       Model->PositionToDateTime(State.LastPosition), Model->PositionToMs(State.LastPosition));
  int filter = 0;
  const QString path = FHost->ChooseSaveFile(proposed, {Translate(u"Filter_Jpeg") + QStringLiteral(" (*.jpg *.jpeg)")},
                                             filter, QStringLiteral("jpg"));
  if (path.isEmpty()) return;
  // The picture is a JPEG whatever the name typed says; the save dialog
  // asked about the name as typed, not about one that only now gets ".jpg".
  const QString target = JpegFileName(path);
  if (target != path && (QFileInfo::exists(target) || QFileInfo(target).isSymLink()) &&
      !FHost->AskYesNo(ReplaceQuestion(target), true, {}))
    return;
  QString error;
  if (!SaveJpeg(picture, target, error)) FHost->ShowFailure(FileFailureMessage(target, error));
}

void TFormMain::closeEvent(QCloseEvent *event)
{
  FPlacement->Flush();
  hide();
  if (Windows.Details) Windows.Details->HideDetails();
  if (FFileManager) FFileManager->Stop();
  if (UpdateChecker) UpdateChecker->Stop();
  try {
    Loop->ButtonStopClick(TOrigin::None);
  } catch (...) {
  }
  FListModel->SetFileManager(nullptr);
  Controls.FileManager = nullptr;
  FFileManager.reset();
  setAcceptDrops(false);
  event->accept();
  QCoreApplication::quit();
}

void TFormMain::dragEnterEvent(QDragEnterEvent *event)
{
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TFormMain::dropEvent(QDropEvent *event)
{
  QStringList names;
  for (const QUrl &url : event->mimeData()->urls())
    if (url.isLocalFile()) names << url.toLocalFile();
  event->acceptProposedAction();
  // After the drop returns: the drag source is not kept waiting.
  QMetaObject::invokeMethod(
      this, [this, names] { AddFiles(names); }, Qt::QueuedConnection);
}

} // namespace kp

namespace kp {

void TFormMain::showEvent(QShowEvent *event)
{
  QMainWindow::showEvent(event);
  RequestLayout();
  if (FStarted) return;
  FStarted = true;
  QMetaObject::invokeMethod(
      this, [this] { TimerOnStartTimer(); }, Qt::QueuedConnection);
}

void TFormMain::ProbeEVR()
{
  // A renderer that cannot present falls back to the mixing one, saved, and
  // without a word: the user sees a picture either way.
  if (!Item("N_Playback_Renderer_EVR")->isChecked()) return;
  FilterEVR.SetFilterGraph(&FilterGraph);
  FilterGraph.SetActive(true);
  const bool works = TEVR::IsEVRFilter(&FilterEVR);
  FilterGraph.SetActive(false);
  FilterEVR.SetFilterGraph(nullptr);
  if (!works) FMenus->State().SetMenuChecked(Item("N_Playback_Renderer_WMR"));
}

void TFormMain::TimerOnStartTimer()
{
  // Each step on its own: one failure must not lose the command line, the
  // search or the update check.
  const auto step = [](const std::function<void()> &f) {
    try {
      f();
    } catch (...) {
      ReportException();
    }
  };
  const TStartArgs args = ParseStartArgs(Arguments);
  step([this] { NavigateAds(QStringLiteral("qrc:/Ads.html")); });
  step([] { RemoveStaleTempFolders(); });
  step([this] { ProbeEVR(); });
  step([this] { Views->Commands.N_Playback_Renderer_NULClick(nullptr); });
  step([] {
    if (settings::CopyFolder.Read().isEmpty()) {
      QString folder = GetSpecialFolder(sfVideos);
      if (folder.isEmpty()) folder = GetSpecialFolder(sfDocuments);
      settings::CopyFolder.Write(folder);
    }
  });
  step([] {
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!dataHome.isEmpty())
      UpdateUserDesktopEntries(dataHome, QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation),
                               QCoreApplication::applicationFilePath());
  });
  step([] {
    if (settings::InstallationId.Read().isEmpty()) {
      auto *rng = QRandomGenerator::global();
      settings::InstallationId.Write(
          MakeInstallationId([rng] { return int(rng->bounded(2)); }, [rng] { return int(rng->bounded(26)); }));
    }
  });
  step([] {
    SetGpsFormats(settings::GpsFormatsSeen.Read());
    SetGpsFormatsChanged(false);
  });
  step([this, &args] {
    if (args.Files.isEmpty()) return;
    N_FileList_RefreshClick(false);
    // As File > Open takes them: a camera track stands for its movie, a
    // folder gives its recordings.
    const TAddFilesResult added = AddFilesToCatalogue(*FFileManager, args.Files, false);
    // Told once the window is up and searching when nothing else was given.
    if (!added.Unopened.isEmpty())
      QMetaObject::invokeMethod(
          this, [this, text = UnopenedNamesText(added.Unopened)] { FHost->ShowFailure(text); }, Qt::QueuedConnection);
    FileManagerChanged(-1);
    if (FFileManager->GetCount() > 0) {
      ListView->selectRow(0);
      ButtonPlay->setChecked(true);
      repaint();
      Loop->ButtonPlayClick(TOrigin::None);
    }
  });
  step([this] {
    if (!FFileManager || FFileManager->GetCount() == 0) N_FileList_RefreshClick(true);
  });
  // The list has the keyboard from the start, whichever widget the window
  // would pick first: its keys and the window's single-letter keys work
  // without a click (a played recording leaves it there too).
  step([this] {
    if (ListView->isVisible() && !Item("N_FullScreen")->isChecked()) ListView->setFocus();
  });
  step([this] { RestartUpdateChecker(5000); });
  step([this, &args] {
    if (args.WhatsNew) Item("N_Help_WhatsNew")->trigger();
  });
  step([&args] {
    if (!args.DeleteFile.isEmpty()) QFile::remove(args.DeleteFile);
  });
}

} // namespace kp

// ---------------------------------------------------------------- frames, renderer, cutting

#include "UnitEVRWindow.h"
#include "UnitFormCropping.h"
#include "DSInterfaces.h"

namespace kp {

void TFormMain::FrameNext()
{
  if (FilterGraph.Active())
    if (const auto step = FilterGraph.QueryInterface<IVideoFrameStep>()) {
      const long double before = Model->GetPosition();
      State.FrameRefreshPending = true;
      step->Step(1);
      // The last frame of a fragment has no next one in its file: the next
      // fragment's first frame follows it.
      if (!(Model->GetPosition() > before)) Model->EnterNextFile();
    }
  Loop->TimerTimer(TOrigin::Window);
}

void TFormMain::FramePrev()
{
  const long double span = State.Recording.Summary.EndTime - State.Recording.Summary.StartTime;
  if (!(span > 0) || State.CurrentFile < 0) return;
  const long double g = std::max<long double>(0, Model->GetPosition() - (1.0L / 86400) / span);
  Model->SeekTo(g, true, false);
  // A paused frame is shown without running the graph, which would move on.
  if (FilterGraph.Active() && !ButtonPlay->isChecked()) FilterGraph.RefreshPausedFrame();
}

namespace {

QString DefaultFragmentName(const QString &folder, const QString &name, const QString &times)
{
  QString base = folder.isEmpty() ? QStringLiteral("/") : folder;
  if (!base.endsWith(QLatin1Char('/'))) base += QLatin1Char('/');
  return base + SanitizeFileName(QStringLiteral("Fragment of ") + name + times + QLatin1Char('.') +
                                 TFormCropping::DefaultExtension());
}

} // namespace

void TFormMain::SaveSelectedFragment()
{
  TFormCropping &dialog = *Windows.Cropping;
  const bool wasEmpty = dialog.RowCount() == 0;
  dialog.ClearSelection();
  dialog.ShowRestored();
  const long double a = State.MarkA, b = State.MarkB;
  if (!State.Recording.Files.empty() && b > a) {
    for (size_t i = 0; i < State.Recording.Files.size(); ++i) {
      const TFileItemSubitem &file = State.Recording.Files[i];
      long double p1 = 0, p2 = 0;
      TPositionModel::GroupToFilePosition(file, a, p1);
      TPositionModel::GroupToFilePosition(file, b, p2);
      if (p1 < 1 && p2 > 0 && p1 < p2)
        dialog.AddFile(file.FileName, i < State.MovingInfos.size() ? State.MovingInfos[i].get() : nullptr,
                       std::max<long double>(p1, 0), std::min<long double>(p2, 1), file.StartTime);
    }
    if (dialog.OutputName().isEmpty()) {
      const QString folder = settings::CopyFolder.Read(), name = State.Recording.Summary.Name;
      const bool part = !(a == 0 && b == 1), current = State.CurrentFile >= 0;
      const double from = Model->TelemetryTime(a), to = Model->TelemetryTime(b);
      // The times in the name are read on the clock of the zone chosen when
      // the name is shown: a zone picked meanwhile renames the proposal.
      dialog.ProposeOutputName([folder, name, part, current, from, to] {
        const auto clock = [current](double t) { return TimeToStr(current ? t + TimeZoneShift() : 0); };
        QString times;
        if (part) {
          times = QStringLiteral(" (") + clock(from) + QStringLiteral(" - ") + clock(to) + QLatin1Char(')');
          times.replace(QLatin1Char(':'), QLatin1Char('-'));
        }
        return DefaultFragmentName(folder, name, times);
      });
    }
  }
  if (wasEmpty) dialog.ClearSelection();
  dialog.update();
}

void TFormMain::SaveWholeGroup()
{
  if (!State.Recording.Files.empty()) {
    State.MarkA = 0;
    State.MarkB = 1;
    FormResize();
    SaveSelectedFragment();
    State.MarkB = 0;
  } else if (FFileManager) {
    TFormCropping &dialog = *Windows.Cropping;
    const bool wasEmpty = dialog.RowCount() == 0;
    dialog.ClearSelection();
    dialog.ShowRestored();
    for (int row : FListCommands->SelectedRows()) {
      const TFileItem group = FFileManager->GetGroup(row);
      bool added = false;
      for (const TFileItemSubitem &file : group.Files)
        added |= dialog.AddFile(file.FileName, nullptr, 0, 1, file.StartTime);
      // Named after the first recording of which something could be read.
      if (added && dialog.OutputName().isEmpty())
        dialog.SetOutputName(DefaultFragmentName(settings::CopyFolder.Read(), group.Summary.Name, QString()));
    }
    if (wasEmpty) dialog.ClearSelection();
    dialog.update();
  }
  FormResize();
}

} // namespace kp
