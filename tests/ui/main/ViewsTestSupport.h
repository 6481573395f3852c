#pragma once
// A window-shaped set of bare widgets, the menus, the full-screen window
// and a recording host, for the view collaborators' tests.

#include "CommandBoundary.h"
#include "IViewsHost.h"
#include "MainMenus.h"
#include "UiTestSupport.h"
#include "UnitBSImage.h"
#include "UnitFormFullScreen.h"
#include "UnitGraphics.h"
#include "UnitReg.h"
#include "UnitTranslate.h"
#include "Views.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QScrollBar>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTableView>
#include <QToolButton>
#include <QVBoxLayout>
#include <memory>
#include <vector>

namespace kptest {

struct FakeViewsHost : kp::IViewsHost {
  int Resizes = 0, Stops = 0, Plays = 0, Passes = 0, Retitles = 0, Frames = 0, BackJumps = 0, Builds = 0, Reloads = 0;
  std::vector<long double> Seeks;
  std::vector<int> Providers;
  QStringList Messages, Scripts;
  int WebSites = 0;
  long double Position = 0.5;
  int State = 0;
  int64_t Duration = 600LL * 10000000;
  kp::TActiveWindow Active = kp::TActiveWindow::Main;
  QWidget *GraphParent = nullptr;

  void FormResize() override { ++Resizes; }
  void SplitterRightMoved() override {}
  void LayoutControlPanel() override {}
  void ApplyLanguage() override {}
  void RepaintList() override {}
  void ButtonPlayClick() override { ++Plays; }
  void ButtonStopClick() override { ++Stops; }
  void TimerPass() override { ++Passes; }
  void RefreshClockTexts() override { ++Retitles; }
  long double GetPosition() override { return Position; }
  void SeekTo(long double p) override { Seeks.push_back(p); }
  void ListViewSelectItem() override { ++Reloads; }
  void FrameNext() override { ++Frames; }
  void JumpSecondBack() override { ++BackJumps; }
  int GraphState() const override { return State; }
  bool CanSeek() const override { return true; }
  int64_t FileDuration() const override { return Duration; }
  void BuildVideoWindow() override { ++Builds; }
  kp::TEVR *EVR() const override { return nullptr; }
  QWidget *VideoWindowEVR() const override { return nullptr; }
  kp::TVideoWindow *VideoWindowWMR() const override { return nullptr; }
  void RefreshPausedFrame() override {}
  void ShowMapAB() override {}
  void LoadMapPage(int provider) override { Providers.push_back(provider); }
  void ExecMapScript(const QString &script) override { Scripts << script; }
  QString MarkerLatLngJS() const override { return QStringLiteral("null"); }
  void HideDetails() override {}
  void UpdateDetailsVisibility() override {}
  void ShowGroupWindow(int) override {}
  kp::TActiveWindow ActiveWindow() const override { return Active; }
  void CloseActiveWindow() override {}
  void ShowMessage(const QString &text) override { Messages << text; }
  void OpenWebSite() override { ++WebSites; }
  kp::TBS_Image *NewGraphImage() override { return new kp::TBS_Image(GraphParent); }
  void GraphsChanged() override {}
  kp::TFileManager *FileManager() const override { return nullptr; }
};

inline QWidget *Panel(QWidget *parent, const char *name, bool column = true)
{
  auto *w = new QWidget(parent);
  w->setObjectName(QLatin1String(name));
  if (column) {
    auto *l = new QVBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
  }
  return w;
}

inline QToolButton *Button(QWidget *parent, const char *name)
{
  auto *b = new QToolButton(parent);
  b->setObjectName(QLatin1String(name));
  return b;
}

// The widgets of the main window that the views touch, laid out alike.
struct ViewsRig {
  QWidget window;
  kp::TMainMenus *menus = new kp::TMainMenus(&window);
  kp::TFormFullScreen fullScreen{&window};
  QStandardItemModel model{3, 8};
  kp::TPlaybackState state;
  kp::TMapViewState map;
  kp::TViewsControls c;
  FakeViewsHost host;
  std::vector<std::unique_ptr<kp::TMyGraphic>> graphs;
  std::vector<kp::TBS_Image *> graphImages;
  std::vector<int> designWidths{200, 60, 120, 54, 30, 200, 40, 80};
  std::unique_ptr<kp::TViews> views;

  ViewsRig()
  {
    kp::InitLanguages();
    kp::SetCurLang(kp::LangEnglish);
    menus->Build(nullptr);
    menus->State().RememberDefaultChecks();
    menus->BuildTimeZoneMenu();
    c.Window = &window;
    c.FullScreen = &fullScreen;
    c.Menus = menus;
    auto *row = new QVBoxLayout(&window);
    c.SplitterRight = new QSplitter(Qt::Horizontal, &window);
    row->addWidget(c.SplitterRight);
    QWidget *left = Panel(nullptr, "PanelLeft");
    c.SplitterBottom = new QSplitter(Qt::Vertical, left);
    left->layout()->addWidget(c.SplitterBottom);
    c.PanelVideo = Panel(nullptr, "PanelVideo");
    c.PanelBottom = Panel(nullptr, "PanelBottom");
    c.PanelVideo->setMinimumSize(320, 240);
    c.SplitterBottom->addWidget(c.PanelVideo);
    c.SplitterBottom->addWidget(c.PanelBottom);
    c.PanelGraphicsAddon = Panel(c.PanelBottom, "PanelGraphicsAddon");
    c.PanelBottom->layout()->addWidget(c.PanelGraphicsAddon);
    c.PanelControl = Panel(c.PanelGraphicsAddon, "PanelControl");
    c.PanelGraphicsAddon->layout()->addWidget(c.PanelControl);
    c.PanelBottomGraphics = Panel(c.PanelBottom, "PanelBottomGraphics");
    c.PanelBottom->layout()->addWidget(c.PanelBottomGraphics);
    c.PanelZoomScroll = Panel(c.PanelBottom, "PanelZoomScroll", false);
    c.PanelBottom->layout()->addWidget(c.PanelZoomScroll);
    c.ScrollBarZoom = new QScrollBar(Qt::Horizontal, c.PanelZoomScroll);
    c.ButtonZoomIn = Button(c.PanelZoomScroll, "ButtonZoomIn");
    c.ButtonZoomOut = Button(c.PanelZoomScroll, "ButtonZoomOut");
    c.ButtonPlay = Button(c.PanelControl, "ButtonPlay");
    c.ButtonPlay->setCheckable(true);
    c.ButtonVideoZoomIn = Button(c.PanelControl, "ButtonVideoZoomIn");
    c.ButtonVideoZoomOut = Button(c.PanelControl, "ButtonVideoZoomOut");
    c.CheckBoxLoop = new QCheckBox(c.PanelControl);
    c.ImageSpeed = new kp::TBS_Image(c.PanelControl);
    c.ImageAzimut = new kp::TBS_Image(c.PanelControl);
    c.ImageGSensor = new kp::TBS_Image(c.PanelControl);
    c.ImageSeek = new kp::TBS_Image(c.PanelBottomGraphics);
    c.ImageSeek->resize(1000, 20);
    c.PanelRight = Panel(nullptr, "PanelRight");
    c.SplitterListView = new QSplitter(Qt::Vertical, c.PanelRight);
    c.PanelRight->layout()->addWidget(c.SplitterListView);
    c.WebBrowser = Panel(nullptr, "WebBrowser");
    c.PanelListView = Panel(nullptr, "PanelListView");
    c.SplitterListView->addWidget(c.WebBrowser);
    c.SplitterListView->addWidget(c.PanelListView);
    c.ListView = new QTableView(c.PanelListView);
    c.ListView->setModel(&model);
    c.PanelListView->layout()->addWidget(c.ListView);
    c.SplitterRight->addWidget(left);
    c.SplitterRight->addWidget(c.PanelRight);
    c.Graphs = &graphs;
    c.GraphImages = &graphImages;
    c.DesignColumnWidths = &designWidths;
    host.GraphParent = c.PanelBottomGraphics;
    state.Map = &map;
    views = std::make_unique<kp::TViews>(state, c, host, fullScreen);
    views->Connect();
    window.resize(1200, 800);
  }
  ~ViewsRig()
  {
    graphs.clear();
    fullScreen.hide();
  }
  QAction *operator[](const char *name) const { return menus->Action(QLatin1String(name)); }
};

} // namespace kptest
