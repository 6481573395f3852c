#include "OpenFileDialog.h"

#include "UnitRegSettings.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QTimer>
#include <QTreeView>
#include <algorithm>

namespace kp {

namespace {

// Wide enough for a camera's file name, "999.9 MiB", "QuickTime video" and
// a date with its time in a font 17 pixels high; a larger font widens it.
constexpr QSize kFirstSize{900, 540};
constexpr double kFirstFontHeight = 17;

} // namespace

QSize OpenDialogSize(const QFontMetrics &font)
{
  const QSize stored(settings::OpenDialogWidth.Read(), settings::OpenDialogHeight.Read());
  if (stored.width() > 0 && stored.height() > 0) return stored;
  return kFirstSize * std::max(1.0, font.height() / kFirstFontHeight);
}

void PrepareOpenDialog(QFileDialog &dialog)
{
  dialog.resize(OpenDialogSize(dialog.fontMetrics()));
  auto *view = dialog.findChild<QTreeView *>(QStringLiteral("treeView"));
  auto *model = dialog.findChild<QFileSystemModel *>();
  if (!view || !model) return; // the desktop's own dialog lays itself out
  // The name takes what the other columns leave. Sizes and types arrive a
  // moment after the names: fitted once more then.
  auto *later = new QTimer(view);
  later->setSingleShot(true);
  later->setInterval(300);
  const auto fit = [view] {
    for (int column = 1; column < view->header()->count(); ++column) view->resizeColumnToContents(column);
  };
  QObject::connect(later, &QTimer::timeout, view, fit);
  QObject::connect(model, &QFileSystemModel::directoryLoaded, view, [fit, later] {
    fit();
    later->start();
  });
}

void RememberOpenDialog(const QFileDialog &dialog)
{
  if (dialog.size() == OpenDialogSize(dialog.fontMetrics())) return;
  settings::OpenDialogWidth.Write(dialog.width());
  settings::OpenDialogHeight.Write(dialog.height());
}

QStringList ChooseFilesToOpen(QWidget *parent, const QString &filter, QString *selected, bool several)
{
  QFileDialog dialog(parent, QString(), QString(), filter);
  dialog.setFileMode(several ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  if (selected && !selected->isEmpty()) dialog.selectNameFilter(*selected);
  PrepareOpenDialog(dialog);
  const bool chosen = dialog.exec() == QDialog::Accepted;
  RememberOpenDialog(dialog);
  if (!chosen) return {};
  if (selected) *selected = dialog.selectedNameFilter();
  return dialog.selectedFiles();
}

} // namespace kp
