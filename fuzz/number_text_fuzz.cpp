// The leading-number reader and the number patterns: any text reads as a finite number
// or an overflow, and what the patterns write reads back as the number they rounded.
#include <cmath>

#include "fuzz/check.h"

using namespace corvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string pattern = input.ConsumeRandomLengthString(24);
  const std::string text = input.ConsumeRemainingBytesAsString();
  if (Overflows(text)) return 0;
  const double value = ReadLeadingNumber(text);
  FUZZ_CHECK(std::isfinite(value));
  // 15 significant digits; subnormals may lose more.
  const double slack = std::fabs(value) * 1e-14 + 1e-300;
  FUZZ_CHECK(std::fabs(ReadLeadingNumber(GeneralNumber(value)) - value) <= slack);
  FUZZ_CHECK(std::fabs(ReadLeadingNumber(FormatNumber(value, "#0.000")) - value) <= 0.0005 + slack);
  FUZZ_CHECK(std::fabs(ReadLeadingNumber(FormatNumber(value, "00000")) - value) <= 0.5 + slack);
  FormatNumber(value, pattern);  // any pattern: text, never a crash
  const double even = RoundHalfEven(value);
  FUZZ_CHECK(std::fabs(even - value) <= 0.5);
  try {
    FUZZ_CHECK(ToInt32(value) == even);
  } catch (const OverflowError&) {
    FUZZ_CHECK(even < -2147483648.0 || even > 2147483647.0);
  }
  return 0;
}
