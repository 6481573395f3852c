#include "ViewProfiles.h"

#include "ColumnSaver.h"
#include "DateTime.h"
#include "IViewsHost.h"
#include "MainMenus.h"
#include "UnitBSImage.h"
#include "UnitFileManager.h"
#include "UnitMovingInfo.h"
#include "ViewCommands.h"

#include <QAction>
#include <QBoxLayout>
#include <QMenu>
#include <QResizeEvent>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace kp {

namespace {

constexpr int kDistanceColumn = 3;
constexpr int kSpeedColumn = 4;
constexpr int kAddonWidth = 260;

// Puts Widget first or last in its parent's box layout.
void AlignInParent(QWidget *widget, bool top)
{
  if (!widget || !widget->parentWidget()) return;
  auto *box = qobject_cast<QBoxLayout *>(widget->parentWidget()->layout());
  if (!box) return;
  box->removeWidget(widget);
  if (top)
    box->insertWidget(0, widget);
  else
    box->addWidget(widget);
}

void MoveInto(QWidget *widget, QWidget *parent, bool fill)
{
  if (!widget || !parent || widget->parentWidget() == parent) return;
  // Taking a new parent hides a widget; the view's own choice is kept.
  const bool hidden = widget->isHidden();
  if (auto *box = qobject_cast<QBoxLayout *>(parent->layout()))
    box->addWidget(widget, fill ? 1 : 0);
  else
    widget->setParent(parent);
  widget->setVisible(!hidden);
}

// Runs Changed after the watched widget's width changed.
class TWidthWatcher : public QObject {
public:
  TWidthWatcher(QObject *parent, std::function<void()> changed) : QObject(parent), FChanged(std::move(changed)) {}

protected:
  bool eventFilter(QObject *watched, QEvent *event) override
  {
    if (event->type() == QEvent::Resize) {
      const auto *resize = static_cast<QResizeEvent *>(event);
      if (resize->size().width() != resize->oldSize().width()) FChanged();
    }
    return QObject::eventFilter(watched, event);
  }

private:
  std::function<void()> FChanged;
};

} // namespace

double GmtShiftDays(int n, double localOffsetDays)
{
  return n / 24.0 - localOffsetDays;
}

std::optional<int> AdsStripHeight(const QString &meta, int current)
{
  bool ok = false;
  int h = meta.trimmed().toInt(&ok);
  if (!ok) h = -100;
  if (h > 0) h += 4;
  if (h >= 0 && h != current) return h;
  return std::nullopt;
}

QString AdsMetaScript(int width)
{
  // A page that sizes its strip to its text measures itself first.
  return QStringLiteral("(function(){if(typeof kpFit==='function')kpFit(%1);"
                        "var m=document.getElementsByTagName('meta');")
             .arg(width) +
         QStringLiteral("for(var i=0;i<m.length;i++){if((m[i].getAttribute('name')||'').toLowerCase()=='height')"
                        "return m[i].getAttribute('content')||'';}return '';})()");
}

TViewProfiles::TViewProfiles(const TViewsControls &controls, IViewsHost &host, TViewCommands &commands)
  : C(controls), FHost(host), FCommands(commands)
{
}

void TViewProfiles::N_View_Measu_MetricClick(QObject *sender)
{
  SetUseBritishUnits(C.Checked("N_View_Measu_British"));
  if (!sender) return;
  FHost.ApplyLanguage();
  FCommands.N_View_FileListClick(sender);
}

void TViewProfiles::N_View_TimeZone_LocalClick(QObject *sender)
{
  double shift = 0;
  if (!C.Checked("N_View_TimeZone_Local") && C.Menus) {
    if (QMenu *zones = C.Menus->Menu(QStringLiteral("N_View_TimeZone")))
      for (QAction *a : zones->actions())
        if (a->isChecked() && a->objectName() != QLatin1String("N_View_TimeZone_Local")) {
          bool ok = false;
          const int n = a->data().toInt(&ok);
          shift = GmtShiftDays(ok ? n : 0, LocalTimeOffset());
        }
  }
  SetTimeZoneShift(shift);
  if (!sender) return;
  if (TFileManager *manager = FHost.FileManager()) manager->Refresh();
  FHost.RefreshClockTexts();
  FCommands.N_View_FileListClick(sender);
}

void TViewProfiles::ProfileColumns(bool speedVisible)
{
  // The window's columns come back at their own widths.
  if (!FColumns) return;
  FColumns->SetHidden(kDistanceColumn, !speedVisible);
  FColumns->SetHidden(kSpeedColumn, !speedVisible);
}

void TViewProfiles::PlaceControlPanel(bool video)
{
  if (video) {
    if (C.PanelGraphicsAddon) C.PanelGraphicsAddon->setFixedWidth(0);
    MoveInto(C.PanelControl, C.PanelRight, false);
    AlignInParent(C.WebBrowserAds, true);
  } else {
    if (C.PanelGraphicsAddon) C.PanelGraphicsAddon->setFixedWidth(kAddonWidth);
    // Along the bottom the panel got the fixed height of its rows; beside
    // the graphs it fills the column again.
    if (C.PanelControl) {
      C.PanelControl->setMinimumHeight(0);
      C.PanelControl->setMaximumHeight(QWIDGETSIZE_MAX);
    }
    MoveInto(C.PanelControl, C.PanelGraphicsAddon, true);
    AlignInParent(C.WebBrowserAds, false);
  }
}

void TViewProfiles::ProfileMarks(bool video, bool gsensor)
{
  TMenuState &marks = C.Menus->State();
  if (QAction *map = C.Item("N_View_GoogleMaps")) marks.SetItemChecked(map, !video);
  if (video) {
    FCommands.N_View_Graphics_ShowClick(C.Item("N_View_Graphics_Hide"));
  } else {
    if (QAction *s = C.Item("N_View_Graphics_S")) marks.SetItemChecked(s, true);
    if (QAction *g = C.Item("N_View_Graphics_G")) marks.SetItemChecked(g, gsensor);
    if (!gsensor)
      for (const char *name : {"N_View_Graphics_X", "N_View_Graphics_Y", "N_View_Graphics_Z"})
        if (QAction *a = C.Item(name)) marks.SetItemChecked(a, false);
    FCommands.N_View_Graphics_SClick(C.Window);
  }
}

void TViewProfiles::N_View_Profile_GPSClick(QObject *sender)
{
  const bool gsensor = C.Checked("N_View_Profile_GPS_G"), video = C.Checked("N_View_Profile_Video");
  if (C.ImageGSensor) C.ImageGSensor->setVisible(gsensor);
  if (C.ImageSpeed) C.ImageSpeed->setVisible(!video);
  if (C.ImageAzimut) C.ImageAzimut->setVisible(!video);
  ProfileColumns(!video);
  PlaceControlPanel(video);
  if (!sender) return;
  FHost.UpdateDetailsVisibility();
  if (C.Menus) ProfileMarks(video, gsensor);
  FCommands.N_View_FileListClick(sender);
  FHost.LayoutControlPanel();
  FHost.FormResize();
  FHost.SplitterRightMoved();
  FHost.RepaintList();
}

void TViewProfiles::AdsLoaded(const QString &meta)
{
  if (!C.WebBrowserAds) return;
  C.WebBrowserAds->setVisible(true);
  if (const std::optional<int> h = AdsStripHeight(meta, C.WebBrowserAds->height())) {
    C.WebBrowserAds->setFixedHeight(*h);
    FHost.LayoutControlPanel();
  }
}

void TViewProfiles::WatchAdsPage(QWebEngineView *view)
{
  if (!view) return;
  const auto read = [this, view] { ReadMeta(*view); };
  QObject::connect(view, &QWebEngineView::loadFinished, view, [read](bool ok) {
    if (ok) read();
  });
  // A strip's page may need another height at another width.
  if (view == C.WebBrowserAds) view->installEventFilter(new TWidthWatcher(view, read));
}

// The strip's width goes along: the page's text may wrap to it.
void TViewProfiles::ReadMeta(QWebEngineView &view)
{
  const int width = C.WebBrowserAds ? C.WebBrowserAds->width() : 0;
  view.page()->runJavaScript(AdsMetaScript(width), [this](const QVariant &v) { AdsLoaded(v.toString()); });
}

void TViewProfiles::ReadAdsHeight()
{
  // Shown once its page loaded; before, the load reads it.
  auto *view = qobject_cast<QWebEngineView *>(C.WebBrowserAds);
  if (!view || view->isHidden()) return;
  ReadMeta(*view);
}

} // namespace kp
