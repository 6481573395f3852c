#include "ColumnSaver.h"

#include "UnitReg.h"
#include "UnitRegSettings.h"

#include <QEvent>
#include <QHeaderView>
#include <algorithm>

namespace kp {

std::vector<TColumnSetting> ColumnSettings(const std::vector<int> &order, const std::vector<int> &widths,
                                           const std::vector<int> &designWidths)
{
  std::vector<TColumnSetting> out;
  for (size_t p = 0; p < order.size(); ++p) {
    const int c = order[p];
    const int w = std::max(1, c >= 0 && size_t(c) < widths.size() ? widths[size_t(c)] : 1);
    const bool design = c >= 0 && size_t(c) < designWidths.size() && designWidths[size_t(c)] == w;
    out.push_back({settings::ColumnWidthName(c), design ? std::nullopt : std::optional<int>(w)});
    out.push_back({settings::ColumnIndexName(int(p)), c == int(p) ? std::nullopt : std::optional<int>(c)});
  }
  return out;
}

TColumnSaver::TColumnSaver(QHeaderView *header, const std::vector<int> &designWidths, QWidget *window)
  : FHeader(header), FDesignWidths(designWidths), FWindow(window)
{
  for (int c = 0; c < header->count(); ++c) FOwnWidths.push_back(header->sectionSize(c));
  FHidden.assign(FOwnWidths.size(), false);
  connect(header, &QHeaderView::sectionMoved, this, [this] { Save(); });
  connect(header, &QHeaderView::sectionResized, this, [this](int column, int, int width) {
    FResized = true;
    // Only the user's own resizes (a drag, a double click on the edge) set
    // a column's width; the program's fitting does not.
    if (FMouseDown && column >= 0 && size_t(column) < FOwnWidths.size() && !FHidden[size_t(column)])
      FOwnWidths[size_t(column)] = width;
  });
  header->viewport()->installEventFilter(this);
}

bool TColumnSaver::eventFilter(QObject *watched, QEvent *event)
{
  if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) FMouseDown = true;
  if (event->type() == QEvent::MouseButtonRelease) {
    FMouseDown = false;
    if (FResized) {
      FResized = false;
      Save();
    }
  }
  return QObject::eventFilter(watched, event);
}

int TColumnSaver::OwnWidth(int column) const
{
  return column >= 0 && size_t(column) < FOwnWidths.size() ? FOwnWidths[size_t(column)] : 0;
}

void TColumnSaver::Fit(int column)
{
  const size_t c = size_t(column);
  if (c >= FOwnWidths.size()) return;
  const bool shown = !FHidden[c] && FOwnWidths[c] > 1;
  if (!shown) FHeader->setMinimumSectionSize(1);
  const int width = shown ? std::max(FOwnWidths[c], FHeader->sectionSizeHint(column)) : 1;
  if (FHeader->sectionSize(column) != width) FHeader->resizeSection(column, width);
}

void TColumnSaver::FitCaptions()
{
  for (int c = 0; c < int(FOwnWidths.size()); ++c) Fit(c);
}

void TColumnSaver::SetHidden(int column, bool hidden)
{
  if (column < 0 || size_t(column) >= FHidden.size()) return;
  FHidden[size_t(column)] = hidden;
  Fit(column);
}

void TColumnSaver::Save()
{
  if (FWindow && !FWindow->isVisible()) return;
  std::vector<int> order, widths;
  for (int p = 0; p < FHeader->count(); ++p) order.push_back(FHeader->logicalIndex(p));
  for (int c = 0; c < FHeader->count(); ++c) widths.push_back(OwnWidth(c));
  for (const TColumnSetting &s : ColumnSettings(order, widths, FDesignWidths)) {
    if (s.Value)
      WriteSettingInt(s.Name, *s.Value);
    else
      DeleteSetting(s.Name);
  }
}

} // namespace kp
