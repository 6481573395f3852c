#include "RenderPath.h"

#include <QElapsedTimer>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <optional>

Q_LOGGING_CATEGORY(lcRender, "kp.render", QtInfoMsg)

namespace kp {

namespace {

std::optional<TRenderPath> &Applied()
{
  static std::optional<TRenderPath> path;
  return path;
}

const char *PathName(TRenderPath path)
{
  switch (path) {
  case TRenderPath::OpenGL: return "OpenGL";
  case TRenderPath::Software: return "software";
  case TRenderPath::User: return "QT_QUICK_BACKEND";
  }
  return "";
}

void Apply(TRenderPath path)
{
  // The user's QT_QUICK_BACKEND is read by Qt Quick itself; the OpenGL path
  // is Qt's default. Only the software path needs telling.
  if (path == TRenderPath::Software) QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
  Applied() = path;
}

} // namespace

bool IsSoftwareRenderer(const QString &renderer)
{
  const QString r = renderer.trimmed();
  if (r.isEmpty()) return true;
  static const char *const kSoftware[] = {"llvmpipe",
                                          "softpipe",
                                          "swrast",
                                          "swiftshader",
                                          "software rasterizer",
                                          "lavapipe",
                                          "microsoft basic render",
                                          "gdi generic",
                                          "apple software renderer"};
  for (const char *name : kSoftware)
    if (r.contains(QLatin1String(name), Qt::CaseInsensitive)) return true;
  return false;
}

TRenderPath ChooseRenderPath(const QString &userBackend, const QString &renderer)
{
  if (!userBackend.trimmed().isEmpty()) return TRenderPath::User;
  return IsSoftwareRenderer(renderer) ? TRenderPath::Software : TRenderPath::OpenGL;
}

QString ProbeOpenGLRenderer()
{
  QOpenGLContext context;
  if (!context.create()) return {};
  QOffscreenSurface surface;
  surface.setFormat(context.format());
  surface.create();
  if (!surface.isValid() || !context.makeCurrent(&surface)) return {};
  const auto *text = reinterpret_cast<const char *>(context.functions()->glGetString(GL_RENDERER));
  QString renderer = text ? QString::fromLatin1(text) : QString();
  context.doneCurrent();
  return renderer;
}

TRenderPath ApplyRenderPath()
{
  if (Applied()) return *Applied();
  const QString user = qEnvironmentVariable("QT_QUICK_BACKEND");
  // The user's choice needs no probe (and a probe context costs time).
  QElapsedTimer probe;
  probe.start();
  const QString renderer = user.trimmed().isEmpty() ? ProbeOpenGLRenderer() : QString();
  const qint64 probeMs = probe.elapsed();
  const TRenderPath path = ChooseRenderPath(user, renderer);
  Apply(path);
  if (path == TRenderPath::User)
    qCInfo(lcRender, "web views: scene graph backend \"%s\" from QT_QUICK_BACKEND", qPrintable(user));
  else
    qCInfo(lcRender, "web views: %s scene graph (OpenGL renderer: %s; probed in %lld ms)", PathName(path),
           renderer.isEmpty() ? "none" : qPrintable(renderer), static_cast<long long>(probeMs));
  return path;
}

bool ForceRenderPath(TRenderPath path)
{
  if (Applied()) return false;
  Apply(path);
  qCInfo(lcRender, "web views: %s scene graph (set by the caller)", PathName(path));
  return true;
}

std::optional<TRenderPath> AppliedRenderPath()
{
  return Applied();
}

} // namespace kp
