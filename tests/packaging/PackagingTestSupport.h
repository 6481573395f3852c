#pragma once
// What the packaging tests share: running a tool with extra environment,
// installing the build tree, the files an install puts under its prefix,
// and reading a desktop entry as the desktop does.

#include <QString>
#include <QStringList>

namespace kptest {

struct TRun {
  int Code = -1; // -1: did not end by itself in time
  QString Output;
};

// Runs Program to its end (at most TimeoutMs), with Env ("NAME=value")
// added to the test's environment; output and error text together.
TRun RunProcess(const QString &program, const QStringList &args, const QStringList &env = {}, int timeoutMs = 240000);

// `cmake --install` of this build with Prefix, under DestDir when given.
TRun InstallBuild(const QString &prefix, const QString &destDir = {});

// Every file under Root (not folders), relative to it, sorted.
QStringList FilesUnder(const QString &root);

// The files an install puts under its prefix, sorted.
QStringList ExpectedInstalledFiles();

// A key's raw value in the entry's [Desktop Entry] group; empty when absent.
QString DesktopEntryValue(const QString &path, const QString &key);

// The program an Exec value starts, unquoted as the desktop does (string
// escapes, then the shell's quoting; the trailing file list field dropped).
QString ExecProgram(const QString &execValue);

} // namespace kptest
