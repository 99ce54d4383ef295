#include "common/page_size.h"

#include <charconv>
#include <system_error>

#include "common/text.h"

namespace corvel {
namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Length of the plain decimal number ("62", "62.5") at the start of `text`: digits,
// then a period and digits when they follow; 0 when `text` does not start with a digit.
std::size_t PlainDecimalLength(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && IsDigit(text[at]))
    ++at;
  if (at == 0) return 0;
  if (at + 1 < text.size() && text[at] == '.' && IsDigit(text[at + 1])) {
    at += 2;
    while (at < text.size() && IsDigit(text[at]))
      ++at;
  }
  return at;
}

// A plain decimal number read with a period whatever the locale; nothing when it is
// beyond the range of a double.
std::optional<double> ReadDecimal(std::string_view digits) {
  double value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<std::pair<double, double>> ParsePageSizeMm(std::string_view text) {
  std::size_t at = 0;
  const auto skipSpace = [&] {
    while (at < text.size() && IsSpace(text[at]))
      ++at;
  };
  const auto size = [&]() -> std::optional<double> {
    const std::size_t length = PlainDecimalLength(text.substr(at));
    if (length == 0) return std::nullopt;
    const std::optional<double> value = ReadDecimal(text.substr(at, length));
    at += length;
    return value;
  };
  skipSpace();
  const std::optional<double> width = size();
  skipSpace();
  if (!width || at >= text.size() || (text[at] != 'x' && text[at] != 'X')) return std::nullopt;
  ++at;
  skipSpace();
  const std::optional<double> height = size();
  skipSpace();
  if (!height || at != text.size()) return std::nullopt;
  const auto usable = [](double mm) { return mm > 0 && mm <= 10000; };
  if (!usable(*width) || !usable(*height)) return std::nullopt;
  return std::make_pair(*width, *height);
}

}  // namespace corvel
