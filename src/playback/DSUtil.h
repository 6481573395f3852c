#pragma once
// Shared routines of the playback engine: the exception that carries a
// failed media result, the check that raises it, error texts, time and
// volume conversions, filter and pin lists, and persisted filters.

#include "DSInterfaces.h"

#include <QByteArray>
#include <QString>
#include <stdexcept>

namespace kp {

// A failed media-graph result on a control path. what() is the message.
class EDirectShowException : public std::runtime_error {
public:
  EDirectShowException(const QString &message, HRESULT code);
  QString Message() const { return FMessage; }
  HRESULT ErrorCode() const { return FCode; }

private:
  QString FMessage;
  HRESULT FCode;
};

// The component's own configuration errors.
class EDSPackException : public std::runtime_error {
public:
  EDSPackException(const QString &message, HRESULT code = 0);
  QString Message() const { return FMessage; }
  HRESULT ErrorCode() const { return FCode; }

private:
  QString FMessage;
  HRESULT FCode;
};

// Raises EDirectShowException for a failure (negative hr); passes any
// success code (S_FALSE included) back unchanged.
HRESULT CheckDSError(HRESULT hr);

// The sentence for hr: the text the media layer last recorded for exactly
// this code (see SetErrorString), else a fixed text for the known codes,
// else "". At most 255 characters.
QString GetErrorString(HRESULT hr);
// The media layer records the text of the failure it is about to return.
void SetErrorString(HRESULT hr, const QString &text);

// "<text> ($80004005)." -- the text is never read as a format pattern.
QString DSErrorMessage(HRESULT hr);

// 100-ns units to milliseconds, truncating towards zero, kept to 32 bits.
int32_t RefTimeToMiliSec(REFERENCE_TIME t);
// 0..10000 linear to hundredths of a dB (-10000 silence .. 0 full).
int32_t LinearToDBVolume(int32_t v);
// -10000..10000 linear to a signed dB balance of the same magnitude curve.
int32_t LinearToDBBalance(int32_t v);

// The filters of a graph, in graph order.
class TFilterList {
public:
  explicit TFilterList(IFilterGraph *graph);
  int Count() const { return static_cast<int>(FItems.size()); }
  const IBaseFilterPtr &operator[](int i) const { return FItems[static_cast<size_t>(i)]; }
  const std::vector<IBaseFilterPtr> &Items() const { return FItems; }

private:
  std::vector<IBaseFilterPtr> FItems;
};

// The pins of a filter.
class TPinList {
public:
  explicit TPinList(IBaseFilter *filter);
  int Count() const { return static_cast<int>(FItems.size()); }
  const IPinPtr &operator[](int i) const { return FItems[static_cast<size_t>(i)]; }
  bool IsConnected(int i) const;

private:
  std::vector<IPinPtr> FItems;
};

// A byte block that a window layout stores. Data is empty exactly when Size
// is 0.
class TPersistentMemory {
public:
  virtual ~TPersistentMemory() = default;
  void SetDataSize(int32_t n);
  int32_t Size() const { return static_cast<int32_t>(FData.size()); }
  const QByteArray &Data() const { return FData; }
  QByteArray &Data() { return FData; }
  void Assign(const TPersistentMemory &other) { FData = other.FData; }
  // The stored "data" property: 4-byte little-endian size, then the block.
  QByteArray WriteData() const;
  // False (and the block left empty) when the bytes are short or the size
  // is negative or larger than what follows.
  bool ReadData(const QByteArray &bytes);
  // Whether the property must be written against an ancestor's value: two
  // empty blocks count as different, so an empty block is still written.
  bool DiffersFrom(const TPersistentMemory *ancestor) const;

private:
  QByteArray FData;
};

// A persisted filter. Here the block holds the filter's description as
// UTF-8 text: a GStreamer element factory name or a role that the graph
// factory knows ("video-renderer", "video-decoder").
class TBaseFilter : public TPersistentMemory {
public:
  void SetDescription(const QString &description);
  // The stored description, "" for an empty block.
  QString LoadMoniker() const;
  // The filter named by the description, nullptr when the block is empty or
  // the factory cannot make it.
  IBaseFilterPtr CreateFilter(IGraphFactory *factory) const;
};

} // namespace kp
