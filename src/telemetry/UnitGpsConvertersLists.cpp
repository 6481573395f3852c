// The converter lists. Each format joins by one line in each list it belongs
// to; the orders are those of detection and of the export dialogs.

#include "UnitGpsConverterDatDOD.h"
#include "UnitGpsConverters.h"

namespace kp {

namespace {

// Detection order: DatDOD, GPX, PLT, LogDOD, LogDVR, BlackVue, DatSamoon,
// MapKestril, NMEA.
std::vector<TGpsInfoConverter *> BuildImportList()
{
  return {
      new TGpsInfoConverterDatDOD,
  };
}

// Export dialog order: KML, PLT, GPX, DatDOD, CSV (GPS and G-sensor), CSV
// (GPS), CSV (G-sensor), SRT.
std::vector<TGpsInfoConverter *> BuildExportList()
{
  return {
      new TGpsInfoConverterDatDOD,
  };
}

} // namespace

// The instances live until the process ends (threads may still hold them
// while it shuts down), so they are deliberately never freed.
const std::vector<TGpsInfoConverter *> &GpsImportConverters()
{
  static const std::vector<TGpsInfoConverter *> list = BuildImportList();
  return list;
}

const std::vector<TGpsInfoConverter *> &GpsExportConverters()
{
  static const std::vector<TGpsInfoConverter *> list = BuildExportList();
  return list;
}

TGpsInfoConverter &GpsDefaultConverter()
{
  static TGpsInfoConverter *converter = new TGpsInfoConverterDatDOD;
  return *converter;
}

} // namespace kp
