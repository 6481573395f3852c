// The set-up file codec: reading a block into the window's rows and writing
// the user's choices back without touching any other byte.

#include "SetupConfig.h"

#include <gtest/gtest.h>

using namespace kp;

namespace {

QByteArray Block(int length, int frame, int zone, int x, int y, int z)
{
  QByteArray b(length, '\0');
  for (int i = 0; i < length; ++i) b[i] = char(i * 7 + 3);
  b[6] = char(frame);
  b[7] = char(zone);
  b[8] = char(x);
  b[9] = char(y);
  b[10] = char(z);
  return b;
}

} // namespace

TEST(SetupConfig, DecodeEditEncode)
{
  struct Case {
    const char *Name;
    QByteArray In;
    int FrameRow, ZoneRow, Sens0;
    TSetupEdit Edit;
    const char *Bytes610; // bytes 6-10 written
  } cases[] = {
      {"16 selects 720P, written as 17",
       Block(128, 16, 0, 1, 2, 3),
       2,
       12,
       1,
       {17, 12, {1, 2, 3}},
       "\x11\x00\x01\x02\x03"},
      {"9 is another size and stays", Block(128, 9, 1, 0, 0, 0), 7, 13, 0, {9, 13, {0, 0, 0}}, "\x09\x01\x00\x00\x00"},
      {"-8 is GMT-8; GMT+3 writes 3",
       Block(128, 5, 0xF8, 0, 0, 0),
       0,
       4,
       0,
       {5, 15, {0, 0, 0}},
       "\x05\x03\x00\x00\x00"},
      {"200 shows and writes as 10",
       Block(128, 5, 4, 200, 10, 11),
       0,
       16,
       10,
       {5, 16, {200, 10, 11}},
       "\x05\x04\x0a\x0a\x0a"},
      {"zone 100 stays without a row",
       Block(11, 31, 100, 0, 0, 0),
       6,
       -1,
       0,
       {31, -1, {0, 0, 0}},
       "\x1f\x64\x00\x00\x00"},
      {"200-byte file keeps its tail",
       Block(200, 24, 0xF4, 5, 5, 5),
       3,
       0,
       5,
       {25, 24, {5, 5, 5}},
       "\x19\x0c\x05\x05\x05"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.Name);
    const TSetupValues v = DecodeSetup(c.In);
    EXPECT_EQ(v.FrameRow, c.FrameRow);
    EXPECT_EQ(v.TimeZoneRow, c.ZoneRow);
    EXPECT_EQ(v.Sensitivity[0], c.Sens0);
    QByteArray out = c.In;
    EncodeSetup(out, c.Edit);
    ASSERT_EQ(out.size(), c.In.size());
    EXPECT_EQ(out.mid(6, 5), QByteArray(c.Bytes610, 5));
    EXPECT_EQ(out.left(6), c.In.left(6));
    EXPECT_EQ(out.mid(11), c.In.mid(11));
  }
}

TEST(SetupConfig, RowsDefaultBlockAndRefusedLengths)
{
  EXPECT_EQ(SetupFrameRowText(3), QString::fromUtf8(" WVGA    848\xD1\x85"
                                                    "480    60fps"));
  EXPECT_EQ(SetupTimeZoneText(0), "GMT-12");
  EXPECT_EQ(SetupTimeZoneText(12), "GMT+0");
  const QByteArray d = DefaultSetupBlock();
  ASSERT_EQ(d.size(), 128);
  EXPECT_EQ(d.left(8), QByteArray("\x0E\x01\x52\x50\xF1\x01\x05\x04", 8));
  EXPECT_EQ(d.right(4), QByteArray("\x50\x0E\x05\x53", 4));
  const TSetupValues v = DecodeSetup(d);
  EXPECT_EQ(v.FrameRow, 0);
  EXPECT_EQ(v.TimeZoneRow, 16);
  for (const qsizetype length : {0, 10, SetupMaxLength + 1}) EXPECT_FALSE(SetupConfigAcceptable(length));
  for (const qsizetype length : {11, 128, SetupMaxLength}) EXPECT_TRUE(SetupConfigAcceptable(length));
  // Only a time zone a camera can write makes a block one the editor knows.
  QByteArray block = d;
  for (const int zone : {-12, 0, 12}) {
    block[7] = char(zone);
    EXPECT_TRUE(SetupConfigKnown(block)) << zone;
  }
  for (const int zone : {-13, 13, 93, -128}) {
    block[7] = char(zone);
    EXPECT_FALSE(SetupConfigKnown(block)) << zone;
  }
  EXPECT_FALSE(SetupConfigKnown(QByteArray(10, '\0')));
  QByteArray shortBlock(10, 'a');
  EncodeSetup(shortBlock, {5, 12, {1, 1, 1}});
  EXPECT_EQ(shortBlock, QByteArray(10, 'a'));
}
