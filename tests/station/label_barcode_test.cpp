// The symbol of a weighed-item label: price check digits, the data digits of own and
// price-embedded codes, and the number printed under the bars.
#include <gtest/gtest.h>

#include "station/label_barcode.h"

namespace corvel {
namespace {

struct PriceCheckCase {
  const char* digits;
  int expected;
};

TEST(PriceCheckDigit, WeightedSums) {
  // The first three rows are the worked examples of the GS1 price check digit; the
  // others pin one weighted product each (2-: 5 gives 9, 9 gives 7; 3: 9 gives 7;
  // 5-: 2 gives 9, 7 gives 2, 9 gives 1).
  const PriceCheckCase cases[] = {{"2875", 9}, {"0550", 2}, {"1235", 4}, {"0000", 0},
                                  {"5000", 7}, {"0900", 1}, {"0090", 1}, {"0002", 7},
                                  {"0007", 6}, {"0009", 3}, {"2345", 5}, {"12", 8}};
  for (const PriceCheckCase& c : cases) {
    SCOPED_TRACE(c.digits);
    EXPECT_EQ(PriceCheckDigit(c.digits), c.expected);
  }
}

struct SymbolCase {
  const char* name;
  const char* code;
  const char* flag;
  const char* price;
  bool priceCheck;
  const char* dataDigits;  // nullptr: no symbol
  int checkDigit;
  const char* numberText;
};
// Rows show as their names in test output.
void PrintTo(const SymbolCase& row, std::ostream* out) {
  *out << row.name;
}

class LabelSymbol : public ::testing::TestWithParam<SymbolCase> {};

TEST_P(LabelSymbol, DigitsCheckDigitAndNumberText) {
  const SymbolCase& c = GetParam();
  BarcodeJob job;
  const bool has = PrepareLabelBarcode(job, c.code, c.flag, c.price, c.priceCheck);
  ASSERT_EQ(has, c.dataDigits != nullptr);
  if (!has) return;
  EXPECT_EQ(job.LeadPair + job.LeftRest + job.RightDigits, c.dataDigits);
  EXPECT_EQ(job.FirstDigit + job.LeftFirst, job.LeadPair);
  EXPECT_EQ(job.LeftRest.size(), 5u);
  EXPECT_EQ(job.RightDigits.size(), 5u);
  BuildBarPattern(job, CheckDigitSource::FromMarker);
  EXPECT_EQ(job.CheckDigit, c.checkDigit);
  EXPECT_EQ(job.Pattern.size(), 117u);
  EXPECT_EQ(MakeBarcodeNumberText(job), c.numberText);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, LabelSymbol,
    ::testing::Values(
        SymbolCase{"Embedded", "1234", "27", "5.50", false, "027123400550", 9, "271234005509"},
        SymbolCase{"EmbeddedPriceCheck", "1234", "27", "5.50", true, "027123420550", 3,
                   "271234205503"},
        SymbolCase{"PriceNoiseRoundedNotCut", "7", "20", "12.35", true, "020000741235", 0,
                   "200007412350"},
        SymbolCase{"PriceNoiseWithoutCheck", "7", "20", "12.35", false, "020000701235", 2,
                   "200007012352"},
        SymbolCase{"LargestEmbedded", "9999", "20", "1.00", false, "020999900100", 9,
                   "209999001009"},
        SymbolCase{"FractionRoundsToItem", "9998.7", "20", "0.00", false, "020999900000", 2,
                   "209999000002"},
        SymbolCase{"SmallestOwnCode", "10000", "20", "5.50", false, "000000010000", 7, "100007"},
        SymbolCase{"ElevenDigitsAllData", "12345678901", "20", "1.00", false, "012345678901", 2,
                   "123456789012"},
        SymbolCase{"TwelveDigitsKeepLastAsCheck", "100000000005", "20", "1.00", false,
                   "010000000000", 5, "100000000005"},
        SymbolCase{"ThirteenDigits", "1234567890128", "20", "1.00", false, "123456789012", 8,
                   "1234567890128"},
        SymbolCase{"WrongCheckDigitKept", "1234567890125", "20", "1.00", false, "123456789012", 5,
                   "1234567890125"},
        SymbolCase{"PriceLosesLeadingDigit", "1", "20", "123.45", true, "020000152345", 8,
                   "200001523458"},
        SymbolCase{"PriceOverflowsField", "1", "20", "1000.00", false, "020000100000", 3,
                   "200001000003"},
        SymbolCase{"ZeroPriceWithCheck", "1", "20", "0.00", true, "020000100000", 3,
                   "200001000003"},
        SymbolCase{"NegativePriceEmbedsZero", "1", "20", "-3.00", false, "020000100000", 3,
                   "200001000003"},
        SymbolCase{"ShortFlagIsDefault", "1", "2", "0.00", false, "020000100000", 3,
                   "200001000003"},
        SymbolCase{"FlagDigit", "1", "29", "0.00", false, "029000100000", 4, "290001000004"},
        SymbolCase{"CodeZero", "0", "20", "1.00", false, nullptr, 0, ""},
        SymbolCase{"CodeEmpty", "", "20", "1.00", false, nullptr, 0, ""},
        SymbolCase{"CodeLetters", "abc", "20", "1.00", false, nullptr, 0, ""},
        SymbolCase{"CodeNegative", "-5", "20", "1.00", false, nullptr, 0, ""}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvel
