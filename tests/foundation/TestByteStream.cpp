#include "ByteStream.h"
#include "TestSupport.h"

#include <QTemporaryDir>
#include <limits>

using namespace kp;

namespace {

QByteArray Bytes(std::initializer_list<int> list)
{
  QByteArray b;
  for (int v : list) b.append(static_cast<char>(v));
  return b;
}

} // namespace

TEST(ByteStream, ReadsBothByteOrders)
{
  TMemoryStream s(Bytes({0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08}));
  EXPECT_EQ(s.ReadU16BE(), 0x0102);
  s.Seek(0);
  EXPECT_EQ(s.ReadU16LE(), 0x0201);
  s.Seek(0);
  EXPECT_EQ(s.ReadU32BE(), 0x01020304u);
  s.Seek(0);
  EXPECT_EQ(s.ReadU32LE(), 0x04030201u);
  s.Seek(0);
  EXPECT_EQ(s.ReadU64BE(), 0x0102030405060708ull);
  s.Seek(0);
  EXPECT_EQ(s.ReadU64LE(), 0x0807060504030201ull);
  EXPECT_TRUE(s.AtEnd());
  EXPECT_EQ(s.BytesRead(), 2 + 2 + 4 + 4 + 8 + 8);
}

TEST(ByteStream, SignedValuesKeepTheirSign)
{
  TMemoryStream s(Bytes({0xFF, 0xFE, 0xFE, 0xFF, 0x80, 0, 0, 0, 0xFF}));
  EXPECT_EQ(s.ReadI16BE(), -2);
  EXPECT_EQ(s.ReadI16LE(), -2);
  EXPECT_EQ(s.ReadI32BE(), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(s.ReadI8(), -1);
}

TEST(ByteStream, ShortReadThrowsWithOffsetAndKeepsPosition)
{
  TMemoryStream s(Bytes({1, 2, 3}));
  s.Seek(1);
  try {
    s.ReadU32BE();
    FAIL() << "no exception";
  } catch (const EStreamReadError &e) {
    EXPECT_EQ(e.Offset(), 1);
  }
  EXPECT_EQ(s.Position(), 1);
  EXPECT_EQ(s.ReadU16BE(), 0x0203);
  EXPECT_THROW(s.ReadU8(), EStreamReadError);
  EXPECT_EQ(s.BytesRead(), 2); // the failed reads delivered nothing
}

TEST(ByteStream, HostileLengthsNeverAllocate)
{
  TMemoryStream s(Bytes({1, 2, 3, 4}));
  EXPECT_THROW(s.ReadBlock(5), EStreamReadError);
  EXPECT_THROW(s.ReadBlock(-1), EStreamReadError);
  EXPECT_THROW(s.ReadBlock(std::numeric_limits<int64_t>::max()), EStreamReadError);
  EXPECT_THROW(s.Skip(std::numeric_limits<int64_t>::max()), EStreamReadError);
  EXPECT_THROW(s.Seek(-1), EStreamReadError);
  EXPECT_THROW(s.Seek(5), EStreamReadError);
  s.Seek(4); // the end itself is a valid position
  EXPECT_THROW(s.Skip(-5), EStreamReadError);
  s.Skip(-2);
  EXPECT_EQ(s.ReadBlock(2), Bytes({3, 4}));
  EXPECT_EQ(s.ReadBlock(0), QByteArray());
}

TEST(ByteStream, ReadSomeStopsAtTheEndWithoutError)
{
  TMemoryStream s(Bytes({1, 2, 3}));
  s.Seek(2);
  char buf[6] = {};
  EXPECT_EQ(s.ReadSome(buf, 6), 1);
  EXPECT_EQ(buf[0], 3);
  EXPECT_EQ(s.ReadSome(buf, 6), 0);
}

TEST(ByteStream, SubRangeIsBoundedAndLeavesParentAlone)
{
  TMemoryStream parent(Bytes({0, 1, 2, 3, 4, 5, 6, 7}));
  parent.Seek(7);
  TSubStream sub(parent, 2, 4);
  EXPECT_EQ(sub.Size(), 4);
  EXPECT_EQ(sub.ReadU16BE(), 0x0203);
  EXPECT_EQ(sub.ReadU16LE(), 0x0504);
  EXPECT_THROW(sub.ReadU8(), EStreamReadError); // byte 6 exists in the parent
  EXPECT_EQ(parent.Position(), 7);
  EXPECT_EQ(parent.BytesRead(), 4); // reads through the window count in the parent
  EXPECT_EQ(sub.BytesRead(), 4);

  TSubStream nested(sub, 1, 2);
  EXPECT_EQ(nested.ReadU16BE(), 0x0304);
  EXPECT_THROW(nested.Seek(3), EStreamReadError);

  EXPECT_THROW(TSubStream(parent, 6, 3), EStreamReadError);
  EXPECT_THROW(TSubStream(parent, -1, 2), EStreamReadError);
  EXPECT_THROW(TSubStream(parent, 1, std::numeric_limits<int64_t>::max()), EStreamReadError);
}

TEST(ByteStream, MemoryWritesGrowInBothByteOrders)
{
  TMemoryStream w({}, true);
  w.WriteU8(0xAB);
  w.WriteU16BE(0x0102);
  w.WriteU16LE(0x0102);
  w.WriteU32BE(0xDEADBEEF);
  w.WriteU32LE(0xDEADBEEF);
  w.WriteU64BE(0x1122334455667788ull);
  w.WriteU64LE(0x1122334455667788ull);
  EXPECT_EQ(w.Size(), 1 + 2 + 2 + 4 + 4 + 8 + 8);
  EXPECT_EQ(w.BytesWritten(), w.Size());
  const uint8_t patch[2] = {0xCA, 0xFE};
  w.WriteAt(1, patch, 2);

  EXPECT_EQ(w.Data(), Bytes({0xAB, 0xCA, 0xFE, 0x02, 0x01, 0xDE, 0xAD, 0xBE, 0xEF, 0xEF, 0xBE, 0xAD, 0xDE, 0x11, 0x22,
                             0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11}));

  TMemoryStream ro(Bytes({1}));
  EXPECT_THROW(ro.WriteU8(1), EStreamWriteError);
}

TEST(ByteStream, SubRangeWritesStayInside)
{
  TMemoryStream parent(QByteArray(6, '\0'), true);
  TSubStream sub(parent, 2, 2);
  sub.WriteU16BE(0x0102);
  EXPECT_THROW(sub.WriteU8(3), EStreamWriteError);
  EXPECT_EQ(parent.Data(), Bytes({0, 0, 1, 2, 0, 0}));
}

TEST(ByteStream, FileSeeksOverLargeHolesWithoutReading)
{
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString path = dir.filePath(QStringLiteral("sparse.bin"));
  const int64_t far = int64_t(5) << 30; // 5 GiB, a sparse hole on any sane file system
  {
    TFileStream w(path, TFileStream::fmCreate);
    w.WriteU32BE(0x01020304);
    w.Seek(w.Size());
    const uint8_t tail[4] = {9, 8, 7, 6};
    w.WriteAt(far, tail, 4);
    EXPECT_EQ(w.Size(), far + 4);
    EXPECT_TRUE(w.Sync());
  }
  TFileStream r(path);
  EXPECT_EQ(r.Size(), far + 4);
  EXPECT_EQ(r.ReadU32BE(), 0x01020304u);
  r.Seek(far);
  EXPECT_EQ(r.ReadU32LE(), 0x06070809u);
  EXPECT_EQ(r.BytesRead(), 8);
  EXPECT_THROW(r.ReadU8(), EStreamReadError);
  EXPECT_THROW(r.WriteU8(1), EStreamWriteError);

  TSubStream window(r, far - 2, 6);
  EXPECT_EQ(window.ReadU32BE(), 0x00000908u);
}

TEST(ByteStream, MissingFileThrowsOpenError)
{
  EXPECT_THROW(TFileStream(QStringLiteral("/nonexistent/dir/file.bin")), EStreamOpenError);
}
