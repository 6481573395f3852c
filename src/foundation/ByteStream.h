#pragma once
// The one bounds-checked way to read and write binary files: big- and
// little-endian integers and byte blocks over a file, a memory buffer or a
// sub-range of another stream. A read that cannot be satisfied in full throws
// EStreamReadError carrying the offset where it failed; nothing ever reads
// outside a stream's range. Readers of user files catch it internally.
//
// Positions and sizes are 64-bit everywhere: seeking over gigabytes of media
// data costs nothing, and only the bytes actually delivered are counted.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstdint>
#include <memory>
#include <stdexcept>

namespace kp {

class EStreamError : public std::runtime_error {
public:
  EStreamError(const QString &message, int64_t offset, int systemError = 0);
  // Byte offset in the stream where the failing operation started (-1: none).
  int64_t Offset() const { return FOffset; }
  // The errno of a file the system refused (a full disk, a file system
  // gone read-only); 0 for anything else.
  int SystemError() const { return FSystemError; }

private:
  int64_t FOffset;
  int FSystemError;
};

// A read or seek outside the stream's range, or a failed device read.
class EStreamReadError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

// A write that the device refused or that falls outside a fixed range.
class EStreamWriteError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

// A file that cannot be opened.
class EStreamOpenError : public EStreamError {
public:
  using EStreamError::EStreamError;
};

class TByteStream {
public:
  virtual ~TByteStream() = default;
  TByteStream(const TByteStream &) = delete;
  TByteStream &operator=(const TByteStream &) = delete;

  int64_t Size() const { return DoSize(); }
  int64_t Position() const { return FPos; }
  int64_t Remaining() const;
  bool AtEnd() const { return Remaining() <= 0; }
  virtual bool Writable() const { return false; }

  // Moves to an absolute position in 0..Size(); anything else throws
  // EStreamReadError and leaves the position unchanged.
  void Seek(int64_t pos);
  // Relative move (negative moves back), with the same bounds as Seek.
  void Skip(int64_t count);

  // Reads exactly n bytes or throws EStreamReadError (position unchanged).
  void Read(void *buffer, int64_t n);
  // Reads up to n bytes, returns how many; never throws for the end.
  int64_t ReadSome(void *buffer, int64_t n);
  // n bytes as a block; n is checked against the bytes left before anything
  // is allocated, so a hostile length never allocates more than the stream.
  QByteArray ReadBlock(int64_t n);
  // Positional read that leaves Position() alone; throws like Read.
  void ReadAt(int64_t pos, void *buffer, int64_t n);

  uint8_t ReadU8();
  uint16_t ReadU16BE();
  uint16_t ReadU16LE();
  uint32_t ReadU32BE();
  uint32_t ReadU32LE();
  uint64_t ReadU64BE();
  uint64_t ReadU64LE();
  int8_t ReadI8() { return static_cast<int8_t>(ReadU8()); }
  int16_t ReadI16BE() { return static_cast<int16_t>(ReadU16BE()); }
  int16_t ReadI16LE() { return static_cast<int16_t>(ReadU16LE()); }
  int32_t ReadI32BE() { return static_cast<int32_t>(ReadU32BE()); }
  int32_t ReadI32LE() { return static_cast<int32_t>(ReadU32LE()); }
  int64_t ReadI64BE() { return static_cast<int64_t>(ReadU64BE()); }
  int64_t ReadI64LE() { return static_cast<int64_t>(ReadU64LE()); }

  // Writes exactly n bytes at the position or throws EStreamWriteError.
  void Write(const void *buffer, int64_t n);
  void WriteBlock(const QByteArray &bytes) { Write(bytes.constData(), bytes.size()); }
  void WriteU8(uint8_t v);
  void WriteU16BE(uint16_t v);
  void WriteU16LE(uint16_t v);
  void WriteU32BE(uint32_t v);
  void WriteU32LE(uint32_t v);
  void WriteU64BE(uint64_t v);
  void WriteU64LE(uint64_t v);
  // Positional write that leaves Position() alone (patching a size field).
  void WriteAt(int64_t pos, const void *buffer, int64_t n);

  // Bytes delivered by this stream's reads and accepted by its writes.
  int64_t BytesRead() const { return FBytesRead; }
  int64_t BytesWritten() const { return FBytesWritten; }
  void ResetCounters() { FBytesRead = FBytesWritten = 0; }

protected:
  TByteStream() = default;
  virtual int64_t DoSize() const = 0;
  // Reads up to n bytes at pos (0 <= pos, n >= 0, pos + n <= size); returns
  // the count delivered or -1 on a device error.
  virtual int64_t DoReadAt(int64_t pos, void *buffer, int64_t n) = 0;
  // Writes n bytes at pos; returns false when the device refuses.
  virtual bool DoWriteAt(int64_t pos, const void *buffer, int64_t n);

private:
  friend class TSubStream;
  int64_t CountedReadAt(int64_t pos, void *buffer, int64_t n);
  void CountedWriteAt(int64_t pos, const void *buffer, int64_t n);

  int64_t FPos = 0;
  int64_t FBytesRead = 0;
  int64_t FBytesWritten = 0;
};

// A file on disk. Reads and writes use positional I/O, so skipping is free
// and the counters show the bytes that actually reached or left the disk.
// Tests derive from it to make the device fail.
class TFileStream : public TByteStream {
public:
  enum TMode { fmRead, fmCreate, fmReadWrite };
  // Throws EStreamOpenError when the file cannot be opened.
  TFileStream(const QString &fileName, TMode mode = fmRead);
  ~TFileStream() override;
  bool Writable() const override { return FMode != fmRead; }
  QString FileName() const { return FFile.fileName(); }
  // Flushes written data to the disk; false on failure.
  bool Sync();
  // Sets the file's size (truncates or extends); false on failure. A
  // position beyond the new end moves back to it.
  bool SetSize(int64_t size);
  // Asks the file system for room up to size bytes with fallocate(2), which
  // never falls back to writing zeros (FAT would zero-fill a plain resize).
  // The file's size grows to size when it succeeds; false otherwise.
  bool Reserve(int64_t size);

protected:
  int64_t DoSize() const override { return FSize; }
  int64_t DoReadAt(int64_t pos, void *buffer, int64_t n) override;
  bool DoWriteAt(int64_t pos, const void *buffer, int64_t n) override;

private:
  QFile FFile;
  int FFd = -1;
  TMode FMode;
  int64_t FSize = 0;
};

// A memory buffer; a writable one grows when written past its end.
class TMemoryStream : public TByteStream {
public:
  explicit TMemoryStream(QByteArray data = {}, bool writable = false);
  bool Writable() const override { return FWritable; }
  const QByteArray &Data() const { return FData; }

protected:
  int64_t DoSize() const override { return FData.size(); }
  int64_t DoReadAt(int64_t pos, void *buffer, int64_t n) override;
  bool DoWriteAt(int64_t pos, const void *buffer, int64_t n) override;

private:
  QByteArray FData;
  bool FWritable;
};

// A window [offset, offset + length) of another stream, which must outlive
// it. Position 0 is the parent's offset; reads never leave the window, and
// writes stay inside it. The parent's position is not disturbed.
class TSubStream : public TByteStream {
public:
  // Throws EStreamReadError when the window does not lie inside the parent.
  TSubStream(TByteStream &parent, int64_t offset, int64_t length);
  bool Writable() const override { return FParent.Writable(); }
  int64_t ParentOffset() const { return FOffset; }

protected:
  int64_t DoSize() const override { return FLength; }
  int64_t DoReadAt(int64_t pos, void *buffer, int64_t n) override;
  bool DoWriteAt(int64_t pos, const void *buffer, int64_t n) override;

private:
  TByteStream &FParent;
  int64_t FOffset;
  int64_t FLength;
};

} // namespace kp
