#pragma once
// The browser that shows the map page, as the map bridge drives it. The
// program's one is TMapBrowser over a web view; tests record scripts and
// navigations. Main thread only.

#include <QSize>
#include <QString>
#include <QUrl>

namespace kp {

class IMapBrowser {
public:
  virtual ~IMapBrowser() = default;
  // The view exists and is not hidden.
  virtual bool Shown() const = 0;
  // The page has said "loaded" since the last navigation.
  virtual bool PageLoaded() const = 0;
  // Runs one script text in the page, not waiting for its result; errors in
  // the script stay in the page.
  virtual void RunScript(const QString &script) = 0;
  virtual QSize Size() const = 0;
  virtual void Navigate(const QUrl &url) = 0;
  // Shows the view at its laid-out size, or hides it.
  virtual void SetShown(bool shown) = 0;
  // Takes the hidden view's height to 0.
  virtual void Collapse() = 0;
};

} // namespace kp
