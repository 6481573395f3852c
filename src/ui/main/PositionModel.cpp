#include "PositionModel.h"

#include "Numbers.h"
#include "PlaybackGuard.h"
#include "UnitBSImage.h"
#include "UnitBitmaps.h"
#include "UnitGraphics.h"

#include <QCursor>
#include <QToolButton>
#include <algorithm>
#include <cmath>

namespace kp {

namespace {

constexpr double kMphPerKmh = 0.621371192237334;
constexpr double kFeetPerMetre = 3.2808398950131235;
constexpr double kSecondDays = 1.0 / 86400.0;

// x of fraction F on a bar Width wide showing [Start, End], kept on the bar
// so that a very narrow window cannot push it beyond any integer.
long double BarX(int width, long double f, long double start, long double end)
{
  const long double x = width * (f - start) / (end - start);
  if (std::isnan(x)) return 0;
  return Clamp<long double>(x, 0, width);
}

} // namespace

TPositionModel::TPositionModel(TPlaybackState &state, const TPlaybackControls &controls, IPlaybackHost &host)
  : S(state), C(controls), FHost(host)
{
}

// ------------------------------------------------------------------ conversions

long double TPositionModel::FileToGroupPosition(const TFileItemSubitem &file, long double f)
{
  return (file.Position.End - file.Position.Start) * f + file.Position.Start;
}

long double TPositionModel::FileTrackToGroupPosition(const TFileItemSubitem &file, long double f)
{
  return (file.TrackPosition.End - file.TrackPosition.Start) * f + file.TrackPosition.Start;
}

bool TPositionModel::GroupToFilePosition(const TFileItemSubitem &file, long double g, long double &f)
{
  if (!(file.Position.Start < file.Position.End)) {
    f = 0;
    return false;
  }
  f = (g - file.Position.Start) / (file.Position.End - file.Position.Start);
  return f >= 0 && f <= 1;
}

int TPositionModel::FindFileAt(long double g) const
{
  const auto &files = S.Recording.Files;
  const size_t n = files.size();
  for (size_t i = 0; i < n; ++i) {
    if (!(g < files[i].Position.End) && i + 1 != n) continue;
    if (g >= files[i].Position.Start || i == 0 || g >= files[i - 1].Position.End) return static_cast<int>(i);
  }
  return 0;
}

long double TPositionModel::SpanDays() const
{
  const TFileItemSubitem &s = S.Recording.Summary;
  return s.StartTime > 0 && s.EndTime > s.StartTime ? static_cast<long double>(s.EndTime) - s.StartTime : 0;
}

int64_t TPositionModel::PositionToMs(long double g) const
{
  if (S.CurrentFile < 0) return 0;
  const long double ms = SpanDays() * g * 86400000.0L;
  return std::isfinite(ms) ? Round(ms) : 0;
}

double TPositionModel::PositionToDateTime(long double g) const
{
  if (S.CurrentFile < 0) return 0;
  return TelemetryTime(g) + TimeZoneShift();
}

double TPositionModel::TelemetryTime(long double g) const
{
  const long double start = S.Recording.Summary.StartTime;
  const long double span = S.Recording.Summary.EndTime - start;
  return static_cast<double>(start + span * g);
}

QString TPositionModel::FileCaptionAt(long double g) const
{
  const auto &files = S.Recording.Files;
  const int index = FindFileAt(g);
  if (index < 0 || static_cast<size_t>(index) >= files.size()) return {};
  const QString name = files[static_cast<size_t>(index)].Name;
  return files.size() > 1 ? QStringLiteral("[%1] ").arg(index + 1) + name : name;
}

bool TPositionModel::IsSelectedGroupLoaded(int row) const
{
  if (!C.FileManager || row < 0 || row >= C.FileManager->GetCount()) return false;
  return C.FileManager->GetGroup(row).Summary.FileName == S.Recording.Summary.FileName;
}

// ------------------------------------------------------------------ telemetry and drawing

void TPositionModel::GetTelemetryAt(long double g, TMovingPoint &point, TGSensorSample &sample, bool &valid) const
{
  valid = false;
  point = ZeroedPoint();
  sample = TGSensorSample();
  const int index = FindFileAt(g);
  const auto info = [this](int i) {
    return i >= 0 && static_cast<size_t>(i) < S.MovingInfos.size() ? S.MovingInfos[static_cast<size_t>(i)].get()
                                                                   : nullptr;
  };
  if (!info(index)) return;
  const double time = TelemetryTime(g);
  info(index)->GetDataAtTime(time, point, sample, valid);
  if (point.Time > 0 || !info(index - 1)) return;
  // A fragment's first fix may come a moment after its first frame: the
  // last fix of the fragment before holds over the switch as it does at the
  // end of a file, so the gauges do not blink out at every fragment.
  TMovingPoint before;
  TGSensorSample unused;
  bool beforeValid = false;
  info(index - 1)->GetDataAtTime(time, before, unused, beforeValid);
  if (before.Time > 0 && before.Time <= time) {
    point = before;
    valid = beforeValid;
  }
}

void TPositionModel::GetSeekBarSpans(int width, TArrayInteger &gaps, TArrayInteger &noHeader, TArrayInteger &ab,
                                     long double windowStart, long double windowEnd) const
{
  if (width <= 0 || !(windowStart < windowEnd)) return;
  auto x = [&](long double f) { return BarX(width, f, windowStart, windowEnd); };
  bool anyVisible = false;
  for (const TFileItemSubitem &file : S.Recording.Files) {
    if (!(file.Position.Start < file.Position.End)) continue;
    if (!(file.Position.Start < windowEnd && file.Position.End > windowStart)) continue;
    anyVisible = true;
    const int x1 = static_cast<int>(Floor(static_cast<double>(x(file.Position.Start))));
    const int x2 = static_cast<int>(Ceil(static_cast<double>(x(file.Position.End))));
    if (!gaps.empty())
      gaps.push_back(x1);
    else if (x1 > 0) {
      gaps.push_back(0);
      gaps.push_back(x1);
    }
    gaps.push_back(x2);
    if (file.DurationSource == dsNoHeader) {
      noHeader.push_back(std::max(0, x1));
      noHeader.push_back(std::min(x2, width));
    }
  }
  if (!anyVisible && !S.Recording.Files.empty())
    gaps = {0, width};
  else if (!gaps.empty()) {
    if (gaps.back() < width - 1)
      gaps.push_back(width);
    else
      gaps.pop_back();
  }
  if (S.MarkA < S.MarkB && S.MarkA < windowEnd && S.MarkB > windowStart) {
    ab.push_back(std::max(0, static_cast<int>(Floor(static_cast<double>(x(S.MarkA))))));
    ab.push_back(std::min(static_cast<int>(Ceil(static_cast<double>(x(S.MarkB)))), width));
  }
}

void TPositionModel::DrawGraphWindow(TMyGraphic &graph, int width, const TArrayInteger &gaps,
                                     const TArrayInteger &noHeader, const TArrayInteger &ab, long double windowStart,
                                     long double windowEnd) const
{
  TGraphicItems series(static_cast<size_t>(std::max(0, width)));
  if (width > 0 && windowStart < windowEnd) {
    const double t1 = TelemetryTime(windowStart);
    const double t2 = TelemetryTime(windowEnd);
    const size_t n = std::min(S.Recording.Files.size(), S.MovingInfos.size());
    for (size_t i = 0; i < n; ++i) {
      const TFileItemSubitem &file = S.Recording.Files[i];
      if (!S.MovingInfos[i] || !(file.TrackStartTime < t2 && file.TrackEndTime > t1)) continue;
      if (TGraphSeriesGetter getter = graph.GetValueGetter(*S.MovingInfos[i])) getter(series, t1, t2);
    }
  }
  if (UseBritishUnits()) {
    double factor = 1;
    if (dynamic_cast<TSpeedGraphic *>(&graph))
      factor = kMphPerKmh;
    else if (dynamic_cast<TAltitudeGraphic *>(&graph))
      factor = kFeetPerMetre;
    if (factor != 1)
      for (TGraphicItem &item : series) {
        item.MinValue *= factor;
        item.MaxValue *= factor;
      }
  }
  graph.Draw(series, gaps, noHeader, ab, windowStart, windowEnd);
}

// ------------------------------------------------------------------ seek-bar mouse

long double TPositionModel::XToPosition(int x, bool &onCursor) const
{
  onCursor = false;
  return C.SeekBitmap ? C.SeekBitmap->XToPosition(x, onCursor) : 0;
}

void TPositionModel::ImageSeekMouseDown(QObject *sender, Qt::MouseButton button, int x)
{
  if (button == Qt::RightButton || S.Dragging) return;
  bool onCursor = false;
  const long double g = XToPosition(x, onCursor);
  if (sender && sender == C.ImageSeek && onCursor) {
    S.Dragging = true;
    S.DragPosition = g;
    return;
  }
  GuardStep(FHost, TGraphFailure::Log, [&] { SeekTo(g, true, false); });
}

void TPositionModel::ImageSeekMouseMove(QObject *sender, int x)
{
  bool onCursor = false;
  const long double g = XToPosition(x, onCursor);
  if (S.Dragging) {
    S.DragPosition = g;
    // The cursor follows the mouse; the pass has no sender, so it neither
    // loops A-B nor moves the window while the user holds the knob.
    RunTimerPass(TOrigin::None);
  } else if (sender && sender == C.ImageSeek) {
    if (onCursor)
      C.ImageSeek->setCursor(Qt::PointingHandCursor);
    else
      C.ImageSeek->unsetCursor();
  }
  auto *image = qobject_cast<QWidget *>(sender);
  TMyGraphic *pointed = C.GraphOf(image);
  const bool isImage = image && (image == C.ImageSeek || pointed);
  if (!C.Checked("N_View_Details") || FHost.FullScreen() || !isImage) return;
  const int margin = C.SeekBitmap ? C.SeekBitmap->Margin() : 0;
  if (S.CurrentFile < 0 || x < margin - 5 || x > image->width() - margin + 5) {
    FHost.HideDetails();
    return;
  }
  const long double step = 20.0L / std::max(32, image->width() - 2 * margin) * (S.TimeWindowEnd - S.TimeWindowStart);
  // The smallest time window: half a second of the recording.
  const long double span = S.Recording.Summary.EndTime - S.Recording.Summary.StartTime;
  const long double minWindow = 0.5L * kSecondDays / (span + kSecondDays);
  FHost.ShowDetails(g, S.LastPosition, step >= minWindow ? pointed : nullptr, step);
}

void TPositionModel::ImageSeekMouseUp(int x)
{
  if (!S.Dragging) return;
  bool onCursor = false;
  const long double g = XToPosition(x, onCursor);
  GuardStep(FHost, TGraphFailure::Log, [&] { SeekTo(g, true, false); });
}

void TPositionModel::OnImageMouseLeave()
{
  FHost.HideDetails();
}

void TPositionModel::ConnectImage(TBS_Image *image)
{
  QObject::connect(image, &TBS_Image::MouseDown, image,
                   [this, image](Qt::MouseButton button, Qt::KeyboardModifiers, int x, int) {
                     ImageSeekMouseDown(image, button, x);
                   });
  QObject::connect(
      image, &TBS_Image::MouseMove, image,
      [this, image](Qt::MouseButtons, Qt::KeyboardModifiers, int x, int) { ImageSeekMouseMove(image, x); });
  QObject::connect(image, &TBS_Image::MouseUp, image,
                   [this](Qt::MouseButton, Qt::KeyboardModifiers, int x, int) { ImageSeekMouseUp(x); });
  QObject::connect(image, &TBS_Image::MouseLeave, image, [this] { OnImageMouseLeave(); });
}

void TPositionModel::RunTimerPass(TOrigin origin)
{
  if (TimerPass) TimerPass(origin);
}

void TPositionModel::Message(const QString &text) const
{
  if (Unattended)
    FHost.ShowNote(text);
  else
    FHost.ShowFailure(text);
}

} // namespace kp
