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
      // Up to 11 significant digits: the check digit is computed (leading zeros dropped;
      // another row in tests/tools/barcode_command_test.cpp).
      {"00000001234", false, true, true, "1234   8", "1234 8"},
      // 13 digits carry their own check digit, printed as given.
      {"5012345678901", false, true, true, "5012345678901", "501234567890 1"},
      // UPC-E on sheets: its six digits without leading zeros (the long form is a sheet case).
      {"01230000045", true, true, true, "1230000045   1", "123453"},
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
