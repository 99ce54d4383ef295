// From the digit groups and check digit to the width pattern of the symbol.
#include <string>

#include "barcode/barcode_job.h"
#include "barcode/symbology_tables.h"

namespace corvel {
namespace {

using barcode_detail::DigitAt;

constexpr std::string_view kStartGuard = "1-1-1";
constexpr std::string_view kCentreGuard = "-1-1-1-1-1";
constexpr std::string_view kEndGuard = "-1-1-1";
constexpr std::string_view kUpcEEndGuard = "-1-1-1-1-1-1";

// The check digit to encode: one outside 0..9 (set by hand) is encoded as 0.
int EncodedCheckDigit(const BarcodeJob& job) {
  return job.CheckDigit >= 0 && job.CheckDigit <= 9 ? job.CheckDigit : 0;
}

void AppendDigit(std::string& pattern, char digit, bool odd) {
  pattern += '-';
  pattern += DigitWidthGroup(DigitValue(digit), odd);
}

void BuildUpcE(BarcodeJob& job) {
  std::string pattern(kStartGuard);
  for (int i = 1; i <= 6; ++i) {
    const bool odd = UpcEParityIsOdd(static_cast<std::int16_t>(EncodedCheckDigit(job)),
                                     static_cast<std::int16_t>(i));
    AppendDigit(pattern, DigitAt(job.UpcEDigits, i - 1), odd);
  }
  pattern += kUpcEEndGuard;
  job.Pattern = std::move(pattern);
}

// EAN-13 (five digits after the left half's first, five on the right) or EAN-8 (three
// and three). Fields shorter than that are read as if padded with zeros.
void BuildEan(BarcodeJob& job, bool ean8) {
  const std::size_t halfRest = ean8 ? 3 : 5;
  std::string pattern(kStartGuard);
  AppendDigit(pattern, DigitAt(job.LeftFirst, 0), true);
  for (std::size_t i = 0; i < halfRest; ++i) {
    const bool setB =
        !ean8 && barcode_detail::Ean13LeftDigitIsSetB(job.FirstDigit, static_cast<int>(i) + 1);
    AppendDigit(pattern, DigitAt(job.LeftRest, i), !setB);
  }
  pattern += kCentreGuard;
  for (std::size_t i = 0; i < halfRest; ++i)
    AppendDigit(pattern, DigitAt(job.RightDigits, i), true);
  pattern += '-';
  pattern += DigitWidthGroup(EncodedCheckDigit(job), true);
  pattern += kEndGuard;
  job.Pattern = std::move(pattern);
}

// The twelve data digits an EAN-13 symbol encodes, from its groups.
std::string Ean13DataDigits(const BarcodeJob& job) {
  std::string data{DigitAt(job.FirstDigit, 0), DigitAt(job.LeftFirst, 0)};
  for (std::size_t i = 0; i < 5; ++i)
    data += DigitAt(job.LeftRest, i);
  for (std::size_t i = 0; i < 5; ++i)
    data += DigitAt(job.RightDigits, i);
  return data;
}

}  // namespace

void BuildBarPattern(BarcodeJob& job, CheckDigitSource source) {
  if (source == CheckDigitSource::FromMarker) {
    // EAN-13 only. A code that came with its check digit keeps it, unverified.
    job.CheckDigit = job.CheckMarker == '*' ? ComputeCheckDigit(Ean13DataDigits(job))
                                            : DigitValue(job.CheckMarker);
    job.CheckDigitText = std::to_string(job.CheckDigit);
    BuildEan(job, false);
    return;
  }
  if (job.IsUpcE)
    BuildUpcE(job);
  else
    BuildEan(job, job.IsEan8);
}

}  // namespace corvel
