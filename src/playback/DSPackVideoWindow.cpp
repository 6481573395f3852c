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
  FStreams = (streams < 1 || streams > 16) ? 1 : streams;
  if (FOwner->Mode() == vmVMR) FOwner->Rebuild();
}

void TVMROptions::SetPreferences(uint32_t preferences)
{
  FPreferences = preferences;
  if (FOwner->Mode() == vmVMR) FOwner->Rebuild();
}

void TVMROptions::SetMode(TVMRVideoMode mode)
{
  FMode = mode;
  if (FOwner->Mode() == vmVMR) FOwner->Rebuild();
}

void TVMROptions::SetKeepAspectRatio(bool keep)
{
  FKeepAspectRatio = keep;
  FOwner->ApplyPresentation();
}

TVideoWindow::TVideoWindow(QWidget *parent) : QWidget(parent)
{
  resize(160, 120);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::black);
  setPalette(pal);
  FPresenter.SetVideoWindow(this);
}

TVideoWindow::~TVideoWindow()
{
  SetFilterGraph(nullptr);
  FPresenter.SetFrames(nullptr);
}

bool TVideoWindow::CheckVMR() const
{
  IGraphFactory *factory = FGraph ? FGraph->Factory() : defaultFactory().get();
  if (!factory) return false;
  auto renderer =
      std::dynamic_pointer_cast<IVideoRenderer>(factory->CreateFilter(QString::fromLatin1(kVideoRendererRole)));
  return renderer != nullptr;
}

void TVideoWindow::SetMode(TVideoMode mode)
{
  FMode = (mode == vmVMR && !CheckVMR()) ? vmNormal : mode;
  Rebuild();
}

void TVideoWindow::Rebuild()
{
  ApplyPresentation();
  if (FGraph && FGraph->Active()) {
    TFilterGraph *graph = FGraph;
    graph->RemoveFilter(this);
    graph->InsertFilter(this);
  }
}

void TVideoWindow::SetFilterGraph(TFilterGraph *graph)
{
  if (graph == FGraph) return;
  QPointer<TFilterGraph> old = FGraph;
  FGraph = graph;
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
    if (FMode == vmVMR && FOptions.Mode() == vmrRenderless)
      throw EDSPackException(QStringLiteral("Allocator class not set."));
    if (FGraph && FGraph->Factory())
      FRenderer = FGraph->Factory()->CreateFilter(QString::fromLatin1(kVideoRendererRole));
    break;
  case gmoAdded:
    if (auto renderer = std::dynamic_pointer_cast<IVideoRenderer>(FRenderer)) FPresenter.SetFrames(renderer->Frames());
    ApplyPresentation();
    break;
  case gmoRemoving:
    if (FRenderer) FRenderer->Stop();
    break;
  case gmoRemoved:
    FPresenter.SetFrames(nullptr);
    FRenderer.reset();
    update();
    break;
  default: break;
  }
}

void TVideoWindow::GraphEvent(int32_t event, intptr_t, intptr_t)
{
  if (event == EC_VIDEO_SIZE_CHANGED || event == EC_PALETTE_CHANGED) ApplyPresentation();
}

void TVideoWindow::ApplyPresentation()
{
  // "Fit" keeps the picture's own shape on either renderer: only the
  // stretch view gives that up. The plain renderer has no mixer to mirror.
  FPresenter.SetAspectMode(FOptions.KeepAspectRatio() ? vamPreserve : vamNone);
  if (FMode == vmNormal) FPresenter.SetFlips(false, false);
  update();
}

bool TVideoWindow::VMRGetBitmap(QImage &image) const
{
  if (FMode != vmVMR || !FRenderer) return false;
  QImage current = FPresenter.GetCurrentImage();
  if (current.isNull()) return false;
  image = current;
  return true;
}

bool TVideoWindow::GetNativeVideoSize(int &width, int &height, int &aspectWidth, int &aspectHeight) const
{
  width = height = aspectWidth = aspectHeight = 0;
  QSize size, aspect;
  if (!FPresenter.GetNativeVideoSize(size, aspect)) return false;
  width = size.width();
  height = size.height();
  aspectWidth = aspect.width();
  aspectHeight = aspect.height();
  return true;
}

// The plain renderer places the picture as the mixing one does, so the
// fill and zoom views work on both.
void TVideoWindow::SetVideoPosition(const QRect &source, const QRect &dest)
{
  FSourcePixels = source;
  QSize size, aspect;
  if (!source.isEmpty() && FPresenter.GetNativeVideoSize(size, aspect) && !size.isEmpty()) {
    // Video pixels as (left, top, right, bottom) edges, right and bottom exclusive.
    FPresenter.SetSourceRect(MakeNormalizedRect(
        float(source.left()) / size.width(), float(source.top()) / size.height(),
        float(source.left() + source.width()) / size.width(), float(source.top() + source.height()) / size.height()));
  } else {
    FPresenter.SetSourceRect(TNormalizedRect());
  }
  FPresenter.SetDestination(dest);
}

void TVideoWindow::SetOutputRect(const TNormalizedRect &rect)
{
  if (FMode != vmVMR) return;
  FPresenter.SetFlips(rect.left > rect.right, rect.top > rect.bottom);
}

void TVideoWindow::mouseDoubleClickEvent(QMouseEvent *event)
{
  emit DoubleClicked();
  QWidget::mouseDoubleClickEvent(event);
}

} // namespace kp
