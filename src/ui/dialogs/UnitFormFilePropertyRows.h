#pragma once
// The rows of the recording property window: everything the catalogue knows
// of one recording as label/value pairs, built without a window.

#include "UnitFileManager.h"

#include <QString>
#include <vector>

namespace kp {

struct TPropertyRow {
  QString Label, Value;
};

class TPropertyRows {
public:
  // British: lengths and speeds in miles.
  explicit TPropertyRows(bool british) : FBritish(british) {}

  // Put before every label while rows are added (indentation, file numbers).
  QString Prefix;

  // Label: Prefix + the key's text; an empty key gives an empty label.
  void AddRow(const QString &key, const QString &value);
  void AddFileRows(const TFileItemSubitem &file);
  // The whole recording: name, duration and start, then its files.
  void AddGroup(const TFileItem &item);

  const std::vector<TPropertyRow> &Rows() const { return FRows; }
  // Cells joined by TAB, each row ended by CR LF.
  QString Text() const;

private:
  void AddTimes(TDateTime start, TDateTime end, bool durationAlways, int64_t knownMs);

  const bool FBritish;
  std::vector<TPropertyRow> FRows;
};

} // namespace kp
