#pragma once
// The program's dialog for choosing files to open. It opens at the size the
// user last gave it; at first at one that shows the name, size, type and
// date of a file whole (the stock size cuts them). Its columns of size,
// type and date fit their contents once a folder is read. Main thread only.

#include <QSize>
#include <QString>
#include <QStringList>

class QFileDialog;
class QFontMetrics;
class QWidget;

namespace kp {

// Size the dialog opens at: the stored one, else the first-time one for
// the dialog's font.
QSize OpenDialogSize(const QFontMetrics &font);
// Gives Dialog that size, and fits its columns to each folder it reads.
void PrepareOpenDialog(QFileDialog &dialog);
// Remembers the size Dialog was closed with.
void RememberOpenDialog(const QFileDialog &dialog);

// Files chosen (one at most unless Several), in the filter form
// "Name (*.a *.b);;..."; Selected, when given, is the filter shown first
// and then the one used.
QStringList ChooseFilesToOpen(QWidget *parent, const QString &filter, QString *selected, bool several);

} // namespace kp
