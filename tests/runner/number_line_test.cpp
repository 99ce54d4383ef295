// The human-readable lines under the bars, from codes as the encoder prepares them.
#include <gtest/gtest.h>

#include "barcode/barcode_job.h"
#include "runner/number_line.h"

namespace corvel {
namespace {

TEST(NumberLines, FromPreparedDigits) {
  const struct {
    std::string code;
    bool allowUpcE, printCheckDigit, printUpcEDigits;
    std::string rollAndPage, sheet;  // NumberLine, SheetNumberLine
  } cases[] = {
      // clang-format off
      // Up to 11 significant digits: no check digit came with the code.
      {"12345", false, true, true, "12345   7", "12345 7"},
      {"12345", false, false, true, "12345   7", "12345"},
      // 12 and 13 digits carry their own check digit, printed as given.
      {"5012345678900", false, false, true, "5012345678900", "501234567890 0"},
      {"123456789012", false, false, true, "123456789012", "12345678901 2"},
      {"5012345678901", false, true, true, "5012345678901", "501234567890 1"},
      // A leading zero makes it eleven significant digits: the check digit is computed.
      {"012345678905", false, true, true, "12345678905   0", "12345678905 0"},
      {"00000001234", false, true, true, "1234   8", "1234 8"},
      {"", false, true, true, "0   0", "0 0"},
      // UPC-E on sheets: its six digits without leading zeros, or the long form.
      {"01230000045", true, true, true, "1230000045   1", "123453"},
      {"01230000045", true, true, false, "1230000045   1", "1230000045 1"},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("'" + c.code + "'");
    BarcodeJob job;
    PrepareBarcodeDigits(job, c.code, c.allowUpcE, /*allowEan8=*/true);
    EXPECT_EQ(NumberLine(job), c.rollAndPage);
    EXPECT_EQ(SheetNumberLine(job, c.printCheckDigit, c.printUpcEDigits), c.sheet);
  }
}

}  // namespace
}  // namespace corvel
