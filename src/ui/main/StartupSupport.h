#pragma once
// What the program reads and writes around its start: the switches and
// options of the command line, the installation id, and the desktop entries
// that list the program among the desktop's applications.

#include <QString>
#include <QStringList>
#include <functional>

namespace kp {

struct TStartArgs {
  bool WhatsNew = false; // "/whatsnew" as the first argument
  QString DeleteFile;    // "/del<path>" as the second, after "/whatsnew"
  QStringList Files;     // every other argument, tried as a recording
  // Options: an argument starting with "-" is one, never a file, until "--"
  // ends them.
  bool Help = false;    // "--help" or "-h"
  bool Version = false; // "--version"
  QString BadOption;    // the first option the program does not know
};

// Args without the program's own name.
TStartArgs ParseStartArgs(const QStringList &args);
// Whether Arg names one of the options Qt itself takes off the command line
// (-platform, -style, ...), which only Qt can judge.
bool IsQtOption(const QString &arg);

// What "--help" prints: how to start the program, its options.
QString CommandLineUsage();
// What "--version" prints: the program's name and version, one line.
QString VersionText();

// Eleven letters, each 'a' or 'A' by Coin (0 or 1) plus Letter (0..25).
QString MakeInstallationId(const std::function<int()> &coin, const std::function<int()> &letter);

// The text of the entry the program writes for itself (program at ExePath).
// It declares no file type: by the desktop's rules, any type an entry in the
// user's own folder declares makes it that type's preferred program over
// every system-wide one, unless the user chose a default. Its TryExec hides
// it once the program is gone. It takes every file the desktop hands it on
// one command line (fragments of one trip open as that trip), and names the
// program in each language of the translation tables.
QString DesktopEntryText(const QString &exePath);
// Writes $dataHome/applications/kestril-player-build.desktop when its text
// changed, then refreshes that folder's type cache when it has one (an
// earlier entry may be listed there). True when the file was (re)written.
bool WriteDesktopEntry(const QString &dataHome, const QString &exePath);
// At every start: removes an entry an earlier start wrote under the
// installed entry's name, then writes the program's own entry unless the
// program is installed with its entry or an installed entry is shown
// (kestril-player.desktop under DataHome or DataDirs, its program there);
// then the own entry is removed instead.
void UpdateUserDesktopEntries(const QString &dataHome, const QStringList &dataDirs, const QString &exePath);

// The types the installed entry offers the program for: those of the
// movies the open dialog lists (".mov", ".mp4").
QStringList DesktopEntryTypes();
// The entry installed beside the program: the same entry with the icon the
// theme holds for it, and the types it opens unless the program is
// installed in the user's home folder.
QString InstalledDesktopEntryText(const QString &exePath);
// The desktop entry installed with the program at ExePath
// (<prefix>/share/applications/kestril-player.desktop beside
// <prefix>/bin/kestril-player) when it exists and starts that very program;
// empty otherwise. Such a program needs no entry of the user's own.
QString InstalledDesktopEntry(const QString &exePath);

// The local-time item's ending for an offset from UTC in days: " (+3)",
// " (-5)", " (0)".
QString LocalOffsetSuffix(double localTimeOffsetDays);

} // namespace kp
