// From the text of a barcode number to the digit groups and check digit of the symbol
// to print: EAN-13, EAN-8 or UPC-E.
#include <charconv>
#include <cmath>
#include <string>

#include "barcode/barcode_job.h"
#include "barcode/symbology_tables.h"
#include "common/number_text.h"
#include "common/text.h"

namespace corvel {
namespace {

using barcode_detail::DigitAt;

// Codes up to this value carry no check digit: all their digits are data.
constexpr double kLargestWithoutCheckDigit = 99999999999.0;
// From this value up, the code's last digit is its check digit and is used as given.
constexpr double kFirstWithGivenCheckDigit = 999999999999.0;
// Codes below this value fit an EAN-8 symbol.
constexpr double kEan8Limit = 9999999.0;

// Value of a digit field, non-digits counting as 0 (the way its digits are encoded).
double FieldValue(std::string_view field) {
  double value = 0;
  for (char c : field)
    value = value * 10 + DigitValue(c);
  return value;
}

// The whole number the formatted text shows (its fraction already rounded away), so
// every threshold below agrees with the digits actually taken from the text.
double WholeValue(const std::string& formatted, double fallback) {
  double value = fallback;
  const char* first = formatted.data();
  const char* last = first + formatted.size();
  if (std::from_chars(first, last, value).ec != std::errc()) return fallback;
  return value;
}

}  // namespace

int ComputeCheckDigit(std::string_view dataDigits) {
  int even = 0;
  int odd = 0;
  for (std::size_t i = 0; i < 12; ++i) {
    const int digit = DigitValue(DigitAt(dataDigits, i));
    if (i % 2 == 1)
      even += digit;  // positions 2, 4, ..., 12
    else
      odd += digit;  // positions 1, 3, ..., 11
  }
  return (10 - (3 * even + odd) % 10) % 10;
}

void CompressToUpcE(BarcodeJob& job) {
  job.IsUpcE = false;
  if (FieldValue(job.LeadPair) > 0) return;  // only number system 0 compresses
  const std::string_view m = job.LeftRest;
  const std::string_view p = job.RightDigits;
  const double product = FieldValue(p);
  auto M = [&](int i) { return DigitAt(m, i - 1); };
  auto P = [&](int i) { return DigitAt(p, i - 1); };
  std::string digits;
  // The whole manufacturer group must match here, not only its last three digits.
  if ((m == "00000" || m == "00100" || m == "00200") && product < 1000) {
    digits = {M(1), M(2), P(3), P(4), P(5), M(3)};
  } else if (M(4) == '0' && M(5) == '0' && product < 100) {
    digits = {M(1), M(2), M(3), P(4), P(5), '3'};
  } else if (M(5) == '0' && product < 10) {
    digits = {M(1), M(2), M(3), M(4), P(5), '4'};
  } else if (M(5) != '0' && product > 4 && product < 10) {
    digits = {M(1), M(2), M(3), M(4), M(5), P(5)};
  } else {
    return;
  }
  job.UpcEDigits = digits;
  job.IsUpcE = true;
}

CodeDigits SplitCodeDigits(double value) {
  const std::string formatted = FormatNumber(value, "00000");
  CodeDigits digits;
  digits.whole = WholeValue(formatted, std::round(value));
  const std::string padded = "00000000000000" + formatted;
  if (digits.whole <= kLargestWithoutCheckDigit) {
    digits.data = LastChars(padded, 12);
    digits.checkMarker = '*';
  } else {
    const std::string last13 = LastChars(padded, 13);
    digits.data = last13.substr(0, 12);
    digits.checkMarker = DigitAt(last13, 12);
  }
  // A negative number leaves a minus sign among the digits; it is encoded as 0, so the
  // digit texts show 0 too and the printed number matches the bars.
  for (char& c : digits.data)
    c = DigitAt(std::string_view(&c, 1), 0);
  return digits;
}

std::string WithoutLeadingZeros(std::string_view digits) {
  const std::size_t first = digits.find_first_not_of('0');
  return first == std::string_view::npos ? "0" : std::string(digits.substr(first));
}

void PrepareBarcodeDigits(BarcodeJob& job, std::string_view codeField, bool allowUpcE,
                          bool allowEan8) {
  const CodeDigits digits = SplitCodeDigits(ReadLeadingNumber(codeField));
  const double whole = digits.whole;
  const std::string& data = digits.data;
  job.CheckMarker = digits.checkMarker;
  job.DataDigits = data;

  job.LeadPair = data.substr(0, 2);
  job.FirstDigit = data.substr(0, 1);
  job.LeftFirst = data.substr(1, 1);
  job.LeftRest = data.substr(2, 5);
  job.RightDigits = data.substr(7, 5);

  job.UpcEDigits.clear();
  job.IsUpcE = false;
  if (allowUpcE) CompressToUpcE(job);

  if (whole < kFirstWithGivenCheckDigit || job.IsUpcE)
    job.CheckDigit = ComputeCheckDigit(data);
  else
    job.CheckDigit = DigitValue(job.CheckMarker);
  job.CheckDigitText = std::to_string(job.CheckDigit);

  job.IsEan8 = false;
  if (!job.IsUpcE && allowEan8 && whole < kEan8Limit) {
    job.IsEan8 = true;
    job.FirstDigit = data.substr(5, 1);
    job.LeftFirst = data.substr(5, 1);
    job.LeftRest = data.substr(6, 3);
    job.RightDigits = data.substr(9, 3);
  }
}

}  // namespace corvel
