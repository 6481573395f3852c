#pragma once
// The family of track-file formats. A converter knows one format: its name,
// extension and id, how to recognise its text, where its file lies beside a
// video, how to parse it into TTrackInfo items and how to write TTrackInfo
// back as text. Adding a format is one class plus one registration line in
// UnitGpsConverterLists.cpp.
//
// Converters are process-wide objects shared by the main and the catalogue
// threads. Everything a parse needs to remember lives in a TParseContext
// made for that parse, so a converter without state of its own parses
// concurrently; one that keeps state sets FNeedsLock and is serialised.

#include "UnitUtils.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <mutex>
#include <vector>

namespace kp {

// The state of one parse of one text.
struct TParseContext {
  int LineNo = 0;          // counted (non-empty, not skipped) lines so far
  int Count = 0;           // items stored so far
  bool BlockStart = false; // a block tag was seen; re-time at the next fix
  bool FollowsOn = false;  // the next block continues the way of the last one
  bool Skip = false;       // the current line is not counted
  TArrayBytes Fields;      // scratch: the current line split into fields
  double HeldAlt = 0;      // altitude carried from an earlier sentence
  int Shift = 0;           // key of a scrambled text
  double LastFixTime = 0;  // time of the latest dated fix stored
  int StoppedAt = -1;      // the text's line (from 1) at which the parse gave up
  int Known = 0;           // lines the reader knew but took nothing from (Skip)
};

class TGpsInfoConverter {
public:
  TGpsInfoConverter() = default;
  virtual ~TGpsInfoConverter() = default;
  TGpsInfoConverter(const TGpsInfoConverter &) = delete;
  TGpsInfoConverter &operator=(const TGpsInfoConverter &) = delete;

  // The ten operations every format may override.
  virtual QString GetName() const = 0;
  virtual QString GetExt() const = 0;
  virtual QString GetId() const { return GetExt(); }
  // Recognition on the head (first 512 bytes) of a file.
  virtual bool CanRead(QByteArrayView head) const;
  // This format's track file beside a video, or empty.
  virtual QString FindTrackFile(const QString &videoFileName) const;
  // Appends the track as text; the base writes nothing.
  virtual void WriteTrack(const TTrackInfo &info, TStringBuffer &output) const;
  // Parses a whole text into Info.Items (pre-sized by Load); true when at
  // least one item was stored.
  virtual bool ParseText(QByteArrayView text, TTrackInfo &info, TParseContext &ctx) const;
  // One line into one item; the base reads nothing.
  virtual bool ParseLine(QByteArrayView line, TParseContext &ctx, TTrackInfoItem &item, TTrackInfo &info) const;
  // Grows Items, parses the line into the next slot, validates and counts it.
  virtual void AddLine(QByteArrayView line, TParseContext &ctx, TTrackInfo &info) const;
  virtual void GetSignatureChars(TCharSet &required, TCharSet &forbidden) const;

  // The track as this format's text. False (and Text empty) when writing
  // failed, so a truncated text never looks complete.
  bool ExportToText(const TTrackInfo &info, QByteArray &text) const;
  // Parses Text into Info.Items; on success records the format id. A failed
  // load leaves no items; StoppedAt (when given) gets the line of the text
  // (from 1) at which the parse gave up, -1 otherwise; NoFix whether the
  // text is this format's without a fix in it: the parse did not give up
  // and most lines were ones the reader knows. Never throws.
  bool Load(QByteArrayView text, TTrackInfo &info, int *stoppedAt = nullptr, bool *noFix = nullptr) const;

  // Put between a side file's base name and its extension, so formats that
  // share an extension write distinct files beside one log; empty for most.
  virtual QString GetFileSuffix() const { return {}; }

  QString GetCaption() const; // name (.ext)
  QString GetFilter() const;  // caption|*.ext|

  // Replaces the G-sensor items of Info with those of the side file (".3gf")
  // beside Info.Name, when there is one.
  static void LoadGSensorSideFile(TTrackInfo &info);

protected:
  // Set by a converter that keeps parse state in its own members.
  bool FNeedsLock = false;

private:
  mutable std::mutex FLock;
};

// What no reader stores: a fix at a position that does not exist (not
// finite, latitude beyond 90 or longitude beyond 180) gives false; an
// altitude, speed or course that is not finite becomes absent (0, -1, -1),
// a G-sensor value 0.
bool KeepPlausibleItem(TTrackInfoItem &item);

// Detection order (first readable format wins), export dialog order, and the
// ".dat" writer of the cutting job. Built once, alive for the whole run.
const std::vector<TGpsInfoConverter *> &GpsImportConverters();
const std::vector<TGpsInfoConverter *> &GpsExportConverters();
TGpsInfoConverter &GpsDefaultConverter();

// Detects the format of Text and loads it; then reads the side file. True
// when Info holds at least one item. A text that no format reads logs one
// warning naming the file. NoFix (when given) tells a text that a reader
// took for its own and found no fix in (a log of "no fix" sentences) from
// one no reader could read. Never throws.
bool GpsConvertersLoad(const QByteArray &text, const QString &fileName, TTrackInfo &info, bool *noFix = nullptr);

// A writer's view of TTrackInfo::TripStarts: asked for each item it writes,
// in order, it tells which one opens a trip after the first (a trip may
// begin with items the writer leaves out).
class TTripBreaks {
public:
  explicit TTripBreaks(const TTrackInfo &info) : FStarts(info.TripStarts) {}
  bool Opens(size_t index);

private:
  const std::vector<size_t> &FStarts;
  size_t FNext = 0;
  bool FWritten = false;
};

// "All files|*.*|All supported formats  ( ... )|...|" with one pair per mask.
QString GpsConvertersOpenFilter();

// ---------------------------------------------------------------- format register

// Records a format id that a load recognised: appended to GpsFormats (and the
// "gps" setting) when new, which sets GpsFormatsChanged. Thread-safe.
void RegisterGpsFormat(const QString &id);
QString GpsFormats();
void SetGpsFormats(const QString &formats); // start-up: read back from the setting
bool GpsFormatsChanged();
void SetGpsFormatsChanged(bool changed);
// Where the list is persisted; by default the "gps" setting.
void SetGpsFormatsWriter(std::function<void(const QString &)> writer);

// ---------------------------------------------------------------- track file search

// Path of Base + "." + the converter's extension, or of the same name in the
// GPS/INFO/gps folders around it (case-insensitively); empty when none.
QString GpsFindTrackFileByName(const TGpsInfoConverter &converter, const QString &base);
// The last run of digits in the file-name part of Name shifted by Delta,
// zero-padded to the run's width; empty when there is no such run, the run
// starts the whole text, or the result would be negative.
QString GpsFileNumberShift(const QString &name, int64_t delta);
// Recording span of a file from its times: End = last write; Start = creation
// when plausible (before End, less than 4 hours), else one minute before End.
void GpsFileTimeSpan(const QString &fileName, TDateTime &start, TDateTime &end);

// The existing file whose path equals Path ignoring the case of every
// component that does not exist as spelled (cards hold "FILE0001.DAT" where
// the probes say ".dat"); the exact spelling wins. Empty when none.
QString FindFileNoCase(const QString &path);

// The G-sensor side file (".3gf", any letter case) beside TrackName; empty
// when there is none.
QString GSensorSideFileOf(const QString &trackName);

} // namespace kp
