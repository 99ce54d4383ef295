#include "common/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

#include "common/errors.h"

// Every conversion here goes through std::from_chars and std::to_chars, which always use
// the period and never look at the C locale: the window toolkit sets the user's locale at
// start-up, and under a decimal-comma locale strtod would read "1.235" as 1 and printf
// would write "1,5".

namespace corvel {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}

// `text` with blanks removed: they are ignored wherever they stand, so "1 2.5" reads
// as 12.5.
std::string WithoutBlanks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (!IsBlank(c)) out.push_back(c);
  return out;
}

// The value of `c` as a digit in `base` (letters of either case above 9), -1 when none.
int DigitInBase(char c, int base) {
  int v = -1;
  if (c >= '0' && c <= '9')
    v = c - '0';
  else if (c >= 'a' && c <= 'f')
    v = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F')
    v = c - 'A' + 10;
  return v >= 0 && v < base ? v : -1;
}

double ReadRadix(const std::string& s, std::size_t pos, int base) {
  double value = 0;
  for (; pos < s.size(); ++pos) {
    const int d = DigitInBase(s[pos], base);
    if (d < 0) break;
    value = value * base + d;
  }
  return value;
}

// A decimal number as a digit string and the power of ten of its first digit.
struct Decimal {
  bool negative = false;
  std::string digits;  // no leading zeros; empty for zero
  int exponent = 0;    // value = 0.d1d2d3... x 10^exponent
};

// `value` written by to_chars into `buffer`, as the C library writes it in the C locale
// with the given format and precision.
std::string_view WriteChars(char (&buffer)[400], double value, std::chars_format format,
                            int precision) {
  const std::to_chars_result r =
      std::to_chars(buffer, buffer + sizeof buffer, value, format, precision);
  return std::string_view(buffer, r.ptr - buffer);
}

Decimal ToDecimal(double value) {
  Decimal d;
  d.negative = std::signbit(value);
  const double magnitude = std::fabs(value);
  if (magnitude == 0) return d;
  char buffer[400];
  if (magnitude < 1e15) {
    // 15 significant digits, so the noise of binary fractions (2.675, 3.0149999...)
    // does not decide a rounding: "2.67500000000000e+00".
    const std::string_view text = WriteChars(buffer, magnitude, std::chars_format::scientific, 14);
    const std::size_t e = text.find('e');
    for (char c : text.substr(0, e))
      if (c != '.') d.digits.push_back(c);
    const bool negativeExponent = text[e + 1] == '-';
    int exponent = 0;
    std::from_chars(text.data() + e + 2, text.data() + text.size(), exponent);
    d.exponent = (negativeExponent ? -exponent : exponent) + 1;
  } else {
    // Large values are whole numbers: every digit of the double counts (codes).
    d.digits = WriteChars(buffer, magnitude, std::chars_format::fixed, 0);
    d.exponent = static_cast<int>(d.digits.size());
  }
  while (!d.digits.empty() && d.digits.back() == '0')
    d.digits.pop_back();
  return d;
}

// For a decimal number that from_chars found out of range: whether it is too large
// (rather than too small). Judged on the power of ten of its first significant digit.
bool MagnitudeIsLarge(std::string_view number) {
  const std::size_t e = number.find('e');
  const std::string_view mantissa = number.substr(0, e);
  const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
  const std::size_t first = mantissa.find_first_of("123456789");
  if (first == std::string_view::npos) return false;
  // The power of ten of the first significant digit, plus the exponent (held at a
  // billion so that an absurdly long one cannot overflow).
  long long power = first < point ? static_cast<long long>(point - first) - 1
                                  : -static_cast<long long>(first - point);
  if (e != std::string_view::npos) {
    std::size_t i = e + 1;
    const bool negativeExponent = i < number.size() && number[i] == '-';
    if (i < number.size() && (number[i] == '+' || number[i] == '-')) ++i;
    long long exponent = 0;
    for (; i < number.size(); ++i)
      exponent = std::min(exponent * 10 + (number[i] - '0'), 1'000'000'000LL);
    power += negativeExponent ? -exponent : exponent;
  }
  return power > 0;
}

// Rounds to `decimals` places, a half away from zero; returns integer and fraction
// digit strings (integer part without leading zeros, possibly empty).
void RoundDecimal(const Decimal& d, int decimals, std::string& integer, std::string& fraction) {
  // Digits of the value at positions ... 10^1 10^0 . 10^-1 ... 10^-decimals.
  const int intDigits = std::max(d.exponent, 0);
  std::string all;  // integer digits followed by `decimals` fraction digits
  for (int i = 0; i < intDigits; ++i) {
    const int index = i - (intDigits - d.exponent);
    all.push_back(index >= 0 && index < static_cast<int>(d.digits.size()) ? d.digits[index] : '0');
  }
  for (int k = 1; k <= decimals; ++k) {
    const int index = d.exponent - 1 + k;  // digit at 10^-k
    all.push_back(index >= 0 && index < static_cast<int>(d.digits.size()) ? d.digits[index] : '0');
  }
  const int nextIndex = d.exponent + decimals;  // the first digit dropped
  const bool roundUp =
      nextIndex >= 0 && nextIndex < static_cast<int>(d.digits.size()) && d.digits[nextIndex] >= '5';
  if (roundUp) {
    int i = static_cast<int>(all.size()) - 1;
    while (i >= 0 && all[i] == '9')
      all[i--] = '0';
    if (i >= 0)
      ++all[i];
    else
      all.insert(all.begin(), '1');
  }
  integer = all.substr(0, all.size() - decimals);
  fraction = all.substr(all.size() - decimals);
  const std::size_t first = integer.find_first_not_of('0');
  integer = first == std::string::npos ? std::string() : integer.substr(first);
}

}  // namespace

double ReadLeadingNumber(std::string_view text) {
  const std::string s = WithoutBlanks(text);
  std::size_t pos = 0;
  bool negative = false;
  if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) negative = s[pos++] == '-';

  if (pos + 1 < s.size() && s[pos] == '&') {
    const char kind = s[pos + 1];
    double value = 0;
    if (kind == 'H' || kind == 'h')
      value = ReadRadix(s, pos + 2, 16);
    else if (kind == 'O' || kind == 'o')
      value = ReadRadix(s, pos + 2, 8);
    if (std::isinf(value)) throw OverflowError("number too large: " + std::string(text));
    return negative ? -value : value;
  }

  // Collect the longest prefix that forms a decimal number, in the syntax from_chars reads.
  std::string number;
  bool sawDigit = false;
  for (; pos < s.size() && s[pos] >= '0' && s[pos] <= '9'; ++pos, sawDigit = true)
    number.push_back(s[pos]);
  if (pos < s.size() && s[pos] == '.') {
    number.push_back('.');
    for (++pos; pos < s.size() && s[pos] >= '0' && s[pos] <= '9'; ++pos, sawDigit = true)
      number.push_back(s[pos]);
  }
  if (!sawDigit) return 0;
  if (pos < s.size() && (s[pos] == 'E' || s[pos] == 'e' || s[pos] == 'D' || s[pos] == 'd')) {
    std::size_t p = pos + 1;
    std::string exponent = "e";
    if (p < s.size() && (s[p] == '+' || s[p] == '-')) exponent.push_back(s[p++]);
    const std::size_t digitsStart = p;
    while (p < s.size() && s[p] >= '0' && s[p] <= '9')
      exponent.push_back(s[p++]);
    if (p > digitsStart) number += exponent;
  }
  double value = 0;
  const std::from_chars_result r =
      std::from_chars(number.data(), number.data() + number.size(), value);
  if (r.ec == std::errc::result_out_of_range) {
    // Beyond the range of a double: too small reads as 0, too large is an overflow.
    if (MagnitudeIsLarge(number)) throw OverflowError("number too large: " + std::string(text));
    value = 0;
  }
  return negative ? -value : value;
}

std::string GeneralNumber(double value) {
  if (value == 0) return "0";
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "Infinity" : "-Infinity";
  // As printf's "%.15G" writes it in the C locale: two-digit exponents at least
  // ("1E+15", "1E-05"), exponent form outside 1E-4 <= |v| < 1E15.
  char buffer[400];
  std::string text(WriteChars(buffer, value, std::chars_format::general, 15));
  std::replace(text.begin(), text.end(), 'e', 'E');
  return text;
}

std::string FormatNumber(double value, std::string_view pattern) {
  if (!std::isfinite(value)) throw OverflowError("cannot format a value that is not finite");
  // The numeric part runs from the first to the last of '0', '#' and '.'.
  const std::size_t first = pattern.find_first_of("0#.");
  if (first == std::string_view::npos) return std::string(pattern);
  const std::size_t last = pattern.find_last_of("0#.");
  const std::string_view prefix = pattern.substr(0, first);
  const std::string_view numeric = pattern.substr(first, last - first + 1);
  const std::string_view suffix = pattern.substr(last + 1);

  const std::size_t point = numeric.find('.');
  const std::string_view intPattern = numeric.substr(0, point);
  const std::string_view fracPattern =
      point == std::string_view::npos ? std::string_view() : numeric.substr(point + 1);
  int minInt = 0;
  for (char c : intPattern)
    if (c == '0') ++minInt;
  int decimals = 0, minFrac = 0;
  for (char c : fracPattern) {
    if (c == '0' || c == '#') ++decimals;
    if (c == '0') minFrac = decimals;
  }

  std::string integer, fraction;
  RoundDecimal(ToDecimal(value), decimals, integer, fraction);
  while (static_cast<int>(fraction.size()) > minFrac && fraction.back() == '0')
    fraction.pop_back();
  const bool zero = integer.empty() && fraction.find_first_not_of('0') == std::string::npos;
  while (static_cast<int>(integer.size()) < minInt)
    integer.insert(integer.begin(), '0');

  std::string out;
  if (value < 0 && !zero) out.push_back('-');
  out += prefix;
  out += integer;
  if (!fraction.empty()) out += "." + fraction;
  out += suffix;
  return out;
}

double RoundHalfEven(double value) {
  return std::nearbyint(value);
}

std::int16_t ToInt16(double value) {
  const double r = RoundHalfEven(value);
  if (!(r >= -32768 && r <= 32767)) throw OverflowError("value does not fit 16 bits");
  return static_cast<std::int16_t>(r);
}

std::int32_t ToInt32(double value) {
  const double r = RoundHalfEven(value);
  if (!(r >= -2147483648.0 && r <= 2147483647.0)) throw OverflowError("value does not fit 32 bits");
  return static_cast<std::int32_t>(r);
}

}  // namespace corvel
