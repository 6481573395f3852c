#include "UnitEVRWindow.h"

#include <QEvent>

namespace kp {

TEVR::TEVR(QWidget *parent, QWidget *videoWindow, std::function<void()> onDoubleClick)
  : FOnDoubleClick(std::move(onDoubleClick)), FParent(parent), FVideoWindow(videoWindow)
{
  if (!videoWindow) {
    FOwnWindow = true;
    auto *own = new QWidget(parent);
    own->setObjectName(QStringLiteral("EVR"));
    own->setWindowTitle(QStringLiteral("EVR"));
    own->setGeometry(0, 0, 100, 100);
    own->setAutoFillBackground(true);
    QPalette pal = own->palette();
    pal.setColor(QPalette::Window, Qt::black);
    own->setPalette(pal);
    own->installEventFilter(this);
    own->show();
    FVideoWindow = own;
    FOwn = own;
  }
  FDest = QRect(0, 0, 100, 100);
}

TEVR::~TEVR()
{
  SetVideoPosition(QRect(), FSource);
  SetVideoWindow(nullptr);
  FControl.reset();
  delete FOwn.data();
}

bool TEVR::IsEVRFilter(const TFilter *filter)
{
  return filter && filter->QueryInterface<IVideoRenderer>() != nullptr;
}

void TEVR::ConnectFilter(const TFilter *filter)
{
  auto renderer = filter ? filter->QueryInterface<IVideoRenderer>() : nullptr;
  if (!renderer) return;
  FControl = std::make_unique<TVideoPresenter>();
  FControl->SetFrames(renderer->Frames());
  FControl->SetAspectMode(FAspectMode);
  FControl->SetSourceRect(FSource);
  FControl->SetDestination(FDest);
  FControl->SetVideoWindow(FVideoWindow);
}

void TEVR::SetVideoWindow(QWidget *window)
{
  FVideoWindow = window;
  if (FControl) FControl->SetVideoWindow(window);
}

void TEVR::SetVideoPosition(const QRect &dest, const TNormalizedRect &source)
{
  FDest = dest;
  FSource = source;
  if (FOwn) FOwn->setGeometry(dest);
  if (FControl) {
    FControl->SetSourceRect(source);
    // An empty destination shows nothing (it is how the picture is hidden);
    // the presenter reads an empty rectangle as "whole widget", so give it
    // a place outside the widget instead.
    FControl->SetDestination(dest.isEmpty() ? QRect(-2, -2, 1, 1) : dest);
  }
}

void TEVR::SetAspectRatioMode(bool preserve, bool nonLinear)
{
  FAspectMode = preserve ? vamPreserve : nonLinear ? vamNonLinear : vamNone;
  if (FControl) FControl->SetAspectMode(FAspectMode);
}

void TEVR::RepaintVideo()
{
  if (FControl) FControl->Repaint();
}

QImage TEVR::GetCurrentImage() const
{
  return FControl ? FControl->GetCurrentImage() : QImage();
}

QSize TEVR::GetNativeVideoSize() const
{
  QSize size, aspect;
  if (!FControl || !FControl->GetNativeVideoSize(size, aspect)) return QSize(0, 0);
  return NativeVideoSizeFromAspect(size, aspect);
}

bool TEVR::eventFilter(QObject *watched, QEvent *event)
{
  if (FOwn && watched == FOwn && event->type() == QEvent::MouseButtonDblClick && FOnDoubleClick) FOnDoubleClick();
  return QObject::eventFilter(watched, event);
}

} // namespace kp
