#include "VideoZoomEngine.h"

#include "Numbers.h"

#include <algorithm>
#include <cmath>

namespace kp {

namespace {

constexpr double kMinZoom = 0.02;
constexpr double kMaxZoom = 8.0;
// A step this close to 1 would never reach the fitting size.
constexpr double kMinStep = 1.001;

// The largest power of Step at which the picture fits the panel.
double FittingPower(QSize native, QSize panel, double step)
{
  double zoom = 1.0;
  if (native.width() <= 0 || native.height() <= 0 || step < kMinStep) return zoom;
  const double nw = native.width(), nh = native.height();
  const double pw = panel.width() + 1.0, ph = panel.height() + 1.0;
  while (nw * zoom * step < pw && nh * zoom * step < ph && zoom < 1e6) zoom *= step;
  while ((pw < nw * zoom || ph < nh * zoom) && zoom > 1e-6) zoom /= step;
  return zoom;
}

void StepZoom(const TVideoZoomInput &in, TVideoZoomResult &out)
{
  const bool wasCustom = in.Mode == TVideoZoomMode::Custom;
  const double old = wasCustom ? in.Zoom : 0.0;
  out.Zoom = wasCustom ? in.Zoom : FittingPower(in.Native, in.Panel, in.Step);
  if (in.Command == TVideoZoomCommand::ZoomOut && wasCustom) out.Zoom /= in.Step;
  if (in.Command == TVideoZoomCommand::ZoomIn) out.Zoom *= in.Step;
  out.Mode = TVideoZoomMode::Custom;
  out.SaveCustom = true;
  const int nw = in.Native.width(), nh = in.Native.height();
  if (old > 0 && nw > 0 && nh > 0 && out.Zoom != old) {
    const double fit = std::min(double(in.Panel.width()) / nw, double(in.Panel.height()) / nh);
    if ((old < fit && fit < out.Zoom) || (old > fit && fit > out.Zoom)) out.Mode = TVideoZoomMode::Letterbox;
  }
  if (in.Command == TVideoZoomCommand::Percent) out.Zoom = std::isfinite(in.Percent) ? in.Percent / 100.0 : 1.0;
}

struct TEdges {
  double Left, Top, Right, Bottom;
};

// One axis of the free zoom: the pan clamped so that a picture larger than
// the panel never shows its edge inside it, and the picture's two edges.
void FreeAxis(double lo, double hi, double native, double zoom, double &pan, double &first, double &second)
{
  const double m = std::min(0.5, ((hi - lo) / 2) / native / zoom);
  pan = std::max(m, std::min(pan, 1 - m));
  const double s = (1 - 1 / zoom) * native * zoom / 2;
  const double o = (pan - 0.5) * (2 * s + native);
  first = (lo + hi - native) / 2 - s + o;
  second = (lo + hi - native) / 2 + native + s + o;
}

TEdges PictureEdges(const TVideoZoomInput &in, TVideoZoomResult &out)
{
  const double rw = in.Panel.width(), rh = in.Panel.height();
  const double nw = in.Native.width(), nh = in.Native.height();
  TEdges e{0, 0, rw, rh};
  if (out.Mode == TVideoZoomMode::Custom) {
    FreeAxis(0, rw, nw, out.Zoom, out.PanX, e.Left, e.Right);
    FreeAxis(0, rh, nh, out.Zoom, out.PanY, e.Top, e.Bottom);
  } else if (out.Mode == TVideoZoomMode::PanAndScan) {
    const double a = rw / rh, v = nw / nh;
    if (v > a) {
      const double w = rh * v;
      e.Left = (rw - w) / 2;
      e.Right = e.Left + w;
    } else {
      const double h = rw / v;
      e.Top = (rh - h) / 2;
      e.Bottom = e.Top + h;
    }
  }
  return e;
}

float Fraction(double part, double whole)
{
  return whole > 0 ? float(std::clamp(part / whole, 0.0, 1.0)) : 0.0f;
}

void PlacePicture(const TVideoZoomInput &in, TVideoZoomResult &out)
{
  const TEdges e = PictureEdges(in, out);
  const int l = Round32(e.Left), t = Round32(e.Top), r = Round32(e.Right), b = Round32(e.Bottom);
  out.PictureRect = QRect(QPoint(l, t), QPoint(r - 1, b - 1));
  const QRect panel(QPoint(0, 0), in.Panel);
  QRect visible = panel;
  if (out.PictureRect.width() < panel.width() || out.PictureRect.height() < panel.height())
    visible = panel.intersected(out.PictureRect);
  out.VideoRect = visible;
  // Exclusive right and bottom edges, as the renderer counts them.
  const double pw = r - l - 1.0, ph = b - t - 1.0;
  const double vr = visible.left() + visible.width(), vb = visible.top() + visible.height();
  out.Source = MakeNormalizedRect(Fraction(visible.left() - l, pw), Fraction(visible.top() - t, ph),
                                  pw > 0 ? Fraction(vr - l - 1, pw) : 1.0f, ph > 0 ? Fraction(vb - t - 1, ph) : 1.0f);
}

} // namespace

TVideoZoomResult ComputeVideoZoom(const TVideoZoomInput &in)
{
  TVideoZoomResult out;
  out.Zoom = std::isfinite(in.Zoom) && in.Zoom > 0 ? in.Zoom : 1.0;
  out.PanX = std::isfinite(in.PanX) ? in.PanX : 0.5;
  out.PanY = std::isfinite(in.PanY) ? in.PanY : 0.5;
  out.Mode = in.Mode;
  if (in.Command != TVideoZoomCommand::None) {
    TVideoZoomInput checked = in;
    checked.Zoom = out.Zoom;
    StepZoom(checked, out);
  }
  out.Zoom = std::min(kMaxZoom, std::max(kMinZoom, out.Zoom));
  if (out.Mode == TVideoZoomMode::Custom) out.CustomSuffix = QString::number(Round(out.Zoom * 100)) + QLatin1Char('%');
  out.HasSize = in.Native.width() > 0 && in.Native.height() > 0 && in.Panel.width() > 0 && in.Panel.height() > 0;
  if (out.HasSize)
    PlacePicture(in, out);
  else
    out.VideoRect = QRect(QPoint(0, 0), in.Panel);
  return out;
}

QRect SourcePixels(const TNormalizedRect &source, QSize native)
{
  const int l = Round32(double(native.width()) * source.left), t = Round32(double(native.height()) * source.top);
  const int r = Round32(double(native.width()) * source.right), b = Round32(double(native.height()) * source.bottom);
  return QRect(QPoint(l, t), QPoint(r - 1, b - 1));
}

} // namespace kp
