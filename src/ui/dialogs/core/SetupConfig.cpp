#include "SetupConfig.h"

#include "Numbers.h"

namespace kp {

namespace {

struct TFrameRow {
  const char16_t *Text;
  uint8_t Code;
};

constexpr TFrameRow FrameRows[SetupFrameRows] = {
    {u"1080P   1920x1080   30fps", 5},       {u"1080P   1440x1080   30fps", 11},
    {u" 720P   1280x720    30fps", 17},      {u" WVGA    848\u0445480    60fps", 25},
    {u" WVGA    848\u0445480    30fps", 27}, {u"  VGA    640x480    30fps", 29},
    {u" QVGA    320x240    30fps", 31},
};

constexpr int TimeZoneOffset = 7;
constexpr int FrameOffset = 6;
constexpr int SensitivityOffset = 8;

} // namespace

QString SetupFrameRowText(int row)
{
  return row >= 0 && row < SetupFrameRows ? QString::fromUtf16(FrameRows[row].Text) : QString();
}

uint8_t SetupFrameRowCode(int row)
{
  return row >= 0 && row < SetupFrameRows ? FrameRows[row].Code : 0;
}

int SetupFrameRowOfCode(uint8_t code)
{
  for (int row = 0; row < SetupFrameRows; ++row) {
    if (FrameRows[row].Code == code || FrameRows[row].Code == code + 1) return row;
  }
  return SetupOtherRow;
}

QString SetupTimeZoneText(int row)
{
  const int hours = row - 12;
  return QStringLiteral("GMT") + (hours >= 0 ? QStringLiteral("+") : QString()) + QString::number(hours);
}

QByteArray DefaultSetupBlock()
{
  QByteArray block(128, '\0');
  const uint8_t head[] = {0x0E, 0x01, 0x52, 0x50, 0xF1, 0x01, 0x05, 0x04};
  const uint8_t tail[] = {0x50, 0x0E, 0x05, 0x53};
  for (int i = 0; i < 8; ++i) block[i] = char(head[i]);
  for (int i = 0; i < 4; ++i) block[124 + i] = char(tail[i]);
  return block;
}

bool SetupConfigAcceptable(qsizetype length)
{
  return length >= SetupMinLength && length <= SetupMaxLength;
}

bool SetupConfigKnown(const QByteArray &config)
{
  if (!SetupConfigAcceptable(config.size())) return false;
  const int zone = int(int8_t(config[TimeZoneOffset]));
  return zone >= -12 && zone <= 12;
}

TSetupValues DecodeSetup(const QByteArray &config)
{
  TSetupValues values;
  if (!SetupConfigAcceptable(config.size())) return values;
  const uint8_t code = uint8_t(config[FrameOffset]);
  values.FrameRow = SetupFrameRowOfCode(code);
  values.FrameCode = values.FrameRow == SetupOtherRow ? code : SetupFrameRowCode(values.FrameRow);
  const int zone = int(int8_t(config[TimeZoneOffset]));
  values.TimeZoneRow = zone >= -12 && zone <= 12 ? zone + 12 : -1;
  for (int i = 0; i < 3; ++i) values.Sensitivity[i] = Clamp(int(uint8_t(config[SensitivityOffset + i])), 0, 10);
  return values;
}

void EncodeSetup(QByteArray &config, const TSetupEdit &edit)
{
  if (!SetupConfigAcceptable(config.size())) return;
  config[FrameOffset] = char(edit.FrameCode);
  if (edit.TimeZoneRow >= 0 && edit.TimeZoneRow < SetupTimeZoneRows)
    config[TimeZoneOffset] = char(int8_t(edit.TimeZoneRow - 12));
  for (int i = 0; i < 3; ++i) config[SensitivityOffset + i] = char(Clamp(edit.Sensitivity[i], 0, 10));
}

} // namespace kp
