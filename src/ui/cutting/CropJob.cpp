#include "CropJob.h"

#include "ByteStream.h"
#include "Errors.h"
#include "CropDatBlock.h"
#include "CropRules.h"
#include "CropTrip.h"
#include "UnitException.h"
#include "UnitGpsConverterSRT.h"
#include "UnitGpsConverters.h"
#include "UnitRegSettings.h"
#include "UnitTranslate.h"
#include "UnitUtilsFiles.h"
#include "WholeFileWriter.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace kp {

namespace {

const char *const kTextTrackName = "GPS information";
constexpr uint16_t kLanguageRussian = 32;
constexpr uint16_t kLanguageEnglish = 0;
// A fragment this much shorter than asked is reported (its ends move to
// frames and key frames by less).
constexpr long double kShortFragmentMs = 1000;

TDateTime FragmentTime(const TCropItem &item, long double p)
{
  return item.StartTime + double(item.DurationMs * p / MSecsPerDay);
}

QString Step(const char *key)
{
  return Translate(QString::fromLatin1(key)) + QStringLiteral(" . . .");
}

// The part of the source's picture a fragment shows, in the output (ms);
// the header's length stands in for a source without a video track.
long double PictureMs(const TMOVReader &source, const TCropItem &item)
{
  TCropItem picture = item;
  if (const TMOVTrack *video = source.FindVideoTrack(); video && video->DurationMs > 0)
    picture.DurationMs = video->DurationMs;
  return CropItemOutputMs(picture);
}

bool SameFile(const struct stat &a, const QString &path)
{
  struct stat b {};
  return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &b) == 0 && a.st_dev == b.st_dev &&
         a.st_ino == b.st_ino;
}

} // namespace

struct TCropJob::TState {
  int64_t ClockMs = 0; // output time reached by the fragments copied
  QByteArray Dat, Srt;
  bool TextStarted = false;
  TCropTrip Trip;                       // the way shown so far
  std::vector<TDatPiece> DatPieces;     // the ".dat" blocks, written once the movie's length is known
  TDateTime DatOrigin = 0;              // the time the ".dat" gives the movie's start
  std::unique_ptr<TMOVReader> Template; // the first readable source, until the header is written
  std::exception_ptr FileFailure;       // the disk refused the movie: the job stops
};

uint16_t CropTextLanguage()
{
  return Translate(u"LangID") == QLatin1String("ru") ? kLanguageRussian : kLanguageEnglish;
}

TCropJob::TCropJob(std::vector<TCropItem> &items, const QString &outputName, const TCropJobOptions &options,
                   ICropHost &host, TMOVProgressEvent progress, TMessageSink messages, TCropJobEvents events)
  : FItems(items), FOutputName(outputName), FOptions(options), FHost(host), FProgress(std::move(progress)),
    FMessages(std::move(messages)), FEvents(std::move(events))
{
  if (!FProgress) FProgress = [](double, double) { return true; };
  if (!FMessages) FMessages = [](const QString &) {};
}

double TCropJob::TotalSeconds(const std::vector<TCropItem> &items)
{
  long double ms = 0;
  for (const TCropItem &item : items) ms += CropItemOutputMs(item);
  return double(ms / 1000);
}

QString TCropJob::FindOverwrittenSource(const std::vector<TCropItem> &items, const QString &movie,
                                        const TCropJobOptions &options)
{
  QStringList outputs{movie};
  if (options.Meta) outputs << CropSideFileName(movie, QStringLiteral(".dat"));
  if (options.SrtSubtitles) outputs << CropSideFileName(movie, QStringLiteral(".srt"));
  for (const QString &output : outputs) {
    struct stat st {};
    if (::stat(QFile::encodeName(output).constData(), &st) != 0) continue;
    for (const TCropItem &item : items) {
      const QString sources[] = {item.FileName, FindFileNoCase(ChangeFileExt(item.FileName, QStringLiteral(".dat"))),
                                 FindFileNoCase(ChangeFileExt(item.FileName, QStringLiteral(".srt")))};
      for (const QString &source : sources)
        if (SameFile(st, source)) return source;
    }
  }
  return {};
}

QStringList TCropJob::ExistingOutputs() const
{
  QStringList outputs{FOutputName};
  // Side files come only with telemetry.
  const bool telemetry = std::any_of(FItems.begin(), FItems.end(), [](const TCropItem &i) { return bool(i.Info); });
  if (FOptions.Meta && telemetry) outputs << SanitizedPath(CropSideFileName(FOutputName, QStringLiteral(".dat")));
  if (FOptions.SrtSubtitles && telemetry)
    outputs << SanitizedPath(CropSideFileName(FOutputName, QStringLiteral(".srt")));
  QStringList existing;
  for (const QString &output : outputs)
    if (QFileInfo(output).isFile() && !existing.contains(output)) existing << output;
  return existing;
}

TCropOutcome TCropJob::Run()
{
  const bool pcm = std::any_of(FItems.begin(), FItems.end(), [](const TCropItem &i) { return i.HasPCMAudio; });
  FOutputName = CropOutputName(FOutputName, pcm || FOptions.VideoSubtitles);
  const QString folder = CropOutputFolder(FOutputName);
  if (!folder.isEmpty()) settings::CopyFolder.Write(folder);
  if (FOutputName.isEmpty()) return TCropOutcome::NotStarted;
  const QString source = FindOverwrittenSource(FItems, FOutputName, FOptions);
  if (!source.isEmpty()) {
    FMessages(Translate(u"Cropping_SameFile") + QStringLiteral("\r\n") + source);
    return TCropOutcome::Refused;
  }
  const QStringList existing = ExistingOutputs();
  if (!existing.isEmpty() && !(FEvents.AskReplace && FEvents.AskReplace(existing))) return TCropOutcome::Refused;

  FAgreed = existing;

  if (FEvents.Started) FEvents.Started(FOutputName, TotalSeconds(FItems));
  // The movie grows under a temporary name and takes its own when complete;
  // its folder (the videos folder by default) may not exist yet.
  if (!folder.isEmpty()) ForceDirs(folder);
  TWholeFileWriter output(FOutputName);
  std::unique_ptr<TMOVWriter> writer = StartWriter(output);
  if (!writer) return TCropOutcome::Failed;
  FHost.StopPlayback();
  FHost.HideMain();

  TState state;
  CopyItems(*writer, state);
  state.Dat = DatCutText(state.DatPieces, state.DatOrigin, state.ClockMs / MSecsPerDay);
  Notify(FEvents.ItemStarted, -1);
  // Nothing processes window messages from here to the end, so the dialog
  // stays as this call finds it.
  const bool visible = FProgress(-1, 1);
  ShowAction(Step("Cropping_Finish"));
  std::exception_ptr failure = state.FileFailure;
  try {
    if (!failure) writer->WriteMoov(state.Template.get());
  } catch (...) {
    failure = std::current_exception();
  }
  state.Template.reset();
  FHost.ShowMain();
  writer.reset();
  // A close wins over a failure it caused (a movie cut off before its first
  // sample cannot be finished): the user asked for no movie.
  if (!visible || failure) {
    output.Discard();
    ShowAction({});
    if (!visible) return TCropOutcome::Cancelled;
    ReportFailure(failure);
    return TCropOutcome::Failed;
  }
  const TCropOutcome published = PublishMovie(output);
  if (published != TCropOutcome::Finished) {
    ShowAction({});
    return published;
  }

  const QStringList unsaved = SaveSideFiles(state);
  ShowAction({});
  ReportShortFragments();
  FHost.StopPlayback();
  FHost.AddCut(FOutputName);
  if (!unsaved.isEmpty()) FMessages(unsaved.join(QStringLiteral("\r\n")));
  return TCropOutcome::Finished;
}

std::unique_ptr<TMOVWriter> TCropJob::StartWriter(TWholeFileWriter &output)
{
  try {
    if (output.Create()) return std::make_unique<TMOVWriter>(output.Temporary());
    FHost.ShowMain();
    FMessages(FileFailureMessage(FOutputName, output.Error()));
  } catch (...) {
    FHost.ShowMain();
    ReportFailure(std::current_exception());
  }
  return nullptr;
}

TCropOutcome TCropJob::PublishMovie(TWholeFileWriter &output)
{
  bool published = output.Commit(FAgreed.contains(FOutputName));
  // A file that took the name while the job ran is the user's: replaced
  // only when the user agrees now.
  if (!published && output.TargetExists()) {
    if (!(FEvents.AskReplace && FEvents.AskReplace({FOutputName}))) return TCropOutcome::Refused;
    published = output.Commit(true);
  }
  if (published) return TCropOutcome::Finished;
  FMessages(FileFailureMessage(FOutputName, output.Error()));
  return TCropOutcome::Failed;
}

void TCropJob::CopyItems(TMOVWriter &writer, TState &state)
{
  bool stop = false;
  for (size_t i = 0; i < FItems.size() && !stop; ++i) {
    try {
      CopyItem(int(i), writer, state, stop);
    } catch (...) {
      // The disk that refused this fragment would refuse the next ones.
      if (FileFailureReason(std::current_exception()).isEmpty()) {
        ReportItemFailure(int(i));
        continue;
      }
      state.FileFailure = std::current_exception();
      return;
    }
  }
}

void TCropJob::ReportItemFailure(int index)
{
  try {
    throw;
  } catch (const std::exception &e) {
    ReportException();
    FMessages(QString::fromUtf8(e.what()));
  } catch (...) {
    ReportException();
    FMessages(QStringLiteral("Unknown error: ") + FItems[size_t(index)].FileName);
  }
}

void TCropJob::CopyItem(int index, TMOVWriter &writer, TState &state, bool &stop)
{
  Notify(FEvents.ItemStarted, index);
  FProgress(-1, 0);
  ShowAction(Step("Cropping_Open"));
  auto reader = std::make_unique<TMOVReader>(FItems[size_t(index)].FileName, false);
  ShowAction(Step("Cropping_Copping"));
  if (!reader->HasMoov()) {
    // A source cut off since it was added (its index was at its end).
    FShortItems << FItems[size_t(index)].FileName;
    return;
  }
  TMOVReader *source = reader.get();
  if (!state.Template) state.Template = std::move(reader);

  TCropItem &item = FItems[size_t(index)];
  double p1 = double(item.P1), p2 = double(item.P2);
  const double speed = item.Speed > 0 ? double(item.Speed) : 1.0;
  const int64_t before = writer.DurationMs;
  if (!writer.AppendFragment(p1, p2, speed, item.BigFPS, *source, FProgress, FOptions.Video, FOptions.Audio)) {
    stop = true;
    return;
  }
  item.P1 = p1;
  item.P2 = p2;
  // The part in the movie is the picture written. A source that ends early
  // gives less than asked (a reader that finds the data cut off lists only
  // the samples it has); so does one whose sound runs past its picture,
  // since the header's length is the longer track's and the sound is cut
  // to the picture. The telemetry and the later fragments follow the
  // picture, or every later piece's track would lag its own.
  TCropItem copied = item;
  const long double gotMs = std::max<int64_t>(writer.DurationMs - before, 0);
  if (writer.LastFragmentClipped() || gotMs + kShortFragmentMs < PictureMs(*source, item)) FShortItems << item.FileName;
  if (gotMs > 0 && gotMs < CropItemOutputMs(item) && copied.DurationMs > 0)
    copied.P2 = std::min(copied.P2, copied.P1 + gotMs * copied.Speed / copied.DurationMs);
  // The fragment is in the movie: its length counts even when its telemetry fails.
  const int64_t lengthMs = Round(double(gotMs > 0 ? gotMs : CropItemOutputMs(copied)));
  try {
    if (item.Info && (FOptions.Meta || FOptions.VideoSubtitles || FOptions.SrtSubtitles))
      AddTelemetry(copied, FragmentTime(copied, copied.P1), FragmentTime(copied, copied.P2), lengthMs, writer, state);
  } catch (...) {
    state.ClockMs += lengthMs;
    throw;
  }
  state.ClockMs += lengthMs;
  Notify(FEvents.ItemDone, index);
}

namespace {

// When the first and the last fix taken during the fragment T1..T2 were
// taken (0 when none).
std::pair<TDateTime, TDateTime> TakenWithin(const TTrackInfo &range, TDateTime t1, TDateTime t2)
{
  TDateTime first = 0, last = 0;
  for (const TTrackInfoItem &item : range.Items) {
    if (item.Kind != ikGps || item.Time < t1 || item.Time >= t2) continue;
    if (first == 0) first = item.Time;
    last = item.Time;
  }
  return {first, last};
}

// The fragment's block of the ".dat": its items from Start to before End
// (re-timed), at their times from the movie's start.
TTrackInfo DatBlockItems(const TTrackInfo &range, TDateTime start, TDateTime end, double clock)
{
  TTrackInfo block;
  for (TTrackInfoItem item : range.Items) {
    if (item.Kind == ikGps && (item.Time < start || item.Time >= end)) continue;
    item.Time = clock + (item.Time - start);
    block.Items.push_back(item);
  }
  return block;
}

} // namespace

void TCropJob::AddTelemetry(const TCropItem &item, TDateTime t1, TDateTime t2, int64_t lengthMs, TMOVWriter &writer,
                            TState &state)
{
  ShowAction(Step("Cropping_MetaInfo"));
  TTrackInfo range;
  item.Info->ExtractRange(range, t1, t2);
  const auto [firstTaken, lastTaken] = TakenWithin(range, t1, t2);
  state.Trip.Fragment(firstTaken, lastTaken);
  // The ".dat" has one time axis, the movie's: a speed-changed fragment's
  // fixes are re-timed there. Subtitles are timed on it too, but show when
  // each fix was taken, on the clock the list shows.
  std::vector<TDateTime> taken;
  const TDateTime start = RetimeRange(range, t1, t2, item.Speed, &taken);
  for (TDateTime &t : taken) t += FOptions.DisplayShift;
  if (range.Items.empty()) return;
  state.Trip.Count(range, start, t2);
  if (FOptions.Meta) {
    const double clock = state.ClockMs / MSecsPerDay;
    if (state.DatPieces.empty()) state.DatOrigin = start - clock;
    state.DatPieces.push_back({DatBlockItems(range, start, t2, clock), clock, state.Trip.TakeFollowsOn()});
  }
  if (FOptions.VideoSubtitles || FOptions.SrtSubtitles) AddSubtitles(range, taken, start, lengthMs, writer, state);
}

void TCropJob::AddSubtitles(const TTrackInfo &range, const std::vector<TDateTime> &taken, TDateTime t1,
                            int64_t lengthMs, TMOVWriter &writer, TState &state)
{
  TSubtitleItems entries;
  SrtBuildEntries(range, entries, 0, t1 - state.ClockMs / MSecsPerDay, &taken);
  const double from = state.ClockMs / MSecsPerDay, to = (state.ClockMs + lengthMs) / MSecsPerDay;
  for (size_t i = 0; i < entries.size(); ++i) {
    TSubtitleItem &entry = entries[i];
    entry.StartTime = std::max(entry.StartTime, from);
    entry.EndTime = std::min(entry.EndTime, to);
    // The fix shown from before the fragment's start gives way to the next
    // one: the movie's text track shows one cue at a time, and the side file
    // must say the same.
    if (i + 1 < entries.size()) entry.EndTime = std::min(entry.EndTime, std::max(entries[i + 1].StartTime, from));
  }
  std::erase_if(entries, [](const TSubtitleItem &e) {
    return Round(e.StartTime * MSecsPerDay) >= Round(e.EndTime * MSecsPerDay);
  });
  if (entries.empty()) return;
  if (!state.TextStarted) {
    state.TextStarted = true;
    if (FOptions.VideoSubtitles) writer.AddTextTrack(kTextTrackName, FOptions.TextLanguage);
    if (FOptions.SrtSubtitles) state.Srt = "\xEF\xBB\xBF";
  }
  if (FOptions.VideoSubtitles) writer.WriteSubtitles(entries);
  if (FOptions.SrtSubtitles) state.Srt += SrtEntriesToText(entries);
}

QStringList TCropJob::SaveSideFiles(const TState &state)
{
  const TDateTime firstStart = FItems.empty() ? 0 : FItems.front().StartTime;
  const TDateTime lastEnd = FItems.empty() ? 0 : FItems.back().StartTime + FItems.back().DurationMs / MSecsPerDay;
  const bool times = firstStart > 0 && lastEnd > 0;
  QStringList unsaved;
  const std::pair<const QByteArray *, const char *> sides[] = {{&state.Dat, ".dat"}, {&state.Srt, ".srt"}};
  for (const auto &[text, ext] : sides) {
    if (text->isEmpty()) continue;
    const QString path = SanitizedPath(CropSideFileName(FOutputName, QString::fromLatin1(ext)));
    if (path == FOutputName) { // a movie named "cut.dat" is not replaced by its own track
      unsaved << path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(EEXIST));
      continue;
    }
    QString error;
    if (!SaveFileWhole(path, *text, FAgreed.contains(path), error)) {
      unsaved << path + QStringLiteral(": ") + error;
      continue;
    }
    if (times) SetFileTimes(path, firstStart, lastEnd);
  }
  if (times) SetFileTimes(FOutputName, firstStart, lastEnd);
  return unsaved;
}

void TCropJob::ReportShortFragments()
{
  if (FShortItems.isEmpty()) return;
  FMessages(FShortItems.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n\r\n") +
            Translate(u"Cropping_ShortFragment"));
}

void TCropJob::ReportFailure(const std::exception_ptr &error)
{
  // The disk, not the program: one plain message.
  const QString reason = FileFailureReason(error);
  if (!reason.isEmpty()) {
    FMessages(FileFailureMessage(FOutputName, reason));
    return;
  }
  ReportException(error);
  QString message;
  try {
    std::rethrow_exception(error);
  } catch (const std::exception &e) {
    message = QString::fromUtf8(e.what());
  } catch (...) {
  }
  FMessages(QStringLiteral("Exception\r\n\r\n") + message + QStringLiteral("\r\n\r\n") + ExceptionCallStackText(error));
}

void TCropJob::Notify(const std::function<void(int)> &event, int index) const
{
  if (event) event(index);
}

void TCropJob::ShowAction(const QString &text) const
{
  if (FEvents.Action) FEvents.Action(text);
}

} // namespace kp
