// The converter lists. Each format joins by one line in each list it belongs
// to; the orders are those of detection and of the export dialogs.

#include "UnitGpsConverterBlackVue.h"
#include "UnitGpsConverterCSV.h"
#include "UnitGpsConverterDatDOD.h"
#include "UnitGpsConverterDatSamoon.h"
#include "UnitGpsConverterGPX.h"
#include "UnitGpsConverterKML.h"
#include "UnitGpsConverterLogDOD.h"
#include "UnitGpsConverterLogDVR.h"
#include "UnitGpsConverterMapKestril.h"
#include "UnitGpsConverterNMEA.h"
#include "UnitGpsConverterPLT.h"
#include "UnitGpsConverterSRT.h"
#include "UnitGpsConverters.h"

namespace kp {

namespace {

// Detection order: DatDOD, GPX, PLT, LogDOD, LogDVR, BlackVue, DatSamoon,
// MapKestril, NMEA.
std::vector<TGpsInfoConverter *> BuildImportList()
{
  return {
      new TGpsInfoConverterDatDOD,    new TGpsInfoConverterGPX,        new TGpsInfoConverterPLT,
      new TGpsInfoConverterLogDOD,    new TGpsInfoConverterLogDVR,     new TGpsInfoConverterBlackVue,
      new TGpsInfoConverterDatSamoon, new TGpsInfoConverterMapKestril, new TGpsInfoConverterNMEA,
  };
}

// Export dialog order: KML, PLT, GPX, DatDOD, CSV (GPS and G-sensor), CSV
// (GPS), CSV (G-sensor), SRT.
std::vector<TGpsInfoConverter *> BuildExportList()
{
  return {
      new TGpsInfoConverterKML,
      new TGpsInfoConverterPLT,
      new TGpsInfoConverterGPX,
      new TGpsInfoConverterDatDOD,
      new TGpsInfoConverterCSV(true, true),
      new TGpsInfoConverterCSV(true, false),
      new TGpsInfoConverterCSV(false, true),
      new TGpsInfoConverterSRT,
  };
}

} // namespace

// The lists and their instances live until the process ends (threads may
// still hold them while it shuts down), so they are deliberately never freed;
// held from static pointers they stay reachable, not leaked.
const std::vector<TGpsInfoConverter *> &GpsImportConverters()
{
  static const auto *list = new std::vector<TGpsInfoConverter *>(BuildImportList());
  return *list;
}

const std::vector<TGpsInfoConverter *> &GpsExportConverters()
{
  static const auto *list = new std::vector<TGpsInfoConverter *>(BuildExportList());
  return *list;
}

TGpsInfoConverter &GpsDefaultConverter()
{
  static TGpsInfoConverter *converter = new TGpsInfoConverterDatDOD;
  return *converter;
}

} // namespace kp
