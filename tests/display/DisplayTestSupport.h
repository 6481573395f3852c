#pragma once
// Shared set-up of the painter tests: a GUI application for fonts, pinned
// formats and colours, pixel helpers and golden pictures.

#include "Canvas.h"

#include <QColor>
#include <QImage>
#include <QString>
#include <functional>

namespace kptest {

// Counts the pixels of Image inside [x1, x2) x [y1, y2) for which Pred holds.
int countPixels(const QImage &image, int x1, int y1, int x2, int y2, const std::function<bool(QRgb)> &pred);
int countColour(const QImage &image, const QColor &colour);
bool sameColour(QRgb a, const QColor &b);

// Compares Image with the golden picture Name (a PNG beside the tests): at
// most MaxDifferent pixels may differ by more than 48 in any channel. With
// KP_REGENERATE_GOLDEN=1 the picture is written instead. Returns a message,
// empty on success.
QString compareGolden(const QImage &image, const QString &name, int maxDifferent);

// Pins the colour lookup to the English tables.
void useEnglishColours();

} // namespace kptest
