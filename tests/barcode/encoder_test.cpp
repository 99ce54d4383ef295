// The encoder against published vectors, the worked examples and its threshold rules.
#include <gtest/gtest.h>

#include <string>

#include "barcode/barcode_job.h"
#include "tests/barcode/pattern_checks.h"

namespace corvel {
namespace {

struct CheckDigitCase {
  const char* name;
  const char* data;  // 12 data digits
  int check;
};

const CheckDigitCase kCheckDigitCases[] = {
    {"Ean13_4006381333931", "400638133393", 1},   // GS1 EAN-13 example
    {"Isbn_9780306406157", "978030640615", 7},    // ISBN-13 example
    {"UpcA_036000291452", "003600029145", 2},     // UPC-A, zero-padded
    {"Ean8_96385074", "000009638507", 4},         // EAN-8, zero-padded
    {"Ean8_73513537", "000007351353", 7},         // EAN-8, zero-padded
    {"AllZero", "000000000000", 0},               // sum 0 gives 0, not 10
    {"NonDigitsCountAsZero", "4x0638133393", 1},  // 'x' in place of the 0
    {"ShortTextPadded", "4006381", 0},            // missing digits count as 0
};

class CheckDigitTest : public ::testing::TestWithParam<CheckDigitCase> {};
TEST_P(CheckDigitTest, MatchesVector) {
  EXPECT_EQ(ComputeCheckDigit(GetParam().data), GetParam().check);
}
INSTANTIATE_TEST_SUITE_P(Vectors, CheckDigitTest, ::testing::ValuesIn(kCheckDigitCases),
                         [](const auto& info) { return std::string(info.param.name); });

enum Symbol { Ean13 = 95, Ean8 = 67, UpcE = 51 };  // by module count

struct SymbolCase {
  const char* name;
  const char* code;
  bool allowUpcE, allowEan8;
  Symbol symbol;
  const char* data;  // DataDigits
  char marker;
  int check;
  const char* upcE;
  const char* pattern = nullptr;
};

const SymbolCase kSymbolCases[] = {
    // Worked examples.
    {"WorkedEan13", "12345000007", true, true, Ean13, "012345000007", '*', 6, "",
     "1-1-1-2-2-2-1-2-1-2-2-1-4-1-1-1-1-3-2-1-2-3-1-3-2-1-1-1-1-1-1-1-3-2-1-1-3-2-1-1-3-2-1-1-"
     "3-2-1-1-1-3-1-2-1-1-1-4-1-1-1"},
    {"WorkedUpcE", "1230000045", true, true, UpcE, "001230000045", '*', 1, "123453",
     "1-1-1-1-2-2-2-2-2-1-2-1-4-1-1-2-3-1-1-1-2-3-1-1-4-1-1-1-1-1-1-1-1"},
    {"WorkedEan8", "1234567", true, true, Ean8, "000001234567", '*', 0, "",
     "1-1-1-2-2-2-1-2-1-2-2-1-4-1-1-1-1-3-2-1-1-1-1-1-1-2-3-1-1-1-1-4-1-3-1-2-3-2-1-1-1-1-1"},
    // Published numbers: the check digit given with 13 digits is kept.
    {"Ean13Given", "4006381333931", true, true, Ean13, "400638133393", '1', 1, ""},
    {"Ean8_96385074", "9638507", false, true, Ean8, "000009638507", '*', 4, ""},
    // UPC-A 012345000065 <-> UPC-E 0-123456-5.
    {"UpcEProductDigit", "1234500006", true, false, UpcE, "001234500006", '*', 5, "123456"},
    // UPC-A 042100005264 would be UPC-E 0-425261-4 under the usual rule, but here the
    // whole manufacturer group must be 00000, 00100 or 00200.
    {"UpcA_042100005264", "4210000526", true, false, Ean13, "004210000526", '*', 4, ""},
    {"Group12100NotCompressed", "1210000555", true, true, Ean13, "001210000555", '*', 7, ""},
    {"Group00100Compressed", "10000555", true, false, UpcE, "000010000555", '*', 4, "005551"},
    {"RuleFour", "1234000007", true, false, UpcE, "001234000007", '*', 7, "123474"},
    {"RuleFiveNeedsOverFour", "1234500004", true, false, Ean13, "001234500004", '*', 1, ""},
    {"NumberSystemOne", "10000000055", true, false, Ean13, "010000000055", '*', 7, ""},
    // UPC-E wins over EAN-8 even for small codes.
    {"Code999IsUpcE", "999", true, true, UpcE, "000000000999", '*', 7, "009990"},
    {"Code999Ean8", "999", false, true, Ean8, "000000000999", '*', 7, ""},
    // Thresholds.
    {"ElevenDigitsAllData", "99999999999", false, false, Ean13, "099999999999", '*', 3, ""},
    {"TwelveDigitsLastDropped", "100000000000", false, false, Ean13, "010000000000", '0', 7, ""},
    {"TwelveDigitsComputed", "999999999998", false, false, Ean13, "099999999999", '8', 3, ""},
    {"TwelveNinesCheckGiven", "999999999999", false, false, Ean13, "099999999999", '9', 9, ""},
    {"LargestEan8", "9999998", false, true, Ean8, "000009999998", '*', 8, ""},
    {"TooLargeForEan8", "9999999", false, true, Ean13, "000009999999", '*', 5, ""},
    {"FourteenDigits", "54006381333931", false, false, Ean13, "400638133393", '1', 1, ""},
    // Reading the text.
    {"NoNumberUpcE", "abc", true, true, UpcE, "000000000000", '*', 0, "000000"},
    {"NoNumberEan8", "", false, true, Ean8, "000000000000", '*', 0, ""},
    {"BlanksIgnored", " 12 345 000 007", false, false, Ean13, "012345000007", '*', 6, ""},
    {"StopsAtLetter", "12345000007X9", false, false, Ean13, "012345000007", '*', 6, ""},
    {"FractionRounds", "12345000006.5", false, false, Ean13, "012345000007", '*', 6, ""},
    // The rounded value decides the threshold, so the digits and the rule agree.
    {"FractionCrosses", "99999999999.5", false, false, Ean13, "010000000000", '0', 7, ""},
    // A minus sign would stand among the digits; the digits show 0 as the bars do.
    {"Negative", "-5", false, false, Ean13, "000000000005", '*', 5, ""},
    {"Exponent", "1E20", false, false, Ean13, "000000000000", '0', 0, ""},
};

class SymbolTest : public ::testing::TestWithParam<SymbolCase> {};

TEST_P(SymbolTest, DigitsCheckDigitAndPattern) {
  const SymbolCase& c = GetParam();
  BarcodeJob job;
  PrepareBarcodeDigits(job, c.code, c.allowUpcE, c.allowEan8);
  BuildBarPattern(job);
  EXPECT_EQ(job.IsUpcE, c.symbol == UpcE);
  EXPECT_EQ(job.IsEan8, c.symbol == Ean8);
  EXPECT_EQ(job.DataDigits, c.data);
  EXPECT_EQ(job.CheckMarker, c.marker);
  EXPECT_EQ(job.CheckDigit, c.check);
  EXPECT_EQ(job.CheckDigitText, std::to_string(c.check));
  EXPECT_EQ(job.UpcEDigits, c.upcE);
  if (c.pattern) {
    EXPECT_EQ(job.Pattern, c.pattern);
  }
  EXPECT_EQ(test::ModuleCount(job.Pattern), c.symbol);
}

INSTANTIATE_TEST_SUITE_P(Codes, SymbolTest, ::testing::ValuesIn(kSymbolCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The station's path: EAN-13 only, the check digit decided from CheckMarker.
TEST(StationVariant, CheckDigitFromMarker) {
  struct Row {
    const char* code;
    int station, runner;
  };
  const Row rows[] = {{"12345000007", 6, 6},     // '*': computed by both
                      {"123456789015", 5, 2},    // twelve digits: the station keeps the 5
                      {"4006381333932", 2, 2}};  // thirteen digits: used unverified
  for (const Row& row : rows) {
    SCOPED_TRACE(row.code);
    BarcodeJob station, runner;
    PrepareBarcodeDigits(station, row.code, false, true);
    PrepareBarcodeDigits(runner, row.code, false, false);
    station.CheckDigit = -7;  // left over from before
    BuildBarPattern(station, CheckDigitSource::FromMarker);
    BuildBarPattern(runner);
    EXPECT_EQ(station.CheckDigit, row.station);
    EXPECT_EQ(station.CheckDigitText, std::to_string(row.station));
    EXPECT_EQ(runner.CheckDigit, row.runner);
    // Same data digits: the patterns differ at most in the check digit's group.
    ASSERT_EQ(station.Pattern.size(), 117u);
    EXPECT_EQ(station.Pattern.substr(0, 103), runner.Pattern.substr(0, 103));
  }
}

// Groups the station fills itself (a price-embedded number); the flags are ignored.
TEST(StationVariant, FilledGroupsAreAlwaysEan13) {
  BarcodeJob job;
  job.FirstDigit = "0";
  job.LeftFirst = "2";
  job.LeftRest = "10123";
  job.RightDigits = "00599";
  job.IsUpcE = job.IsEan8 = true;
  BuildBarPattern(job, CheckDigitSource::FromMarker);
  EXPECT_EQ(job.CheckDigit, 2);  // over 021012300599
  EXPECT_EQ(test::ModuleCount(job.Pattern), 95);
}

// Fields damaged by hand still give a whole symbol; table lookups outside their range
// give their documented answers.
TEST(BuildBarPattern, DamagedFieldsGiveWholeSymbols) {
  for (const auto& [upcE, ean8, modules] :
       {std::tuple{false, false, 95}, {false, true, 67}, {true, false, 51}}) {
    BarcodeJob job;
    job.LeftFirst = "x";
    job.LeftRest = "1";
    job.RightDigits = "123456789";
    job.UpcEDigits = "\xff";
    job.IsUpcE = upcE;
    job.IsEan8 = ean8;
    job.CheckDigit = 42;
    BuildBarPattern(job);
    EXPECT_EQ(test::ModuleCount(job.Pattern), modules) << job.Pattern;
  }
  EXPECT_EQ(DigitWidthGroup(10, true), "");
  EXPECT_FALSE(UpcEParityIsOdd(0, 7));
  EXPECT_FALSE(UpcEParityIsOdd(10, 4));
  EXPECT_TRUE(UpcEParityIsOdd(0, 4));
}

}  // namespace
}  // namespace corvel
