#include "common/text.h"

#include <array>
#include <cstdint>

namespace corvel {
namespace {

// Windows-1252 bytes 80..9F as Unicode. The five bytes the code page leaves undefined
// map to the C1 control of the same number, so decoding and encoding round-trip.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t Cp1252ToCodePoint(unsigned char byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
  return byte;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Length of the well-formed UTF-8 sequence at `i`, or 0 when it is not one.
std::size_t SequenceLength(std::string_view s, std::size_t i, char32_t* cp = nullptr) {
  const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = b(i);
  std::size_t n;
  char32_t value;
  if (lead < 0x80) {
    if (cp) *cp = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    n = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    n = 3;
    value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    n = 4;
    value = lead & 0x07;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((b(i + k) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (b(i + k) & 0x3F);
  }
  const char32_t minimum = n == 2 ? 0x80 : n == 3 ? 0x800 : 0x10000;
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  if (cp) *cp = value;
  return n;
}

int EncodeCp1252(char32_t cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
  for (std::size_t k = 0; k < kHighControls.size(); ++k)
    if (kHighControls[k] == cp) return static_cast<int>(0x80 + k);
  return -1;
}

// Byte offset of character `n` (or the end).
std::size_t OffsetOfChar(std::string_view utf8, std::size_t n) {
  std::size_t i = 0;
  for (std::size_t count = 0; i < utf8.size() && count < n; ++count) {
    const std::size_t len = SequenceLength(utf8, i);
    i += len == 0 ? 1 : len;
  }
  return i;
}

}  // namespace

std::string TrimSpaces(std::string_view text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const std::size_t last = text.find_last_not_of(' ');
  return std::string(text.substr(first, last - first + 1));
}

std::string_view TrimBlanks(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && blank(text.back()))
    text.remove_suffix(1);
  return text;
}

std::size_t CharCount(std::string_view utf8) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < utf8.size(); ++count) {
    const std::size_t len = SequenceLength(utf8, i);
    i += len == 0 ? 1 : len;
  }
  return count;
}

std::string FirstChars(std::string_view utf8, std::size_t n) {
  return std::string(utf8.substr(0, OffsetOfChar(utf8, n)));
}

std::string LastChars(std::string_view utf8, std::size_t n) {
  const std::size_t count = CharCount(utf8);
  if (count <= n) return std::string(utf8);
  return std::string(utf8.substr(OffsetOfChar(utf8, count - n)));
}

std::string FixedText(std::string_view utf8, std::size_t n) {
  std::string out = FirstChars(utf8, n);
  out.append(n - CharCount(out), ' ');
  return out;
}

std::string Cp1252ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes)
    AppendUtf8(out, Cp1252ToCodePoint(static_cast<unsigned char>(c)));
  return out;
}

std::string Utf8ToCp1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t cp = 0;
    const std::size_t len = SequenceLength(utf8, i, &cp);
    if (len == 0) {  // not UTF-8: keep the byte as it is
      out.push_back(utf8[i++]);
      continue;
    }
    const int byte = EncodeCp1252(cp);
    out.push_back(byte < 0 ? '?' : static_cast<char>(byte));
    i += len;
  }
  return out;
}

bool IsValidUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t len = SequenceLength(bytes, i);
    if (len == 0) return false;
    i += len;
  }
  return true;
}

std::string Quoted(std::string_view utf8) {
  constexpr std::size_t kShown = 40;
  const std::size_t length = CharCount(utf8);
  if (length <= kShown) return "\"" + std::string(utf8) + "\"";
  return "\"" + FirstChars(utf8, kShown) + "...\" (" + std::to_string(length) + " characters)";
}

std::string SettingText(std::string_view section, std::string_view key, std::string_view text) {
  return "setting " + std::string(section) + "/" + std::string(key) + " " + Quoted(text);
}

}  // namespace corvel
