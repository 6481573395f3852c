#pragma once
// The video zoom command: reads the mode from the menu marks, runs the zoom
// engine and hands its rectangles to the renderer in use (the EVR display,
// the mixing renderer of a TVideoWindow, or, for the plain renderer, only
// the window's place). Also the picture's drag and the mouse buttons on the
// video. Main thread only; nothing is owned.

#include "PlaybackState.h"
#include "VideoZoomEngine.h"
#include "ViewsControls.h"

#include <QPoint>

class QAction;
class QObject;

namespace kp {

class IViewsHost;

class TVideoZoom {
public:
  TVideoZoom(TPlaybackState &state, TViewState &view, const TViewsControls &controls, IViewsHost &host);

  // Sender: a zoom button, a zoom or percentage item; null re-applies.
  void ButtonVideoZoomOutClick(QObject *sender = nullptr);
  // A mode or flip item was triggered (its mark already set).
  void N_VideoZoom_LetterboxClick(QAction *sender);
  // Sets the free zoom (the custom zoom dialog's value) and applies it.
  void SetCustomZoom(double zoom);

  // Mouse on the video. Down returns true when it started a drag.
  bool MouseDown(Qt::MouseButton button, QPoint globalPos);
  void MouseUp();
  // A move while dragging: the pan follows the cursor.
  void DragTo(QPoint globalPos);

  TVideoZoomCommand CommandOf(const QObject *sender, double &percent) const;
  TVideoZoomMode CheckedMode() const;

private:
  QSize NativeSize() const;
  void Apply(const TVideoZoomResult &r);
  void Attach();

  TPlaybackState &S;
  TViewState &V;
  const TViewsControls &C;
  IViewsHost &FHost;
};

} // namespace kp
