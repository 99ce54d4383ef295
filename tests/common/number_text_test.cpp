// Reading numbers and page sizes from text and writing numbers, as labels, product boxes
// and settings do. Read-backs of what is written are held by fuzz/number_text_fuzz.cpp;
// here the rules. Dates after a shelf life: tests/station/label_test.cpp.
#include "common/number_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <tuple>

#include "common/clock.h"
#include "common/errors.h"
#include "common/page_size.h"
#include "tests/support/test_env.h"

namespace corvel {
namespace {

TEST(ReadLeadingNumber, Table) {
  // Blanks, tabs and line feeds inside the digits are skipped; carriage return is not a
  // blank; a second period ends the number; tiny values read as 0.
  // clang-format off
  const std::pair<std::string, double> cases[] = {
      {"1 2\t3\n4", 1234}, {"\r5", 0}, {"1.235 KG", 1.235}, {"- 5", -5}, {"--5", 0},
      {"1.5.2", 1.5}, {".5", 0.5}, {"1,234", 1}, {"1D2", 100}, {"2.5E-1", 0.25}, {"1E+", 1},
      {"&hFf", 255}, {"&H1G", 1}, {"-&O17", -15}, {"1E-400", 0},
      {"0." + std::string(400, '0') + "1E+401", 1}, {"1234567890128", 1234567890128.0}};
  // clang-format on
  for (const auto& [text, expected] : cases)
    EXPECT_DOUBLE_EQ(ReadLeadingNumber(text), expected) << text;
  for (const std::string& text : {std::string("1E400"), "&H" + std::string(300, 'F')})
    EXPECT_THROW(ReadLeadingNumber(text), OverflowError) << text;
}

// "" is the general form, which shows no binary noise (1.235 - 0.015, 0.1 + 0.2). The
// patterns round binary 2.67499999... and 3.0149999999999997 up, a half away from zero,
// and put no minus on a value that rounds to zero.
TEST(WrittenNumbers, GeneralFormAndPatterns) {
  // clang-format off
  const std::tuple<double, const char*, const char*> cases[] = {
      {-0.0, "", "0"}, {1.235 - 0.015, "", "1.22"}, {0.1 + 0.2, "", "0.3"},
      {123456789012345.0, "", "123456789012345"}, {1e15, "", "1E+15"}, {0.0001, "", "0.0001"},
      {0.00001, "", "1E-05"}, {2.675, "#0.00", "2.68"}, {2.01 * 1.5, "#0.00", "3.02"},
      {-0.125, "#0.00", "-0.13"}, {-0.004, "#0.00", "0.00"}, {-0.005, "#0.000 KG", "-0.005 KG"},
      {2.5, "00000", "00003"}, {-1.5, "$0.00", "-$1.50"}, {99.995, "#0.00", "100.00"}};
  // clang-format on
  for (const auto& [value, pattern, expected] : cases)
    EXPECT_EQ(*pattern ? FormatNumber(value, pattern) : GeneralNumber(value), expected) << value;
  EXPECT_THROW(FormatNumber(std::numeric_limits<double>::infinity(), "#0.00"), OverflowError);
  EXPECT_THROW(FormatNumber(std::nan(""), "00000"), OverflowError);
}

// Halves go to the even neighbour; 16-bit conversion fails outside -32768..32767 (the
// 32-bit limits are held by fuzz/number_text_fuzz.cpp).
TEST(WholeNumbers, HalvesToEvenAndSixteenBitLimits) {
  for (const auto& [value, expected] : {std::pair{6.5, 6.0}, {7.5, 8.0}, {2.5000001, 3.0}})
    EXPECT_EQ(RoundHalfEven(value), expected) << value;
  const std::pair<double, std::optional<int>> cases[] = {
      {32767.4, 32767}, {32767.5, {}}, {-32768.5, -32768}, {-32769, {}}, {std::nan(""), {}}};
  for (const auto& [value, expected] : cases) {
    if (expected)
      EXPECT_EQ(ToInt16(value), *expected) << value;
    else
      EXPECT_THROW(ToInt16(value), OverflowError) << value;
  }
}

TEST(PageSizeText, WidthByHeightInMillimetres) {
  using Size = std::optional<std::pair<double, double>>;
  const std::pair<std::string, Size> rows[] = {{" 62.5X30\t", Size{{62.5, 30}}},
                                               {" 62.5 x 29 ", Size{{62.5, 29}}},
                                               {"10001x5", {}},
                                               {"0x5", {}},
                                               {"62,5x30", {}},
                                               {"60x40x2", {}},
                                               {std::string(30000, '1') + "x40", {}}};
  for (const auto& [text, size] : rows)
    EXPECT_EQ(ParsePageSizeMm(text), size) << text.substr(0, 20);
}

// The window toolkit sets the user's locale at start-up; under a decimal-comma locale the
// C library reads "1.235" as 1 and writes 1.5 as "1,5". The helpers must not follow it.
TEST(NumberTextLocale, DecimalCommaLocaleChangesNothing) {
  const QStringList env = test::DecimalCommaLocale();
  ASSERT_FALSE(env.isEmpty()) << "no de_DE.UTF-8 locale and no localedef (package locales)";
  const std::string oldLocale = std::setlocale(LC_ALL, nullptr);
  for (const QString& entry : env)
    if (entry.startsWith("LOCPATH=")) qputenv("LOCPATH", entry.mid(8).toUtf8());
  ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr);
  ASSERT_EQ(std::strtod("1.235", nullptr), 1);  // the locale really reads with a comma
  const std::pair<std::string, const char*> rows[] = {
      {GeneralNumber(ReadLeadingNumber("-1.235 KG")), "-1.235"},
      {GeneralNumber(ReadLeadingNumber("2.5E-1")), "0.25"},
      {GeneralNumber(-2.5e-7), "-2.5E-07"},
      {FormatNumber(2.675, "#0.00"), "2.68"},
      {FormatShortDate(MakeLocalTime(2026, 12, 7, 10)), "7/12/26"},
  };
  for (const auto& [written, expected] : rows)
    EXPECT_EQ(written, expected);
  std::setlocale(LC_ALL, oldLocale.c_str());
}

}  // namespace
}  // namespace corvel
