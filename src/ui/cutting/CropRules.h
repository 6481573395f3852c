#pragma once
// The rules of the cutting list that need no window: speed choices and
// texts, list reordering and overlap trimming, output names, the re-timing
// of a fragment's telemetry and the texts of the list's rows.

#include "CropItem.h"
#include "UnitUtils.h"

#include <QString>
#include <utility>
#include <vector>

namespace kp {

// ---------------------------------------------------------------- sources

// A new item on the whole of a movie, read completely (speed 1, every frame
// kept, no telemetry). StartTime 1.0 or less takes the file's last-write
// time less its length. False for a file that is no readable movie with
// video and a length; Damage then receives the reader's words when the file
// begins as a movie but cannot be read as one (a cut-off recording), and
// stays empty for a file of another kind.
bool ReadCropSource(const QString &fileName, TDateTime startTime, TCropItem &item, QString *damage = nullptr);

// ---------------------------------------------------------------- speeds

// The speeds the editor's slider offers for a source with this frame-type
// pattern (1/8, 1/4, 1/2, 1, then the ones the pattern suggests) and the
// key-frame interval shown in the key-frame option.
struct TSpeedChoice {
  std::vector<long double> Speeds;
  int KeyInterval = 0;
};
TSpeedChoice SpeedsForFrameTypes(const QString &frameTypes);

// "4" for a speed of at least 1 (nearest integer), "1/8" below 1.
QString SpeedText(long double speed);
// The editor's reading: an integer, or "1/" N giving 1/N for N > 0 (N
// itself otherwise); -1 for a text that holds no integer.
long double ReadEditorSpeed(const QString &text);
// The reading of the list's speed question: "1/" N gives 1/N, anything
// else N; N is at least 1 and an unreadable number counts as 1.
long double ReadSpeedAnswer(const QString &text);

// "1/8x", "4x", "(fps) 4x" or "(key) 4x": the list's speed column.
QString SpeedColumnText(long double speed, bool bigFps);

// Replaces every "%name%" (any letter case) in Text by Value.
QString ReplaceMacro(QString text, const QString &name, const QString &value);

// ---------------------------------------------------------------- list

// Selected rows step up (or down) past an unselected neighbour; the
// selection marks travel with their rows. Selected has one mark per item.
template <typename T>
void MoveSelectedUp(std::vector<T> &items, std::vector<bool> &selected)
{
  for (size_t r = 1; r < items.size() && r < selected.size(); ++r)
    if (selected[r] && !selected[r - 1]) {
      std::swap(items[r], items[r - 1]);
      std::vector<bool>::swap(selected[r], selected[r - 1]);
    }
}
template <typename T>
void MoveSelectedDown(std::vector<T> &items, std::vector<bool> &selected)
{
  const size_t n = std::min(items.size(), selected.size());
  for (size_t r = n < 2 ? 0 : n - 1; r-- > 0;)
    if (selected[r] && !selected[r + 1]) {
      std::swap(items[r], items[r + 1]);
      std::vector<bool>::swap(selected[r], selected[r + 1]);
    }
}

// Trims each item that overlaps the next one in time to end where the next
// begins; an item left with nothing is removed. Returns the indexes (in the
// list as it was) of the removed items.
std::vector<size_t> RemoveIntersections(std::vector<TCropItem> &items);

// ---------------------------------------------------------------- names

// The movie's name: ".mov" forced (the extension of the file-name part
// replaced, else appended; one in any letter case stays as typed) when a
// source carries PCM sound or the movie gets a text track; reserved
// characters of the file name replaced, as the side files' writer does, so
// the three files keep one base name.
QString CropOutputName(const QString &edited, bool forceMov);
// A side file beside the movie: its extension replaced by Ext (".dat").
QString CropSideFileName(const QString &movie, const QString &ext);
// The folder part of the name, up to and including the last separator.
QString CropOutputFolder(const QString &movie);

// ---------------------------------------------------------------- telemetry

// Re-times the items of a fragment's range for its speed, towards the
// fragment's end T2: every time t becomes T2 - (T2 - t) / Speed (unchanged
// for speeds within 1 +- 0.01). Above 1.01 only the N-th, 2N-th ... item of
// each kind (GPS fix, G-sensor sample) stays, N being the rounded speed.
// Returns the re-timed start T2 - (T2 - T1) / Speed. Taken, when given,
// gets the times before re-timing of the GPS fixes that stay, in order.
TDateTime RetimeRange(TTrackInfo &range, TDateTime t1, TDateTime t2, long double speed,
                      std::vector<TDateTime> *taken = nullptr);

// ---------------------------------------------------------------- rows

// A row's times as it shows them: the clock seconds in which the
// fragment's limits fall (as the time line shows them), and the output
// length in whole seconds that those two make at the fragment's speed, so
// that at speed 1 Finish less Start reads Duration.
struct TCropRowTimes {
  TDateTime Start = 0, Finish = 0;
  int64_t Seconds = 0;
};
TCropRowTimes CropRowTimes(const TCropItem &item, double shift);
// "Start - Finish": the times of the fragment's limits, Shift (days, the
// list's display shift) added.
QString CropStartFinishText(const TCropItem &item, double shift);
// The row's "Duration".
QString CropDurationText(const TCropItem &item);
// Progress line: "42% - 0:01:02" (the percentage only with a total).
QString CropProgressText(double seconds, double totalSeconds);

} // namespace kp
