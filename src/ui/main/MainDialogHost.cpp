#include "FileListCommands.h"
#include "FileListModel.h"
#include "MainHost.h"
#include "MakerContacts.h"
#include "MapBridge.h"
#include "MessageBoxes.h"
#include "PositionModel.h"
#include "UnitFormMain.h"
#include "UnitFormSelectFolder.h"
#include "UnitTranslate.h"

#include <QApplication>
#include <QHeaderView>
#include <QTableView>

namespace kp {

TMainDialogHost::TMainDialogHost(TFormMain &window) : QObject(&window), W(window) {}

QRect TMainDialogHost::MainGeometry() const
{
  return W.frameGeometry();
}

QSize TMainDialogHost::MainClientSize() const
{
  return W.size();
}

bool TMainDialogHost::MenuChecked(const QString &name) const
{
  const QAction *item = W.Menus().Action(name);
  return item && item->isChecked();
}

void TMainDialogHost::OpenWebSite()
{
  if (MakerContacts().Site.isEmpty()) return;
  OpenWithDesktop(MakerContacts().Site,
                  CantOpenReport(QApplication::activeWindow() ? QApplication::activeWindow() : &W));
}

bool TMainDialogHost::SelectFolder(QString &path, const QString &caption)
{
  TFormSelectFolder *chooser = W.Windows.SelectFolder.get();
  if (!chooser) return false;
  chooser->setWindowTitle(caption);
  chooser->SetPath(path);
  if (chooser->exec() != QDialog::Accepted || chooser->Path().isEmpty()) return false;
  path = chooser->Path();
  return true;
}

TFileManager *TMainDialogHost::Catalogue()
{
  return W.FileManager();
}

std::vector<TDialogListColumn> TMainDialogHost::ListColumns() const
{
  std::vector<TDialogListColumn> columns;
  const QHeaderView *header = W.ListView->horizontalHeader();
  const QAbstractItemModel *model = W.ListView->model();
  for (int visual = 0; visual < header->count(); ++visual) {
    const int logical = header->logicalIndex(visual);
    TDialogListColumn c;
    c.DesignIndex = logical;
    c.Caption = model->headerData(logical, Qt::Horizontal, Qt::DisplayRole).toString();
    c.Width = header->sectionSize(logical);
    c.Alignment = logical == flcDuration || logical == flcDistance || logical == flcSpeed || logical == flcSize
                      ? Qt::AlignRight
                      : Qt::AlignLeft;
    columns.push_back(c);
  }
  return columns;
}

QList<QIcon> TMainDialogHost::ListImages() const
{
  return W.ListImages;
}

std::vector<int> TMainDialogHost::SelectedRows() const
{
  return W.ListCommands().SelectedRows();
}

void TMainDialogHost::SetMapBounds(const std::vector<const TMovingInfo *> &tracks, const std::vector<bool> &highlight)
{
  std::vector<bool> flags = highlight;
  if (tracks.size() == 1) flags.assign(1, false);
  if (W.MapBridge) W.MapBridge->SetMapBounds(tracks, flags, true, false);
}

TDetailsTelemetry TMainDialogHost::GetTelemetryAt(long double position) const
{
  TDetailsTelemetry t;
  W.Model->GetTelemetryAt(position, t.Point, t.Sample, t.Valid);
  return t;
}

TDateTime TMainDialogHost::PositionToDateTime(long double position) const
{
  return W.Model->PositionToDateTime(position);
}

int64_t TMainDialogHost::PositionToMs(long double position) const
{
  return W.Model->PositionToMs(position);
}

QString TMainDialogHost::FileCaptionAt(long double position) const
{
  return W.Model->FileCaptionAt(position);
}

void TMainDialogHost::DrawGraphWindow(TMyGraphic &graph, long double from, long double to, int columns)
{
  TArrayInteger gaps, noHeader, ab;
  W.Model->GetSeekBarSpans(columns, gaps, noHeader, ab, from, to);
  W.Model->DrawGraphWindow(graph, columns, gaps, noHeader, ab, from, to);
}

QRect TMainDialogHost::GraphPanelScreenRect() const
{
  return QRect(W.PanelBottomGraphics->mapToGlobal(QPoint(0, 0)), W.PanelBottomGraphics->size());
}

} // namespace kp
