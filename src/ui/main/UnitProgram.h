#pragma once
// The program's main block: platform state, languages, the windows in their
// order, the language applied to all of them, then the event loop. Kept in
// the window library so the end-to-end test runs the same start.

namespace kp {

int ProgramMain(int argc, char **argv);

} // namespace kp
