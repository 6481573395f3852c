#pragma once
// The main-window benchmark's side-by-side part: the program (every view,
// map shown), the program with the map hidden, and mpv play the same
// fragment, each as a process tree of its own, measured from outside.

#include <QString>

#include <functional>
#include <vector>

namespace kpbench {

// The child: plays row 0 of Card with every view on (Map: the map too) for
// Seconds, prints its figures, closes the window and returns from main.
int PlayChild(int argc, char **argv, const QString &card, bool map, int seconds);

// The parent: makes the fragment's card from the demo card and runs the
// three players on it, printing the table. False when a run failed.
bool SideBySideFigures(const QString &demoCard, const QString &work);
// The same three on the demo card as it is (its 320x180 10 fps clips).
bool DemoClipFigures(const QString &demoCard);

// Runs the event loop until Done or Ms milliseconds have passed.
bool WaitUntil(const std::function<bool()> &done, int ms);
// The value below which share P (0..1) of V lies; 0 for no values.
double Percentile(std::vector<double> v, double p);
// Frames the stream of File holds per second, by ffprobe; 30 when unknown.
double FrameRate(const QString &file);

} // namespace kpbench
