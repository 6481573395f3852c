#pragma once
// The program's main block: platform state, languages, the windows in their
// order, the language applied to all of them, then the event loop. Kept in
// the window library so the end-to-end test runs the same start.

#include <QStringList>
#include <memory>

namespace kp {

class TFormMain;

// Everything after the application object exists: the platform state, the
// languages and the windows, with the language applied. Args: the command
// line without the program's name.
std::unique_ptr<TFormMain> CreateWindows(const QStringList &args);

int ProgramMain(int argc, char **argv);

} // namespace kp
