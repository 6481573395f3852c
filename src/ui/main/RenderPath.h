#pragma once
// How the web views (map, advertising strip) are drawn. A widget window that
// holds a web view is composed through OpenGL on every repaint; where OpenGL
// is itself drawn by the CPU (virtual machines, remote desktops, servers
// without a GPU) that composing costs several times what the video does, so
// there the web views take Qt Quick's software scene graph instead. Decided
// once, before the first web view exists. Main thread only.

#include <QLoggingCategory>
#include <QString>
#include <optional>

Q_DECLARE_LOGGING_CATEGORY(lcRender)

namespace kp {

enum class TRenderPath { OpenGL, Software, User };

// True for a renderer string of a rasteriser that runs on the CPU (Mesa's
// llvmpipe, softpipe and swrast, SwiftShader, Microsoft's basic renderer and
// their kind), and for an empty one (no OpenGL at all).
bool IsSoftwareRenderer(const QString &renderer);

// The path for a user's QT_QUICK_BACKEND (empty when unset) and the probe's
// renderer string: the user's choice wins over the probe.
TRenderPath ChooseRenderPath(const QString &userBackend, const QString &renderer);

// The renderer string of a probe OpenGL context; empty when none can be
// made. Needs the application object.
QString ProbeOpenGLRenderer();

// Probes, chooses and applies the path; later calls keep the first choice.
// Needs the application object and must run before the first web view.
TRenderPath ApplyRenderPath();
// Applies Path without probing (a test that wants the OpenGL path); false
// when a path was applied already.
bool ForceRenderPath(TRenderPath path);
// The path this process applied; none before the first choice.
std::optional<TRenderPath> AppliedRenderPath();

} // namespace kp
