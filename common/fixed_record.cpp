#include "common/fixed_record.h"

#include <cstring>
#include <stdexcept>

#include "common/text.h"

namespace corvel {
namespace {

void CheckRange(const RecordBytes& record, std::size_t offset, std::size_t size) {
  if (offset > record.size() || size > record.size() - offset)
    throw std::out_of_range("field outside the record");
}

template <typename T>
T GetLittleEndian(const RecordBytes& record, std::size_t offset) {
  CheckRange(record, offset, sizeof(T));
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < sizeof(T); ++i)
    bits |= static_cast<std::uint64_t>(record[offset + i]) << (8 * i);
  T value;
  if constexpr (sizeof(T) == 8) {
    std::memcpy(&value, &bits, 8);
  } else {
    auto narrow = static_cast<std::uint32_t>(bits);
    if constexpr (sizeof(T) == 2) {
      auto half = static_cast<std::uint16_t>(narrow);
      std::memcpy(&value, &half, 2);
    } else {
      std::memcpy(&value, &narrow, 4);
    }
  }
  return value;
}

template <typename T>
void PutLittleEndian(RecordBytes& record, std::size_t offset, T value) {
  CheckRange(record, offset, sizeof(T));
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof(T));
  for (std::size_t i = 0; i < sizeof(T); ++i)
    record[offset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

}  // namespace

std::int16_t GetInt16(const RecordBytes& r, std::size_t o) {
  return GetLittleEndian<std::int16_t>(r, o);
}
std::int64_t GetInt64(const RecordBytes& r, std::size_t o) {
  return GetLittleEndian<std::int64_t>(r, o);
}
float GetFloat32(const RecordBytes& r, std::size_t o) {
  return GetLittleEndian<float>(r, o);
}
void PutInt16(RecordBytes& r, std::size_t o, std::int16_t v) {
  PutLittleEndian(r, o, v);
}
void PutInt64(RecordBytes& r, std::size_t o, std::int64_t v) {
  PutLittleEndian(r, o, v);
}
void PutFloat32(RecordBytes& r, std::size_t o, float v) {
  PutLittleEndian(r, o, v);
}

std::string GetTextField(const RecordBytes& record, std::size_t offset, std::size_t size) {
  CheckRange(record, offset, size);
  return Cp1252ToUtf8(
      std::string_view(reinterpret_cast<const char*>(record.data()) + offset, size));
}

void PutTextField(RecordBytes& record, std::size_t offset, std::size_t size,
                  std::string_view utf8) {
  CheckRange(record, offset, size);
  std::string bytes = Utf8ToCp1252(utf8);
  bytes.resize(size, ' ');
  std::memcpy(record.data() + offset, bytes.data(), size);
}

}  // namespace corvel
