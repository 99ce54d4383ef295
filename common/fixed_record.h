#pragma once
// Reading and writing the fields of fixed-length binary records: little-endian
// numbers and fixed-length Windows-1252 text fields. A record is held as its raw bytes,
// so bytes that no field covers (reserved or unread) survive every rewrite.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvel {

using RecordBytes = std::vector<std::uint8_t>;

std::int16_t GetInt16(const RecordBytes& record, std::size_t offset);
std::int64_t GetInt64(const RecordBytes& record, std::size_t offset);
float GetFloat32(const RecordBytes& record, std::size_t offset);
void PutInt16(RecordBytes& record, std::size_t offset, std::int16_t value);
void PutInt64(RecordBytes& record, std::size_t offset, std::int64_t value);
void PutFloat32(RecordBytes& record, std::size_t offset, float value);

// The `size` bytes at `offset` as UTF-8 text (all of them, padding included).
std::string GetTextField(const RecordBytes& record, std::size_t offset, std::size_t size);

// Writes `utf8` as a Windows-1252 field of `size` bytes: cut to `size`, or padded on
// the right with spaces; no terminator.
void PutTextField(RecordBytes& record, std::size_t offset, std::size_t size, std::string_view utf8);

}  // namespace corvel
