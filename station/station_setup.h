#pragma once
// The station's set-up in one place: where its labels go, and the keys of section
// "Zebra" it reads at start with their defaults. The station, `corvel label` and
// `corvel doctor` all ask here.
#include <string>
#include <string_view>

#include "common/printer_target.h"
#include "common/settings_store.h"

namespace corvel {

inline constexpr std::string_view kStationProgram = "tarewise";

// A label's page in a PDF folder, unless "PdfPageSize" says otherwise (on a queue labels
// are laid out on the queue's own paper).
inline constexpr double kStationLabelWidthMm = 60;
inline constexpr double kStationLabelHeightMm = 40;

// A key of section "Zebra" with the text used when it is absent.
struct StationKey {
  std::string_view key;
  std::string_view fallback;
  std::string Read(const SettingsStore& settings) const;
};
inline constexpr StationKey kStoreName1Key{"Storename1", "Storename"};
inline constexpr StationKey kStoreName2Key{"Storename12", " "};
inline constexpr StationKey kPortKey{"COMPORT", "1"};

// Where the station's labels go, from section "Zebra" (ChoosePrinterTarget): asks the
// print server when no printer is named.
PrinterTarget StationTarget(const SettingsStore& settings);

}  // namespace corvel
