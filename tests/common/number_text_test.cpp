// Reading numbers from text and writing them back, as labels, product boxes and
// settings do.
#include "common/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "common/errors.h"

namespace corvel {
namespace {

struct ReadCase {
  const char* name;
  std::string text;
  double expected;
};

TEST(ReadLeadingNumber, Table) {
  const ReadCase cases[] = {
      {"empty", "", 0},
      {"letters only", "abc", 0},
      {"plain whole number", "12", 12},
      {"blanks around", "  12  ", 12},
      {"blanks inside the digits", "1 2 3", 123},
      {"tabs and line feeds inside", "\t1\n2", 12},
      {"blank inside the fraction", "1. 5", 1.5},
      {"carriage return is not a blank", "\r5", 0},
      {"stops at letters", "12abc", 12},
      {"scale reading with unit", "1.235 KG", 1.235},
      {"minus sign", "-5", -5},
      {"plus sign", "+5", 5},
      {"blank between sign and digits", "- 5", -5},
      {"two signs", "--5", 0},
      {"sign alone", "-", 0},
      {"second period ends the number", "1.5.2", 1.5},
      {"bare fraction", ".5", 0.5},
      {"trailing period", "5.", 5},
      {"period alone", ".", 0},
      {"comma is no separator", "1,234", 1},
      {"currency sign first", "$5", 0},
      {"exponent E", "1E3", 1000},
      {"exponent lower case", "1e3", 1000},
      {"exponent D", "1D2", 100},
      {"negative exponent", "2.5E-1", 0.25},
      {"exponent with blanks", "1 E 2", 100},
      {"exponent without digits", "1E", 1},
      {"exponent sign without digits", "1E+", 1},
      {"exponent followed by letters", "7E+x", 7},
      {"hexadecimal", "&HFF", 255},
      {"hexadecimal lower case", "&hff", 255},
      {"hexadecimal stops at non-digit", "&H1G", 1},
      {"hexadecimal without digits", "&HZZ", 0},
      {"octal", "&O17", 15},
      {"octal stops at 8", "&O18", 1},
      {"negative hexadecimal", "-&H10", -16},
      {"ampersand alone", "&", 0},
      {"underflow reads as zero", "1E-400", 0},
      {"leading zeros", "000123", 123},
      {"thirteen digit code", "1234567890128", 1234567890128.0},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_DOUBLE_EQ(ReadLeadingNumber(c.text), c.expected);
  }
}

TEST(ReadLeadingNumber, NumbersBeyondDoubleRangeAreOverflow) {
  EXPECT_THROW(ReadLeadingNumber("1E400"), OverflowError);
  EXPECT_THROW(ReadLeadingNumber("-1D999"), OverflowError);
  EXPECT_THROW(ReadLeadingNumber("&H" + std::string(300, 'F')), OverflowError);
}

TEST(GeneralNumber, Table) {
  const struct {
    double value;
    const char* expected;
  } cases[] = {
      {0, "0"},
      {-0.0, "0"},
      {1234, "1234"},
      {12.5, "12.5"},
      {0.5, "0.5"},
      {-3, "-3"},
      {1.235 - 0.015, "1.22"},  // binary noise is not shown
      {0.1 + 0.2, "0.3"},
      {12.99, "12.99"},
      {123456789012345.0, "123456789012345"},
      {1e15, "1E+15"},
      {0.0001, "0.0001"},
      {0.00001, "1E-05"},
      {-2.5e-7, "-2.5E-07"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(GeneralNumber(c.value), c.expected);
  }
}

TEST(FormatNumber, Table) {
  const struct {
    double value;
    const char* pattern;
    const char* expected;
  } cases[] = {
      {2.456, "##0.00", "2.46"},
      {0, "#0.00", "0.00"},
      {0.5, "#0.00", "0.50"},
      {15.8478, "#0.00", "15.85"},
      {12.99 * 1.22, "#0.00", "15.85"},
      {2.675, "#0.00", "2.68"},       // binary 2.67499999... still rounds up
      {2.01 * 1.5, "#0.00", "3.02"},  // 3.0149999999999997 in binary
      {0.125, "#0.00", "0.13"},       // a half goes away from zero
      {-0.125, "#0.00", "-0.13"},
      {-0.004, "#0.00", "0.00"},  // no minus on a value that rounds to zero
      {1000, "##0.00", "1000.00"},
      {1.235, "#0.000 KG", "1.235 KG"},
      {-0.005, "#0.000 KG", "-0.005 KG"},
      {0, "#0.000 KG", "0.000 KG"},
      {0.1234, "##0.000", "0.123"},
      {2, "##0.000", "2.000"},
      {1.5, "00000", "00002"},
      {2.5, "00000", "00003"},
      {12, "00000", "00012"},
      {9998.7, "00000", "09999"},
      {12345678901234.0, "00000", "12345678901234"},
      {1234567890123456.0, "00000", "1234567890123456"},
      {12.5, "$0.00", "$12.50"},
      {-1.5, "$0.00", "-$1.50"},
      {0.999, "#0.00", "1.00"},
      {99.995, "#0.00", "100.00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.pattern) + " " + c.expected);
    EXPECT_EQ(FormatNumber(c.value, c.pattern), c.expected);
  }
}

TEST(FormatNumber, NonFiniteValuesAreOverflow) {
  EXPECT_THROW(FormatNumber(std::numeric_limits<double>::infinity(), "#0.00"), OverflowError);
  EXPECT_THROW(FormatNumber(std::nan(""), "00000"), OverflowError);
}

TEST(WholeNumbers, HalvesGoToTheEvenNeighbour) {
  const struct {
    double value;
    double expected;
  } cases[] = {{6.5, 6},     {7.5, 8},     {-6.5, -6},     {-7.5, -8}, {750.5, 750},
               {751.5, 752}, {0.49999, 0}, {2.5000001, 3}, {-0.5, 0}};
  for (const auto& c : cases)
    EXPECT_EQ(RoundHalfEven(c.value), c.expected) << c.value;
}

TEST(WholeNumbers, SixteenBitLimits) {
  const struct {
    double value;
    bool fits;
    int expected;
  } cases[] = {
      {32767, true, 32767},   {32767.4, true, 32767},   {32767.5, false, 0}, {32768, false, 0},
      {-32768, true, -32768}, {-32768.5, true, -32768}, {-32769, false, 0},  {40000, false, 0},
      {750.5, true, 750},     {std::nan(""), false, 0}, {1e300, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    if (c.fits)
      EXPECT_EQ(ToInt16(c.value), c.expected);
    else
      EXPECT_THROW(ToInt16(c.value), OverflowError);
  }
  EXPECT_THROW(ToInt32(3e9), OverflowError);
  EXPECT_EQ(ToInt32(-2147483648.0), std::numeric_limits<std::int32_t>::min());
}

// Random text of up to 64 bytes, NUL, control characters and high bytes included:
// reading never crashes; a result is finite or the read is an overflow, and whatever
// is read can be written back in every pattern.
TEST(NumberTextFuzz, RandomTextNeverCrashes) {
  std::mt19937 random(20261207);
  const std::string alphabet = std::string("0123456789.+-eEdD&HhOo \t\n\r,$KG", 31) + '\0';
  for (int i = 0; i < 20000; ++i) {
    std::string text(random() % 65, '\0');
    for (char& c : text)
      c = random() % 2 ? alphabet[random() % alphabet.size()] : static_cast<char>(random() % 256);
    try {
      const double value = ReadLeadingNumber(text);
      ASSERT_TRUE(std::isfinite(value)) << text;
      for (const char* pattern : {"#0.00", "##0.000", "00000", "$0.00", "#0.000 KG"})
        EXPECT_FALSE(FormatNumber(value, pattern).empty());
      EXPECT_FALSE(GeneralNumber(value).empty());
    } catch (const OverflowError&) {
    }
  }
}

}  // namespace
}  // namespace corvel
