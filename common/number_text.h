#pragma once
// Numbers written as text and read from text, the way every program here does it:
// leading-number reading, the general number form, the fixed number patterns and
// whole-number conversion.
#include <cstdint>
#include <string>
#include <string_view>

namespace corvel {

// Reads the number at the start of `text`. Blanks, tabs and line feeds are ignored
// wherever they stand; then an optional sign, digits with at most one period as the
// decimal separator and an optional exponent (E or D, optional sign, digits), or the
// prefixes &H (hexadecimal) and &O (octal). Reading stops at the first character that
// does not fit; text without a number reads as 0.
// Throws OverflowError when the number is beyond the range of a double.
double ReadLeadingNumber(std::string_view text);

// Shortest decimal form with up to 15 significant digits: "1234", "12.5", "0.5", "-3",
// exponent form ("1E+15", "1E-05") outside 1E-4 <= |v| < 1E15. Zero is "0".
std::string GeneralNumber(double value);

// Formats `value` with a number pattern such as "#0.00", "##0.000", "00000", "$0.00"
// or "#0.000 KG": "0" is a digit always shown, "#" a digit shown only when
// significant, "." the decimal point; any other character is copied. The value is
// rounded to the pattern's decimals, a half away from zero (judged on the value's
// 15-significant-digit decimal form, so 2.675 gives 2.68). Negative values get a
// leading minus unless they round to zero. Throws OverflowError for inf or NaN.
std::string FormatNumber(double value, std::string_view pattern);

// Nearest whole number, a half going to the even neighbour (6.5 -> 6, 7.5 -> 8).
double RoundHalfEven(double value);

// Whole-number conversion into a 16-bit value: RoundHalfEven, then OverflowError when
// the result lies outside -32768..32767 (or the value is not a number).
std::int16_t ToInt16(double value);

// The same for 32-bit values.
std::int32_t ToInt32(double value);

}  // namespace corvel
