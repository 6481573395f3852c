#pragma once
// The one way the windows ask and tell the user: a message box that fits
// the screen whatever it lists, with the icon its kind calls for. Main
// thread only.

#include "UnitUtilsDesktop.h"

#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

namespace kp {

enum class TMessageKind { Information, Question, Warning, Critical };

struct TMessage {
  TMessageKind Kind = TMessageKind::Information;
  QString Text;        // the summary; CR LF or LF break its lines
  QStringList Details; // names, one per line, in a scrolling part of their own
};

// Shows Message over Parent (titled with Title) and returns the button
// pressed. Listed names never make the box taller than its summary: they
// scroll in the details part, open from the start; a text of many lines
// keeps its first paragraph and moves the rest there too.
QMessageBox::StandardButton ShowMessageBox(QWidget *parent, const QString &title, const TMessage &message,
                                           QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                           QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);

// What a desktop command shows when the desktop could not open its target
// (the answer may come when Parent is gone: then nothing is shown).
TDesktopFailure CantOpenReport(QWidget *parent);

} // namespace kp
