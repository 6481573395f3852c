#pragma once
// The foundation's services that need the desktop session. They expect a
// QGuiApplication and run on its thread; none of them fails loudly: without
// a session bus or a desktop service they do what they can, or nothing.

#include <QByteArray>
#include <QDBusConnection>
#include <QIcon>
#include <QImage>
#include <QString>
#include <functional>

namespace kp {

// The resource's picture; a null image when the resource is missing or is
// no picture.
QImage LoadResourceBitmap(const QString &name);
// Every picture the resource holds (an icon file holds several sizes); a
// null icon when the resource is missing.
QIcon LoadResourceIcon(const QString &name);

// The program's own icon (the one the desktop shows for it), at every size
// it is drawn in.
QIcon ProgramIcon();

// Puts Text, converted from CodePage, on the clipboard as text. False when
// there is no clipboard.
bool CopyTextToClipboard(const QByteArray &text, int codePage);

// What a desktop service calls when the desktop could not do it: the path
// it could not open (the error would otherwise only reach the log).
using TDesktopFailure = std::function<void(const QString &path)>;

// Hands Target (a local path, or a URL such as "mailto:" or "https:") to the
// desktop's opener and returns at once. Failed is called later, from the
// event loop, when the desktop could not open it: no opener, no program for
// that kind of file, no browser. The opener may run as long as the program
// it started, so its answer is awaited, never waited for.
void OpenWithDesktop(const QString &target, const TDesktopFailure &failed = {});

// Shows the file selected in the desktop's file manager; when the file does
// not exist, or no file manager answers on Bus, opens the folder part of
// Path instead. Failed is called (possibly later, from the event loop) when
// that cannot be opened either.
void ShowInExplorer(const QString &path, const QDBusConnection &bus = QDBusConnection::sessionBus(),
                    const TDesktopFailure &failed = {});

// False keeps the screen saver and display power saving off (while a
// recording plays); true lets them work again. Repeated calls are harmless.
void SetScreenSaverEnabled(bool enable);

} // namespace kp
