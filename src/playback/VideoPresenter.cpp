#include "VideoPresenter.h"

#include "Numbers.h"

#include <QEvent>
#include <QPainter>
#include <cmath>
#include <numeric>

namespace kp {

namespace {

// Bilinear sampling reads only the two nearest source pixels, which below
// half size skips rows as nearest-pixel scaling does; there the part shown
// is averaged down to the destination's size first.
void DrawFiltered(QPainter &painter, const QRectF &target, const QImage &image, const QRectF &source)
{
  const QSize size = target.size().toSize();
  if ((target.width() >= source.width() / 2 && target.height() >= source.height() / 2) || size.isEmpty()) {
    painter.drawImage(target, image, source);
    return;
  }
  const QRect part = source.toAlignedRect().intersected(image.rect());
  if (part.isEmpty()) return;
  // The part as a view into the frame's pixels, not a copy.
  const QImage view(image.constBits() + qsizetype(part.top()) * image.bytesPerLine() +
                        qsizetype(part.left()) * (image.depth() / 8),
                    part.width(), part.height(), image.bytesPerLine(), image.format());
  painter.drawImage(target, view.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

// The size the whole picture is shown at when its Source part fills Target;
// empty unless that shrinks the frame (a larger one is drawn from it).
QSize ShrunkPictureSize(const QRectF &target, const QRectF &source, QSize frame)
{
  const QSize whole(Round32(target.width() * frame.width() / source.width()),
                    Round32(target.height() * frame.height() / source.height()));
  if (whole.isEmpty() || whole.width() > frame.width() || whole.height() > frame.height()) return {};
  return whole;
}

// Shown is the whole frame already scaled to the picture's size: the part
// falls on whole pixels and is copied, not resampled again.
void DrawShown(QPainter &painter, const QRectF &target, const QImage &shown, const QRectF &source, QSize frame)
{
  const double kx = double(shown.width()) / frame.width(), ky = double(shown.height()) / frame.height();
  QRectF part(source.left() * kx, source.top() * ky, source.width() * kx, source.height() * ky);
  const QRectF snapped(std::round(part.left()), std::round(part.top()), std::round(part.width()),
                       std::round(part.height()));
  if (snapped.size() == target.size()) part = snapped;
  painter.drawImage(target, shown, part);
}

} // namespace

TNormalizedRect MakeNormalizedRect(float l, float t, float r, float b)
{
  TNormalizedRect rect;
  rect.left = l;
  rect.top = t;
  rect.right = r;
  rect.bottom = b;
  return rect;
}

QSize NativeVideoSizeFromAspect(QSize size, QSize aspect)
{
  // An aspect height of 0 is as unknown as a width of 0 (no division).
  if (aspect.width() < 1 || aspect.height() < 1) return size;
  if (size.width() < 1) return aspect;
  const double width = static_cast<double>(size.height()) * aspect.width() / aspect.height();
  return QSize(static_cast<int>(Round32(width)), size.height());
}

TVideoPresenter::TVideoPresenter(QObject *parent) : QObject(parent) {}

TVideoPresenter::~TVideoPresenter()
{
  SetFrames(nullptr);
  SetVideoWindow(nullptr);
}

void TVideoPresenter::SetVideoWindow(QWidget *target)
{
  if (target == FTarget) return;
  if (FTarget) {
    FTarget->removeEventFilter(this);
    FTarget->update();
  }
  FTarget = target;
  if (FTarget) {
    FTarget->installEventFilter(this);
    FTarget->update();
  }
}

void TVideoPresenter::SetFrames(TVideoFrameSlotPtr slot)
{
  if (FSlot && FSubscription) FSlot->Unsubscribe(FSubscription);
  FSubscription = 0;
  FSlot = std::move(slot);
  if (FSlot) {
    QPointer<TVideoPresenter> self(this);
    FSubscription = FSlot->Subscribe([self] {
      if (self) self->OnFrame();
    });
  }
  Repaint();
}

void TVideoPresenter::OnFrame()
{
  Repaint();
}

void TVideoPresenter::Repaint()
{
  if (FTarget) FTarget->update();
}

bool TVideoPresenter::GetNativeVideoSize(QSize &size, QSize &aspect) const
{
  size = QSize();
  aspect = QSize();
  int parN = 1, parD = 1;
  if (!FSlot || !FSlot->Format(size, parN, parD)) return false;
  const int64_t w = static_cast<int64_t>(size.width()) * parN, h = static_cast<int64_t>(size.height()) * parD;
  const int64_t g = std::gcd(w, h);
  aspect = g > 0 ? QSize(static_cast<int>(w / g), static_cast<int>(h / g)) : QSize();
  return true;
}

QImage TVideoPresenter::GetCurrentImage() const
{
  if (!FSlot) return {};
  const TVideoFrame frame = FSlot->Latest();
  return frame.IsValid() ? frame.Image.copy() : QImage();
}

QRectF TVideoPresenter::PictureRect(const QRect &area, QSize frameSize, int parN, int parD) const
{
  const QRectF dest = FDest.isEmpty() ? QRectF(area) : QRectF(FDest);
  if (FAspectMode != vamPreserve || frameSize.isEmpty()) return dest;
  const double srcW =
      std::max(0.0, double(FSource.right - FSource.left)) * frameSize.width() * SafeDiv(parN, parD, 1.0);
  const double srcH = std::max(0.0, double(FSource.bottom - FSource.top)) * frameSize.height();
  if (srcW <= 0 || srcH <= 0 || dest.isEmpty()) return dest;
  const double scale = std::min(dest.width() / srcW, dest.height() / srcH);
  // On whole pixels: a picture half a pixel off is blurred by the filter.
  const double w = std::round(srcW * scale), h = std::round(srcH * scale);
  return QRectF(std::round(dest.left() + (dest.width() - w) / 2), std::round(dest.top() + (dest.height() - h) / 2), w,
                h);
}

void TVideoPresenter::Paint(QPainter &painter, const QRect &area) const
{
  painter.fillRect(area, Qt::black);
  if (!FSlot) return;
  const TVideoFrame frame = FSlot->Latest();
  if (!frame.IsValid()) return;
  const QSize size = frame.Image.size();
  const QRectF target = PictureRect(area, size, frame.ParN, frame.ParD);
  const QRectF source(FSource.left * size.width(), FSource.top * size.height(),
                      (FSource.right - FSource.left) * size.width(), (FSource.bottom - FSource.top) * size.height());
  if (target.isEmpty() || source.isEmpty()) return;
  const QSize shrunk = FAspectMode == vamNonLinear ? QSize() : ShrunkPictureSize(target, source, size);
  FSlot->SetShownSize(shrunk);
  painter.save();
  if (FFlipH || FFlipV) {
    const QPointF centre = target.center();
    painter.translate(centre);
    painter.scale(FFlipH ? -1 : 1, FFlipV ? -1 : 1);
    painter.translate(-centre);
  }
  // A nearest-pixel scaling drops whole rows and columns: thin strokes of a
  // stamp or a plate vanish or double. Filtering costs about the same.
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  if (FAspectMode == vamNonLinear)
    PaintNonLinear(painter, target, frame, source);
  else if (!shrunk.isEmpty() && frame.Shown.size() == shrunk)
    DrawShown(painter, target, frame.Shown, source, size);
  else
    DrawFiltered(painter, target, frame.Image, source);
  painter.restore();
}

double NonLinearSourceX(double u, double centreSlope)
{
  // Odd cubic through (-1,-1), (0,0), (1,1) whose slope at 0 is centreSlope:
  // the middle keeps the picture's proportions, the sides take the stretch.
  return centreSlope * u + (1.0 - centreSlope) * u * u * u;
}

// Drawn in vertical strips, each a plain scaled copy of its part of the
// source: the paint itself does the warp, no frame is resampled beforehand.
void TVideoPresenter::PaintNonLinear(QPainter &painter, const QRectF &target, const TVideoFrame &frame,
                                     const QRectF &source) const
{
  const double aspectWidth = source.width() * SafeDiv(frame.ParN, frame.ParD, 1.0);
  const double scale = SafeDiv(target.height(), source.height(), 0.0);
  // Above 1.5 the cubic would fold back; keep a margin.
  const double slope = Clamp(SafeDiv(target.width(), aspectWidth * scale, 1.0), 0.2, 1.45);
  constexpr int kStrips = 32;
  // Strip edges on whole pixels, so no seam is blended.
  const auto edge = [&](int i) { return static_cast<double>(Round(target.left() + target.width() * i / kStrips)); };
  for (int i = 0; i < kStrips; ++i) {
    const double x0 = edge(i), x1 = edge(i + 1);
    if (x1 <= x0) continue;
    const double u0 = 2.0 * (x0 - target.left()) / target.width() - 1.0,
                 u1 = 2.0 * (x1 - target.left()) / target.width() - 1.0;
    const double v0 = (NonLinearSourceX(u0, slope) + 1.0) / 2.0, v1 = (NonLinearSourceX(u1, slope) + 1.0) / 2.0;
    const QRectF to(x0, target.top(), x1 - x0, target.height());
    const QRectF from(source.left() + v0 * source.width(), source.top(), (v1 - v0) * source.width(), source.height());
    painter.drawImage(to, frame.Image, from);
  }
}

bool TVideoPresenter::eventFilter(QObject *watched, QEvent *event)
{
  if (watched == FTarget && event->type() == QEvent::Paint) {
    QPainter painter(FTarget);
    Paint(painter, FTarget->rect());
    return true;
  }
  return QObject::eventFilter(watched, event);
}

} // namespace kp
