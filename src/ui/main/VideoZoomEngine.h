#pragma once
// Where the decoded picture goes inside the video panel: the fit modes, the
// free zoom from 2 % to 800 % with its pan, and the rectangles handed to the
// renderer. A pure function of sizes and the command, so every case is
// checked without a renderer.

#include "VideoPresenter.h"

#include <QRect>
#include <QSize>
#include <QString>

namespace kp {

enum class TVideoZoomMode { Letterbox, PanAndScan, Stretch, NotLinear, Custom };

// The command that asked: none re-applies; Percent carries its value.
enum class TVideoZoomCommand { None, ZoomIn, ZoomOut, Percent, Other };

struct TVideoZoomInput {
  QSize Native; // the picture's aspect-corrected size; empty when unknown
  QSize Panel;  // the video panel's client size
  TVideoZoomMode Mode = TVideoZoomMode::Letterbox;
  double Zoom = 1.0;
  double PanX = 0.5, PanY = 0.5;
  double Step = 2.0;
  TVideoZoomCommand Command = TVideoZoomCommand::None;
  double Percent = 100; // for Percent
};

struct TVideoZoomResult {
  double Zoom = 1.0;
  double PanX = 0.5, PanY = 0.5;
  TVideoZoomMode Mode = TVideoZoomMode::Letterbox;
  bool SaveCustom = false; // the free zoom was chosen by the command
  QString CustomSuffix;    // "400%" while the free zoom is on, else empty
  bool HasSize = false;    // both sizes known: the rectangles below apply
  QRect PictureRect;       // the whole picture, panel pixels
  QRect VideoRect;         // where the video window goes
  TNormalizedRect Source;  // the visible part of the picture, 0..1
};

TVideoZoomResult ComputeVideoZoom(const TVideoZoomInput &in);

// The visible part in the renderer's picture pixels.
QRect SourcePixels(const TNormalizedRect &source, QSize native);

} // namespace kp
