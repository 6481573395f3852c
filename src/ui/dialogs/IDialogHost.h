#pragma once
// What the auxiliary windows (copy, grouping, details, About) need of the
// main window. The main window implements it; tests fake it. Every entry is
// called on the main thread only.

#include "UnitGraphics.h"
#include "UnitMovingInfo.h"

#include <QIcon>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <vector>

namespace kp {

class TFileManager;

// One column of the main recording list as shown.
struct TDialogListColumn {
  int DesignIndex = 0; // TFileListColumn: 0 is the caption, N the sub-item N - 1
  QString Caption;
  int Width = 0;
  Qt::Alignment Alignment = Qt::AlignLeft;
};

// The telemetry at one fraction of the loaded recording; zeroed when none.
struct TDetailsTelemetry {
  TMovingPoint Point;
  TGSensorSample Sample;
  bool Valid = false;
};

class IDialogHost {
public:
  virtual ~IDialogHost() = default;

  // ------------------------------------------------------------ main window
  // The main window's frame rectangle on the screen and its client size.
  virtual QRect MainGeometry() const = 0;
  virtual QSize MainClientSize() const = 0;
  // The check mark of a menu item, by its component name.
  virtual bool MenuChecked(const QString &name) const = 0;
  // The help menu's web-site command.
  virtual void OpenWebSite() = 0;
  // The kept folder chooser, shown modally with Path and Caption; true with
  // Path set when the user confirmed a folder.
  virtual bool SelectFolder(QString &path, const QString &caption) = 0;

  // ------------------------------------------------------------ recording list
  virtual TFileManager *Catalogue() = 0;
  // The list's columns in display order.
  virtual std::vector<TDialogListColumn> ListColumns() const = 0;
  // The list's small images, indexed by TFileListImage.
  virtual QList<QIcon> ListImages() const = 0;
  // Indexes of the selected rows, ascending.
  virtual std::vector<int> SelectedRows() const = 0;
  // Copies the tracks (flagged ones in the highlight colour), fits the map
  // to them and draws them.
  virtual void SetMapBounds(const std::vector<const TMovingInfo *> &tracks, const std::vector<bool> &highlight) = 0;

  // ------------------------------------------------------------ loaded recording
  // All take a fraction of the loaded recording.
  virtual TDetailsTelemetry GetTelemetryAt(long double position) const = 0;
  virtual TDateTime PositionToDateTime(long double position) const = 0; // display time zone applied
  virtual int64_t PositionToMs(long double position) const = 0;
  virtual QString FileCaptionAt(long double position) const = 0;
  // Fills Graph's series for the window [From, To] over Columns pixel
  // columns with the seek bar's intervals and draws it, as the main graphs.
  virtual void DrawGraphWindow(TMyGraphic &graph, long double from, long double to, int columns) = 0;
  // The bottom graph panel's rectangle in screen coordinates.
  virtual QRect GraphPanelScreenRect() const = 0;
};

} // namespace kp
