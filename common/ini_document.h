#pragma once
// The settings file as a document, without any file: parsing its bytes, looking up
// values and keys, and the file's bytes with values changed. IniSettingsStore adds the
// file plumbing (locks, atomic replacement, the parse cache).
//
// - A value is everything after the first '=' up to the line end (CR LF or LF), byte
//   for byte. Section and key names match exactly (around a key, blanks are dropped).
//   Lines starting with ';' or '#' are comments. Lines before the first section header
//   belong to the section "".
// - UTF-8; a line that is not valid UTF-8 is read as Windows-1252. A leading byte
//   order mark is skipped, and kept when the file is changed.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvel {

class IniDocument {
 public:
  // The largest text a document holds (its entries point into it with 32-bit offsets).
  static constexpr std::size_t kMaxText = 0xFFFFFFFFu;

  IniDocument() = default;

  // The document of a file's bytes; nothing when its text is over kMaxText.
  static std::optional<IniDocument> Parse(std::string bytes);

  // The value of the first `key` in `section` (the first section of that name, or any
  // later one), as UTF-8.
  std::optional<std::string_view> Get(std::string_view section, std::string_view key) const;

  // Every key of `section` once, in byte order.
  std::vector<std::string> Keys(std::string_view section) const;

  // Drops the text and entries, giving their memory back.
  void Clear();

 private:
  // Part of the text. 32-bit offsets keep an entry at 24 bytes.
  struct TextSpan {
    std::uint32_t start = 0;
    std::uint32_t length = 0;
  };
  struct Entry {
    TextSpan section;
    TextSpan key;
    TextSpan value;
  };

  std::string_view At(TextSpan span) const;
  // The first entry of the section at or after `key`.
  std::vector<Entry>::const_iterator Find(std::string_view section, std::string_view key) const;

  std::string text_;            // the file as UTF-8, without a byte order mark
  std::vector<Entry> entries_;  // sorted by section, key and place in the file
};

// Text to store, as UTF-8. Bytes that are not UTF-8 are taken as Windows-1252, as they
// would be read back, so the file stays UTF-8 and an unchanged value is seen as such.
std::string AsUtf8(std::string_view text);

// The file bytes `old` with `values` (UTF-8 keys, each once) stored in `section`, into
// `out`. Only the lines of those keys change; a missing key is added after the last line
// of its section that is not blank or a comment (comments at a section's end usually
// describe the next one), or in a new section at the end. New lines take the file's
// usual line ending. False when every key already held its value (`out` untouched).
bool ApplyIniValues(std::string_view old, const std::string& section,
                    const std::vector<std::pair<std::string, std::string>>& values,
                    std::string& out);

// The file bytes `old` without the lines of `keys` (UTF-8, every line of each in every
// block of `section`), into `out`; every other line stays byte for byte. False when none
// of the keys was there (`out` untouched).
bool RemoveIniKeys(std::string_view old, const std::string& section,
                   const std::vector<std::string>& keys, std::string& out);

}  // namespace corvel
