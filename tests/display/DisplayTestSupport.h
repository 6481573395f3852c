#pragma once
// Shared set-up of the painter tests: a GUI application for fonts, pinned
// formats and colours, pixel helpers and golden pictures.

#include "Canvas.h"
#include "UnitBitmaps.h"

#include <gtest/gtest.h>

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

#define KP_EXPECT_GOLDEN(image, name, maxDifferent) \
  do { \
    const QString kpGoldenMsg_ = kptest::compareGolden(image, QStringLiteral(name), maxDifferent); \
    EXPECT_TRUE(kpGoldenMsg_.isEmpty()) << kpGoldenMsg_.toStdString(); \
  } while (0)

// An image of the given size whose picture the painter makes.
inline kp::TImage blankImage(int w, int h)
{
  kp::TImage img;
  img.Width = w;
  img.Height = h;
  return img;
}

// Pins the colour lookup to the English tables.
void useEnglishColours();

} // namespace kptest
