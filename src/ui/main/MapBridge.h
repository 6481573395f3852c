#pragma once
// The main window's side of the map page: the gate every script passes, the
// script texts for centring, fitting, the tracks and the A-B marks, the
// handler of the page's callbacks with the view fields and map settings they
// write, and which page the browser loads.
//
// Main thread only. The window owns the bridge, the view state it hands in
// (which the playback loop reads) and the browser; the bridge owns its copies
// of the tracks it draws.

#include "IMapBridgeHost.h"
#include "IMapBrowser.h"
#include "IMapPage.h"
#include "MapViewState.h"

#include <QElapsedTimer>
#include <QString>
#include <memory>
#include <vector>

namespace kp {

class TMapBridge : public IMapPage {
public:
  // Browser may be null: the window has no map view, and every script is
  // refused. Resets the map provider to "not chosen yet", so the window's
  // first layout pass loads a page.
  TMapBridge(IMapBridgeHost &host, IMapBrowser *browser, TMapViewState &view);
  ~TMapBridge() override;

  // IMapPage
  bool ExecMapScript(const QString &script, bool force = false) override;
  void SetMapCenter(double x, double y, double azimuth) override;
  void SetMapBounds(const std::vector<const TMovingInfo *> &tracks, const std::vector<bool> &highlight, bool fit,
                    bool drawGaps) override;
  bool MapVisible() const override;
  void ForgetTrackScript() override;

  // Redraws the tracks last handed to SetMapBounds when the view changed
  // enough to give another script.
  void DrawTrackPath();
  // The loaded recording's tracks again, fitted as its selection fits them,
  // after another window showed its own; an empty map when none is loaded.
  void ShowRecordingTracks();
  // Shows the A and B marks at their telemetry points.
  void ShowMapAB();
  void OpenAnalyticsPage();

  // Provider 1 loads the map page and shows the view; anything else blanks
  // and hides it. The page is uninitialised until it says "inited" again.
  void LoadMapPage(int provider);
  // Every navigation of the page passes here; true for the page's callback
  // addresses, which the browser must cancel.
  bool WebBrowserBeforeNavigate2(const QUrl &url);
  // A finished load: the blank page of a hidden view collapses it.
  void WebBrowserDocumentComplete(const QUrl &url);

  // The "initialize" call the page's "loaded" report gets.
  static QString InitializeScript();

private:
  struct TQuery;
  void HandleCallback(const QString &command, QString query);
  void OnZoom(const QString &query);
  void OnView(const QString &query, bool bounds);
  void OnRouteClick(const QString &query);
  void OnInited();
  void ReadViewFields(const QString &query);
  bool DeriveView();
  bool ViewReal() const;
  void SaveView();
  QString TrackScript(double tolerance, TGeoPoint &start, TGeoPoint &finish) const;
  void SendFit(const QString &script, const TMapView &bounds);
  bool Fitting() const;
  bool ViewHoldsFit() const;
  double RouteTolerance() const;
  TGeoPoint MarkPoint(long double position) const;

  IMapBridgeHost &FHost;
  IMapBrowser *FBrowser;
  TMapViewState &FView;
  std::vector<std::unique_ptr<TMovingInfo>> FTrackInfos;
  std::vector<bool> FTrackHighlight;
  bool FDrawGaps = false;
  bool FViewDerived = false; // the view fields hold values from a real view
  QString FLastTrackScript;
  // A fit asked for before the page was ready, sent when it is.
  QString FPendingFit;
  TMapView FFitBounds; // of the last fit sent or pending
  // Running from a fit's sending until the page reports a view that holds
  // the fitted rectangle: the view fields hold an older view meanwhile
  // (reports sent before the fit may still be on their way).
  QElapsedTimer FFitSent;
  TGeoPoint FStartPoint, FFinishPoint;
};

} // namespace kp
