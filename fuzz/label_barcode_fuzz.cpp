// PrepareLabelBarcode: a label's code, flag and price boxes give no symbol or 12 data
// digits that build a whole EAN-13 symbol, and a number text of digits under it.
#include <algorithm>
#include <cmath>

#include "fuzz/check.h"
#include "station/label_barcode.h"

using namespace corvel;

namespace {
bool AllDigits(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const bool priceCheckDigit = input.ConsumeBool();
  const std::string flag = input.ConsumeRandomLengthString(4);
  const std::string price = input.ConsumeRandomLengthString(24);
  const std::string code = LabelCodeText(input.ConsumeRemainingBytesAsString());
  BarcodeJob job;
  try {
    if (!PrepareLabelBarcode(job, code, flag, price, priceCheckDigit)) {
      FUZZ_CHECK(!(ReadLeadingNumber(code) > 0));
      return 0;
    }
  } catch (const OverflowError&) {
    FUZZ_CHECK(Overflows(code) || Overflows(price) || std::isinf(ReadLeadingNumber(price) * 100));
    return 0;
  }
  FUZZ_CHECK(job.DataDigits.size() == 12 && AllDigits(job.DataDigits));
  FUZZ_CHECK(job.DataDigits == job.LeadPair + job.LeftRest + job.RightDigits);
  BuildBarPattern(job, CheckDigitSource::FromMarker);
  FUZZ_CHECK(job.Pattern.size() == 117);
  FUZZ_CHECK(AllDigits(MakeBarcodeNumberText(job)));
  if (priceCheckDigit && SplitCodeDigits(ReadLeadingNumber(code)).whole <= 9999)
    FUZZ_CHECK(job.RightDigits[0] - '0' == PriceCheckDigit(job.RightDigits.substr(1)));
  return 0;
}
