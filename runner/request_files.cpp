#include "runner/request_files.h"

#include <stdexcept>

namespace corvel {
namespace {
using Barcode = BarcodeRequestRecord;
constexpr std::size_t kCodeOffset = 0;
constexpr std::size_t kDescriptionOffset = kCodeOffset + Barcode::kCodeWidth;
constexpr std::size_t kPriceOffset = kDescriptionOffset + Barcode::kDescriptionWidth;
constexpr std::size_t kSpareOffset = kPriceOffset + Barcode::kPriceWidth;
static_assert(kSpareOffset + 2 == Barcode::kLength);

constexpr std::size_t kTextWidth = ShelfRecord::kCellWidth;
constexpr std::size_t kByWeightOffset = ShelfRecord::kTextCount * kTextWidth;
constexpr std::size_t kLayoutOffset = kByWeightOffset + 2;
// Layout cells x 0..10, y 0..10 for each layout.
static_assert(kLayoutOffset + kTextWidth * 11 * 11 * ShelfRecord::kLayoutCount ==
              ShelfRecord::kLength);

std::size_t TextOffset(int k) {
  if (k < 0 || k > 8) throw std::out_of_range("shelf text index outside 0..8");
  return static_cast<std::size_t>(k) * kTextWidth;
}

std::size_t LayoutOffset(int x, int y, int z) {
  if (x < 0 || x > 10 || y < 0 || y > 10 || z < 1 || z > 3)
    throw std::out_of_range("shelf layout cell outside (0..10, 0..10, 1..3)");
  return kLayoutOffset + kTextWidth * static_cast<std::size_t>(x + 11 * y + 121 * (z - 1));
}
}  // namespace

std::string BarcodeRequestRecord::Code() const {
  return GetTextField(bytes, kCodeOffset, kCodeWidth);
}
std::string BarcodeRequestRecord::Description() const {
  return GetTextField(bytes, kDescriptionOffset, kDescriptionWidth);
}
std::string BarcodeRequestRecord::Price() const {
  return GetTextField(bytes, kPriceOffset, kPriceWidth);
}
std::int16_t BarcodeRequestRecord::Spare() const {
  return GetInt16(bytes, kSpareOffset);
}

void BarcodeRequestRecord::SetCode(std::string_view utf8) {
  PutTextField(bytes, kCodeOffset, kCodeWidth, utf8);
}
void BarcodeRequestRecord::SetDescription(std::string_view utf8) {
  PutTextField(bytes, kDescriptionOffset, kDescriptionWidth, utf8);
}
void BarcodeRequestRecord::SetPrice(std::string_view utf8) {
  PutTextField(bytes, kPriceOffset, kPriceWidth, utf8);
}
void BarcodeRequestRecord::SetSpare(std::int16_t value) {
  PutInt16(bytes, kSpareOffset, value);
}

std::string ShelfRecord::Text(int k) const {
  return GetTextField(bytes, TextOffset(k), kTextWidth);
}
std::int16_t ShelfRecord::ByWeight() const {
  return GetInt16(bytes, kByWeightOffset);
}
std::string ShelfRecord::Layout(int x, int y, int z) const {
  return GetTextField(bytes, LayoutOffset(x, y, z), kTextWidth);
}

void ShelfRecord::SetText(int k, std::string_view utf8) {
  PutTextField(bytes, TextOffset(k), kTextWidth, utf8);
}
void ShelfRecord::SetByWeight(std::int16_t value) {
  PutInt16(bytes, kByWeightOffset, value);
}
void ShelfRecord::SetLayout(int x, int y, int z, std::string_view utf8) {
  PutTextField(bytes, LayoutOffset(x, y, z), kTextWidth, utf8);
}

ShelfRecord BlankShelfRecord() {
  ShelfRecord record;
  record.bytes.assign(ShelfRecord::kLength, ' ');
  PutInt16(record.bytes, kByWeightOffset, 0);
  return record;
}

}  // namespace corvel
