#include "station/station_setup.h"

#include "common/settings_sections.h"
#include "platform/printing.h"

namespace corvel {

std::string StationKey::Read(const SettingsStore& settings) const {
  return settings.GetOr(kStationSection, key, fallback);
}

PrinterTarget StationTarget(const SettingsStore& settings) {
  return ChoosePrinterTarget(settings, kStationSection, kStationProgram, kStationLabelWidthMm,
                             kStationLabelHeightMm);
}

}  // namespace corvel
