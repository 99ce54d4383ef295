#pragma once
// The sections of the settings store, one per reader: the label station's own settings,
// the print runner's request settings, and the runner's printer settings.
#include <string_view>

namespace corvel {

inline constexpr std::string_view kStationSection = "Zebra";
inline constexpr std::string_view kRunnerSection = "Quorrel";
inline constexpr std::string_view kPrinterSection = "Printer";

}  // namespace corvel
