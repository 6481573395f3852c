#pragma once
// The web page that holds the map. It takes the page's callbacks out of its
// navigations (cancelling every one, whatever the engine calls it: "loaded"
// comes while the page is still loading and arrives as a redirect), knows
// whether the page has said "loaded" since it last navigated, and sends
// links the user clicks to the desktop's browser so the map stays.
//
// Main thread only.

#include <QWebEnginePage>
#include <functional>

class QWebEngineProfile;

namespace kp {

class TMapWebPage : public QWebEnginePage {
  Q_OBJECT

public:
  // Profile: one of the map's own (MakeProfile), or null for the default.
  explicit TMapWebPage(QWebEngineProfile *profile, QObject *parent = nullptr);

  // A profile whose requests name the program, with no disk storage.
  static QWebEngineProfile *MakeProfile(QObject *parent);

  // Every callback address goes here (cancelled whatever it returns).
  std::function<void(const QUrl &)> OnCallback;
  // Where clicked links go; the desktop's browser unless replaced.
  std::function<void(const QUrl &)> OnOpenLink;

  bool SaidLoaded() const { return FSaidLoaded; }
  // The tile address the next page load starts with ("" for no tiles).
  void SetTileUrl(const QString &url);
  // The page's own words (loading, offline, refresh), on this page and on
  // every page loaded later.
  void SetPageTexts(const QString &loading, const QString &offline, const QString &refresh);

protected:
  bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
  void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message, int line,
                                const QString &source) override;

private:
  bool FSaidLoaded = false;
};

} // namespace kp
