// The EAN/UPC tables as data: number sets A, B and C, the EAN-13 left-half parity and
// the number-system-0 UPC-E parity.
#include "barcode/symbology_tables.h"

#include <array>
#include <string>

#include "barcode/barcode_job.h"

namespace corvel {
namespace {

// Number sets A and B as module widths, indexed by digit (ISO/IEC 15420, table 1: number
// sets A, B and C). Set A starts with a space; set C (the right half) has set A's widths
// read from a bar, so set A serves both.
constexpr std::array<std::string_view, 10> kNumberSetA = {
    "3-2-1-1", "2-2-2-1", "2-1-2-2", "1-4-1-1", "1-1-3-2",
    "1-2-3-1", "1-1-1-4", "1-3-1-2", "1-2-1-3", "3-1-1-2",
};
constexpr std::array<std::string_view, 10> kNumberSetB = {
    "1-1-2-3", "1-2-2-2", "2-2-1-2", "1-1-4-1", "2-3-1-1",
    "1-3-2-1", "4-1-1-1", "2-1-3-1", "3-1-2-1", "2-1-1-3",
};

// The number sets of the EAN-13 left half by the first digit, which the choice encodes
// (ISO/IEC 15420, table 3): the six left-half digits in order, 'A' or 'B'.
constexpr std::array<std::string_view, 10> kEan13LeftSets = {
    "AAAAAA", "AABABB", "AABBAB", "AABBBA", "ABAABB",
    "ABBAAB", "ABBBAA", "ABABAB", "ABABBA", "ABBABA",
};

// Number-system-0 UPC-E parity by check digit (ISO/IEC 15420, table 4): the six symbol
// digits, 'O' = odd (set A), 'E' = even (set B).
constexpr std::array<std::string_view, 10> kUpcEParity = {
    "EEEOOO", "EEOEOO", "EEOOEO", "EEOOOE", "EOEEOO",
    "EOOEEO", "EOOOEE", "EOEOEO", "EOEOOE", "EOOEOE",
};

}  // namespace

std::string DigitWidthGroup(int digit, bool odd) {
  if (digit < 0 || digit > 9) return {};
  return std::string(odd ? kNumberSetA[digit] : kNumberSetB[digit]);
}

bool UpcEParityIsOdd(std::int16_t checkDigit, std::int16_t position) {
  if (checkDigit < 0 || checkDigit > 9 || position < 1 || position > 6) return false;
  return kUpcEParity[checkDigit][position - 1] == 'O';
}

namespace barcode_detail {

bool Ean13LeftDigitIsSetB(std::string_view firstDigit, int position) {
  if (position < 1 || position > 5 || firstDigit.size() != 1) return false;
  if (firstDigit[0] < '0' || firstDigit[0] > '9') return false;
  // Position 1 is the left half's second digit; its first is always set A.
  return kEan13LeftSets[firstDigit[0] - '0'][position] == 'B';
}

}  // namespace barcode_detail
}  // namespace corvel
