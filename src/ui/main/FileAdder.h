#pragma once
// Files entering the list outside the catalogue's search: opened, dropped,
// named on the command line or written by the cutting job. Main thread
// only; the catalogue is the window's.

#include <QString>
#include <QStringList>
#include <functional>

namespace kp {

class TFileManager;

// The movie a camera track names: "x.DAT" (any letter case) stands for the
// movie beside it, found without regard to case; empty when there is none.
// Other names are returned as they are.
QString MovieForName(const QString &name);

struct TAddFilesResult {
  bool AddedAny = false;
  QString CaptionToSelect; // the recording to keep selected
  QStringList Unopened;    // names that are neither a file nor a folder
};

// Adds each existing file (GetGroupByFile) or folder (AddFolder), then
// matches GPS logs and groups once. NothingLoaded: the caption of the last
// recording added becomes the one to select. AfterEach runs after every
// added name (scroll, repaint).
TAddFilesResult AddFilesToCatalogue(TFileManager &manager, const QStringList &names, bool nothingLoaded,
                                    const std::function<void()> &afterEach = {});

// What the user is told of names that could not be opened: each named
// with its reason, in the words of a movie that cannot be opened.
QString UnopenedNamesText(const QStringList &names);

} // namespace kp
