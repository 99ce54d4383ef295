// The product record's decoders and encoders: every field read from a record and written
// into another gives back the record byte for byte (reserved bytes are never touched).
#include <cstring>

#include "fuzz/check.h"
#include "station/product_record.h"

using namespace corvel;

namespace {
void CopyFields(const ProductRecord& from, ProductRecord& to) {
  to.SetCodeFixed(from.CodeFixed());
  to.SetPriceFixed(from.PriceFixed());
  // Only the two stored values of the flag have a setter.
  if (from.NonWeighedFlag() == 0 || from.NonWeighed()) to.SetNonWeighed(from.NonWeighed());
  to.SetShelfLifeDays(from.ShelfLifeDays());
  for (int line = 1; line <= 3; ++line)
    to.SetDescription(line, from.Description(line));
  to.SetTare(from.Tare());
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const ProductRecord record(RecordBytes(data, data + size));
  FUZZ_CHECK(record.Bytes().size() == kProductRecordLength);
  FUZZ_CHECK(std::memcmp(record.Bytes().data(), data, std::min(size, kProductRecordLength)) == 0);
  // Into a copy whose fields were first overwritten from the complemented record.
  RecordBytes complement = record.Bytes();
  for (std::uint8_t& byte : complement)
    byte = static_cast<std::uint8_t>(~byte);
  ProductRecord copy = record;
  CopyFields(ProductRecord(complement), copy);
  CopyFields(record, copy);
  FUZZ_CHECK(copy == record);
  record.SelectorName(1);
  for (int line = 1; line <= 3; ++line)
    FUZZ_CHECK(record.ShownDescription(line).find('\0') == std::string::npos);
  return 0;
}
