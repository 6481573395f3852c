#pragma once
// The view and list commands that ask the user something first: the custom
// video zoom, attaching a track file, moving a recording in time; and the
// maker's site beside them. The questions go through replaceable functions,
// so tests answer them. Main thread only.

#include "ViewsControls.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace kp {

class IViewsHost;
class TVideoZoom;

// The dialog filters of "text|mask|text|mask|" pairs ("Text (mask mask)").
QStringList OpenDialogFilters(const QString &pairs);
// The shift a "[-]time of day" text means, in days; 0 when unreadable.
double ParseTimeShift(const QString &text);
// The custom zoom's answer as a factor; 100 % when unreadable.
double ParseCustomZoom(const QString &text);

class TViewDialogs {
public:
  TViewDialogs(const TViewsControls &controls, IViewsHost &host, TVideoZoom &zoom);

  // Asks for a text (caption, prompt, offered text); false on Cancel.
  std::function<bool(const QString &caption, const QString &prompt, QString &text)> InputQuery;
  // Asks for a track file; empty on Cancel.
  std::function<QString(const QStringList &filters, const QString &selected)> ChooseTrackFile;

  void N_VideoZoom_OtherClick(double currentZoom);
  void N_FileList_Track_SetClick();
  void N_FileList_Track_MoveClick();
  void N_Help_SiteClick();

private:
  int SelectedRow(QString &identity) const;

  const TViewsControls &C;
  IViewsHost &FHost;
  TVideoZoom &FZoom;
};

} // namespace kp
