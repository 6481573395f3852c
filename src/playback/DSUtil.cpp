#include "DSUtil.h"

#include "Numbers.h"

#include <cmath>
#include <mutex>

namespace kp {

namespace {

std::mutex g_errorMutex;
HRESULT g_lastCode = S_OK;
QString g_lastText;

QString knownErrorText(HRESULT hr)
{
  switch (static_cast<uint32_t>(hr)) {
  case 0x80004001u: return QStringLiteral("Not implemented.");
  case 0x80004002u: return QStringLiteral("No such interface supported.");
  case 0x80004003u: return QStringLiteral("Invalid pointer.");
  case 0x80004005u: return QStringLiteral("Unspecified error");
  case 0x8000FFFFu: return QStringLiteral("Catastrophic failure");
  case 0x80070057u: return QStringLiteral("The parameter is incorrect.");
  case 0x80070002u: return QStringLiteral("The system cannot find the file specified.");
  case 0x80040209u: return QStringLiteral("The operation cannot be performed because the pins are not connected.");
  case 0x80040216u: return QStringLiteral("An object or name was not found.");
  case 0x80040218u: return QStringLiteral("No combination of filters could be found to render the stream.");
  case 0x80040227u:
    return QStringLiteral("The operation could not be performed because the filter is in the wrong state.");
  case 0x8004022Eu: return QStringLiteral("This operation timed out.");
  case 0x8004022Fu: return QStringLiteral("Cannot play back the file: the format is not supported.");
  case 0x80040241u: return QStringLiteral("The file format is invalid.");
  default: return {};
  }
}

} // namespace

EDirectShowException::EDirectShowException(const QString &message, HRESULT code)
  : std::runtime_error(message.toStdString()), FMessage(message), FCode(code)
{
}

EDSPackException::EDSPackException(const QString &message, HRESULT code)
  : std::runtime_error(message.toStdString()), FMessage(message), FCode(code)
{
}

void SetErrorString(HRESULT hr, const QString &text)
{
  std::lock_guard<std::mutex> lock(g_errorMutex);
  g_lastCode = hr;
  g_lastText = text.left(255);
}

QString GetErrorString(HRESULT hr)
{
  {
    std::lock_guard<std::mutex> lock(g_errorMutex);
    if (hr == g_lastCode && !g_lastText.isEmpty()) return g_lastText;
  }
  return knownErrorText(hr);
}

QString DSErrorMessage(HRESULT hr)
{
  // Concatenated, not formatted: a "%" in the sentence stays as it is.
  return GetErrorString(hr) + QStringLiteral(" ($") + QString::number(static_cast<uint32_t>(hr), 16).toUpper() +
         QStringLiteral(").");
}

HRESULT CheckDSError(HRESULT hr)
{
  if (FAILED(hr)) throw EDirectShowException(DSErrorMessage(hr), hr);
  return hr;
}

int32_t RefTimeToMiliSec(REFERENCE_TIME t)
{
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(Div(t, 10000))));
}

int32_t LinearToDBVolume(int32_t v)
{
  v = Clamp<int32_t>(v, 0, 10000);
  return Round32(std::log(static_cast<double>(v) + 1.0) * 1085.73) - 10000;
}

int32_t LinearToDBBalance(int32_t v)
{
  v = Clamp<int32_t>(v, -10000, 10000);
  const int32_t magnitude = Round32(std::log(std::abs(static_cast<double>(v)) + 1.0) * 1085.73);
  return v < 0 ? -magnitude : magnitude;
}

TFilterList::TFilterList(IFilterGraph *graph)
{
  if (graph) FItems = graph->EnumFilters();
}

TPinList::TPinList(IBaseFilter *filter)
{
  if (filter) FItems = filter->EnumPins();
}

bool TPinList::IsConnected(int i) const
{
  return i >= 0 && i < Count() && FItems[static_cast<size_t>(i)] && FItems[static_cast<size_t>(i)]->IsConnected();
}

void TPersistentMemory::SetDataSize(int32_t n)
{
  FData = n > 0 ? QByteArray(n, '\0') : QByteArray();
}

QByteArray TPersistentMemory::WriteData() const
{
  QByteArray out(4, '\0');
  const uint32_t n = static_cast<uint32_t>(FData.size());
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((n >> (8 * i)) & 0xFF);
  return out + FData;
}

bool TPersistentMemory::ReadData(const QByteArray &bytes)
{
  SetDataSize(0);
  if (bytes.size() < 4) return false;
  uint32_t n = 0;
  for (int i = 0; i < 4; ++i) n |= static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << (8 * i);
  if (n > static_cast<uint32_t>(bytes.size() - 4)) return false;
  FData = bytes.mid(4, static_cast<qsizetype>(n));
  return true;
}

bool TPersistentMemory::DiffersFrom(const TPersistentMemory *ancestor) const
{
  if (!ancestor) return true;
  if (Size() == 0 || ancestor->Size() != Size()) return true;
  return ancestor->Data() != FData;
}

void TBaseFilter::SetDescription(const QString &description)
{
  Data() = description.toUtf8();
}

QString TBaseFilter::LoadMoniker() const
{
  return Size() > 0 ? QString::fromUtf8(Data()) : QString();
}

IBaseFilterPtr TBaseFilter::CreateFilter(IGraphFactory *factory) const
{
  const QString description = LoadMoniker();
  if (description.isEmpty() || !factory) return nullptr;
  return factory->CreateFilter(description);
}

} // namespace kp
