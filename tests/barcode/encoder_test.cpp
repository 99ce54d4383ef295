// The encoder against published vectors and its threshold rules.
#include <gtest/gtest.h>

#include <string>

#include "barcode/barcode_job.h"
#include "common/errors.h"
#include "tests/barcode/pattern_checks.h"

namespace corvel {
namespace {

enum class Symbol { Ean13, Ean8, UpcE };

BarcodeJob Prepared(const std::string& code, bool allowUpcE, bool allowEan8) {
  BarcodeJob job;
  PrepareBarcodeDigits(job, code, allowUpcE, allowEan8);
  BuildBarPattern(job);
  return job;
}

Symbol SymbolOf(const BarcodeJob& job) {
  return job.IsUpcE ? Symbol::UpcE : job.IsEan8 ? Symbol::Ean8 : Symbol::Ean13;
}

// ---------------------------------------------------------------------------------------
// Check digits. Provenance in each row.

struct CheckDigitCase {
  const char* name;
  const char* data;  // 12 data digits
  int check;
};

const CheckDigitCase kCheckDigitCases[] = {
    {"Ean13_4006381333931", "400638133393", 1},   // GS1 EAN-13 example
    {"Isbn_9780306406157", "978030640615", 7},    // ISBN-13 example
    {"UpcA_036000291452", "003600029145", 2},     // UPC-A 036000291452 as EAN-13
    {"UpcA_042100005264", "004210000526", 4},     // UPC-A 042100005264
    {"Ean8_96385074", "000009638507", 4},         // EAN-8 96385074, zero-padded
    {"Ean8_73513537", "000007351353", 7},         // EAN-8 73513537, zero-padded
    {"AllZero", "000000000000", 0},               // sum 0 gives 0, not 10
    {"WorkedExampleEan13", "012345000007", 6},    // worked example
    {"NonDigitsCountAsZero", "4x0638133393", 1},  // 'x' in place of a 0
    {"ShortTextPaddedWithZeros", "4006381", 0},   // missing digits count as 0
};

class CheckDigitTest : public ::testing::TestWithParam<CheckDigitCase> {};

TEST_P(CheckDigitTest, MatchesVector) {
  EXPECT_EQ(ComputeCheckDigit(GetParam().data), GetParam().check);
}

INSTANTIATE_TEST_SUITE_P(Vectors, CheckDigitTest, ::testing::ValuesIn(kCheckDigitCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// Whole symbols from the code field: which symbology, which digits, which check digit.

struct SymbolCase {
  const char* name;
  const char* code;
  bool allowUpcE;
  bool allowEan8;
  Symbol symbol;
  const char* data;  // DataDigits
  char marker;
  int check;
  const char* upcE;     // UPC-E only
  const char* pattern;  // nullptr: not checked here
};

const SymbolCase kSymbolCases[] = {
    // Worked examples.
    {"WorkedEan13", "12345000007", true, true, Symbol::Ean13, "012345000007", '*', 6, "",
     "1-1-1-2-2-2-1-2-1-2-2-1-4-1-1-1-1-3-2-1-2-3-1-3-2-1-1-1-1-1-1-1-3-2-1-1-3-2-1-1-3-2-1-1-"
     "3-2-1-1-1-3-1-2-1-1-1-4-1-1-1"},
    {"WorkedUpcE", "1230000045", true, true, Symbol::UpcE, "001230000045", '*', 1, "123453",
     "1-1-1-1-2-2-2-2-2-1-2-1-4-1-1-2-3-1-1-1-2-3-1-1-4-1-1-1-1-1-1-1-1"},
    {"WorkedEan8", "1234567", true, true, Symbol::Ean8, "000001234567", '*', 0, "",
     "1-1-1-2-2-2-1-2-1-2-2-1-4-1-1-1-1-3-2-1-1-1-1-1-1-2-3-1-1-1-1-4-1-3-1-2-3-2-1-1-1-1-1"},
    // Published numbers.
    {"Ean13GivenCheckDigit", "4006381333931", true, true, Symbol::Ean13, "400638133393", '1', 1, "",
     nullptr},
    {"Ean8_96385074", "9638507", false, true, Symbol::Ean8, "000009638507", '*', 4, "", nullptr},
    {"Ean8_73513537", "7351353", false, true, Symbol::Ean8, "000007351353", '*', 7, "", nullptr},
    // UPC-A 012345000065 <-> UPC-E 0-123456-5 (last digit 5..9: product digit moved in).
    {"UpcEProductDigit", "1234500006", true, false, Symbol::UpcE, "001234500006", '*', 5, "123456",
     nullptr},
    // UPC-A 042100005264 compresses to 0-425261-4 under the usual rule, but here the whole
    // manufacturer group must be 00000, 00100 or 00200, so it stays EAN-13.
    {"UpcA_042100005264StaysEan13", "4210000526", true, false, Symbol::Ean13, "004210000526", '*',
     4, "", nullptr},
    {"Group12100NotCompressed", "1210000555", true, true, Symbol::Ean13, "001210000555", '*', 7, "",
     nullptr},
    {"Group00100Compressed", "10000555", true, false, Symbol::UpcE, "000010000555", '*', 4,
     "005551", nullptr},
    {"RuleFourLastProductDigit", "1234000007", true, false, Symbol::UpcE, "001234000007", '*', 7,
     "123474", nullptr},
    {"RuleFiveNeedsProductOverFour", "1234500004", true, false, Symbol::Ean13, "001234500004", '*',
     1, "", nullptr},
    {"NumberSystemOneNotCompressed", "10000000055", true, false, Symbol::Ean13, "010000000055", '*',
     7, "", nullptr},
    // UPC-E wins over EAN-8 even for small codes.
    {"Code999IsUpcE", "999", true, true, Symbol::UpcE, "000000000999", '*', 7, "009990", nullptr},
    {"Code999Ean8WhenNoUpcE", "999", false, true, Symbol::Ean8, "000000000999", '*', 7, "",
     nullptr},
    // Thresholds.
    {"ElevenDigitsAllData", "99999999999", false, false, Symbol::Ean13, "099999999999", '*', 3, "",
     nullptr},
    {"TwelveDigitsLastDropped", "100000000000", false, false, Symbol::Ean13, "010000000000", '0', 7,
     "", nullptr},
    {"TwelveDigitsBelowGiven", "999999999998", false, false, Symbol::Ean13, "099999999999", '8', 3,
     "", nullptr},
    {"TwelveNinesCheckGiven", "999999999999", false, false, Symbol::Ean13, "099999999999", '9', 9,
     "", nullptr},
    {"LargestEan8", "9999998", false, true, Symbol::Ean8, "000009999998", '*', 8, "", nullptr},
    {"TooLargeForEan8", "9999999", false, true, Symbol::Ean13, "000009999999", '*', 5, "", nullptr},
    {"FourteenDigitsKeepLastThirteen", "54006381333931", false, false, Symbol::Ean13,
     "400638133393", '1', 1, "", nullptr},
    // Reading the text.
    {"NoNumberUpcE", "abc", true, true, Symbol::UpcE, "000000000000", '*', 0, "000000", nullptr},
    {"NoNumberEan8", "", false, true, Symbol::Ean8, "000000000000", '*', 0, "", nullptr},
    {"NoNumberEan13", "   ", false, false, Symbol::Ean13, "000000000000", '*', 0, "", nullptr},
    {"BlanksInsideIgnored", " 12 345 000 007", false, false, Symbol::Ean13, "012345000007", '*', 6,
     "", nullptr},
    {"StopsAtLetter", "12345000007X9", false, false, Symbol::Ean13, "012345000007", '*', 6, "",
     nullptr},
    {"FractionRoundsUp", "12345000006.5", false, false, Symbol::Ean13, "012345000007", '*', 6, "",
     nullptr},
    // Rounding decides the threshold: 99999999999.5 shows as twelve digits.
    {"FractionCrossesThreshold", "99999999999.5", false, false, Symbol::Ean13, "010000000000", '0',
     7, "", nullptr},
    {"NegativeReadsAsDigits", "-5", false, false, Symbol::Ean13, "000000000005", '*', 5, "",
     nullptr},
    {"LargeNumberKeepsLastDigits", "1E20", false, false, Symbol::Ean13, "000000000000", '0', 0, "",
     nullptr},
};

class SymbolTest : public ::testing::TestWithParam<SymbolCase> {};

TEST_P(SymbolTest, DigitsCheckDigitAndPattern) {
  const SymbolCase& c = GetParam();
  const BarcodeJob job = Prepared(c.code, c.allowUpcE, c.allowEan8);
  EXPECT_EQ(SymbolOf(job), c.symbol);
  EXPECT_EQ(job.DataDigits, c.data);
  EXPECT_EQ(job.CheckMarker, c.marker);
  EXPECT_EQ(job.CheckDigit, c.check);
  EXPECT_EQ(job.CheckDigitText, std::to_string(c.check));
  if (c.symbol == Symbol::UpcE) {
    EXPECT_EQ(job.UpcEDigits, c.upcE);
  }
  if (c.pattern) {
    EXPECT_EQ(job.Pattern, c.pattern);
  }
  const int modules[] = {95, 67, 51};
  EXPECT_EQ(test::ModuleCount(job.Pattern), modules[static_cast<int>(c.symbol)]);
}

INSTANTIATE_TEST_SUITE_P(Codes, SymbolTest, ::testing::ValuesIn(kSymbolCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The groups follow the data digits: EAN-13 by position, EAN-8 from digit 6 on.
TEST(PrepareBarcodeDigits, GroupsOfEan13AndEan8) {
  BarcodeJob job;
  PrepareBarcodeDigits(job, "4006381333931", true, true);
  EXPECT_EQ(job.LeadPair, "40");
  EXPECT_EQ(job.FirstDigit, "4");
  EXPECT_EQ(job.LeftFirst, "0");
  EXPECT_EQ(job.LeftRest, "06381");
  EXPECT_EQ(job.RightDigits, "33393");

  PrepareBarcodeDigits(job, "9638507", false, true);
  EXPECT_EQ(job.LeadPair, "00");
  EXPECT_EQ(job.FirstDigit, "9");
  EXPECT_EQ(job.LeftFirst, "9");
  EXPECT_EQ(job.LeftRest, "638");
  EXPECT_EQ(job.RightDigits, "507");
  EXPECT_EQ(job.DataDigits, "000009638507");
}

// A record reused for the next symbol carries nothing of the last one over.
TEST(PrepareBarcodeDigits, ReusedRecordForgetsThePreviousSymbol) {
  BarcodeJob job;
  PrepareBarcodeDigits(job, "999", true, true);
  ASSERT_TRUE(job.IsUpcE);
  PrepareBarcodeDigits(job, "4006381333931", true, true);
  EXPECT_FALSE(job.IsUpcE);
  EXPECT_FALSE(job.IsEan8);
  EXPECT_EQ(job.UpcEDigits, "");
  BuildBarPattern(job);
  EXPECT_EQ(job.Pattern.size(), 117u);
}

TEST(PrepareBarcodeDigits, NumberBeyondDoubleRangeIsOverflow) {
  BarcodeJob job;
  EXPECT_THROW(PrepareBarcodeDigits(job, "1E999", true, true), OverflowError);
}

// ---------------------------------------------------------------------------------------
// The tables, spot-checked against the symbology's own figures.

TEST(DigitWidthGroup, SetsAAndBAreMirrorsOfEachOther) {
  // Set B is set A's right half read backwards (the even-parity mirror image).
  for (int digit = 0; digit <= 9; ++digit) {
    SCOPED_TRACE(digit);
    const std::string a = DigitWidthGroup(digit, true);
    const std::string b = DigitWidthGroup(digit, false);
    ASSERT_EQ(a.size(), 7u);
    EXPECT_EQ(std::string(a.rbegin(), a.rend()), b);
    EXPECT_EQ(test::ModuleCount(a), 7);
  }
  EXPECT_EQ(DigitWidthGroup(0, true), "3-2-1-1");
  EXPECT_EQ(DigitWidthGroup(6, false), "4-1-1-1");
  EXPECT_EQ(DigitWidthGroup(-1, true), "");
  EXPECT_EQ(DigitWidthGroup(10, false), "");
}

TEST(UpcEParityIsOdd, RowsAndOutsideValues) {
  struct Row {
    int check;
    const char* parity;  // positions 1..6, O = odd
  };
  const Row rows[] = {{0, "EEEOOO"}, {5, "EOOEEO"}, {9, "EOOEOE"}};
  for (const Row& row : rows) {
    for (int position = 1; position <= 6; ++position) {
      SCOPED_TRACE(testing::Message() << row.check << "/" << position);
      EXPECT_EQ(UpcEParityIsOdd(row.check, position), row.parity[position - 1] == 'O');
    }
  }
  EXPECT_FALSE(UpcEParityIsOdd(-1, 4));
  EXPECT_FALSE(UpcEParityIsOdd(10, 4));
  EXPECT_FALSE(UpcEParityIsOdd(0, 0));
  EXPECT_FALSE(UpcEParityIsOdd(0, 7));
}

// ---------------------------------------------------------------------------------------
// The station's path: EAN-13 only, the check digit decided from CheckMarker.

struct StationCase {
  const char* name;
  const char* code;
  int stationCheck;  // FromMarker
  int runnerCheck;   // Prepared
};

const StationCase kStationCases[] = {
    {"ElevenDigitsComputed", "12345000007", 6, 6},
    {"TwelveDigitsKeepLastDigit", "123456789015", 5, 2},
    {"ThirteenDigitsUnverified", "4006381333932", 2, 2},
};

class StationVariantTest : public ::testing::TestWithParam<StationCase> {};

TEST_P(StationVariantTest, CheckDigitFromMarker) {
  const StationCase& c = GetParam();
  BarcodeJob station;
  PrepareBarcodeDigits(station, c.code, false, false);
  station.CheckDigit = -7;  // whatever was left from before
  BuildBarPattern(station, CheckDigitSource::FromMarker);
  EXPECT_EQ(station.CheckDigit, c.stationCheck);
  EXPECT_EQ(station.CheckDigitText, std::to_string(c.stationCheck));
  EXPECT_EQ(station.Pattern.size(), 117u);

  const BarcodeJob runner = Prepared(c.code, false, false);
  EXPECT_EQ(runner.CheckDigit, c.runnerCheck);
  // Same digits, so the patterns differ at most in the check digit's group.
  EXPECT_EQ(station.Pattern.substr(0, 103), runner.Pattern.substr(0, 103));
}

INSTANTIATE_TEST_SUITE_P(Codes, StationVariantTest, ::testing::ValuesIn(kStationCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The station fills the groups itself for a price-embedded number and ignores the flags.
TEST(StationVariant, FilledGroupsAreAlwaysEan13) {
  BarcodeJob job;
  job.LeadPair = "02";
  job.FirstDigit = "0";
  job.LeftFirst = "2";
  job.LeftRest = "10123";
  job.RightDigits = "00599";
  job.CheckMarker = '*';
  job.IsUpcE = true;
  job.IsEan8 = true;
  BuildBarPattern(job, CheckDigitSource::FromMarker);
  EXPECT_EQ(job.CheckDigit, 2);  // over 021012300599
  EXPECT_EQ(job.Pattern.size(), 117u);
  // FirstDigit 0: the whole left half is set A, so the groups read straight from set A.
  EXPECT_EQ(job.Pattern.substr(6, 8 * 6 - 1),
            DigitWidthGroup(2, true) + "-" + DigitWidthGroup(1, true) + "-" +
                DigitWidthGroup(0, true) + "-" + DigitWidthGroup(1, true) + "-" +
                DigitWidthGroup(2, true) + "-" + DigitWidthGroup(3, true));
}

// Damaged fields set by hand still give a whole symbol, never a short or broken one.
TEST(BuildBarPattern, DamagedFieldsGiveFullLengthPatterns) {
  struct Row {
    const char* name;
    bool upcE, ean8;
    int checkDigit;
    int length;
  };
  const Row rows[] = {{"Ean13", false, false, 42, 117},
                      {"Ean8", false, true, -3, 85},
                      {"UpcE", true, false, 12, 65}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    BarcodeJob job;
    job.FirstDigit = "";
    job.LeftFirst = "x";
    job.LeftRest = "1";
    job.RightDigits = "123456789";
    job.UpcEDigits = "\xff";
    job.IsUpcE = row.upcE;
    job.IsEan8 = row.ean8;
    job.CheckDigit = row.checkDigit;
    BuildBarPattern(job);
    EXPECT_EQ(static_cast<int>(job.Pattern.size()), row.length);
    EXPECT_FALSE(test::PatternWidths(job.Pattern).empty());
  }
}

}  // namespace
}  // namespace corvel
