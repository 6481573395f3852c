// The main window's widget tree, with the names of the window layout.

#include "UnitFormMain.h"

#include "MakerContacts.h"
#include "UnitUtilsDesktop.h"
#include "WindowLayout.h"
#include "WrappingStrip.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <QSlider>
#include <QSplitter>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>

namespace kp {

namespace {

template <class T>
T *Named(T *widget, const char *name)
{
  widget->setObjectName(QLatin1String(name));
  return widget;
}

QToolButton *Button(QWidget *parent, const char *name, const char *caption)
{
  auto *b = Named(new QToolButton(parent), name);
  b->setText(QLatin1String(caption));
  b->setAutoRaise(true);
  b->setFixedSize(28, 28);
  return b;
}

QHBoxLayout *Row(QWidget *w)
{
  auto *l = new QHBoxLayout(w);
  l->setContentsMargins(0, 0, 0, 0);
  l->setSpacing(0);
  return l;
}

QVBoxLayout *Column(QWidget *w)
{
  auto *l = new QVBoxLayout(w);
  l->setContentsMargins(0, 0, 0, 0);
  l->setSpacing(0);
  return l;
}

// The video's popup on a video surface. The menu is looked up when asked
// for: the popups are built after the first video window.
void AttachPopup(QWidget *surface, const TMainMenus *menus)
{
  surface->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(surface, &QWidget::customContextMenuRequested, surface, [surface, menus](const QPoint &at) {
    if (QMenu *popup = menus->VideoPopup()) popup->popup(surface->mapToGlobal(at));
  });
}

} // namespace

QWidget *TFormMain::BuildControlPanel()
{
  // Laid out by hand (LayoutControlPanel): the blocks flow like text.
  PanelControl = Named(new QWidget, "PanelControl");
  PanelControl_s1 = Named(new QWidget(PanelControl), "PanelControl_s1");
  Row(PanelControl_s1);
  ButtonPlay = Button(PanelControl_s1, "ButtonPlay", ">");
  ButtonPlay->setCheckable(true);
  ButtonStop = Button(PanelControl_s1, "ButtonStop", "[]");
  ButtonFramePrev = Button(PanelControl_s1, "ButtonFramePrev", "<|");
  ButtonFrameNext = Button(PanelControl_s1, "ButtonFrameNext", "|>");
  for (QToolButton *b : {ButtonPlay, ButtonStop, ButtonFramePrev, ButtonFrameNext})
    PanelControl_s1->layout()->addWidget(b);
  PanelControl_s1->setFixedSize(4 * 28, 28);
  PanelPlaySpeed = Named(new QWidget(PanelControl), "PanelPlaySpeed");
  PanelPlaySpeed->setFixedSize(150, 22);
  PanelControl_s2 = Named(new QWidget(PanelControl), "PanelControl_s2");
  Row(PanelControl_s2);
  ButtonVideoZoomOut = Button(PanelControl_s2, "ButtonVideoZoomOut", "-");
  ButtonVideoZoomIn = Button(PanelControl_s2, "ButtonVideoZoomIn", "+");
  PanelControl_s2->layout()->addWidget(ButtonVideoZoomOut);
  PanelControl_s2->layout()->addWidget(ButtonVideoZoomIn);
  PanelControl_s2->setFixedSize(2 * 28, 28);
  TrackBarVolume = Named(new QSlider(Qt::Horizontal, PanelControl), "TrackBarVolume");
  TrackBarVolume->setRange(0, 100);
  TrackBarVolume->setFixedSize(100, 24);
  CheckBoxLoop = Named(new QCheckBox(PanelControl), "CheckBoxLoop");
  CheckBoxLoop->setFixedHeight(20);
  ImageSpeed = Named(new TBS_Image(PanelControl), "ImageSpeed");
  // The dial's size; its picture (LoadImageResource) sets it again.
  ImageSpeed->setFixedSize(134, 134);
  ImageGSensor = Named(new TBS_Image(PanelControl), "ImageGSensor");
  ImageGSensor->setFixedSize(52, 52);
  ImageAzimut = Named(new TBS_Image(PanelControl), "ImageAzimut");
  ImageAzimut->setFixedSize(52, 52);
  return PanelControl;
}

QWidget *TFormMain::BuildBottomGraphics()
{
  auto *holder = new QWidget;
  auto *column = Column(holder);
  // The seek bar and the graphs are placed by FormResize.
  PanelBottomGraphics = Named(new QWidget, "PanelBottomGraphics");
  ImageSeek = Named(new TBS_Image(PanelBottomGraphics), "ImageSeek");
  ImageSeek->setFixedHeight(38);
  PanelZoomScroll = Named(new QWidget, "PanelZoomScroll");
  PanelZoomScroll->setFixedHeight(17);
  auto *zoomRow = Row(PanelZoomScroll);
  ButtonZoomOut = Button(PanelZoomScroll, "ButtonZoomOut", "-");
  ButtonZoomIn = Button(PanelZoomScroll, "ButtonZoomIn", "+");
  ButtonZoomOut->setFixedSize(17, 17);
  ButtonZoomIn->setFixedSize(17, 17);
  ScrollBarZoom = Named(new QScrollBar(Qt::Horizontal, PanelZoomScroll), "ScrollBarZoom");
  zoomRow->addWidget(ButtonZoomOut);
  zoomRow->addWidget(ScrollBarZoom, 1);
  zoomRow->addWidget(ButtonZoomIn);
  column->addWidget(PanelBottomGraphics, 1);
  column->addWidget(PanelZoomScroll);
  return holder;
}

QWidget *TFormMain::BuildRightPanel()
{
  PanelRight = Named(new QWidget, "PanelRight");
  auto *column = Column(PanelRight);
  SplitterListView = Named(new QSplitter(Qt::Vertical), "SplitterListView");
  WebBrowser = Named(new QWidget, "WebBrowser");
  Column(WebBrowser);
  PanelListView = Named(new QWidget, "PanelListView");
  auto *listColumn = Column(PanelListView);
  PanelFileListMenu = Named(new QWidget, "PanelFileListMenu");
  // Narrower than its buttons, the toolbar wraps onto another row rather
  // than hide some of them or keep the panel as wide as all of them.
  new TWrappingStrip(PanelFileListMenu);
  ListView = Named(new QTableView, "ListView");
  ListView->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListView->setSelectionMode(QAbstractItemView::ExtendedSelection);
  ListView->verticalHeader()->hide();
  ListView->horizontalHeader()->setSectionsMovable(true);
  ListView->setContextMenuPolicy(Qt::CustomContextMenu);
  // Tab moves on to the next control: walking the cells would select (and
  // so load) the next row.
  ListView->setTabKeyNavigation(false);
  listColumn->addWidget(PanelFileListMenu);
  listColumn->addWidget(ListView, 1);
  SplitterListView->addWidget(WebBrowser);
  SplitterListView->addWidget(PanelListView);
  column->addWidget(SplitterListView, 1);
  return PanelRight;
}

void TFormMain::BuildWidgets()
{
  FMenus = new TMainMenus(this);
  FMenus->Build(menuBar());
  // Without a site of the maker's there is nothing to open.
  FMenus->Action(QStringLiteral("N_Help_Site"))->setVisible(!MakerContacts().Site.isEmpty());
  SplitterRight = Named(new QSplitter(Qt::Horizontal), "SplitterRight");
  auto *panelLeft = Named(new QWidget, "PanelLeft");
  auto *leftColumn = Column(panelLeft);
  SplitterBottom = Named(new QSplitter(Qt::Vertical, panelLeft), "SplitterBottom");
  PanelVideo = Named(new QWidget, "PanelVideo");
  Column(PanelVideo);
  AttachPopup(PanelVideo, FMenus);
  PanelBottom = Named(new QWidget, "PanelBottom");
  auto *bottomRow = Row(PanelBottom);
  PanelGraphicsAddon = Named(new QWidget, "PanelGraphicsAddon");
  PanelGraphicsAddon->setFixedWidth(260);
  Column(PanelGraphicsAddon)->addWidget(BuildControlPanel());
  bottomRow->addWidget(PanelGraphicsAddon);
  bottomRow->addWidget(BuildBottomGraphics(), 1);
  SplitterBottom->addWidget(PanelVideo);
  SplitterBottom->addWidget(PanelBottom);
  SplitterBottom->setStretchFactor(0, 1);
  leftColumn->addWidget(SplitterBottom);
  SplitterRight->addWidget(panelLeft);
  SplitterRight->addWidget(BuildRightPanel());
  SplitterRight->setStretchFactor(0, 1);
  setCentralWidget(SplitterRight);
}

void TFormMain::BuildPlaySpeedButtons()
{
  const int w = PanelPlaySpeed->width() / 5;
  int x = 0;
  for (int tag : {-3, -1, 0, 1, 3}) {
    auto *b = new QToolButton(PanelPlaySpeed);
    b->setObjectName(QStringLiteral("ButtonPlaySpeed%1").arg(tag));
    b->setText(tag < 0 ? QStringLiteral("1/%1").arg(-tag + 1) : QStringLiteral("%1x").arg(tag + 1));
    b->setCheckable(true);
    b->setAutoExclusive(true);
    b->setAutoRaise(true);
    b->setChecked(tag == 0);
    b->setProperty("tag", tag);
    b->setGeometry(x, 0, w, PanelPlaySpeed->height());
    x += w;
    PlaySpeedButtons.push_back(b);
  }
}

void TFormMain::BuildFileListToolbar()
{
  auto *row = static_cast<TWrappingStrip *>(PanelFileListMenu->layout());
  constexpr int h = 24;
  for (QAction *a : FMenus->ListPopupActions()) {
    if (a->isSeparator()) {
      row->AddGap(4);
      continue;
    }
    auto *b = new QToolButton(PanelFileListMenu);
    b->setObjectName(QStringLiteral("Button_") + a->objectName());
    b->setAutoRaise(true);
    b->setFixedSize(a->isVisible() ? h : 0, h);
    // Open and Add have their own keys and places: their buttons exist
    // but leave the row's room to the others.
    b->setVisible(FileListButtons.size() >= 2);
    const QImage picture = WithTransparentCorner(LoadResourceBitmap(a->objectName() + QLatin1String(".bmp")));
    if (!picture.isNull()) {
      QIcon icon(QPixmap::fromImage(picture));
      icon.addPixmap(QPixmap::fromImage(GrayBitmap(picture, 2.0)), QIcon::Disabled);
      b->setIcon(icon);
    } else {
      b->setText(a->objectName().mid(11, 2));
    }
    // The button runs its item; the item's enabling then follows the list.
    b->setEnabled(a->isEnabled());
    connect(a, &QAction::changed, b, [a, b] { b->setEnabled(a->isEnabled()); });
    connect(b, &QToolButton::clicked, a, &QAction::trigger);
    row->addWidget(b);
    FileListButtons.push_back(b);
  }
}

void TFormMain::LoadButtonGlyphs()
{
  const std::pair<QToolButton *, const char *> glyphs[] = {
      {ButtonPlay, "Btn_Play.bmp"},
      {ButtonStop, "Btn_Stop.bmp"},
      {ButtonVideoZoomIn, "Btn_VideoZoomIn.bmp"},
      {ButtonVideoZoomOut, "Btn_VideoZoomOut.bmp"},
      {ButtonFrameNext, "Btn_FrameNext.bmp"},
      {ButtonFramePrev, "Btn_FramePrev.bmp"},
      {ButtonZoomIn, "Btn_ZoomIn.bmp"},
      {ButtonZoomOut, "Btn_ZoomOut.bmp"},
  };
  for (const auto &[button, name] : glyphs) {
    const QImage picture = WithTransparentCorner(LoadResourceBitmap(QLatin1String(name)));
    if (picture.isNull()) continue; // the button keeps its caption
    button->setText(QString());
    button->setIcon(QIcon(QPixmap::fromImage(picture)));
    button->setIconSize(picture.size());
  }
}

void TFormMain::LoadImageResource()
{
  const QImage dial = LoadResourceBitmap(QStringLiteral("Form_Main_speed.bmp"));
  if (dial.isNull()) return; // the painter draws on a plain face
  // The gauge shows its picture whole: the painter draws over all of it.
  ImageSpeed->setFixedSize(dial.size());
  ImageSpeed->Image()->Width = dial.width();
  ImageSpeed->Image()->Height = dial.height();
  ImageSpeed->Image()->Picture = dial.convertToFormat(QImage::Format_RGB32);
}

void TFormMain::LoadMenuBitmaps()
{
  for (QAction *a : FMenus->State().Items()) {
    QString name = a->objectName();
    if (name == QLatin1String("N_FileList_Save")) name = QStringLiteral("N_File_Save_Video");
    const QImage picture = WithTransparentCorner(LoadResourceBitmap(name + QLatin1String(".bmp")));
    if (!picture.isNull()) a->setIcon(QIcon(QPixmap::fromImage(picture)));
  }
}

} // namespace kp

// ---------------------------------------------------------------- playing and the map

#include "MapBridge.h"
#include "MapBrowser.h"
#include "PlaybackLoop.h"
#include "PositionModel.h"
#include "RecordingSelection.h"
#include "MainHost.h"
#include "UnitEVRWindow.h"
#include "GstMediaGraph.h"
#include "FileListModel.h"
#include "UnitFileManager.h"
#include "UnitUtils.h"

#include <QWebEngineView>
#include <QMenu>
#include "UnitFormFullScreen.h"
#include "Views.h"

namespace kp {

void TFormMain::BuildPlayback()
{
  State.Map = &MapView;
  FilterEVR.BaseFilter().SetDescription(QString::fromLatin1(kVideoRendererRole));
  FilterMicrosoftVideo.BaseFilter().SetDescription(QString::fromLatin1(kVideoDecoderRole));
  Controls.ButtonPlay = ButtonPlay;
  Controls.ButtonStop = ButtonStop;
  Controls.ButtonVideoZoomIn = ButtonVideoZoomIn;
  Controls.ButtonVideoZoomOut = ButtonVideoZoomOut;
  Controls.ButtonFrameNext = ButtonFrameNext;
  Controls.ButtonFramePrev = ButtonFramePrev;
  Controls.PanelPlaySpeed = PanelPlaySpeed;
  for (QToolButton *b : PlaySpeedButtons) Controls.SpeedButtons << b;
  Controls.TrackBarVolume = TrackBarVolume;
  Controls.CheckBoxLoop = CheckBoxLoop;
  Controls.Timer = &Timer;
  Controls.ListView = ListView;
  Controls.PanelControl = PanelControl;
  Controls.ImageSeek = ImageSeek;
  Controls.FilterGraph = &FilterGraph;
  Controls.FilterEVR = &FilterEVR;
  Controls.FilterMicrosoftVideo = &FilterMicrosoftVideo;
  Controls.SeekBitmap = SeekBitmap.get();
  Controls.SpeedBitmap = SpeedBitmap.get();
  Controls.AzimutBitmap = AzimutBitmap.get();
  Controls.GSensorBitmap = GSensorBitmap.get();
  Controls.Menu = this;
  Controls.Graphs = &Graphs;
  Controls.GraphImages = &GraphImages;
  Controls.VideoWindowWMR = [this] { return VideoWindowWMR; };
  Controls.EVR = [this] { return EVR.get(); };
  Model = std::make_unique<TPositionModel>(State, Controls, *FHost);
  Loop = std::make_unique<TPlaybackLoop>(State, Controls, *FHost, *Model);
  Selection = std::make_unique<TRecordingSelection>(State, Controls, *FHost, *Model, *Loop);
  Loop->ChooseFiles = [this] { return FHost->ChooseVideoFiles(); };
  ConnectListView(ListView, *Selection);
  Model->ConnectImage(ImageSeek);
  connect(&Timer, &QTimer::timeout, this, [this] { Loop->TimerTimer(TOrigin::Timer); });
  connect(ButtonPlay, &QToolButton::clicked, this, [this] { Loop->ButtonPlayClick(TOrigin::Control); });
  connect(ButtonStop, &QToolButton::clicked, this, [this] { Loop->ButtonStopClick(TOrigin::Control); });
  connect(TrackBarVolume, &QSlider::valueChanged, this, [this] { Loop->TrackBarVolumeChange(); });
  for (QToolButton *b : PlaySpeedButtons)
    connect(b, &QToolButton::clicked, this, [this] { Loop->TrackBarPlaySpeedChange(TOrigin::Control); });
  // Nothing is loaded yet: the controls start as Stop leaves them, and
  // frame steps wait for a paused recording.
  for (QWidget *control :
       std::initializer_list<QWidget *>{ButtonPlay, ButtonStop, ButtonVideoZoomIn, ButtonVideoZoomOut, ButtonFrameNext,
                                        ButtonFramePrev, PanelPlaySpeed})
    control->setEnabled(false);
  for (const char *name : {"N_Playback_Frame_Next", "N_Playback_Frame_Prev"}) Item(name)->setEnabled(false);
}

void TFormMain::BuildVideoWindow()
{
  EVR.reset();
  delete VideoWindowEVR;
  VideoWindowEVR = nullptr;
  delete VideoWindowWMR;
  VideoWindowWMR = nullptr;
  FilterEVR.SetFilterGraph(nullptr);
  FilterMicrosoftVideo.SetFilterGraph(nullptr);
  if (Item("N_Playback_Renderer_EVR")->isChecked()) {
    // Placed by the video zoom, not by a layout.
    VideoWindowEVR = new QWidget(PanelVideo);
    VideoWindowEVR->setObjectName(QStringLiteral("VideoWindowEVR"));
    VideoWindowEVR->setGeometry(PanelVideo->rect());
    VideoWindowEVR->show();
    AttachPopup(VideoWindowEVR, FMenus);
    EVR = std::make_unique<TEVR>(this, VideoWindowEVR, nullptr);
    FilterEVR.SetFilterGraph(&FilterGraph);
    FilterMicrosoftVideo.SetFilterGraph(&FilterGraph);
  } else {
    VideoWindowWMR = new TVideoWindow(PanelVideo);
    VideoWindowWMR->setObjectName(QStringLiteral("VideoWindowWMR"));
    VideoWindowWMR->setGeometry(PanelVideo->rect());
    VideoWindowWMR->show();
    VideoWindowWMR->SetFilterGraph(&FilterGraph);
    VideoWindowWMR->SetMode(Item("N_Playback_Renderer_WMR")->isChecked() ? vmVMR : vmNormal);
    AttachPopup(VideoWindowWMR, FMenus);
  }
  if (Views) Views->FullScreen.WatchVideoWindows();
  ApplyVideoZoom();
}

TBS_Image *TFormMain::NewGraphImage()
{
  auto *image = new TBS_Image(ImageSeek->parentWidget());
  image->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(image, &QWidget::customContextMenuRequested, this,
          [this, image](const QPoint &at) { FMenus->GraphicsPopup()->popup(image->mapToGlobal(at)); });
  Model->ConnectImage(image);
  image->show();
  return image;
}

void TFormMain::GraphsChanged()
{
  // The details window draws the pointed graph's kind: find it by letter.
  const std::pair<TMyGraphicClass, QString> kinds[] = {
      {&TSpeedGraphic::Create, QString()},    {&TAltitudeGraphic::Create, QString()},
      {&TGsensorAGraphic::Create, QString()}, {&TGsensorXGraphic::Create, QString()},
      {&TGsensorYGraphic::Create, QString()}, {&TGsensorZGraphic::Create, QString()},
  };
  GraphClasses.clear();
  for (size_t i = 0; i < Graphs.size(); ++i) {
    TMyGraphic *graph = Graphs[i].get();
    TMyGraphicClass found = nullptr;
    for (const auto &kind : kinds) {
      TImage probe;
      probe.Width = 10;
      probe.Height = 10;
      if (kind.first(&probe, 0)->GetLetter() == graph->GetLetter()) found = kind.first;
    }
    GraphClasses.push_back(found);
    if (i >= GraphImages.size()) continue;
    TBS_Image *image = GraphImages[i];
    // The painter follows its picture's size (the images are new each time).
    image->Image()->Width = std::max(1, image->width());
    image->Image()->Height = std::max(1, image->height());
    graph->Resize();
    connect(image, &TBS_Image::Resized, this, [this, image] {
      if (TMyGraphic *painter = Controls.GraphOf(image)) painter->Resize();
    });
  }
}

void TFormMain::BuildMap()
{
  auto *view = new QWebEngineView(WebBrowser);
  view->setObjectName(QStringLiteral("MapWebView"));
  WebBrowser->layout()->addWidget(view);
  MapWebView = view;
  auto *analytics = new QWebEngineView(PanelRight);
  analytics->setObjectName(QStringLiteral("WebBrowserAnalytics"));
  analytics->setFixedHeight(0);
  analytics->hide();
  WebBrowserAnalytics = analytics;
  // The advertising strip: height 0 until its page states one.
  auto *ads = new QWebEngineView(PanelRight);
  ads->setObjectName(QStringLiteral("WebBrowserAds"));
  ads->setFixedHeight(0);
  ads->hide();
  PanelRight->layout()->addWidget(ads);
  WebBrowserAds = ads;
  MapBrowser = new TMapBrowser(view, this);
  MapBridge = std::make_unique<TMapBridge>(*FHost, MapBrowser, MapView);
  MapBrowser->Connect(*MapBridge);
  Controls.MapPage = MapBridge.get();
}

void TFormMain::BuildViews()
{
  FullScreenForm = std::make_unique<TFormFullScreen>(this);
  TViewsControls &c = ViewsControls;
  c.Window = this;
  c.FullScreen = FullScreenForm.get();
  c.Menus = FMenus;
  c.PanelVideo = PanelVideo;
  c.PanelBottom = PanelBottom;
  c.PanelControl = PanelControl;
  c.PanelGraphicsAddon = PanelGraphicsAddon;
  c.PanelBottomGraphics = PanelBottomGraphics;
  c.PanelZoomScroll = PanelZoomScroll;
  c.PanelRight = PanelRight;
  c.PanelListView = PanelListView;
  c.WebBrowser = WebBrowser;
  c.WebBrowserAds = WebBrowserAds;
  c.SplitterRight = SplitterRight;
  c.SplitterBottom = SplitterBottom;
  c.SplitterListView = SplitterListView;
  c.ListView = ListView;
  c.ButtonPlay = ButtonPlay;
  c.ButtonZoomIn = ButtonZoomIn;
  c.ButtonZoomOut = ButtonZoomOut;
  c.ButtonVideoZoomIn = ButtonVideoZoomIn;
  c.ButtonVideoZoomOut = ButtonVideoZoomOut;
  c.ScrollBarZoom = ScrollBarZoom;
  c.CheckBoxLoop = CheckBoxLoop;
  c.ImageSpeed = ImageSpeed;
  c.ImageAzimut = ImageAzimut;
  c.ImageGSensor = ImageGSensor;
  c.ImageSeek = ImageSeek;
  c.SeekBitmap = SeekBitmap.get();
  c.Graphs = &Graphs;
  c.GraphImages = &GraphImages;
  c.DesignColumnWidths = &DesignColumnWidths;
  Views = std::make_unique<TViews>(State, ViewsControls, *FHost, *FullScreenForm);
  Views->Connect();
  Views->Time.NormalizeTimeWindow();
  connect(FMenus->GraphicsPopup(), &QMenu::aboutToShow, this, [this] { FHost->HideDetails(); });
  PanelVideo->installEventFilter(this);
  PanelBottomGraphics->installEventFilter(this);
  PanelControl->installEventFilter(this);
  Views->StartupPasses();
  if (auto *ads = qobject_cast<QWebEngineView *>(WebBrowserAds)) Views->Profiles.WatchAdsPage(ads);
  if (auto *analytics = qobject_cast<QWebEngineView *>(WebBrowserAnalytics)) Views->Profiles.WatchAdsPage(analytics);
}

void TFormMain::NavigateAnalytics(const QUrl &url)
{
  if (auto *view = qobject_cast<QWebEngineView *>(WebBrowserAnalytics)) view->load(url);
}

} // namespace kp
