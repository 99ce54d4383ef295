// The symbol of a weighed-item label: the FLAG box, the price check digit, and the
// number a label carries for its code, flag and price.
#include <gtest/gtest.h>

#include <cmath>

#include "barcode/barcode_job.h"
#include "station/label_barcode.h"

namespace corvel {
namespace {

// The FLAG box keeps a whole number 20..29; the fraction goes before the range is judged.
TEST(LabelBarcode, FlagBoxKeepsTwentyToTwentyNine) {
  const std::pair<double, const char*> rows[] = {
      {29.9, "29"}, {19.99, "20"}, {30, "20"}, {-25, "20"}, {NAN, "20"}};
  for (const auto& [typed, shown] : rows)
    EXPECT_EQ(FlagBoxText(typed), shown) << typed;
}

// The first three are the worked examples of the GS1 price check digit; the others pin
// one weighted product each (2-: 5 gives 9, 9 gives 7; 3: 9 gives 7; 5-: 2 gives 9,
// 7 gives 2, 9 gives 1).
TEST(LabelBarcode, PriceCheckDigit) {
  const std::pair<const char*, int> rows[] = {{"2875", 9}, {"0550", 2}, {"1235", 4}, {"0000", 0},
                                              {"5000", 7}, {"0900", 1}, {"0090", 1}, {"0002", 7},
                                              {"0007", 6}, {"0009", 3}, {"2345", 5}};
  for (const auto& [digits, check] : rows)
    EXPECT_EQ(PriceCheckDigit(digits), check) << digits;
}

// The number text: the data digits without leading zeros, then the check digit.
TEST(LabelBarcode, NumberForCodeFlagAndPrice) {
  struct Label {
    const char* code;
    const char* flag = "20";
    const char* price = "1.00";
    bool priceCheck = false;  // use the price check digit
    std::string number;       // "": no symbol
  };
  const Label labels[] = {
      {.code = "1234", .flag = "27", .price = "5.50", .number = "271234005509"},
      {.code = "1234", .flag = "27", .price = "5.50", .priceCheck = true, .number = "271234205503"},
      {.code = "7", .price = "12.35", .priceCheck = true, .number = "200007412350"},  // rounded
      {.code = "9998.7", .price = "0.00", .number = "209999000002"},
      // Judged on the rounded code, as the encoder judges it: 9999.4 is the largest
      // embedded item, 99999999999.4 is all data.
      {.code = "9999.4", .number = "209999001009"},
      {.code = "99999999999.4", .number = "999999999993"},
      {.code = "10000", .price = "5.50", .number = "100007"},  // the smallest own code
      {.code = "100000000005", .number = "100000000005"},
      {.code = "1234567890128", .number = "1234567890128"},
      // Only the first 14 characters of the code box count.
      {.code = "1234567890123456", .number = "2345678901234"},
      // Loses its leading digit.
      {.code = "1", .price = "123.45", .priceCheck = true, .number = "200001523458"},
      // Overflows; a short flag is the default.
      {.code = "1", .price = "1000.00", .number = "200001000003"},
      {.code = "1", .price = "-3.00", .number = "200001000003"},
      {.code = "1", .flag = "2", .price = "0.00", .number = "200001000003"},
      {.code = "0", .number = ""},
      {.code = "-5", .number = ""},
  };
  for (const Label& l : labels) {
    SCOPED_TRACE(std::string(l.code) + " " + l.price);
    BarcodeJob job;
    ASSERT_EQ(PrepareLabelBarcode(job, LabelCodeText(l.code), l.flag, l.price, l.priceCheck),
              !l.number.empty());
    if (l.number.empty()) continue;
    BuildBarPattern(job, CheckDigitSource::FromMarker);
    EXPECT_EQ(MakeBarcodeNumberText(job), l.number);
  }
}

}  // namespace
}  // namespace corvel
