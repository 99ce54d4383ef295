#pragma once
// Page sizes as the settings write them: "WIDTHxHEIGHT" in millimetres.
#include <optional>
#include <string_view>
#include <utility>

namespace corvel {

// "60x40", "210 x 297", "62.5X30" in millimetres; nothing when the text is not two
// positive sizes up to 10 metres.
std::optional<std::pair<double, double>> ParsePageSizeMm(std::string_view text);

}  // namespace corvel
