#pragma once
// The copy window's label texts and its elapsed-time clock, kept apart from
// the window so they are checked without one.

#include "DateTime.h"
#include "UnitFormCopyThread.h"

#include <QString>

namespace kp {

struct TCopyWords {
  QString Mb, Mbytepsec;
  QString AlreadyThere;        // said when every file was in the folder already
  static TCopyWords Current(); // from the translation tables
};

struct TCopyLabels {
  bool Done = false; // every file handled
  QString File, Size, Speed, Remaining;
  int Percent = 0; // 0..100
};

// Labels for a snapshot of the engine. Speed and remaining stay empty below
// 1 B/s; a total of 0 bytes gives 0 %. A copy that found every file in the
// folder already says so in place of the last file's name.
TCopyLabels FormatCopyLabels(const TCopySnapshot &s, const TCopyWords &words);

// Elapsed time of a copy, paused time left out.
class TCopyClock {
public:
  void Start(TDateTime now) { FStart = now; }
  void Pause(TDateTime now) { FPauseTime = now; }
  // Moves the start forward by the pause so it is not counted.
  void Resume(TDateTime now) { FStart += now - FPauseTime; }
  TDateTime Elapsed(TDateTime now) const { return now - FStart; }
  QString ElapsedText(TDateTime now) const { return TimeToStr(Elapsed(now)); }

private:
  TDateTime FStart = 0;
  TDateTime FPauseTime = 0;
};

} // namespace kp
