#include "UnitFormMain.h"

#include "Canvas.h"
#include "DateTime.h"
#include "FileListCommands.h"
#include "FileListModel.h"
#include "UnitFileManager.h"
#include "Numbers.h"
#include "StartupSupport.h"
#include "UnitGraphics.h"
#include "MainHost.h"
#include "MapBridge.h"
#include "MapBrowser.h"
#include "MapWebPage.h"
#include "MenuHotKeys.h"
#include "PageTexts.h"
#include "PanelSplitters.h"
#include "PlaybackLoop.h"
#include "PositionModel.h"
#include "RecordingSelection.h"
#include "UnitAutoUpdateChecker.h"
#include "UnitEVRWindow.h"
#include "UnitFormAbout.h"
#include "UnitFormAutoUpdate.h"
#include "UnitFormCropping.h"
#include "UnitFormCroppingItem.h"
#include "UnitFormDetails.h"
#include "UnitFormFullScreen.h"
#include "UnitFormGPSLog.h"
#include "UnitFormGroup.h"
#include "UnitFormSelectFolder.h"
#include "UnitFormSetupDevice.h"
#include "UnitFormWhatsNew.h"
#include "Views.h"
#include "UnitMovingInfo.h"
#include "UnitRegSettings.h"
#include "UnitTranslate.h"
#include "UnitUtilsDesktop.h"
#include "WindowLayout.h"

#include <QApplication>
#include <QWebEngineView>
#include <QCheckBox>
#include <QHeaderView>
#include <QLayout>
#include <QScopeGuard>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QSlider>
#include <QSplitter>
#include <QTableView>
#include <QToolButton>

namespace kp {

namespace {

constexpr const char *kProgramName = "KESTRIL PLAYER";
// The bottom panel's height as designed: the seek bar, two graphs and the
// gauges beside them whole.
constexpr int kDesignBottomHeight = 185;
constexpr int kDesignRightWidth = 510;

QColor Colour(const char *key)
{
  return ToQColor(TranslateColor(QString::fromLatin1(key)));
}

void SetImageSize(TBS_Image *image)
{
  image->Image()->Width = image->width();
  image->Image()->Height = image->height();
}

} // namespace

TFormMain::TFormMain(QWidget *parent) : QMainWindow(parent)
{
  setObjectName(QStringLiteral("FormMain"));
  FormCreate();
}

TFormMain::~TFormMain()
{
  // The video window (a child widget, deleted after the members) and the
  // filters hold the graph, which is a member: let go of it first.
  Timer.stop();
  Selection.reset();
  Loop.reset();
  Model.reset();
  EVR.reset();
  delete VideoWindowWMR;
  VideoWindowWMR = nullptr;
  FilterEVR.SetFilterGraph(nullptr);
  FilterMicrosoftVideo.SetFilterGraph(nullptr);
  MapBridge.reset();
  FListCommands.reset();
  if (FListModel) FListModel->SetFileManager(nullptr);
  FFileManager.reset();
}

void TFormMain::FormCreate()
{
  setAcceptDrops(true);
  BuildWidgets();
  BuildPlaySpeedButtons();
  LoadButtonGlyphs();
  LoadMenuBitmaps();
  // The generated items are not part of the design: remember first.
  FMenus->State().RememberDefaultChecks();
  FMenus->BuildLanguageMenu();
  FMenus->BuildTimeZoneMenu();
  FMenus->State().RestoreMenuChecks();
  ButtonPlay->setAutoRaise(true);
  ButtonStop->setAutoRaise(true);
  BuildFileListToolbar();
  BuildList();
  ConnectCommands();
  LoadListColumns();
  ApplyColours();
  CreateGauges();
  BuildPlayback();
  BuildMap();
  // The map starts with no provider, so the first pass loads the page.
  SetMapProvider(-1);
  BrowserShare = std::clamp(ReadSettingFloat(QLatin1String(settings::PanelBrowser.Name), 0.6), 0.0, 1.0);
  if (QScreen *screen = QGuiApplication::primaryScreen()) {
    const QRect s = screen->availableGeometry();
    const QSize size(s.width() * 7 / 8, s.height() * 3 / 4);
    setGeometry(QRect(s.center() - QPoint(size.width() / 2, size.height() / 2), size));
  }
  TrackBarVolume->setValue(std::clamp(settings::Volume.Read(), 0, 100));
  FMenus->BuildPopupMenus();
  setWindowTitle(QLatin1String(kProgramName));
  setWindowIcon(ProgramIcon());
  QApplication::setApplicationDisplayName(QString());
  ApplyRefreshRate();
  BuildViews();
  RestoreLayout();
}

void TFormMain::ApplyColours()
{
  QPalette list = ListView->palette();
  list.setColor(QPalette::Base, Colour("colorListBG"));
  ListView->setPalette(list);
  QPalette window = palette();
  window.setColor(QPalette::Window, Colour("colorMainBG"));
  setPalette(window);
  PanelVideo->setAutoFillBackground(true);
  QPalette video = PanelVideo->palette();
  video.setColor(QPalette::Window, Qt::black);
  PanelVideo->setPalette(video);
  // Full screen lends the bottom panel to its black window: the panel keeps
  // the window's colour there, so its captions stay readable.
  PanelBottom->setAutoFillBackground(true);
  QPalette bottom = PanelBottom->palette();
  bottom.setColor(QPalette::Window, Colour("colorMainBG"));
  PanelBottom->setPalette(bottom);
}

void TFormMain::CreateGauges()
{
  const QColor back = Colour("colorMainBG");
  for (TBS_Image *image : {ImageSpeed, ImageAzimut, ImageGSensor, ImageSeek}) SetImageSize(image);
  LoadImageResource();
  SpeedBitmap = std::make_unique<TSpeedBitmap>(ImageSpeed->Image(), back);
  AzimutBitmap = std::make_unique<TAzimutBitmap>(ImageAzimut->Image(), back);
  GSensorBitmap = std::make_unique<TGSensorBitmap>(ImageGSensor->Image(), back);
  SpeedBitmap->Draw(0, -1, -1, 0);
  AzimutBitmap->Draw(-1);
  GSensorBitmap->Draw(10, 10, 10, 0);
  SeekBitmap = std::make_unique<TSeekBitmap>(ImageSeek->Image());
  connect(ImageSeek, &TBS_Image::Resized, this, [this] { SeekBitmap->Resize(); });
}

void TFormMain::LoadListColumns()
{
  QHeaderView *header = ListView->horizontalHeader();
  const int count = ListView->model() ? ListView->model()->columnCount() : 0;
  if (count == 0) return;
  DesignColumnWidths.clear();
  for (int i = 0; i < count; ++i) DesignColumnWidths.push_back(header->sectionSize(i));
  const TColumnRestore r = RestoreColumns(
      DesignColumnWidths, [](int i) { return ReadSettingInt(settings::ColumnWidthName(i), -1); },
      [](int i) { return ReadSettingInt(settings::ColumnIndexName(i), -1); });
  for (int i : r.DeleteWidthOf) DeleteSetting(settings::ColumnWidthName(i));
  for (int i = 0; i < count; ++i) header->resizeSection(i, r.Widths[size_t(i)]);
  for (int pos = 0; pos < count; ++pos) header->moveSection(header->visualIndex(r.Order[size_t(pos)]), pos);
}

void TFormMain::RestoreLayout()
{
  // Sizes that leave the video no room in this window are refused.
  const QRect bounds = RestoredBounds();
  if (PanelRight->width() > 0) {
    const int right = RestoredPanelSize(std::max(5, settings::PanelRight.ReadOr(kDesignRightWidth)), 5,
                                        kDesignRightWidth, PanelRoomBeside(bounds.width()));
    SplitterRight->setSizes({bounds.width() - right, right});
  }
  const int bottom = RestoredPanelSize(settings::PanelBottom.ReadOr(kDesignBottomHeight),
                                       BottomPanelMinimum(ImageSeek->height(), PanelZoomScroll->height()),
                                       kDesignBottomHeight, PanelRoomBeside(bounds.height() - menuBar()->height()));
  SplitterBottom->setSizes({std::max(1, bounds.height() - bottom), bottom});
  setGeometry(bounds);
  if (settings::PosState.Read() == 2) setWindowState(windowState() | Qt::WindowMaximized);
}

QRect TFormMain::RestoredBounds() const
{
  QRect bounds = geometry();
  const int w = settings::PosWidth.ReadOr(bounds.width());
  const int h = settings::PosHeight.ReadOr(bounds.height());
  bounds = QRect(settings::PosLeft.ReadOr(bounds.x()), settings::PosTop.ReadOr(bounds.y()), w > 0 ? w : bounds.width(),
                 h > 0 ? h : bounds.height());
  if (QScreen *screen = QGuiApplication::screenAt(bounds.center()) ? QGuiApplication::screenAt(bounds.center())
                                                                   : QGuiApplication::primaryScreen())
    bounds = PullBackOntoScreen(bounds, screen->availableGeometry());
  return bounds;
}

void TFormMain::ApplyLanguage(QAction *sender)
{
  if (!FAllWindowsCreated) return;
  TMenuState &state = FMenus->State();
  if (sender) state.SetMenuChecked(sender);
  if (QMenu *languages = FMenus->Menu(QStringLiteral("N_View_Language")))
    for (QAction *a : languages->actions())
      if (a->isChecked()) SetCurLang(a->data().toInt());
  ApplyToolkitLanguage();
  FMenus->TranslateMenus();
  TranslateMainWindowTexts();
  // Captions changed their widths: the control panel flows again.
  RequestLayout();
  // The menus lost the free zoom's figure: the zoom puts it back.
  ApplyVideoZoom();
  // The loaded recording's texts follow the language and the units.
  Loop->RefreshTitle();
  // Last, once every caption of the menus reads as it will.
  FMenus->AssignHotKeys();
  if (MapBrowser)
    MapBrowser->Page()->SetPageTexts(Translate(u"Map_Loading"), Translate(u"Map_Offline"), Translate(u"Map_Refresh"));
  if (auto *ads = qobject_cast<QWebEngineView *>(WebBrowserAds)) {
    TranslateAdsPage(*ads->page());
    // The tip's new words may need another height.
    if (Views) Views->Profiles.ReadAdsHeight();
  }
  TOtherWindows &w = Windows;
  if (w.AutoUpdate) w.AutoUpdate->ApplyLanguage();
  if (w.Details) w.Details->ApplyLanguage();
  if (w.GPSLog) w.GPSLog->ApplyLanguage();
  if (w.Group) w.Group->ApplyLanguage();
  if (w.SetupDevice) w.SetupDevice->ApplyLanguage();
  if (w.Cropping) w.Cropping->ApplyLanguage();
  if (w.CroppingItem) w.CroppingItem->ApplyLanguage();
  if (w.SelectFolder) w.SelectFolder->ApplyLanguage();
  if (w.About) w.About->ApplyLanguage();
  if (w.WhatsNew) w.WhatsNew->ApplyLanguage();
}

void TFormMain::TranslateMainWindowTexts()
{
  const bool britishUnits = UseBritishUnits();
  FListModel->SetHeaders({Translate(u"FileList_Col_Name"), Translate(u"FileList_Col_Duration"),
                          Translate(u"FileList_Col_DateTime"), Translate(u"FileList_Col_Track"),
                          Translate(britishUnits ? u"MilesPerH" : u"KmetersPerH"), Translate(u"FileList_Col_FilePath"),
                          Translate(u"Mb"), Translate(u"FileList_Col_PictSize")});
  FitColumnCaptions();
  if (FFileManager) FFileManager->Refresh();
  const QList<QAction *> items = FMenus->ListPopupActions();
  size_t b = 0;
  for (QAction *a : items)
    if (!a->isSeparator() && b < FileListButtons.size()) FileListButtons[b++]->setToolTip(WithoutHotKey(a->text()));
  if (QAction *local = Item("N_View_TimeZone_Local"))
    local->setText(Translate(u"N_View_TimeZone_Local") + LocalOffsetSuffix(LocalTimeOffset()));
  TrackBarVolume->setToolTip(Translate(u"Volume"));
  PanelPlaySpeed->setToolTip(Translate(u"PlaySpeed"));
  CheckBoxLoop->setText(Translate(u"N_View_Time_LoopAB"));
  // The box sits in no layout: a longer caption needs a wider box.
  CheckBoxLoop->resize(CheckBoxLoop->sizeHint().width(), CheckBoxLoop->height());
  CheckBoxLoop->setToolTip(Translate(u"N_View_Time_LoopABHint"));
  ImageAzimut->setToolTip(Translate(u"Azimut"));
  ImageGSensor->setToolTip(
      QStringLiteral("x - %1\ny - %2\nz - %3")
          .arg(Translate(u"N_View_Graphics_X"), Translate(u"N_View_Graphics_Y"), Translate(u"N_View_Graphics_Z")));
  ImageSpeed->setToolTip(QStringLiteral("- %1, %2\n- %3, %4\n- %5, %6")
                             .arg(Translate(u"N_View_Graphics_H"), Translate(britishUnits ? u"Feets" : u"Meters"),
                                  Translate(u"Property_Track_Length"), Translate(britishUnits ? u"Miles" : u"Meters"),
                                  Translate(u"Speed"), Translate(britishUnits ? u"MilesPerH" : u"KmetersPerH")));
  ButtonVideoZoomIn->setToolTip(WithoutHotKey(Item("N_VideoZoom_ZoomIn")->text()));
  ButtonVideoZoomOut->setToolTip(WithoutHotKey(Item("N_VideoZoom_ZoomOut")->text()));
  for (auto [button, name] :
       {std::pair{ButtonFramePrev, "N_Playback_Frame_Prev"}, {ButtonFrameNext, "N_Playback_Frame_Next"}}) {
    QAction *a = Item(name);
    button->setToolTip(WithoutHotKey(a->text()) + QStringLiteral(" (") +
                       a->shortcut().toString(QKeySequence::NativeText) + QLatin1Char(')'));
  }
  const bool evr = Item("N_Playback_Renderer_EVR")->isChecked();
  const bool vmr = Item("N_Playback_Renderer_WMR")->isChecked();
  TMenuState::SetItemCaptionSuffix(Item("N_VideoZoom_NotLinear"), Translate(u"EVRonly"), !evr);
  TMenuState::SetItemCaptionSuffix(Item("N_VideoZoom_FlipV"), Translate(u"VMRonly"), !vmr);
  TMenuState::SetItemCaptionSuffix(Item("N_VideoZoom_FlipH"), Translate(u"VMRonly"), !vmr);
}

void TFormMain::FitColumnCaptions()
{
  // A column narrower than its caption widens to show it whole, and narrows
  // back to its own width for a shorter one; columns 1 pixel wide are hidden
  // on purpose (the location, or the track columns of a profile without
  // GPS) and stay so.
  if (Views && Views->Columns) Views->Columns->FitCaptions();
}

void TFormMain::LayoutControlPanel()
{
  std::vector<QWidget *> blocks{PanelControl_s1, PanelPlaySpeed, PanelControl_s2, TrackBarVolume, CheckBoxLoop};
  for (QWidget *gauge :
       {static_cast<QWidget *>(ImageSpeed), static_cast<QWidget *>(ImageGSensor), static_cast<QWidget *>(ImageAzimut)})
    if (!gauge->isHidden()) blocks.push_back(gauge);
  TControlPanelInput in;
  in.AlongTopOrBottom = PanelControl->parentWidget() != PanelGraphicsAddon;
  in.PanelWidth = PanelControl->width();
  in.PanelHeight = PanelControl->height();
  in.SpeedometerShown = !ImageSpeed->isHidden();
  in.FirstBlockHeight = PanelControl_s1->height();
  in.BottomPanelWidth = PanelBottom->width();
  in.VolumeBlock = 3;
  for (QWidget *b : blocks) in.Blocks.push_back(b->size());
  const TControlPanelLayout out = kp::LayoutControlPanel(in);
  for (size_t i = 0; i < blocks.size(); ++i) blocks[i]->move(out.Positions[i]);
  if (in.AlongTopOrBottom)
    PanelControl->setFixedHeight(out.PanelHeight);
  else
    PanelGraphicsAddon->setFixedWidth(std::max(1, out.PanelWidth));
  // The list's splitter may not take the room the gauges need: on a small
  // screen its design width would leave them cut behind the graphs.
  if (PanelBottom->minimumWidth() != out.RowMinimum) PanelBottom->setMinimumWidth(out.RowMinimum);
}

void TFormMain::SplitterMoved(bool listView)
{
  if (listView) {
    TRightColumnSizes sizes;
    sizes.PanelRight2Height = SplitterListView->height();
    sizes.BrowserVisible = WebBrowser->isVisible();
    // The map is stacked over the list only while the list shows.
    sizes.BrowserTopOrBottom = PanelListView->isVisible();
    sizes.BrowserHeight = WebBrowser->height();
    if (const std::optional<double> share = BrowserShareAfterMove(sizes)) BrowserShare = *share;
  }
  RequestLayout();
  // While full screen has the video or the bottom bar, the panel's height
  // in the window is not the user's.
  const bool bottomHome = PanelBottom->parentWidget() == SplitterBottom && PanelVideo->parentWidget() == SplitterBottom;
  StorePanelSizes(isVisible(), PanelRight->width(), bottomHome ? PanelBottom->height() : -1, BrowserShare);
}

void TFormMain::RequestLayout()
{
  if (FLayoutQueued) return;
  FLayoutQueued = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        FLayoutQueued = false;
        FormResize();
      },
      Qt::QueuedConnection);
}

void TFormMain::FormResize()
{
  if (!isVisible() || QCoreApplication::closingDown() || FInLayout) return;
  // The panels' own resizes that this pass causes are drawn by it.
  FInLayout = true;
  const auto done = qScopeGuard([this] { FInLayout = false; });
  ++FLayoutPasses;
  if (PanelControl->isVisible()) LayoutControlPanel();
  // The control panel's new width reaches the graphs now, not in a second pass.
  if (QLayout *row = PanelBottom->layout()) row->activate();
  const int seekHeight = ImageSeek->height();
  ImageSeek->setGeometry(0, 0, PanelBottomGraphics->width(), seekHeight);
  const int count = int(GraphImages.size());
  const int h = std::max(5, (PanelBottomGraphics->height() - seekHeight) / std::max(1, count));
  for (int i = 0; i < count; ++i) {
    const int top = seekHeight + i * h;
    const int height = i == count - 1 ? std::max(5, PanelBottomGraphics->height() - top) : h;
    GraphImages[size_t(i)]->setGeometry(0, top, PanelBottomGraphics->width(), height);
  }
  const int w = std::max(0, ImageSeek->width() - 2 * SeekBitmap->Margin());
  TArrayInteger gaps, noHeader, ab;
  Model->GetSeekBarSpans(w, gaps, noHeader, ab, State.TimeWindowStart, State.TimeWindowEnd);
  const double shift = TimeZoneShift();
  const TFileItemSubitem &summary = State.Recording.Summary;
  // Without a known start the scales would count from the year 1899.
  const bool timed = Model->SpanDays() > 0;
  SeekBitmap->Draw(Colour("colorMainBG"), gaps, timed ? summary.StartTime + shift : 0,
                   timed ? summary.EndTime + shift : 0, State.TimeWindowStart, State.TimeWindowEnd, noHeader, ab);
  for (size_t i = 0; i < Graphs.size(); ++i) {
    TMyGraphic &graph = *Graphs[i];
    graph.FillBackground(Colour("colorGraphBG"));
    Model->DrawGraphWindow(graph, w, gaps, noHeader, ab, State.TimeWindowStart, State.TimeWindowEnd);
    graph.DrawBorder();
    if (State.CurrentFile < 0) graph.DrawCursor(-1);
  }
  if (WebBrowser->isVisible() && PanelListView->isVisible()) {
    const int total = SplitterListView->height();
    const int map = int(Round(total * BrowserShare));
    SplitterListView->setSizes({map, std::max(0, total - map)});
  }
  // The pictures above went to the painters' back buffers: the cursors of a
  // pass bring them on the screen, also while nothing plays.
  if (Loop) Loop->TimerTimer(TOrigin::None);
  if (FullScreenForm && FullScreenForm->isVisible()) FullScreenForm->update();
}

void TFormMain::NormalizeTimeWindow()
{
  Views->Time.NormalizeTimeWindow();
}

void TFormMain::ApplyVideoZoom()
{
  if (Views) Views->Zoom.ButtonVideoZoomOutClick(nullptr);
}

void TFormMain::ToggleFullScreen()
{
  Views->FullScreen.N_FullScreenClick(nullptr);
}

QWidget *TFormMain::FullScreenWindow() const
{
  return FullScreenForm.get();
}

void TFormMain::LoopABChanged()
{
  Views->Time.N_View_Time_LoopABClick(CheckBoxLoop);
}

void TFormMain::NavigateAds(const QString &url)
{
  if (auto *view = qobject_cast<QWebEngineView *>(WebBrowserAds)) view->load(QUrl(url));
}

bool TFormMain::eventFilter(QObject *watched, QEvent *event)
{
  if (watched == PanelVideo && event->type() == QEvent::Resize) ApplyVideoZoom();
  // The seek bar, the graphs and the control panel's blocks follow their
  // panels whatever resized them (a profile, graphs shown or hidden, full
  // screen and back), once the command that did it has returned.
  if ((watched == PanelBottomGraphics || watched == PanelControl) && event->type() == QEvent::Resize && !FInLayout)
    RequestLayout();
  return QMainWindow::eventFilter(watched, event);
}

void TFormMain::resizeEvent(QResizeEvent *event)
{
  QMainWindow::resizeEvent(event);
  RequestLayout();
  ApplyVideoZoom();
}

} // namespace kp
