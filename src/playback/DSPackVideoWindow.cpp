#include "DSPack.h"

#include "GstMediaGraph.h"

#include <QPainter>

namespace kp {

namespace {

IGraphFactoryPtr defaultFactory()
{
  static IGraphFactoryPtr factory = CreateGstGraphFactory(TGstGraphOptions());
  return factory;
}

} // namespace

void TVMROptions::SetStreams(uint32_t streams)
{
  m_streams = (streams < 1 || streams > 16) ? 1 : streams;
  if (m_owner->Mode() == vmVMR) m_owner->rebuild();
}

void TVMROptions::SetPreferences(uint32_t preferences)
{
  m_preferences = preferences;
  if (m_owner->Mode() == vmVMR) m_owner->rebuild();
}

void TVMROptions::SetMode(TVMRVideoMode mode)
{
  m_mode = mode;
  if (m_owner->Mode() == vmVMR) m_owner->rebuild();
}

void TVMROptions::SetKeepAspectRatio(bool keep)
{
  m_keepAspectRatio = keep;
  m_owner->applyPresentation();
}

TVideoWindow::TVideoWindow(QWidget *parent) : QWidget(parent)
{
  resize(160, 120);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::black);
  setPalette(pal);
  m_presenter.SetVideoWindow(this);
}

TVideoWindow::~TVideoWindow()
{
  SetFilterGraph(nullptr);
  m_presenter.SetFrames(nullptr);
}

bool TVideoWindow::CheckVMR() const
{
  IGraphFactory *factory = m_graph ? m_graph->Factory() : defaultFactory().get();
  if (!factory) return false;
  auto renderer = std::dynamic_pointer_cast<IVideoRenderer>(factory->CreateFilter(QString::fromLatin1(kVideoRendererRole)));
  return renderer != nullptr;
}

void TVideoWindow::SetMode(TVideoMode mode)
{
  m_mode = (mode == vmVMR && !CheckVMR()) ? vmNormal : mode;
  rebuild();
}

void TVideoWindow::rebuild()
{
  applyPresentation();
  if (m_graph && m_graph->Active()) {
    TFilterGraph *graph = m_graph;
    graph->RemoveFilter(this);
    graph->InsertFilter(this);
  }
}

void TVideoWindow::SetFilterGraph(TFilterGraph *graph)
{
  if (graph == m_graph) return;
  QPointer<TFilterGraph> old = m_graph;
  m_graph = graph;
  if (old) {
    old->RemoveFilter(this);
    old->RemoveEventNotifier(this);
  }
  if (graph) {
    graph->InsertFilter(this);
    graph->InsertEventNotifier(this);
  }
}

void TVideoWindow::NotifyMember(int operation, int)
{
  switch (operation) {
  case gmoAdding:
    // Renderless mode needs an allocator class, which this program never
    // supplies.
    if (m_mode == vmVMR && m_options.Mode() == vmrRenderless) throw EDSPackException(QStringLiteral("Allocator class not set."));
    if (m_graph && m_graph->Factory()) m_renderer = m_graph->Factory()->CreateFilter(QString::fromLatin1(kVideoRendererRole));
    break;
  case gmoAdded:
    if (auto renderer = std::dynamic_pointer_cast<IVideoRenderer>(m_renderer)) m_presenter.SetFrames(renderer->Frames());
    applyPresentation();
    break;
  case gmoRemoving:
    if (m_renderer) m_renderer->Stop();
    break;
  case gmoRemoved:
    m_presenter.SetFrames(nullptr);
    m_renderer.reset();
    update();
    break;
  default:
    break;
  }
}

void TVideoWindow::GraphEvent(int32_t event, intptr_t, intptr_t)
{
  if (event == EC_VIDEO_SIZE_CHANGED || event == EC_PALETTE_CHANGED) applyPresentation();
}

void TVideoWindow::applyPresentation()
{
  if (m_mode == vmNormal) {
    m_presenter.SetAspectMode(vamNone);
    m_presenter.SetSourceRect(TNormalizedRect());
    m_presenter.SetDestination(QRect());
    m_presenter.SetFlips(false, false);
  } else {
    m_presenter.SetAspectMode(m_options.KeepAspectRatio() ? vamPreserve : vamNone);
  }
  update();
}

bool TVideoWindow::VMRGetBitmap(QImage &image) const
{
  if (m_mode != vmVMR || !m_renderer) return false;
  QImage current = m_presenter.GetCurrentImage();
  if (current.isNull()) return false;
  image = current;
  return true;
}

bool TVideoWindow::GetNativeVideoSize(int &width, int &height, int &aspectWidth, int &aspectHeight) const
{
  width = height = aspectWidth = aspectHeight = 0;
  QSize size, aspect;
  if (m_mode != vmVMR || !m_presenter.GetNativeVideoSize(size, aspect)) return false;
  width = size.width();
  height = size.height();
  aspectWidth = aspect.width();
  aspectHeight = aspect.height();
  return true;
}

void TVideoWindow::SetVideoPosition(const QRect &source, const QRect &dest)
{
  if (m_mode != vmVMR) return;
  m_sourcePixels = source;
  QSize size, aspect;
  if (!source.isEmpty() && m_presenter.GetNativeVideoSize(size, aspect) && !size.isEmpty()) {
    // Video pixels as (left, top, right, bottom) edges, right and bottom exclusive.
    m_presenter.SetSourceRect(MakeNormalizedRect(float(source.left()) / size.width(), float(source.top()) / size.height(),
                                                 float(source.left() + source.width()) / size.width(),
                                                 float(source.top() + source.height()) / size.height()));
  } else {
    m_presenter.SetSourceRect(TNormalizedRect());
  }
  m_presenter.SetDestination(dest);
}

void TVideoWindow::SetOutputRect(const TNormalizedRect &rect)
{
  if (m_mode != vmVMR) return;
  m_presenter.SetFlips(rect.left > rect.right, rect.top > rect.bottom);
}

void TVideoWindow::mouseDoubleClickEvent(QMouseEvent *event)
{
  emit DoubleClicked();
  QWidget::mouseDoubleClickEvent(event);
}

} // namespace kp
