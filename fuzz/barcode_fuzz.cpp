// PrepareBarcodeDigits + BuildBarPattern: whatever the code field holds, the pattern is
// a whole symbol of widths 1-4 joined by "-", and a job used before builds the same
// symbol as a fresh one.
#include "barcode/barcode_job.h"
#include "fuzz/check.h"

using namespace corvel;

namespace {
// 59 widths (bars and spaces in turn) in 95 modules, 43 in 67, 33 in 51.
void CheckPattern(const std::string& pattern, int modules) {
  FUZZ_CHECK(pattern.size() == (modules == 95 ? 117u : modules == 67 ? 85u : 65u));
  int sum = 0;
  for (std::size_t i = 0; i < pattern.size(); i += 2) {
    FUZZ_CHECK(pattern[i] >= '1' && pattern[i] <= '4');
    FUZZ_CHECK(i + 1 == pattern.size() || pattern[i + 1] == '-');
    sum += pattern[i] - '0';
  }
  FUZZ_CHECK(sum == modules);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const bool upcE = input.ConsumeBool(), ean8 = input.ConsumeBool();
  const auto source =
      input.ConsumeBool() ? CheckDigitSource::FromMarker : CheckDigitSource::Prepared;
  const std::string first = input.ConsumeRandomLengthString(20);
  const std::string code = input.ConsumeRemainingBytesAsString();
  if (Overflows(code)) return 0;

  BarcodeJob fresh, used;
  if (!Overflows(first)) {
    PrepareBarcodeDigits(used, first, !upcE, !ean8);
    BuildBarPattern(used, CheckDigitSource::Prepared);
  }
  PrepareBarcodeDigits(fresh, code, upcE, ean8);
  PrepareBarcodeDigits(used, code, upcE, ean8);
  FUZZ_CHECK(fresh.DataDigits.size() == 12);
  BuildBarPattern(fresh, source);
  BuildBarPattern(used, source);
  FUZZ_CHECK(used.Pattern == fresh.Pattern && used.CheckDigit == fresh.CheckDigit);
  CheckPattern(fresh.Pattern, source == CheckDigitSource::FromMarker ? 95 : SymbolModules(fresh));
  return 0;
}
