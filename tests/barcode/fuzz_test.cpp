// Random codes and random bytes through the encoder: always a whole, well-formed symbol.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "barcode/barcode_job.h"
#include "common/errors.h"
#include "common/number_text.h"
#include "tests/barcode/pattern_checks.h"

namespace corvel {
namespace {

struct Shape {
  std::size_t length;
  int modules;
  int bars;
};

Shape ExpectedShape(const BarcodeJob& job, CheckDigitSource source) {
  if (source == CheckDigitSource::FromMarker || (!job.IsUpcE && !job.IsEan8)) return {117, 95, 30};
  return job.IsUpcE ? Shape{65, 51, 17} : Shape{85, 67, 22};
}

void ExpectWholeSymbol(const BarcodeJob& job, CheckDigitSource source) {
  const Shape shape = ExpectedShape(job, source);
  ASSERT_EQ(job.Pattern.size(), shape.length) << job.Pattern;
  ASSERT_FALSE(test::PatternWidths(job.Pattern).empty()) << job.Pattern;
  EXPECT_EQ(test::ModuleCount(job.Pattern), shape.modules);
  EXPECT_EQ(test::BarCount(job.Pattern), shape.bars);
  EXPECT_GE(job.CheckDigit, 0);
  EXPECT_LE(job.CheckDigit, 9);
}

// Every flag combination and both check-digit sources for one code field. Returns
// false when the text read as a number beyond the range of a double.
bool EncodeEveryWay(const std::string& code) {
  for (int flags = 0; flags < 4; ++flags) {
    for (CheckDigitSource source : {CheckDigitSource::Prepared, CheckDigitSource::FromMarker}) {
      BarcodeJob job;
      try {
        PrepareBarcodeDigits(job, code, flags & 1, flags & 2);
      } catch (const OverflowError&) {
        return false;
      }
      EXPECT_EQ(job.DataDigits.size(), 12u);
      EXPECT_EQ(job.DataDigits.find_first_not_of("0123456789"), std::string::npos);
      BuildBarPattern(job, source);
      ExpectWholeSymbol(job, source);
      if (::testing::Test::HasFailure()) {
        ADD_FAILURE() << "code field \"" << code << "\" flags " << flags;
        return true;
      }
    }
  }
  return true;
}

// Digit strings of 1 to 14 digits: the symbol follows the number's size.
TEST(EncoderFuzz, RandomDigitCodes) {
  std::mt19937 random(20261207);
  for (int n = 0; n < 5000 && !HasFailure(); ++n) {
    const int length = 1 + static_cast<int>(random() % 14);
    std::string code;
    for (int i = 0; i < length; ++i)
      code += static_cast<char>('0' + random() % 10);
    EncodeEveryWay(code);
    BarcodeJob job;
    PrepareBarcodeDigits(job, code, false, false);
    // A check digit computed by the encoder always makes the full number valid.
    if (ReadLeadingNumber(code) < 999999999999.0) {
      EXPECT_EQ(ComputeCheckDigit(job.DataDigits), job.CheckDigit) << code;
    }
  }
}

// Any bytes at all, NUL, control characters and high bytes included.
TEST(EncoderFuzz, RandomBytes) {
  std::mt19937 random(7);
  const std::string alphabet = "0123456789 \t\n+-.eEdD&hHoO*x";
  int overflows = 0;
  for (int n = 0; n < 20000 && !HasFailure(); ++n) {
    const int length = static_cast<int>(random() % 65);
    std::string text;
    for (int i = 0; i < length; ++i) {
      // Half the characters from the ones numbers are made of, to reach deep paths.
      text +=
          random() % 2 ? alphabet[random() % alphabet.size()] : static_cast<char>(random() % 256);
    }
    if (!EncodeEveryWay(text)) ++overflows;
  }
  // Overflow is only for numbers beyond a double; random text hardly ever makes one.
  EXPECT_LT(overflows, 200);
}

// The number reader on the same kind of text: a finite number, or OverflowError.
TEST(ReadLeadingNumberFuzz, FiniteOrOverflow) {
  std::mt19937 random(99);
  const std::string alphabet = "0123456789 \t\n+-.eEdD&hHoOfF";
  for (int n = 0; n < 20000; ++n) {
    const int length = static_cast<int>(random() % 65);
    std::string text;
    for (int i = 0; i < length; ++i)
      text +=
          random() % 3 ? alphabet[random() % alphabet.size()] : static_cast<char>(random() % 256);
    try {
      const double value = ReadLeadingNumber(text);
      ASSERT_TRUE(std::isfinite(value)) << text;
    } catch (const OverflowError&) {
    }
  }
}

// Numbers at the edges of a double either encode or overflow, never anything else.
TEST(EncoderFuzz, ExtremeNumbers) {
  const char* codes[] = {"1.7976931348623157E308",
                         "-1.7976931348623157E308",
                         "4.9E-324",
                         "1D308",
                         "&HFFFFFFFFFFFFFFFFFFFF",
                         "&O7777777777777777777777777",
                         "9999999999999999999999999999999",
                         "0.49999999999999994",
                         "-0"};
  for (const char* code : codes) {
    SCOPED_TRACE(code);
    EXPECT_TRUE(EncodeEveryWay(code));
  }
  EXPECT_FALSE(EncodeEveryWay("1E309"));
}

}  // namespace
}  // namespace corvel
