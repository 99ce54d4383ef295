#pragma once
// Reading a printer's calibration from the settings store. Section "Calibration <queue>"
// for a print queue, "Calibration PDF" for PDF folders; keys:
//   Dpi           the head's resolution in dots per inch (50 to 2400)
//   OffsetX/Y     twips the whole page moves right/down (-14400 to 14400; negative: left/up)
//   BarReduction  whole dots taken off every bar for print growth (0 to 10)
// Absent keys change nothing. A value that is not a number in range is ignored and
// named in Calibration::problem.
#include <string>
#include <string_view>

#include "common/printer_target.h"
#include "common/settings_store.h"

namespace corvel {

// The name that stands for PDF folders in the section name.
inline constexpr std::string_view kPdfCalibrationName = "PDF";

// "Calibration <printer>".
std::string CalibrationSection(std::string_view printer);

// The calibration of `printer` (a queue name, or kPdfCalibrationName).
Calibration ReadCalibration(const SettingsStore& settings, std::string_view printer);

// The calibration of the printer a target prints on: its queue, or PDF for a folder. The
// default queue (no name) has none: name it to calibrate it.
Calibration ReadCalibration(const SettingsStore& settings, const PrinterTarget& target);

}  // namespace corvel
