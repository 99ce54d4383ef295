#include "common/printer_calibration.h"

#include <cctype>

#include "common/number_text.h"
#include "common/text.h"

namespace corvel {
namespace {

// The value of a plain decimal number ("203", "-12.5"), or nothing for any other text.
// Read without the locale: a comma is no decimal separator here.
std::optional<double> PlainNumber(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
    text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
    text.remove_suffix(1);
  std::size_t at = text.starts_with('-') || text.starts_with('+') ? 1 : 0;
  int digits = 0, points = 0;
  for (; at < text.size(); ++at) {
    if (text[at] == '.' && points++ == 0) continue;
    if (!std::isdigit(static_cast<unsigned char>(text[at]))) return std::nullopt;
    ++digits;
  }
  if (digits == 0 || digits > 15) return std::nullopt;
  return ReadLeadingNumber(text);
}

}  // namespace

std::string CalibrationSection(std::string_view printer) {
  return "Calibration " + std::string(printer);
}

Calibration ReadCalibration(const SettingsStore& settings, std::string_view printer) {
  Calibration calibration;
  const std::string section = CalibrationSection(printer);
  // Reads one key into `value` when it holds a number from `low` to `high` (whole when
  // `whole`); otherwise names it in the problem text.
  const auto read = [&](std::string_view key, double low, double high, bool whole, auto& value) {
    const std::optional<std::string> text = settings.Get(section, key);
    if (!text) return;
    const std::optional<double> number = PlainNumber(*text);
    if (number && *number >= low && *number <= high && (!whole || *number == int(*number))) {
      value = static_cast<std::remove_reference_t<decltype(value)>>(*number);
      return;
    }
    if (!calibration.problem.empty()) calibration.problem += "; ";
    calibration.problem += SettingText(section, key, *text) + " is not a number from " +
                           GeneralNumber(low) + " to " + GeneralNumber(high) +
                           (whole ? " (whole)" : "") + ", ignored";
  };
  read("Dpi", 50, 2400, false, calibration.dpi);
  read("OffsetX", -14400, 14400, false, calibration.offsetX);
  read("OffsetY", -14400, 14400, false, calibration.offsetY);
  read("BarReduction", 0, 10, true, calibration.barReduction);
  return calibration;
}

Calibration ReadCalibration(const SettingsStore& settings, const PrinterTarget& target) {
  if (target.kind == PrinterTarget::Kind::PdfFolder)
    return ReadCalibration(settings, kPdfCalibrationName);
  if (target.queue.empty()) return {};
  return ReadCalibration(settings, target.queue);
}

}  // namespace corvel
