// Random codes and random bytes through the encoder: always a whole, well-formed symbol.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "barcode/barcode_job.h"
#include "common/errors.h"
#include "common/number_text.h"
#include "tests/barcode/pattern_checks.h"

namespace corvel {
namespace {

// Every flag combination and both check-digit sources. False when the text read as a
// number beyond the range of a double (the one failure allowed).
bool EncodesEveryWay(const std::string& code) {
  for (int flags = 0; flags < 4; ++flags) {
    for (CheckDigitSource source : {CheckDigitSource::Prepared, CheckDigitSource::FromMarker}) {
      BarcodeJob job;
      try {
        PrepareBarcodeDigits(job, code, flags & 1, flags & 2);
      } catch (const OverflowError&) {
        return false;
      }
      BuildBarPattern(job, source);
      const bool ean13 = source == CheckDigitSource::FromMarker || (!job.IsUpcE && !job.IsEan8);
      const std::size_t length = ean13 ? 117 : job.IsUpcE ? 65 : 85;
      const int modules = ean13 ? 95 : job.IsUpcE ? 51 : 67;
      EXPECT_EQ(job.Pattern.size(), length);
      EXPECT_EQ(test::ModuleCount(job.Pattern), modules);  // 0 when malformed
      EXPECT_EQ(job.DataDigits.find_first_not_of("0123456789"), std::string::npos);
      EXPECT_TRUE(job.CheckDigit >= 0 && job.CheckDigit <= 9);
      if (::testing::Test::HasFailure()) {
        ADD_FAILURE() << "code field \"" << code << "\" flags " << flags;
        return true;
      }
    }
  }
  return true;
}

std::string RandomText(std::mt19937& random, const std::string& alphabet, int maxLength) {
  std::string text(random() % (maxLength + 1), '\0');
  // Half the characters from those numbers are made of, to reach the deeper paths.
  for (char& c : text)
    c = random() % 2 ? alphabet[random() % alphabet.size()] : static_cast<char>(random());
  return text;
}

TEST(EncoderFuzz, RandomDigitCodesAreValidSymbols) {
  std::mt19937 random(20261207);
  for (int n = 0; n < 5000 && !HasFailure(); ++n) {
    std::string code(1 + random() % 14, '0');
    for (char& c : code)
      c = static_cast<char>('0' + random() % 10);
    EncodesEveryWay(code);
    BarcodeJob job;
    PrepareBarcodeDigits(job, code, true, true);
    // Below twelve nines the check digit is computed, so the full number is valid.
    if (ReadLeadingNumber(code) < 999999999999.0) {
      EXPECT_EQ(ComputeCheckDigit(job.DataDigits), job.CheckDigit) << code;
    }
  }
}

TEST(EncoderFuzz, RandomBytesNeverBreakTheSymbol) {
  std::mt19937 random(7);
  int overflows = 0;
  for (int n = 0; n < 20000 && !HasFailure(); ++n)
    overflows += !EncodesEveryWay(RandomText(random, "0123456789 \t\n+-.eEdD&hHoO*", 64));
  EXPECT_LT(overflows, 200);  // random text rarely reads beyond a double
}

TEST(EncoderFuzz, NumbersAtTheEdgesOfADouble) {
  for (const char* code : {"1.7976931348623157E308", "-1.7976931348623157E308", "4.9E-324", "1D308",
                           "&HFFFFFFFFFFFFFFFFFFFF", "&O7777777777777777777777777",
                           "9999999999999999999999999999999", "0.49999999999999994", "-0"})
    EXPECT_TRUE(EncodesEveryWay(code)) << code;
  EXPECT_FALSE(EncodesEveryWay("1E309"));
}

}  // namespace
}  // namespace corvel
