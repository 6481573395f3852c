#pragma once
// The map bridge's browser in the program: a web view showing a TMapWebPage
// with a profile of its own. Connect routes the page's callbacks and
// finished loads to the bridge.
//
// Main thread only. The window owns the view (it sits in the window's
// layout); the browser owns the page and its profile, and must be destroyed
// before the view.

#include "IMapBrowser.h"

#include <QObject>
#include <QPointer>

class QWebEngineProfile;
class QWebEngineView;

namespace kp {

class TMapBridge;
class TMapWebPage;

class TMapBrowser : public QObject, public IMapBrowser {
  Q_OBJECT

public:
  explicit TMapBrowser(QWebEngineView *view, QObject *parent = nullptr);
  ~TMapBrowser() override;

  void Connect(TMapBridge &bridge);
  TMapWebPage *Page() const { return FPage; }

  bool Shown() const override;
  bool PageLoaded() const override;
  void RunScript(const QString &script) override;
  QSize Size() const override;
  // The map page starts with the tile address of the settings.
  void Navigate(const QUrl &url) override;
  void SetShown(bool shown) override;
  void Collapse() override;

private:
  QPointer<QWebEngineView> FView;
  QWebEngineProfile *FProfile;
  TMapWebPage *FPage;
};

} // namespace kp
