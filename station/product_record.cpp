#include "station/product_record.h"

#include "common/text.h"

namespace corvel {
namespace {
std::size_t DescriptionOffset(int line) {
  return 24 + static_cast<std::size_t>(line - 1) * kDescriptionLength;
}
}  // namespace

ProductRecord::ProductRecord(RecordBytes bytes) : bytes_(std::move(bytes)) {
  bytes_.resize(kProductRecordLength, 0);
}

std::string ProductRecord::Description(int line) const {
  return GetTextField(bytes_, DescriptionOffset(line), kDescriptionLength);
}

void ProductRecord::SetDescription(int line, std::string_view utf8) {
  PutTextField(bytes_, DescriptionOffset(line), kDescriptionLength, utf8);
}

std::string ProductRecord::SelectorName(std::uint64_t n) const {
  for (int line = 1; line <= 3; ++line) {
    std::string name = TrimSpaces(ShownDescription(line));
    if (!name.empty()) return name;
  }
  return std::to_string(n);
}

}  // namespace corvel
