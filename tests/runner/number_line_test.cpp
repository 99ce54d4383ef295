// The human-readable lines under the bars, from codes as the encoder prepares them.
#include <gtest/gtest.h>

#include "barcode/barcode_job.h"
#include "runner/number_line.h"

namespace corvel {
namespace {

struct LineCase {
  const char* name;
  std::string code;
  bool allowUpcE;
  bool printCheckDigit;
  bool printUpcEDigits;
  std::string rollAndPage;  // NumberLine
  std::string sheet;        // SheetNumberLine
};

class NumberLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(NumberLines, FromPreparedDigits) {
  const LineCase& c = GetParam();
  BarcodeJob job;
  PrepareBarcodeDigits(job, c.code, c.allowUpcE, /*allowEan8=*/true);
  EXPECT_EQ(NumberLine(job), c.rollAndPage);
  EXPECT_EQ(SheetNumberLine(job, c.printCheckDigit, c.printUpcEDigits), c.sheet);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, NumberLines,
    ::testing::Values(
        // Up to 11 significant digits: no check digit came with the code.
        LineCase{"ShortCodeComputedCheck", "12345", false, true, true, "12345   7", "12345 7"},
        LineCase{"ShortCodeCheckDigitOff", "12345", false, false, true, "12345   7", "12345"},
        // 12 and 13 digits carry their own check digit, printed as given.
        LineCase{"ThirteenDigits", "5012345678900", false, false, true, "5012345678900",
                 "501234567890 0"},
        LineCase{"TwelveDigits", "123456789012", false, false, true, "123456789012",
                 "12345678901 2"},
        // A leading zero makes it eleven significant digits: the check digit is computed.
        LineCase{"ElevenWithLeadingZero", "012345678905", false, true, true, "12345678905   0",
                 "12345678905 0"},
        LineCase{"WrongCheckDigitKept", "5012345678901", false, true, true, "5012345678901",
                 "501234567890 1"},
        LineCase{"LeadingZerosDropped", "00000001234", false, true, true, "1234   8", "1234 8"},
        LineCase{"BlankCode", "", false, true, true, "0   0", "0 0"},
        // UPC-E on sheets: its six digits without leading zeros, or the long form.
        LineCase{"UpcEDigits", "01230000045", true, true, true, "1230000045   1", "123453"},
        LineCase{"UpcELongForm", "01230000045", true, true, false, "1230000045   1",
                 "1230000045 1"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvel
