#include "UnitEVRWindow.h"

#include <QEvent>

namespace kp {

TEVR::TEVR(QWidget *parent, QWidget *videoWindow, std::function<void()> onDoubleClick)
  : m_onDoubleClick(std::move(onDoubleClick)), m_parent(parent), m_videoWindow(videoWindow)
{
  if (!videoWindow) {
    m_ownWindow = true;
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
    m_videoWindow = own;
    m_own = own;
  }
  m_dest = QRect(0, 0, 100, 100);
}

TEVR::~TEVR()
{
  SetVideoPosition(QRect(), m_source);
  SetVideoWindow(nullptr);
  m_control.reset();
  delete m_own.data();
}

bool TEVR::IsEVRFilter(const TFilter *filter)
{
  return filter && filter->QueryInterface<IVideoRenderer>() != nullptr;
}

void TEVR::ConnectFilter(const TFilter *filter)
{
  auto renderer = filter ? filter->QueryInterface<IVideoRenderer>() : nullptr;
  if (!renderer) return;
  m_control = std::make_unique<TVideoPresenter>();
  m_control->SetFrames(renderer->Frames());
  m_control->SetAspectMode(m_aspectMode);
  m_control->SetSourceRect(m_source);
  m_control->SetDestination(m_dest);
  m_control->SetVideoWindow(m_videoWindow);
}

void TEVR::SetVideoWindow(QWidget *window)
{
  m_videoWindow = window;
  if (m_control) m_control->SetVideoWindow(window);
}

void TEVR::SetVideoPosition(const QRect &dest, const TNormalizedRect &source)
{
  m_dest = dest;
  m_source = source;
  if (m_own) m_own->setGeometry(dest);
  if (m_control) {
    m_control->SetSourceRect(source);
    // An empty destination shows nothing (it is how the picture is hidden);
    // the presenter reads an empty rectangle as "whole widget", so give it
    // a place outside the widget instead.
    m_control->SetDestination(dest.isEmpty() ? QRect(-2, -2, 1, 1) : dest);
  }
}

void TEVR::SetAspectRatioMode(bool preserve, bool nonLinear)
{
  m_aspectMode = preserve ? vamPreserve : nonLinear ? vamNonLinear : vamNone;
  if (m_control) m_control->SetAspectMode(m_aspectMode);
}

void TEVR::RepaintVideo()
{
  if (m_control) m_control->Repaint();
}

QImage TEVR::GetCurrentImage() const
{
  return m_control ? m_control->GetCurrentImage() : QImage();
}

QSize TEVR::GetNativeVideoSize() const
{
  QSize size, aspect;
  if (!m_control || !m_control->GetNativeVideoSize(size, aspect)) return QSize(0, 0);
  return NativeVideoSizeFromAspect(size, aspect);
}

bool TEVR::eventFilter(QObject *watched, QEvent *event)
{
  if (m_own && watched == m_own && event->type() == QEvent::MouseButtonDblClick && m_onDoubleClick) m_onDoubleClick();
  return QObject::eventFilter(watched, event);
}

} // namespace kp
