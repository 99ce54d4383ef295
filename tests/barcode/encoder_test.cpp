// The encoder against published vectors, the worked examples and its threshold rules
// (that any input makes a whole symbol of the right width is the barcode fuzz target's).
#include <gtest/gtest.h>

#include <string>

#include "barcode/barcode_job.h"

namespace corvel {
namespace {

// Data digits, check marker, check digit, symbol and UPC-E digits, as one line (the
// station's own path, which takes the check digit from the marker, is in tests/station).
TEST(PrepareAndBuild, DigitsCheckDigitAndSymbol) {
  const struct {
    const char* code;
    bool upcE, ean8;
    const char* summary;
  } cases[] = {
      // clang-format off
      // Published vectors: UPC-A 036000291452, EAN-8 96385074, EAN-13 4006381333931 with its
      // check digit given (kept, even when wrong); a zero sum gives 0, not 10. zbar checks the
      // digit computed for every EAN-13 first digit in draw_bars_test.cpp.
      {"3600029145", false, false, "003600029145 * 2 EAN-13"},
      {"9638507", false, true, "000009638507 * 4 EAN-8"},
      {"0", false, false, "000000000000 * 0 EAN-13"},
      {"4006381333931", true, true, "400638133393 1 1 EAN-13"},
      {"4006381333932", false, false, "400638133393 2 2 EAN-13"},
      // Worked examples (what the bars say, zbar reads in draw_bars_test.cpp).
      {"12345000007", true, true, "012345000007 * 6 EAN-13"},
      {"1230000045", true, true, "001230000045 * 1 UPC-E 123453"},
      {"1234567", true, true, "000001234567 * 0 EAN-8"},
      // UPC-A 012345000065 <-> UPC-E 0-123456-5.
      {"1234500006", true, false, "001234500006 * 5 UPC-E 123456"},
      // UPC-A 042100005264 is UPC-E 0-425261-4 elsewhere; here the manufacturer group
      // must be 00000, 00100 or 00200.
      {"4210000526", true, false, "004210000526 * 4 EAN-13"},
      {"10000555", true, false, "000010000555 * 4 UPC-E 005551"},
      {"1234000007", true, false, "001234000007 * 7 UPC-E 123474"},  // rule four
      {"1234500004", true, false, "001234500004 * 1 EAN-13"},        // rule five needs over 4
      {"10000000055", true, false, "010000000055 * 7 EAN-13"},       // number system 1
      {"999", true, true, "000000000999 * 7 UPC-E 009990"},          // UPC-E before EAN-8
      // Thresholds; of twelve digits the last is the marker, and the check is computed.
      {"99999999999", false, false, "099999999999 * 3 EAN-13"},
      {"100000000000", false, false, "010000000000 0 7 EAN-13"},
      {"123456789015", false, false, "012345678901 5 2 EAN-13"},
      {"999999999999", false, false, "099999999999 9 9 EAN-13"},
      {"9999998", false, true, "000009999998 * 8 EAN-8"},
      {"9999999", false, true, "000009999999 * 5 EAN-13"},
      {"54006381333931", false, false, "400638133393 1 1 EAN-13"},
      // Reading the text: the rounded value decides the threshold; a minus reads as 0.
      {"99999999999.5", false, false, "010000000000 0 7 EAN-13"},
      {"-5", false, false, "000000000005 * 5 EAN-13"},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.code);
    BarcodeJob job;
    PrepareBarcodeDigits(job, c.code, c.upcE, c.ean8);
    BuildBarPattern(job);
    const char* symbol = job.IsUpcE ? " UPC-E " : (job.IsEan8 ? " EAN-8" : " EAN-13");
    EXPECT_EQ(job.DataDigits + " " + job.CheckMarker + " " + std::to_string(job.CheckDigit) +
                  symbol + job.UpcEDigits,
              c.summary);
  }
}

// Whole symbols, module by module (1 a dark module, 0 a light one), written out from the
// bit patterns of number sets A, B and C and the guards as ISO/IEC 15420 prints them, so
// they check our width tables rather than restate them.
TEST(PrepareAndBuild, WholeSymbolsModuleByModule) {
  const struct {
    const char* name;
    const char* code;
    bool upcE, ean8;
    const char* modules;
  } rows[] = {
      // clang-format off
      {"EAN-13 5 901234 123457: first digit 5 sets the left half ABBAAB", "5901234123457",
       false, false,
       "101" "0001011" "0100111" "0110011" "0010011" "0111101" "0011101" "01010"
       "1100110" "1101100" "1000010" "1011100" "1001110" "1000100" "101"},
      {"EAN-8 9638 5074: set A left, set C right", "9638507", false, true,
       "101" "0001011" "0101111" "0111101" "0110111" "01010"
       "1001110" "1110010" "1000100" "1011100" "101"},
      {"UPC-E 0 123456 5: check digit 5 sets EOOEEO", "1234500006", true, false,
       "101" "0110011" "0010011" "0111101" "0011101" "0111001" "0101111" "010101"},
      // clang-format on
  };
  for (const auto& row : rows) {
    BarcodeJob job;
    PrepareBarcodeDigits(job, row.code, row.upcE, row.ean8);
    BuildBarPattern(job);
    std::string modules;
    bool dark = true;
    for (std::size_t i = 0; i < job.Pattern.size(); i += 2, dark = !dark)
      modules.append(static_cast<std::size_t>(job.Pattern[i] - '0'), dark ? '1' : '0');
    EXPECT_EQ(modules, row.modules) << row.name;
  }
}

}  // namespace
}  // namespace corvel
