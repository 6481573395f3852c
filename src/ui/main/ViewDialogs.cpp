#include "ViewDialogs.h"

#include "DateTime.h"
#include "IViewsHost.h"
#include "MenuHotKeys.h"
#include "OpenFileDialog.h"
#include "UnitFileManager.h"
#include "UnitGpsConverters.h"
#include "UnitTranslate.h"
#include "UnitUtils.h"
#include "VideoZoom.h"

#include <QAction>
#include <QInputDialog>
#include <QItemSelectionModel>
#include <QTableView>

namespace kp {

QStringList OpenDialogFilters(const QString &pairs)
{
  const QStringList parts = pairs.split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].isEmpty()) continue;
    QString mask = parts[i + 1];
    mask.replace(QLatin1Char(';'), QLatin1Char(' '));
    filters << parts[i].trimmed() + QStringLiteral(" (") + mask.simplified() + QLatin1Char(')');
  }
  return filters;
}

double ParseTimeShift(const QString &text)
{
  QString rest = text.trimmed();
  const bool negative = rest.startsWith(QLatin1Char('-'));
  if (negative) rest.remove(0, 1);
  TDateTime t = 0;
  if (!TryStrToTime(rest, t)) return 0;
  return negative ? -t : t;
}

double ParseCustomZoom(const QString &text)
{
  return StrToFloatAny(text, 100) / 100;
}

TViewDialogs::TViewDialogs(const TViewsControls &controls, IViewsHost &host, TVideoZoom &zoom)
  : C(controls), FHost(host), FZoom(zoom)
{
  InputQuery = [this](const QString &caption, const QString &prompt, QString &text) {
    bool ok = false;
    const QString answer = QInputDialog::getText(C.Window, caption, prompt, QLineEdit::Normal, text, &ok);
    if (ok) text = answer;
    return ok;
  };
  ChooseTrackFile = [this](const QStringList &filters, const QString &selected) {
    QString chosen = selected;
    return ChooseFilesToOpen(C.Window, filters.join(QStringLiteral(";;")), &chosen, false).value(0);
  };
}

void TViewDialogs::N_VideoZoom_OtherClick(double currentZoom)
{
  QString text = FloatToStrDot(currentZoom * 100, 2, true);
  if (!InputQuery(Translate(u"Mes_CustomZoomTitle"), Translate(u"Mes_CustomZoomText") + QLatin1Char(':'), text)) return;
  FZoom.SetCustomZoom(ParseCustomZoom(text));
}

int TViewDialogs::SelectedRow(QString &identity) const
{
  TFileManager *manager = FHost.FileManager();
  if (!manager || !C.ListView || !C.ListView->selectionModel()) return -1;
  const QModelIndexList rows = C.ListView->selectionModel()->selectedRows();
  if (rows.isEmpty()) return -1;
  const int row = rows.front().row();
  const TFileItem item = manager->GetGroup(row);
  if (item.Files.empty()) return -1;
  identity = item.Files.front().FileName;
  return row;
}

void TViewDialogs::N_FileList_Track_SetClick()
{
  const QStringList filters = OpenDialogFilters(GpsConvertersOpenFilter());
  FHost.ButtonStopClick();
  const QString file = ChooseTrackFile(filters, filters.value(1));
  if (file.isEmpty()) return;
  QString identity;
  const int row = SelectedRow(identity);
  if (row < 0) return;
  if (FHost.FileManager()->SetGroupTrack(row, file, identity)) FHost.ListViewSelectItem();
}

void TViewDialogs::N_FileList_Track_MoveClick()
{
  const QAction *item = C.Item("N_FileList_Track_Move");
  QString text = TimeToStr(0);
  if (!InputQuery(item ? WithoutHotKey(item->text()) : QString(), QString(), text)) return;
  const double shift = ParseTimeShift(text);
  if (shift == 0) return;
  QString identity;
  const int row = SelectedRow(identity);
  if (row < 0) return;
  FHost.ButtonStopClick();
  if (FHost.FileManager()->ShiftGroupTime(row, shift, identity)) FHost.ListViewSelectItem();
}

void TViewDialogs::N_Help_SiteClick()
{
  FHost.OpenWebSite();
}

} // namespace kp
