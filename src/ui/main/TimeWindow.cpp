#include "TimeWindow.h"

#include "IViewsHost.h"
#include "MainMenus.h"
#include "Numbers.h"
#include "UnitBSImage.h"
#include "UnitBitmaps.h"
#include "UnitFileManager.h"
#include "UnitTranslate.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableView>
#include <algorithm>

namespace kp {

namespace {

constexpr long double kSecond = 1.0L / 86400;
// Scroll bar units stay far from int overflow for spans of months.
constexpr long double kMaxBarRange = 1e9L;

} // namespace

TZoomBar ZoomBarFor(int seekBarWidth, int margin, long double start, long double end)
{
  TZoomBar bar;
  bar.Page = std::max(1, (seekBarWidth - 2 * margin) / 10);
  const long double w = end - start;
  const long double n = w > 0 ? std::min(kMaxBarRange, bar.Page / w) : kMaxBarRange;
  bar.Range = int(Round(n)) - 1;
  bar.Position = int(Round(bar.Range * start));
  bar.Enabled = !(bar.Range < 2 || bar.Range <= bar.Page);
  return bar;
}

void NormalizeWindow(long double &start, long double &end, long double minWindow)
{
  if (start > end) std::swap(start, end);
  if (end - start < minWindow) {
    const long double m = (start + end) / 2;
    start = m - minWindow / 2;
    end = m + minWindow / 2;
  }
  const long double w = end - start;
  if (end > 1) {
    start = 1 - w;
    end = 1;
  }
  if (start < 0) {
    start = 0;
    end = w;
  }
  if (end > 1) end = 1;
}

TTimeWindow::TTimeWindow(TPlaybackState &state, TViewState &view, const TViewsControls &controls, IViewsHost &host)
  : S(state), V(view), C(controls), FHost(host)
{
}

long double TTimeWindow::MinTimeWindow() const
{
  const long double span = std::max(0.0L, (long double)S.Recording.Summary.EndTime - S.Recording.Summary.StartTime);
  return (kSecond / 2) / (span + kSecond);
}

void TTimeWindow::ButtonZoomInClick(QObject *sender)
{
  if (sender) {
    const long double c = S.LastPosition;
    long double w = S.TimeWindowEnd - S.TimeWindowStart;
    if (w < 0) w = -w;
    if (C.Is(sender, "ButtonZoomIn") || C.Is(sender, "N_View_Time_ZoomIn"))
      w /= V.ZoomStep;
    else
      w *= V.ZoomStep;
    S.TimeWindowStart = c - w / 2;
    S.TimeWindowEnd = c + w / 2;
  }
  NormalizeTimeWindow();
  FHost.FormResize();
}

void TTimeWindow::NormalizeTimeWindow()
{
  NormalizeWindow(S.TimeWindowStart, S.TimeWindowEnd, MinTimeWindow());
  const int width = C.ImageSeek ? C.ImageSeek->width() : 0;
  const int margin = C.SeekBitmap ? C.SeekBitmap->Margin() : 0;
  const TZoomBar bar = ZoomBarFor(width, margin, S.TimeWindowStart, S.TimeWindowEnd);
  V.ZoomBarUpdating = true;
  if (QScrollBar *sb = C.ScrollBarZoom) {
    // Qt's range leaves out the page: positions run 0 .. N - P + 1.
    sb->setEnabled(bar.Enabled);
    if (bar.Enabled) {
      V.ZoomBarRange = bar.Range;
      V.ZoomBarPage = bar.Page;
      sb->setRange(0, bar.Range - bar.Page + 1);
      sb->setPageStep(bar.Page);
      sb->setValue(bar.Position);
    }
  }
  V.ZoomBarUpdating = false;
  FHost.ShowMapAB();
}

void TTimeWindow::ScrollBarZoomChange()
{
  if (V.ZoomBarUpdating) return;
  long double w = S.TimeWindowEnd - S.TimeWindowStart;
  if (C.ScrollBarZoom && C.ScrollBarZoom->isEnabled() && V.ZoomBarRange > 0) {
    S.TimeWindowStart = (long double)(C.ScrollBarZoom->value() - C.ScrollBarZoom->minimum()) / V.ZoomBarRange;
  } else {
    S.TimeWindowStart = 0;
    w = 1;
  }
  S.TimeWindowEnd = S.TimeWindowStart + w;
  // The bar's last position is a rounded page short of its range: the
  // window would end past the recording by a fraction of a pixel step.
  if (S.TimeWindowEnd > 1) {
    S.TimeWindowEnd = 1;
    S.TimeWindowStart = std::max(0.0L, 1 - w);
  }
  FHost.ShowMapAB();
  FHost.FormResize();
}

void TTimeWindow::N_View_Time_SetAClick(QObject *sender)
{
  // Nothing loaded, no time line: a mark would only draw a band over
  // empty graphs.
  if (S.Recording.Files.empty()) return;
  if (C.Is(sender, "N_View_Time_SetA")) {
    S.MarkA = FHost.GetPosition();
    if (S.MarkB <= S.MarkA) S.MarkB = 1;
  } else if (C.Is(sender, "N_View_Time_SetB")) {
    S.MarkB = FHost.GetPosition();
    if (S.MarkB <= S.MarkA) S.MarkA = 0;
  }
  FHost.ShowMapAB();
  FHost.FormResize();
}

void TTimeWindow::N_View_Time_LoopABClick(QObject *sender)
{
  QAction *item = C.Item("N_View_Time_LoopAB");
  if (!item) return;
  if (sender && sender == C.CheckBoxLoop)
    C.Menus->State().SetItemChecked(item, C.CheckBoxLoop->isChecked());
  else if (C.CheckBoxLoop) {
    const QSignalBlocker block(C.CheckBoxLoop);
    C.CheckBoxLoop->setChecked(item->isChecked());
  }
  if (item->isChecked() && S.MarkB <= S.MarkA) FHost.ShowMessage(Translate(u"Cropping_Info"));
}

namespace {

std::vector<int> SelectedRows(const QTableView *view)
{
  std::vector<int> rows;
  if (!view || !view->selectionModel()) return rows;
  for (const QModelIndex &i : view->selectionModel()->selectedRows()) rows.push_back(i.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

void ClearSelection(QTableView *view)
{
  if (view && view->selectionModel()) view->selectionModel()->clearSelection();
}

} // namespace

void TTimeWindow::N_FileList_UngroupClick()
{
  TFileManager *manager = FHost.FileManager();
  if (!manager) return;
  const std::vector<int> rows = SelectedRows(C.ListView);
  // Each row names its first file, so a list changed by a running search
  // refuses the row instead of splitting another one.
  std::vector<QString> identities;
  for (int row : rows) {
    const TFileItem item = manager->GetGroup(row);
    identities.push_back(item.Files.empty() ? QString() : item.Files.front().FileName);
  }
  for (size_t i = rows.size(); i-- > 0;)
    if (!identities[i].isEmpty()) manager->Ungroup(rows[i], identities[i]);
  ClearSelection(C.ListView);
}

void TTimeWindow::N_FileList_Group_WithClick()
{
  const int row = C.ListView && C.ListView->currentIndex().isValid() ? C.ListView->currentIndex().row() : -1;
  FHost.ShowGroupWindow(row);
  ClearSelection(C.ListView);
}

} // namespace kp
