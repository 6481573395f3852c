#include "VideoZoom.h"

#include "DSPack.h"
#include "IViewsHost.h"
#include "MainMenus.h"
#include "UnitEVRWindow.h"

#include <QAction>
#include <QRegularExpression>

namespace kp {

TVideoZoom::TVideoZoom(TPlaybackState &state, TViewState &view, const TViewsControls &controls, IViewsHost &host)
  : S(state), V(view), C(controls), FHost(host)
{
}

TVideoZoomCommand TVideoZoom::CommandOf(const QObject *sender, double &percent) const
{
  if (!sender) return TVideoZoomCommand::None;
  if (C.Is(sender, "ButtonVideoZoomIn") || C.Is(sender, "N_VideoZoom_ZoomIn")) return TVideoZoomCommand::ZoomIn;
  if (C.Is(sender, "ButtonVideoZoomOut") || C.Is(sender, "N_VideoZoom_ZoomOut")) return TVideoZoomCommand::ZoomOut;
  static const QRegularExpression item(QStringLiteral("^N_VideoZoom_([0-9]+)$"));
  const QRegularExpressionMatch m = item.match(sender->objectName());
  if (m.hasMatch()) {
    bool ok = false;
    percent = m.captured(1).toDouble(&ok);
    if (!ok) percent = 100;
    return TVideoZoomCommand::Percent;
  }
  return TVideoZoomCommand::Other;
}

TVideoZoomMode TVideoZoom::CheckedMode() const
{
  if (C.Checked("N_VideoZoom_Custom")) return TVideoZoomMode::Custom;
  if (C.Checked("N_VideoZoom_PanAndScan")) return TVideoZoomMode::PanAndScan;
  if (C.Checked("N_VideoZoom_Stretch")) return TVideoZoomMode::Stretch;
  if (C.Checked("N_VideoZoom_NotLinear")) return TVideoZoomMode::NotLinear;
  return TVideoZoomMode::Letterbox;
}

QSize TVideoZoom::NativeSize() const
{
  if (TEVR *evr = FHost.EVR()) return evr->GetNativeVideoSize();
  TVideoWindow *wmr = FHost.VideoWindowWMR();
  int w = 0, h = 0, aw = 0, ah = 0;
  if (!wmr || !wmr->GetNativeVideoSize(w, h, aw, ah)) return {};
  if (aw != 0 && ah != 0) w = int(qint64(h) * aw / ah);
  return {w, h};
}

void TVideoZoom::Attach()
{
  // Our renderers paint in Qt: re-attaching is telling the EVR its window.
  if (TEVR *evr = FHost.EVR()) evr->SetVideoWindow(FHost.VideoWindowEVR());
}

void TVideoZoom::ButtonVideoZoomOutClick(QObject *sender)
{
  Attach();
  TEVR *evr = FHost.EVR();
  if (evr)
    evr->SetAspectRatioMode(!C.Checked("N_VideoZoom_Stretch") && !C.Checked("N_VideoZoom_NotLinear"),
                            C.Checked("N_VideoZoom_NotLinear"));
  else if (TVideoWindow *wmr = FHost.VideoWindowWMR())
    wmr->VMROptions().SetKeepAspectRatio(!C.Checked("N_VideoZoom_Stretch"));
  TVideoZoomInput in;
  in.Native = NativeSize();
  in.Panel = C.PanelVideo ? C.PanelVideo->size() : QSize();
  in.Mode = CheckedMode();
  in.Zoom = S.VideoZoom;
  in.PanX = S.VideoZoomCenterX;
  in.PanY = S.VideoZoomCenterY;
  in.Step = V.ZoomStep;
  in.Command = CommandOf(sender, in.Percent);
  const TVideoZoomResult r = ComputeVideoZoom(in);
  S.VideoZoom = r.Zoom;
  S.VideoZoomCenterX = r.PanX;
  S.VideoZoomCenterY = r.PanY;
  if (QAction *custom = C.Item("N_VideoZoom_Custom")) {
    if (r.SaveCustom) C.Menus->State().SetItemChecked(custom, true);
    // Crossing the fitting size leaves the free zoom without saving that.
    if (r.SaveCustom && r.Mode == TVideoZoomMode::Letterbox)
      if (QAction *letterbox = C.Item("N_VideoZoom_Letterbox")) letterbox->setChecked(true);
    TMenuState::SetItemCaptionSuffix(custom, r.CustomSuffix, custom->isChecked());
  }
  Apply(r);
  Attach();
}

void TVideoZoom::Apply(const TVideoZoomResult &r)
{
  TEVR *evr = FHost.EVR();
  QWidget *window = evr ? FHost.VideoWindowEVR() : static_cast<QWidget *>(FHost.VideoWindowWMR());
  V.PictureRect = r.PictureRect;
  V.VideoRect = r.VideoRect;
  if (!window) return;
  if (!r.VideoRect.isEmpty()) window->setGeometry(r.VideoRect);
  if (!r.HasSize) return;
  const QRect dest(0, 0, r.VideoRect.width(), r.VideoRect.height());
  if (evr) {
    evr->SetVideoPosition(dest, r.Source);
    return;
  }
  TVideoWindow *wmr = FHost.VideoWindowWMR();
  wmr->SetVideoPosition(SourcePixels(r.Source, NativeSize()), dest);
  wmr->RepaintVideo();
  TNormalizedRect out;
  if (C.Checked("N_VideoZoom_FlipV")) std::swap(out.top, out.bottom);
  if (C.Checked("N_VideoZoom_FlipH")) std::swap(out.left, out.right);
  wmr->SetOutputRect(out);
}

void TVideoZoom::N_VideoZoom_LetterboxClick(QAction *sender)
{
  if (sender && !sender->isVisible()) return;
  if (sender) ButtonVideoZoomOutClick(nullptr);
}

void TVideoZoom::SetCustomZoom(double zoom)
{
  S.VideoZoom = zoom;
  if (QAction *custom = C.Item("N_VideoZoom_Custom")) C.Menus->State().SetItemChecked(custom, true);
  ButtonVideoZoomOutClick(nullptr);
}

bool TVideoZoom::MouseDown(Qt::MouseButton button, QPoint globalPos)
{
  if (button != Qt::LeftButton || !C.Checked("N_VideoZoom_Custom") || V.VideoDragging) return false;
  V.DragCursor = globalPos;
  V.VideoDragging = true;
  return true;
}

void TVideoZoom::MouseUp()
{
  V.VideoDragging = false;
  if (C.Checked("N_VideoZoom_Custom")) ButtonVideoZoomOutClick(nullptr);
}

void TVideoZoom::DragTo(QPoint globalPos)
{
  if (!V.VideoDragging || globalPos == V.DragCursor) return;
  const QPoint d = globalPos - V.DragCursor;
  // An empty picture has no size to divide by: the pan stays.
  if (V.PictureRect.width() > 0) S.VideoZoomCenterX += double(d.x()) / V.PictureRect.width();
  if (V.PictureRect.height() > 0) S.VideoZoomCenterY += double(d.y()) / V.PictureRect.height();
  V.DragCursor = globalPos;
  ButtonVideoZoomOutClick(nullptr);
}

} // namespace kp
