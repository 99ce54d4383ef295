// The encoder against published vectors, the worked examples and its threshold rules
// (that any input makes a whole symbol is the barcode fuzz target's).
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "barcode/barcode_job.h"

namespace corvel {
namespace {

// The modules of a width pattern; 0 when it is not well formed (widths "1".."4" at even
// indices, "-" between them, odd length).
int ModuleCount(const std::string& pattern) {
  int modules = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (i % 2 == 1 ? c != '-' : c < '1' || c > '4') return 0;
    if (i % 2 == 0) modules += c - '0';
  }
  return pattern.size() % 2 ? modules : 0;
}

// Data digits, check marker, check digit, symbol, UPC-E digits and modules, as one line.
std::string Summary(const BarcodeJob& job) {
  const char* symbol = job.IsUpcE ? " UPC-E " : (job.IsEan8 ? " EAN-8" : " EAN-13");
  return job.DataDigits + " " + job.CheckMarker + " " + std::to_string(job.CheckDigit) + symbol +
         job.UpcEDigits + " " + std::to_string(ModuleCount(job.Pattern));
}

TEST(CheckDigit, PublishedVectors) {
  const std::pair<const char*, int> cases[] = {
      {"400638133393", 1},  // GS1 EAN-13 example 4006381333931
      {"003600029145", 2},  // UPC-A 036000291452, zero-padded
      {"000009638507", 4},  // EAN-8 96385074, zero-padded
      {"000000000000", 0},  // sum 0 gives 0, not 10
      {"4x0638133393", 1},  // a non-digit counts as 0
      {"4006381", 0},       // missing digits count as 0
  };
  for (const auto& [data, check] : cases)
    EXPECT_EQ(ComputeCheckDigit(data), check) << data;
}

TEST(PrepareAndBuild, DigitsCheckDigitAndPattern) {
  struct Case {
    const char* code;
    bool allowUpcE, allowEan8;
    const char* summary;
  };
  const Case cases[] = {
      // Worked examples (what the bars say, zbar reads in draw_bars_test.cpp).
      {"12345000007", true, true, "012345000007 * 6 EAN-13 95"},
      {"1230000045", true, true, "001230000045 * 1 UPC-E 123453 51"},
      {"1234567", true, true, "000001234567 * 0 EAN-8 67"},
      // A published EAN-13 with its check digit: the given digit is kept.
      {"4006381333931", true, true, "400638133393 1 1 EAN-13 95"},
      // UPC-A 012345000065 <-> UPC-E 0-123456-5.
      {"1234500006", true, false, "001234500006 * 5 UPC-E 123456 51"},
      // UPC-A 042100005264 is UPC-E 0-425261-4 elsewhere; here the manufacturer group
      // must be 00000, 00100 or 00200.
      {"4210000526", true, false, "004210000526 * 4 EAN-13 95"},
      {"10000555", true, false, "000010000555 * 4 UPC-E 005551 51"},
      {"1234000007", true, false, "001234000007 * 7 UPC-E 123474 51"},  // rule four
      {"1234500004", true, false, "001234500004 * 1 EAN-13 95"},        // rule five needs over 4
      {"10000000055", true, false, "010000000055 * 7 EAN-13 95"},       // number system 1
      {"999", true, true, "000000000999 * 7 UPC-E 009990 51"},          // UPC-E before EAN-8
      // Thresholds.
      {"99999999999", false, false, "099999999999 * 3 EAN-13 95"},
      {"100000000000", false, false, "010000000000 0 7 EAN-13 95"},  // last digit dropped
      {"999999999998", false, false, "099999999999 8 3 EAN-13 95"},  // check computed
      {"999999999999", false, false, "099999999999 9 9 EAN-13 95"},  // check given
      {"9999998", false, true, "000009999998 * 8 EAN-8 67"},
      {"9999999", false, true, "000009999999 * 5 EAN-13 95"},
      {"54006381333931", false, false, "400638133393 1 1 EAN-13 95"},
      // Reading the text: the rounded value decides the threshold; a minus reads as 0.
      {"99999999999.5", false, false, "010000000000 0 7 EAN-13 95"},
      {"99999999999.4", false, false, "099999999999 * 3 EAN-13 95"},
      {"-5", false, false, "000000000005 * 5 EAN-13 95"},
  };
  for (const Case& c : cases) {
    BarcodeJob job;
    PrepareBarcodeDigits(job, c.code, c.allowUpcE, c.allowEan8);
    BuildBarPattern(job);
    EXPECT_EQ(Summary(job), c.summary) << c.code;
    EXPECT_EQ(job.CheckDigitText, std::to_string(job.CheckDigit));
  }
}

// The station's path: EAN-13 only, the check digit decided from CheckMarker.
TEST(StationVariant, CheckDigitFromMarker) {
  const struct {
    const char* code;
    int stationCheck, runnerCheck;
  } rows[] = {
      // '*': computed by both.
      {.code = "12345000007", .stationCheck = 6, .runnerCheck = 6},
      // Twelve digits: FromMarker keeps the 5 that came with the code.
      {.code = "123456789015", .stationCheck = 5, .runnerCheck = 2},
      // Thirteen digits: used unverified.
      {.code = "4006381333932", .stationCheck = 2, .runnerCheck = 2},
  };
  for (const auto& [code, stationCheck, runnerCheck] : rows) {
    BarcodeJob station, runner;
    PrepareBarcodeDigits(station, code, false, true);
    PrepareBarcodeDigits(runner, code, false, false);
    station.CheckDigit = -7;  // left over from before
    BuildBarPattern(station, CheckDigitSource::FromMarker);
    BuildBarPattern(runner);
    EXPECT_EQ(station.CheckDigit, stationCheck) << code;
    EXPECT_EQ(station.CheckDigitText, std::to_string(stationCheck)) << code;
    EXPECT_EQ(runner.CheckDigit, runnerCheck) << code;
    // Same data digits: the patterns differ at most in the check digit's group.
    EXPECT_EQ(station.Pattern.substr(0, 103), runner.Pattern.substr(0, 103));
  }
  // Groups the station fills itself (a price-embedded number); the flags are ignored.
  BarcodeJob job;
  std::tie(job.FirstDigit, job.LeftFirst, job.LeftRest, job.RightDigits) =
      std::tuple("0", "2", "10123", "00599");
  job.IsUpcE = job.IsEan8 = true;
  BuildBarPattern(job, CheckDigitSource::FromMarker);
  EXPECT_EQ(job.CheckDigit, 2);  // over 021012300599
  EXPECT_EQ(ModuleCount(job.Pattern), 95);
}

}  // namespace
}  // namespace corvel
