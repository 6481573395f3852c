#include "ByteStream.h"

#include "Errors.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace kp {

namespace {

QString Describe(const char *what, int64_t pos, int64_t n)
{
  return QStringLiteral("%1 of %2 bytes at offset %3").arg(QLatin1String(what)).arg(n).arg(pos);
}

// pos + n without overflow; false when it would leave int64.
bool AddFits(int64_t pos, int64_t n, int64_t &end)
{
  if (n > std::numeric_limits<int64_t>::max() - pos) return false;
  end = pos + n;
  return true;
}

} // namespace

EStreamError::EStreamError(const QString &message, int64_t offset, int systemError)
  : std::runtime_error(message.toStdString()), FOffset(offset), FSystemError(systemError)
{
}

// ---------------------------------------------------------------- TByteStream

int64_t TByteStream::Remaining() const
{
  const int64_t left = Size() - FPos;
  return left > 0 ? left : 0;
}

void TByteStream::Seek(int64_t pos)
{
  if (pos < 0 || pos > Size())
    throw EStreamReadError(QStringLiteral("seek to %1 outside 0..%2").arg(pos).arg(Size()), pos);
  FPos = pos;
}

void TByteStream::Skip(int64_t count)
{
  int64_t target = FPos + (count < 0 ? count : 0); // FPos >= 0: cannot underflow
  if (count >= 0 && !AddFits(FPos, count, target)) throw EStreamReadError(Describe("skip", FPos, count), FPos);
  Seek(target);
}

int64_t TByteStream::CountedReadAt(int64_t pos, void *buffer, int64_t n)
{
  if (n <= 0 || pos < 0) return 0;
  const int64_t size = Size();
  if (pos >= size) return 0;
  if (n > size - pos) n = size - pos;
  int64_t got = 0;
  auto *out = static_cast<char *>(buffer);
  while (got < n) {
    const int64_t r = DoReadAt(pos + got, out + got, n - got);
    if (r < 0) throw EStreamReadError(Describe("device read", pos + got, n - got), pos + got);
    if (r == 0) break;
    got += r;
  }
  FBytesRead += got;
  return got;
}

void TByteStream::ReadAt(int64_t pos, void *buffer, int64_t n)
{
  if (n < 0) throw EStreamReadError(Describe("negative read", pos, n), pos);
  int64_t end = 0;
  if (pos < 0 || !AddFits(pos, n, end) || end > Size())
    throw EStreamReadError(Describe("read past the end", pos, n), pos);
  if (CountedReadAt(pos, buffer, n) != n) throw EStreamReadError(Describe("short read", pos, n), pos);
}

void TByteStream::Read(void *buffer, int64_t n)
{
  ReadAt(FPos, buffer, n);
  FPos += n;
}

int64_t TByteStream::ReadSome(void *buffer, int64_t n)
{
  const int64_t got = CountedReadAt(FPos, buffer, n);
  FPos += got;
  return got;
}

QByteArray TByteStream::ReadBlock(int64_t n)
{
  if (n < 0 || n > Remaining() || n > std::numeric_limits<qsizetype>::max())
    throw EStreamReadError(Describe("block read past the end", FPos, n), FPos);
  QByteArray block(static_cast<qsizetype>(n), Qt::Uninitialized);
  Read(block.data(), n);
  return block;
}

uint8_t TByteStream::ReadU8()
{
  uint8_t b = 0;
  Read(&b, 1);
  return b;
}

namespace {

template <int N>
uint64_t FromBE(const uint8_t (&b)[N])
{
  uint64_t v = 0;
  for (int i = 0; i < N; ++i) v = (v << 8) | b[i];
  return v;
}

template <int N>
uint64_t FromLE(const uint8_t (&b)[N])
{
  uint64_t v = 0;
  for (int i = N - 1; i >= 0; --i) v = (v << 8) | b[i];
  return v;
}

template <int N>
void ToBE(uint64_t v, uint8_t (&b)[N])
{
  for (int i = N - 1; i >= 0; --i, v >>= 8) b[i] = static_cast<uint8_t>(v);
}

template <int N>
void ToLE(uint64_t v, uint8_t (&b)[N])
{
  for (int i = 0; i < N; ++i, v >>= 8) b[i] = static_cast<uint8_t>(v);
}

} // namespace

#define KP_READ_INT(Name, Type, N, Order) \
  Type TByteStream::Name() \
  { \
    uint8_t b[N]; \
    Read(b, N); \
    return static_cast<Type>(From##Order(b)); \
  }
KP_READ_INT(ReadU16BE, uint16_t, 2, BE)
KP_READ_INT(ReadU16LE, uint16_t, 2, LE)
KP_READ_INT(ReadU32BE, uint32_t, 4, BE)
KP_READ_INT(ReadU32LE, uint32_t, 4, LE)
KP_READ_INT(ReadU64BE, uint64_t, 8, BE)
KP_READ_INT(ReadU64LE, uint64_t, 8, LE)
#undef KP_READ_INT

bool TByteStream::DoWriteAt(int64_t, const void *, int64_t)
{
  return false;
}

void TByteStream::CountedWriteAt(int64_t pos, const void *buffer, int64_t n)
{
  int64_t end = 0;
  if (n < 0 || pos < 0 || !AddFits(pos, n, end)) throw EStreamWriteError(Describe("invalid write", pos, n), pos);
  if (!Writable()) throw EStreamWriteError(Describe("write to a read-only stream", pos, n), pos);
  if (n == 0) return;
  if (!DoWriteAt(pos, buffer, n)) throw EStreamWriteError(Describe("write", pos, n), pos);
  FBytesWritten += n;
}

void TByteStream::Write(const void *buffer, int64_t n)
{
  CountedWriteAt(FPos, buffer, n);
  FPos += n;
}

void TByteStream::WriteAt(int64_t pos, const void *buffer, int64_t n)
{
  CountedWriteAt(pos, buffer, n);
}

void TByteStream::WriteU8(uint8_t v)
{
  Write(&v, 1);
}

#define KP_WRITE_INT(Name, Type, N, Order) \
  void TByteStream::Name(Type v) \
  { \
    uint8_t b[N]; \
    To##Order(v, b); \
    Write(b, N); \
  }
KP_WRITE_INT(WriteU16BE, uint16_t, 2, BE)
KP_WRITE_INT(WriteU16LE, uint16_t, 2, LE)
KP_WRITE_INT(WriteU32BE, uint32_t, 4, BE)
KP_WRITE_INT(WriteU32LE, uint32_t, 4, LE)
KP_WRITE_INT(WriteU64BE, uint64_t, 8, BE)
KP_WRITE_INT(WriteU64LE, uint64_t, 8, LE)
#undef KP_WRITE_INT

// ---------------------------------------------------------------- TFileStream

TFileStream::TFileStream(const QString &fileName, TMode mode) : FFile(fileName), FMode(mode)
{
  QIODevice::OpenMode qmode = QIODevice::ReadOnly;
  if (mode == fmCreate) qmode = QIODevice::ReadWrite | QIODevice::Truncate;
  if (mode == fmReadWrite) qmode = QIODevice::ReadWrite;
  if (!FFile.open(qmode | QIODevice::Unbuffered))
    throw EStreamOpenError(QStringLiteral("cannot open %1: %2").arg(fileName, FFile.errorString()), -1);
  FFd = FFile.handle();
  FSize = FFile.size();
}

TFileStream::~TFileStream() = default;

int64_t TFileStream::DoReadAt(int64_t pos, void *buffer, int64_t n)
{
  for (;;) {
    const ssize_t r = ::pread(FFd, buffer, static_cast<size_t>(n), static_cast<off_t>(pos));
    if (r >= 0) return r;
    if (errno != EINTR) return -1;
  }
}

bool TFileStream::DoWriteAt(int64_t pos, const void *buffer, int64_t n)
{
  const auto *in = static_cast<const char *>(buffer);
  int64_t done = 0;
  while (done < n) {
    const ssize_t r = ::pwrite(FFd, in + done, static_cast<size_t>(n - done), static_cast<off_t>(pos + done));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) {
      const int error = r == 0 ? ENOSPC : errno;
      throw EStreamWriteError(QStringLiteral("cannot write %1: %2").arg(FileName(), SystemErrorText(error)), pos + done,
                              error);
    }
    done += r;
  }
  if (pos + n > FSize) FSize = pos + n;
  return true;
}

bool TFileStream::Sync()
{
  return FFd >= 0 && ::fsync(FFd) == 0;
}

bool TFileStream::SetSize(int64_t size)
{
  if (!Writable() || size < 0 || ::ftruncate(FFd, static_cast<off_t>(size)) != 0) return false;
  FSize = size;
  if (Position() > size) Seek(size);
  return true;
}

bool TFileStream::Reserve(int64_t size)
{
  if (!Writable() || size <= FSize) return Writable();
  if (::fallocate(FFd, 0, 0, static_cast<off_t>(size)) != 0) return false;
  struct stat st {};
  if (::fstat(FFd, &st) == 0) FSize = st.st_size;
  return true;
}

// ---------------------------------------------------------------- TMemoryStream

TMemoryStream::TMemoryStream(QByteArray data, bool writable) : FData(std::move(data)), FWritable(writable) {}

int64_t TMemoryStream::DoReadAt(int64_t pos, void *buffer, int64_t n)
{
  std::memcpy(buffer, FData.constData() + pos, static_cast<size_t>(n));
  return n;
}

bool TMemoryStream::DoWriteAt(int64_t pos, const void *buffer, int64_t n)
{
  if (pos + n > std::numeric_limits<qsizetype>::max()) return false;
  if (pos + n > FData.size()) FData.resize(static_cast<qsizetype>(pos + n), '\0');
  std::memcpy(FData.data() + pos, buffer, static_cast<size_t>(n));
  return true;
}

// ---------------------------------------------------------------- TSubStream

TSubStream::TSubStream(TByteStream &parent, int64_t offset, int64_t length)
  : FParent(parent), FOffset(offset), FLength(length)
{
  int64_t end = 0;
  if (offset < 0 || length < 0 || !AddFits(offset, length, end) || end > parent.Size())
    throw EStreamReadError(QStringLiteral("sub-range %1+%2 outside 0..%3").arg(offset).arg(length).arg(parent.Size()),
                           offset);
}

int64_t TSubStream::DoReadAt(int64_t pos, void *buffer, int64_t n)
{
  return FParent.CountedReadAt(FOffset + pos, buffer, n);
}

bool TSubStream::DoWriteAt(int64_t pos, const void *buffer, int64_t n)
{
  if (pos + n > FLength) return false;
  FParent.CountedWriteAt(FOffset + pos, buffer, n);
  return true;
}

} // namespace kp
