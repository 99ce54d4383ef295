#pragma once
// Text helpers shared by the record formats and the label code. Text in memory is
// UTF-8; files and records hold Windows-1252 (the programs' single-byte code page).
#include <cstddef>
#include <string>
#include <string_view>

namespace corvel {

// Removes leading and trailing spaces (only the space character, as the record
// formats pad with spaces; tabs and zero bytes are kept).
std::string TrimSpaces(std::string_view text);

// Removes leading and trailing blanks (spaces and tabs), as settings and selectors
// written by hand may carry them.
std::string_view TrimBlanks(std::string_view text);

// Number of characters (code points) in UTF-8 text.
std::size_t CharCount(std::string_view utf8);

// The first `n` characters of UTF-8 text.
std::string FirstChars(std::string_view utf8, std::size_t n);

// The last `n` characters of UTF-8 text.
std::string LastChars(std::string_view utf8, std::size_t n);

// A fixed text of `n` characters: cut to n, or padded on the right with spaces.
std::string FixedText(std::string_view utf8, std::size_t n);

// Windows-1252 bytes to UTF-8. The five bytes that code page leaves undefined (81, 8D,
// 8F, 90, 9D hex) become U+0081 ... U+009D, so every byte string round-trips exactly.
std::string Cp1252ToUtf8(std::string_view bytes);

// UTF-8 to Windows-1252; characters the code page cannot hold become '?'. Invalid
// UTF-8 bytes are taken as Windows-1252 bytes themselves.
std::string Utf8ToCp1252(std::string_view utf8);

// True when `bytes` is well-formed UTF-8.
bool IsValidUtf8(std::string_view bytes);

// An ASCII digit, whatever the user's locale says a digit is.
inline bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Text for a message, in double quotes. Past 40 characters it is cut and its length
// said ("abc..." (5000 characters)), so that a huge value does not flood a log.
std::string Quoted(std::string_view utf8);

// A setting and the text it holds, for a message saying what is wrong with it:
// setting Printer/PdfPageSizeZ "sixty"
std::string SettingText(std::string_view section, std::string_view key, std::string_view text);

// An ASCII letter in lower case; other bytes as they are. std::tolower follows the user's
// locale: under Turkish it leaves 'I' as it is, and Latin-9 locales change high bytes.
inline char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace corvel
