#pragma once
// The map page's last reported view and what is derived from it. The map
// bridge writes it from the page's reports; the playback loop reads it to
// scale, place and follow the position marker and restores the pending zoom.
// Main thread only.

#include "UnitUtils.h"

namespace kp {

struct TMapView {
  TGeoPoint TopLeft;     // X west longitude, Y north latitude
  TGeoPoint BottomRight; // X east longitude, Y south latitude
};

struct TMapViewState {
  bool MapInited = false; // the page has said "inited"
  TMapView MapView;
  TGeoPoint MapCenter;
  int MapWidth = 0; // pixels
  int MapHeight = 0;
  TGeoPoint MetresPerPixel;  // X across, Y down
  TGeoPoint MetresPerDegree; // X of longitude, Y of latitude
  int MapZoom = 0;
  double MarkerSize = 0;  // 20 pixels in metres: the position marker's scale
  TGeoPoint FollowMargin; // degrees
  bool FollowMarker = false;
  int PendingMapZoom = -1; // the zoom before the last fit, -1 when none
};

} // namespace kp
