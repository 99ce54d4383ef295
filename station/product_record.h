#pragma once
// One product of the station's product file: a 150-byte record held as its raw bytes,
// with typed accessors for the fields the station uses. Bytes no accessor touches
// (the reserved areas) are written back exactly as they were read.
//
//   offset size field
//     0     8  Code          signed 64-bit, value x 10,000
//     8     2  (reserved)
//    10     8  Price         signed 64-bit, value x 10,000
//    18     2  NonWeighed    16-bit, FFFF hex true, 0 false
//    20     2  (reserved)
//    22     2  ShelfLifeDays signed 16-bit
//    24    24  Description1  Windows-1252 text, space padded
//    48    24  Description2
//    72    24  Description3
//    96     4  (reserved)
//   100     4  Tare          IEEE single precision, kilograms
//   104    46  (reserved)
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/fixed_record.h"

namespace corvel {

// A text field as a box shows it: up to its first zero byte. Zero bytes in a box would be
// invisible characters the cursor can stand behind, and typing there would be lost.
inline std::string ShownText(std::string_view text) {
  return std::string(text.substr(0, text.find('\0')));
}

inline constexpr std::size_t kProductRecordLength = 150;
inline constexpr std::size_t kDescriptionLength = 24;

// Fixed-point scale of Code and Price: four decimals.
inline constexpr double kFixedPointScale = 10000;

class ProductRecord {
 public:
  ProductRecord() : bytes_(kProductRecordLength, 0) {}
  // Takes the bytes of a record; shorter input is completed with zero bytes, longer
  // input is cut to the record length.
  explicit ProductRecord(RecordBytes bytes);

  const RecordBytes& Bytes() const { return bytes_; }

  std::int64_t CodeFixed() const { return GetInt64(bytes_, 0); }
  void SetCodeFixed(std::int64_t value) { PutInt64(bytes_, 0, value); }
  double Code() const { return static_cast<double>(CodeFixed()) / kFixedPointScale; }

  std::int64_t PriceFixed() const { return GetInt64(bytes_, 10); }
  void SetPriceFixed(std::int64_t value) { PutInt64(bytes_, 10, value); }
  double Price() const { return static_cast<double>(PriceFixed()) / kFixedPointScale; }

  std::int16_t NonWeighedFlag() const { return GetInt16(bytes_, 18); }
  // Only FFFF hex counts as true; any other stored value is false.
  bool NonWeighed() const { return NonWeighedFlag() == -1; }
  void SetNonWeighed(bool on) { PutInt16(bytes_, 18, on ? -1 : 0); }

  std::int16_t ShelfLifeDays() const { return GetInt16(bytes_, 22); }
  void SetShelfLifeDays(std::int16_t days) { PutInt16(bytes_, 22, days); }

  // Description lines 1..3 as UTF-8, all 24 characters including padding.
  std::string Description(int line) const;
  // What a box shows of description line 1..3: the text up to its first zero byte. A
  // line the station never wrote is zero bytes and shows empty.
  std::string ShownDescription(int line) const { return ShownText(Description(line)); }
  // Stores `utf8` cut to 24 characters or padded with spaces.
  void SetDescription(int line, std::string_view utf8);

  float Tare() const { return GetFloat32(bytes_, 100); }
  void SetTare(float kilograms) { PutFloat32(bytes_, 100, kilograms); }

  // The name of the product in the selector: the first description line whose shown
  // text is not empty once its spaces are trimmed, trimmed; else the record number `n`.
  std::string SelectorName(std::uint64_t n) const;

  bool operator==(const ProductRecord&) const = default;

 private:
  RecordBytes bytes_;
};

}  // namespace corvel
