#include "WindowLayout.h"

#include "Numbers.h"

#include <algorithm>

namespace kp {

namespace {

// The graphs beside a side panel keep at least this width, or half of the
// bottom panel when that is less.
constexpr int kLeastGraphWidth = 100;
// The width the row asks of the window for the seek bar and the graphs
// beside the gauges: a 5-minute trip seeks by the second or two, and the
// scales' labels stand apart.
constexpr int kGraphRoom = 240;

struct TFlow {
  int MarginLeft, MarginTop, GapX = 8, GapY = 4;
};

constexpr int kTallestPanel = 135;

int PanelHeightFor(const TControlPanelInput &in)
{
  if (!in.AlongTopOrBottom) return in.PanelHeight;
  if (!in.SpeedometerShown) return in.FirstBlockHeight + 8;
  if (in.PanelWidth > 620) return 60;
  if (in.PanelWidth > 430) return 106;
  return kTallestPanel;
}

// The blocks flowed into a panel Height high; Right gets the right edge of
// the last column.
std::vector<QRect> Flow(const TControlPanelInput &in, int height, int &right)
{
  const TFlow flow{4, in.AlongTopOrBottom ? 4 : 0};
  std::vector<QRect> placed;
  placed.push_back(QRect(QPoint(flow.MarginLeft, flow.MarginTop), in.Blocks[0]));
  int columnLeft = flow.MarginLeft;
  int columnWidth = in.Blocks[0].width();
  for (size_t i = 1; i < in.Blocks.size(); ++i) {
    const QRect &p = placed.back();
    const QSize b = in.Blocks[i];
    QPoint at;
    if (p.width() + b.width() < 1.1 * columnWidth) {
      at = QPoint(p.x() + p.width() + flow.GapX, p.y());
    } else if (p.y() + p.height() + flow.GapY + b.height() <= height) {
      at = QPoint(columnLeft, p.y() + p.height() + flow.GapY);
    } else {
      columnLeft = p.x() + columnWidth + flow.GapX;
      columnWidth = 0;
      at = QPoint(columnLeft, flow.MarginTop);
    }
    if (int(i) == in.VolumeBlock) at += QPoint(-4, -3);
    if (at.y() + b.height() > height) at.setY(height - b.height());
    placed.push_back(QRect(at, b));
    columnWidth = std::max(columnWidth, at.x() + b.width() - columnLeft);
  }
  right = columnLeft + columnWidth;
  return placed;
}

} // namespace

TControlPanelLayout LayoutControlPanel(const TControlPanelInput &in)
{
  TControlPanelLayout out;
  out.PanelHeight = PanelHeightFor(in);
  out.PanelWidth = in.PanelWidth;
  if (in.Blocks.empty()) return out;
  int right = 0;
  std::vector<QRect> placed = Flow(in, out.PanelHeight, right);
  // Along the top or bottom, blocks that reach past a narrow panel's edge
  // wrap: the panel grows by a row at a time, up to its tallest design.
  while (in.AlongTopOrBottom && right > in.PanelWidth && out.PanelHeight < kTallestPanel) {
    out.PanelHeight = std::min(kTallestPanel, out.PanelHeight + std::max(1, in.FirstBlockHeight) + 4);
    placed = Flow(in, out.PanelHeight, right);
  }
  if (!in.AlongTopOrBottom) {
    // Its columns whole, so no gauge is cut in a small window.
    const int needed = right;
    const int share = std::max(in.BottomPanelWidth / 2, in.BottomPanelWidth - kLeastGraphWidth);
    out.PanelWidth = std::min(needed, share);
    out.RowMinimum = needed + kGraphRoom;
  }
  for (const QRect &r : placed) out.Positions.push_back(r.topLeft());
  return out;
}

QRect PullBackOntoScreen(QRect bounds, const QRect &workArea)
{
  const int areaRight = workArea.x() + workArea.width();
  const int areaBottom = workArea.y() + workArea.height();
  if (bounds.x() > areaRight - 100 || bounds.x() + bounds.width() < workArea.x() + 100) bounds.moveLeft(workArea.x());
  if (bounds.y() > areaBottom - 100 || bounds.y() < workArea.y()) bounds.moveTop(workArea.y());
  return bounds;
}

TColumnRestore RestoreColumns(const std::vector<int> &designWidths, const std::function<int(int)> &readWidth,
                              const std::function<int(int)> &readIndex)
{
  TColumnRestore out;
  const int count = int(designWidths.size());
  out.Widths = designWidths;
  for (int i = 0; i < count; ++i) {
    const int w = readWidth(i);
    if (w < 0) continue;
    if (w == designWidths[size_t(i)])
      out.DeleteWidthOf.push_back(i);
    else
      out.Widths[size_t(i)] = w;
  }
  for (int i = 0; i < count; ++i) out.Order.push_back(i);
  for (int i = 0; i < count; ++i) {
    const int j = readIndex(i);
    if (j < 0 || j >= count) continue;
    const auto from = std::find(out.Order.begin(), out.Order.end(), j);
    out.Order.erase(from);
    out.Order.insert(out.Order.begin() + i, j);
  }
  return out;
}

QImage GrayBitmap(const QImage &bitmap, double factor)
{
  // The picture's transparent surround stays transparent: made opaque (and
  // chequered) it turned every disabled button into a grey square that hid
  // the glyph.
  QImage out = bitmap.convertToFormat(QImage::Format_ARGB32);
  const double f = factor > 0 ? factor : 1.0;
  for (int y = 0; y < out.height(); ++y) {
    auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x) {
      const QRgb c = line[x];
      if (qAlpha(c) == 0) continue;
      const int g = (qRed(c) + qBlue(c) + 2 * qGreen(c)) / 4;
      const int v = std::clamp(255 - int(Round((255 - g) / f)), 0, 255);
      line[x] = qRgba(v, v, v, qAlpha(c));
    }
  }
  return out;
}

QImage WithTransparentCorner(const QImage &bitmap)
{
  if (bitmap.isNull()) return bitmap;
  QImage out = bitmap.convertToFormat(QImage::Format_ARGB32);
  const QRgb key = out.pixel(0, out.height() - 1) | 0xFF000000u;
  for (int y = 0; y < out.height(); ++y) {
    auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x)
      if ((line[x] | 0xFF000000u) == key) line[x] = 0;
  }
  return out;
}

} // namespace kp
