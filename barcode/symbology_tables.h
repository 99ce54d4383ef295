#pragma once
// Lookups into the EAN/UPC tables shared by the pattern builder.
#include <cstddef>
#include <string_view>

namespace corvel::barcode_detail {

// True when digit `position` (1..5) of the EAN-13 left half after its first digit is
// drawn from number set B for this FirstDigit text.
bool Ean13LeftDigitIsSetB(std::string_view firstDigit, int position);

// The character at 0-based `index` of a digit field, '0' when the field is shorter or
// the character is not a digit, so a short or damaged field still yields a whole symbol.
inline char DigitAt(std::string_view field, std::size_t index) {
  return index < field.size() && field[index] >= '0' && field[index] <= '9' ? field[index] : '0';
}

}  // namespace corvel::barcode_detail
