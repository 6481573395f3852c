#pragma once
// Snapshots of the video frame or of the window, saved as JPEG pictures.

#include <QImage>
#include <QString>
#include <cstdint>

namespace kp {

// "Frame"/"Window", the recording's date and time, then the position as
// time of day with milliseconds: "Frame 02.01.2024 10-00-00 (0-01-23.456).jpg"
// with the computer's formats; no character a file name cannot hold.
QString SnapshotFileName(const QString &kind, double dateTime, int64_t positionMs);

// The name a snapshot typed as Typed is written under: a JPEG's, so the
// name never says another format ("win.png" becomes "win.png.jpg"); a name
// ending ".jpg" or ".jpeg" (in any case) stays as it is.
QString JpegFileName(const QString &typed);

// Writes Image as a baseline JPEG of the given quality (libjpeg) through
// TWholeFileWriter, replacing a file of that name (the save dialog asked).
// False when the image is empty or the file could not be written, with the
// system's reason in Error; nothing half-written stays.
bool SaveJpeg(const QImage &image, const QString &path, QString &error, int quality = 96);
bool SaveJpeg(const QImage &image, const QString &path, int quality = 96);

} // namespace kp
