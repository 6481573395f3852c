#pragma once
// The camera's set-up file "setup.cfg": raw bytes in the root of the card.
// Byte 6 is the frame size code, byte 7 the time zone in signed hours,
// bytes 8-10 the G-sensor sensitivities 0..10; every other byte is carried
// through unchanged, and the length read is the length written.

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace kp {

inline constexpr int SetupMinLength = 11;
inline constexpr int SetupMaxLength = 1 << 20;
inline constexpr int SetupFrameRows = 7; // rows with a fixed code; row 7 is "other"
inline constexpr int SetupOtherRow = 7;
inline constexpr int SetupTimeZoneRows = 25; // GMT-12 .. GMT+12

// The frame size list's texts (the WVGA rows write "х", U+0445) and codes.
QString SetupFrameRowText(int row);
uint8_t SetupFrameRowCode(int row);
// The row a code selects: the first fixed row whose code is Code or Code + 1,
// else the other row.
int SetupFrameRowOfCode(uint8_t code);
// "GMT-12" .. "GMT+0" .. "GMT+12".
QString SetupTimeZoneText(int row);

// The block a card without the file starts from (128 bytes).
QByteArray DefaultSetupBlock();

// Files the editor refuses: shorter than SetupMinLength, or above SetupMaxLength.
bool SetupConfigAcceptable(qsizetype length);
// A block the editor knows as a camera's set-up: an acceptable length and a
// time zone within -12..+12. No camera writes another zone, and the window
// could not show it: such a file is something else (a text "setup.cfg" of
// another camera), and writing the window's values into it would damage it.
bool SetupConfigKnown(const QByteArray &config);

// What the window shows for a block.
struct TSetupValues {
  int FrameRow = SetupOtherRow;
  uint8_t FrameCode = 0;          // the code written for that row (the byte itself for "other")
  int TimeZoneRow = -1;           // -1: byte 7 outside -12..+12
  int Sensitivity[3] = {0, 0, 0}; // kept within 0..10
};
// Config must be acceptable.
TSetupValues DecodeSetup(const QByteArray &config);

// The user's choices to store.
struct TSetupEdit {
  uint8_t FrameCode = 0;
  int TimeZoneRow = -1; // -1 keeps byte 7
  int Sensitivity[3] = {0, 0, 0};
};
// Writes the choices into bytes 6-10 of an acceptable Config; the length
// and the other bytes stay. Values out of range are clamped.
void EncodeSetup(QByteArray &config, const TSetupEdit &edit);

} // namespace kp
