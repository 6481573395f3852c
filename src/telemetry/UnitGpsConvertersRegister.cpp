// The register of track formats met so far, persisted in the "gps" setting
// and sent with the update request. The catalogue thread and the main thread
// both record formats, so the list and its setting change under one lock.

#include "UnitGpsConverters.h"
#include "UnitRegSettings.h"

#include <mutex>

namespace kp {

namespace {

struct TFormatRegister {
  std::mutex Lock;
  QString Formats;
  bool Changed = false;
  std::function<void(const QString &)> Writer;
};

TFormatRegister &Register()
{
  static TFormatRegister *reg = new TFormatRegister;
  return *reg;
}

void WriteFormats(TFormatRegister &reg)
{
  if (reg.Writer)
    reg.Writer(reg.Formats);
  else
    settings::GpsFormatsSeen.Write(reg.Formats);
}

} // namespace

void RegisterGpsFormat(const QString &id)
{
  TFormatRegister &reg = Register();
  std::lock_guard<std::mutex> guard(reg.Lock);
  if (id.isEmpty() || reg.Formats.contains(id)) return;
  if (!reg.Formats.isEmpty()) reg.Formats += QLatin1Char(',');
  reg.Formats += id;
  // Written under the lock, so a later list never loses to an earlier one.
  WriteFormats(reg);
  reg.Changed = true;
}

QString GpsFormats()
{
  TFormatRegister &reg = Register();
  std::lock_guard<std::mutex> guard(reg.Lock);
  return reg.Formats;
}

void SetGpsFormats(const QString &formats)
{
  TFormatRegister &reg = Register();
  std::lock_guard<std::mutex> guard(reg.Lock);
  reg.Formats = formats;
}

bool GpsFormatsChanged()
{
  TFormatRegister &reg = Register();
  std::lock_guard<std::mutex> guard(reg.Lock);
  return reg.Changed;
}

void SetGpsFormatsChanged(bool changed)
{
  TFormatRegister &reg = Register();
  std::lock_guard<std::mutex> guard(reg.Lock);
  reg.Changed = changed;
}

void SetGpsFormatsWriter(std::function<void(const QString &)> writer)
{
  TFormatRegister &reg = Register();
  std::lock_guard<std::mutex> guard(reg.Lock);
  reg.Writer = std::move(writer);
}

} // namespace kp
