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
  connect(header, &QHeaderView::sectionMoved, this, [this] { Save(); });
  connect(header, &QHeaderView::sectionResized, this, [this] { FResized = true; });
  header->viewport()->installEventFilter(this);
}

bool TColumnSaver::eventFilter(QObject *watched, QEvent *event)
{
  if (event->type() == QEvent::MouseButtonRelease && FResized) {
    FResized = false;
    Save();
  }
  return QObject::eventFilter(watched, event);
}

void TColumnSaver::Save()
{
  if (FWindow && !FWindow->isVisible()) return;
  std::vector<int> order, widths;
  for (int p = 0; p < FHeader->count(); ++p) order.push_back(FHeader->logicalIndex(p));
  for (int c = 0; c < FHeader->count(); ++c) widths.push_back(FHeader->sectionSize(c));
  for (const TColumnSetting &s : ColumnSettings(order, widths, FDesignWidths)) {
    if (s.Value)
      WriteSettingInt(s.Name, *s.Value);
    else
      DeleteSetting(s.Name);
  }
}

} // namespace kp
