#pragma once
// The cutting job: writes the fragments of the list one after another into
// one new movie without re-encoding, with the telemetry as a text track and
// as ".dat" and ".srt" side files, and hands the movie to the main window.
//
// Runs on the main thread inside the dialog's Start handler. It holds no
// widget: the dialog passes the progress callback (which processes window
// messages and answers false once the dialog is closed), a sink for message
// boxes, the main window's services and optional notifications for its
// labels and rows. The items are the dialog's own list; the job writes the
// moved start of each fragment back into it, and nothing may add or remove
// items while it runs.
//
// Files: the movie and its side files go through TWholeFileWriter, so they
// appear whole or not at all, and a file that took one of their names
// meanwhile is replaced only when the user agrees. A disk that refuses the
// movie (no permission, full, read-only) stops the job with one plain
// message naming the file and the system's reason; only faults of the
// program go to the exception reporter.

#include "CropItem.h"
#include "ICropHost.h"
#include "UnitMOVWriter.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace kp {

class TWholeFileWriter;

// The dialog's five check boxes and the text track's language.
struct TCropJobOptions {
  bool Video = true;
  bool Audio = true;
  bool VideoSubtitles = false; // text track in the movie
  bool Meta = true;            // ".dat" side file
  bool SrtSubtitles = true;    // ".srt" side file
  uint16_t TextLanguage = 0;   // movie language code of the text track
  // Added to the times the subtitles show, as the list adds it to the
  // times it shows (the chosen time zone); days. The ".dat" keeps the
  // stored times, which its reader takes back as they are.
  double DisplayShift = 0;
};

// 32 (Russian) when the active language is Russian, else 0 (English).
uint16_t CropTextLanguage();

enum class TCropOutcome {
  NotStarted, // empty output name
  Refused,    // the output would replace a source file, or the user keeps an existing one
  Failed,     // no writer, the disk refused the movie, or its header could not be written
  Cancelled,  // the dialog was closed: the movie is deleted
  Finished,   // the movie is written and handed to the main window
};

struct TCropJobEvents {
  // The output name is final and the copy begins (controls to disable).
  std::function<void(const QString &outputName, double totalSeconds)> Started;
  // The item being copied (-1 once the loop has ended).
  std::function<void(int index)> ItemStarted;
  // The current step's text, empty at the end.
  std::function<void(const QString &text)> Action;
  // An item has been copied (its row to repaint).
  std::function<void(int index)> ItemDone;
  // Whether the existing files among the outputs may be replaced; without
  // an answer nothing is replaced and the job does not start.
  std::function<bool(const QStringList &existing)> AskReplace;
};

class TCropJob {
public:
  using TMessageSink = std::function<void(const QString &text)>;

  TCropJob(std::vector<TCropItem> &items, const QString &outputName, const TCropJobOptions &options, ICropHost &host,
           TMOVProgressEvent progress, TMessageSink messages, TCropJobEvents events = {});

  TCropOutcome Run();

  // The name the movie was (or would have been) written under.
  const QString &OutputName() const { return FOutputName; }

  // Output length of the whole list in seconds.
  static double TotalSeconds(const std::vector<TCropItem> &items);
  // The first existing file among the outputs (the movie, and the side files
  // the options let the job write) that is a source movie or the ".dat" or
  // ".srt" beside one (same device and inode: links and another letter case
  // on a card count); empty when none.
  static QString FindOverwrittenSource(const std::vector<TCropItem> &items, const QString &movie,
                                       const TCropJobOptions &options);

private:
  struct TState;

  // The writer on the output's temporary file; none (the failure shown)
  // when it cannot start.
  std::unique_ptr<TMOVWriter> StartWriter(TWholeFileWriter &output);
  TCropOutcome PublishMovie(TWholeFileWriter &output);
  void CopyItems(TMOVWriter &writer, TState &state);
  // Inside a catch block: shows the current exception of item Index.
  void ReportItemFailure(int index);
  void CopyItem(int index, TMOVWriter &writer, TState &state, bool &stop);
  // LengthMs: the fragment's picture in the movie, which its subtitles keep to.
  void AddTelemetry(const TCropItem &item, TDateTime t1, TDateTime t2, int64_t lengthMs, TMOVWriter &writer,
                    TState &state);
  // Range: the fixes with the metres shown at each (TCropTrip); Taken: when
  // each was taken, for the entries' texts.
  void AddSubtitles(const TTrackInfo &range, const std::vector<TDateTime> &taken, TDateTime t1, int64_t lengthMs,
                    TMOVWriter &writer, TState &state);
  QStringList ExistingOutputs() const;
  QStringList SaveSideFiles(const TState &state);
  void ReportShortFragments();
  void ReportFailure(const std::exception_ptr &error);
  void Notify(const std::function<void(int)> &event, int index) const;
  void ShowAction(const QString &text) const;

  std::vector<TCropItem> &FItems;
  QString FOutputName;
  TCropJobOptions FOptions;
  ICropHost &FHost;
  TMOVProgressEvent FProgress;
  TMessageSink FMessages;
  TCropJobEvents FEvents;
  QStringList FShortItems; // sources that ended before their fragment
  QStringList FAgreed;     // existing outputs the user agreed to replace
};

} // namespace kp
