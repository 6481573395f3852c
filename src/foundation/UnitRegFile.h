#pragma once
// The settings file itself: its text form and its safe replacement. Only the
// settings store and its tests use this header.
//
// One value a line, "name=value", UTF-8. A backslash escapes the next
// character: "\n" and "\r" stand for line breaks, "\\" for a backslash, and
// in names "\=" for "=" and a leading "\#" for "#". Lines that begin with "#"
// are comments; lines without "=" are skipped.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <functional>

namespace kp {

class TSettingsValues {
public:
  // Index of the value whose name equals Name without regard to case, or -1.
  int IndexOf(const QString &name) const;
  bool Get(const QString &name, QString &value) const;
  // An existing value keeps the spelling of its name.
  void Set(const QString &name, const QString &value);
  bool Remove(const QString &name);
  int Count() const { return static_cast<int>(FItems.size()); }
  const QPair<QString, QString> &At(int i) const { return FItems[i]; }

  QByteArray ToText() const;
  // Never fails: what cannot be read is skipped; a later line with the same
  // name replaces an earlier one.
  static TSettingsValues FromText(const QByteArray &text);

private:
  void Reindex();

  QList<QPair<QString, QString>> FItems;
  QHash<QString, int> FIndex; // case-folded name -> position in FItems
};

// Writes Data to a new file beside Path, flushes it to the disk and renames
// it over Path. Hook runs just before the rename. On failure Path is left as
// it was, Step says which step failed and Error holds its errno.
bool ReplaceFileAtomically(const QString &path, const QByteArray &data, const std::function<void()> &hook,
                           QString &step, int &error);

// Removes the temporary files that an interrupted replacement of Path left.
void RemoveStaleTempFiles(const QString &path);

} // namespace kp
