// The media half of the position model: reading the position back, seeking
// across files and opening one file in the graph.
#include "DSPack.h"
#include "DSUtil.h"
#include "Numbers.h"
#include "PlaybackGuard.h"
#include "PositionModel.h"
#include "UnitTranslate.h"

#include <QToolButton>
#include <algorithm>
#include <cmath>

namespace kp {

namespace {

QString CannotOpenText(const QString &fileName, const char *reason)
{
  return Translate(u"Mes_CannotOpen_Video") + QStringLiteral("\r\n") + fileName + QStringLiteral("\r\n") +
         Translate(QString::fromLatin1(reason)) + QStringLiteral("\r\n\r\n") + Translate(u"Mes_CannotOpen_SysCodec") +
         QStringLiteral("?");
}

} // namespace

int TPositionModel::GraphState() const
{
  return C.FilterGraph ? C.FilterGraph->GetState() : psNotInitialised;
}

bool TPositionModel::GraphPlaying() const
{
  const int state = GraphState();
  return state == psPaused || state == psPlaying;
}

bool TPositionModel::PlayButtonDown() const
{
  return C.ButtonPlay && C.ButtonPlay->isChecked();
}

long double TPositionModel::GetPosition()
{
  long double result = S.Position;
  const TFileItemSubitem *file = S.OpenFile();
  if (S.Dragging)
    result = S.DragPosition;
  else if (file && GraphPlaying()) {
    const auto &files = S.Recording.Files;
    const size_t next = static_cast<size_t>(S.CurrentFile) + 1;
    const bool later = next < files.size();
    REFERENCE_TIME current = 0, duration = 0;
    const bool known = S.MediaSeeking && SUCCEEDED(S.MediaSeeking->GetCurrentPosition(current));
    if (known) S.MediaSeeking->GetDuration(duration);
    // A file that could not be opened has nothing to play: it counts as
    // played to its end, so one broken fragment does not stall the rest.
    const bool ended = known ? duration > 0 && current >= duration - 1 : !S.SourceFilter;
    if (later && ended) {
      const long double g = std::max(file->Position.End, files[next].Position.Start);
      // Nobody watches a crossing while the trip plays on.
      const bool unattended = Unattended;
      Unattended = unattended || GraphState() == psPlaying;
      FCrossing = true;
      GuardStep(FHost, TGraphFailure::Log, [&] { SeekTo(g, false, false); });
      FCrossing = false;
      Unattended = unattended;
      result = S.Position;
    } else if (ended) {
      // The end of the last file is the end of the recording, whatever the
      // rate or an overlap of the files says; a last file that could not be
      // opened has ended too, so play-next goes on past it.
      result = 1.0L;
    } else if (known) {
      const long double f = duration > 0 ? static_cast<long double>(current) / duration : 0;
      result = FileToGroupPosition(*file, f);
    }
  }
  S.LastPosition = result;
  return result;
}

void TPositionModel::SeekTo(long double g, bool refresh, bool force)
{
  if (!std::isfinite(g)) return;
  const long double lastSeek = S.Position;
  S.Position = g;
  S.Dragging = false;
  if (S.Map) S.Map->FollowMarker = true;
  auto &files = S.Recording.Files;
  if (S.CurrentFile < 0 || g < 0 || g > 1 || files.empty()) return;
  const int index = FindFileAt(g);
  g = std::max(g, files[static_cast<size_t>(index)].Position.Start);
  if (index != S.CurrentFile) g = SwitchForSeek(index, force, lastSeek, g);
  if ((force || GraphPlaying()) && S.MediaSeeking) SeekInOpenFile(g);
  if (S.FrameRefreshPending) {
    if (GraphState() == psPaused) C.FilterGraph->RefreshPausedFrame();
    S.FrameRefreshPending = false;
  }
  if (refresh) RunTimerPass(TOrigin::Window);
}

long double TPositionModel::SwitchForSeek(int index, bool force, long double lastSeek, long double g)
{
  const int from = S.CurrentFile;
  // Only a paused seek somebody asked for goes back: while playing the trip
  // moves on past the file, and a jump the window makes by itself would
  // meet the same file again.
  const bool asked = !force && !FCrossing && !Unattended && GraphState() == psPaused;
  const long double shown = asked ? ShownPosition(lastSeek) : lastSeek;
  SwitchToFile(index, force);
  S.CurrentFile = index;
  if (S.SourceFilter || !asked || from < 0 || static_cast<size_t>(from) >= S.Recording.Files.size()) return g;
  // A file that does not open shows nothing: after the message the position
  // goes back to the paused picture still shown.
  SwitchToFile(from, true);
  S.CurrentFile = from;
  S.Position = shown;
  return shown;
}

bool TPositionModel::EnterNextFile()
{
  const auto &files = S.Recording.Files;
  const TFileItemSubitem *file = S.OpenFile();
  const size_t next = static_cast<size_t>(S.CurrentFile) + 1;
  if (!file || next >= files.size()) return false;
  S.FrameRefreshPending = true;
  SeekTo(std::max(file->Position.End, files[next].Position.Start), false, false);
  return true;
}

// Where the open file's picture is, read from the graph; Fallback when the
// graph cannot tell.
long double TPositionModel::ShownPosition(long double fallback) const
{
  const TFileItemSubitem *file = S.OpenFile();
  REFERENCE_TIME current = 0, duration = 0;
  if (!file || !S.MediaSeeking || FAILED(S.MediaSeeking->GetCurrentPosition(current)) ||
      FAILED(S.MediaSeeking->GetDuration(duration)) || duration <= 0)
    return fallback;
  return FileToGroupPosition(*file, static_cast<long double>(current) / duration);
}

void TPositionModel::SeekInOpenFile(long double g)
{
  const TFileItemSubitem *file = S.OpenFile();
  if (!file) return;
  long double f = 0;
  GroupToFilePosition(*file, g, f);
  f = std::isnan(f) ? 0 : Clamp<long double>(f, 0, 1);
  REFERENCE_TIME current = 0, stop = 0;
  if (FAILED(S.MediaSeeking->GetPositions(current, stop))) return;
  REFERENCE_TIME target = Round(f * stop);
  if (target != current)
    S.MediaSeeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning | AM_SEEKING_SeekToKeyFrame, &stop,
                                 AM_SEEKING_NoPositioning);
  // The stored position is exactly the one asked of the graph.
  const long double local = stop <= 0 ? 0 : static_cast<long double>(target) / stop;
  S.Position = FileToGroupPosition(*file, local);
}

void TPositionModel::SwitchToFile(int index, bool force)
{
  if (index < 0 || static_cast<size_t>(index) >= S.Recording.Files.size() || !C.FilterGraph) return;
  int state = GraphState();
  if (state == psPlaying && C.ButtonPlay && C.ButtonPlay->isEnabled() && !C.ButtonPlay->isChecked()) state = psPaused;
  C.FilterGraph->Stop();
  if (force && state != psPaused && state != psPlaying) state = PlayButtonDown() ? psPlaying : psPaused;
  if (state == psPaused || state == psPlaying) {
    TFileItemSubitem &file = S.Recording.Files[static_cast<size_t>(index)];
    OpenVideoFile(file.FileName);
    const int32_t ms = C.FilterGraph->GetDuration();
    if (file.DurationSource == dsNoHeader && ms > 0) {
      file.DurationSource = dsHeader;
      file.DurationMs = ms;
      if (C.FileManager) C.FileManager->SetFileDuration(file.FileName, file.DurationMs);
      FHost.FormResize();
    }
    if (state == psPlaying)
      C.FilterGraph->Play();
    else
      C.FilterGraph->Pause();
  }
  if (C.ButtonPlay) C.ButtonPlay->setChecked(state == psPlaying);
  FHost.ButtonVideoZoomOutClick();
}

void TPositionModel::OpenVideoFile(const QString &fileName)
{
  TBusyCursor cursor;
  if (fileName.isEmpty() || !C.FilterGraph) return;
  int saved = psNotInitialised;
  const TGraphFailure failure = Unattended ? TGraphFailure::Log : TGraphFailure::Show;
  GuardStep(FHost, failure, [&] {
    saved = GraphState();
    C.FilterGraph->Stop();
    RenderSource(fileName);
  });
  GuardStep(FHost, failure, [&] {
    S.MediaSeeking = C.FilterGraph->QueryInterface<IMediaSeeking>();
    if (ReapplyPlaySpeed) ReapplyPlaySpeed();
    if (saved >= psStopped && saved <= psPlaying) C.FilterGraph->SetState(saved);
  });
}

void TPositionModel::RenderSource(const QString &fileName)
{
  auto builder = C.FilterGraph->QueryInterface<IGraphBuilder>();
  if (S.SourceFilter) {
    if (builder) builder->RemoveFilter(S.SourceFilter);
    S.MediaSeeking.reset();
    S.SourceFilter.reset();
  }
  // Left closed, as after its first failure.
  if (Unattended && Failed(fileName)) return;
  IBaseFilterPtr source;
  // No graph at all fails like a file no splitter takes.
  const HRESULT hr =
      builder ? builder->AddSourceFilter(fileName, QStringLiteral("File"), source) : VFW_E_UNSUPPORTED_STREAM;
  S.SourceFilter = source;
  if (!source) {
    FFailed.insert(fileName);
    // Only a file nothing reads points at missing codecs; a damaged or
    // missing file is reported in its reader's words.
    if (hr == VFW_E_UNSUPPORTED_STREAM || SUCCEEDED(hr))
      Message(CannotOpenText(fileName, "Mes_CannotOpen_Splitter"));
    else
      Message(Translate(u"Mes_CannotOpen_Video") + QStringLiteral("\r\n") + fileName + QStringLiteral("\r\n") +
              GetErrorString(hr));
    return;
  }
  for (const IPinPtr &pin : source->EnumPins())
    if (FAILED(builder->Render(pin))) Message(CannotOpenText(fileName, "Mes_CannotOpen_Codec"));
}

} // namespace kp
