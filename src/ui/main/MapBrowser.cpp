#include "MapBrowser.h"

#include "MapBridge.h"
#include "MapWebPage.h"
#include "UnitRegSettings.h"

#include <QWebEngineProfile>
#include <QWebEngineView>

namespace kp {

TMapBrowser::TMapBrowser(QWebEngineView *view, QObject *parent)
  : QObject(parent), FView(view), FProfile(TMapWebPage::MakeProfile(this)), FPage(new TMapWebPage(FProfile, FProfile))
{
  // The map has no use for the engine's menu (its Reload would restart the map).
  FView->setContextMenuPolicy(Qt::NoContextMenu);
  FView->setPage(FPage);
}

TMapBrowser::~TMapBrowser()
{
  // The page must go before its profile, and the view must not keep it.
  if (FView && FView->page() == FPage) FView->setPage(nullptr);
  delete FPage;
}

void TMapBrowser::Connect(TMapBridge &bridge)
{
  FPage->OnCallback = [&bridge](const QUrl &url) { bridge.WebBrowserBeforeNavigate2(url); };
  connect(FPage, &QWebEnginePage::loadFinished, this,
          [this, &bridge] { bridge.WebBrowserDocumentComplete(FPage->url()); });
}

bool TMapBrowser::Shown() const
{
  return FView && !FView->isHidden();
}

bool TMapBrowser::PageLoaded() const
{
  return FPage->SaidLoaded();
}

void TMapBrowser::RunScript(const QString &script)
{
  FPage->runJavaScript(script);
}

QSize TMapBrowser::Size() const
{
  return FView ? FView->size() : QSize();
}

void TMapBrowser::Navigate(const QUrl &url)
{
  FPage->SetTileUrl(settings::MapTileUrl.Read());
  FPage->setUrl(url);
}

void TMapBrowser::SetShown(bool shown)
{
  if (!FView) return;
  if (shown) FView->setMaximumHeight(QWIDGETSIZE_MAX);
  FView->setVisible(shown);
}

void TMapBrowser::Collapse()
{
  if (FView) FView->setMaximumHeight(0);
}

} // namespace kp
