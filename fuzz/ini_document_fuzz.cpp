// The settings store's reader and writer: read a file, change one key, write, read back.
// The key reads as its new value and every other line stays byte for byte.
#include <algorithm>
#include <vector>

#include "common/ini_document.h"
#include "common/text.h"
#include "fuzz/check.h"

using namespace corvel;

namespace {
// The lines of `text` without their endings (CR LF or LF).
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  for (std::size_t start = 0, lf = 0; lf != text.npos; start = lf + 1) {
    lf = text.find('\n', start);
    lines.push_back(text.substr(start, lf - start));  // to the end when there is no LF
    if (lf != text.npos && lines.back().ends_with('\r')) lines.back().remove_suffix(1);
  }
  return lines;
}

// The names and values the store accepts for writing.
bool Storable(std::string_view section, std::string_view key, std::string_view value) {
  return value.find_first_of("\r\n") == std::string_view::npos &&
         section.find_first_of("]\r\n") == std::string_view::npos && !key.empty() &&
         key.find_first_of("=\r\n") == std::string_view::npos && TrimBlanks(key) == key &&
         std::string_view(";#[").find(key.front()) == std::string_view::npos &&
         !key.starts_with("\xEF\xBB\xBF");
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string section = AsUtf8(input.ConsumeRandomLengthString(16));
  const std::string key = AsUtf8(input.ConsumeRandomLengthString(16));
  const std::string value = AsUtf8(input.ConsumeRandomLengthString(16));
  const std::string file = input.ConsumeRemainingBytesAsString();
  const std::optional<IniDocument> before = IniDocument::Parse(file);
  FUZZ_CHECK(before);
  for (const std::string& name : before->Keys(section))
    FUZZ_CHECK(before->Get(section, name));
  if (!Storable(section, key, value)) return 0;

  std::string written;
  if (!ApplyIniValues(file, section, {{key, value}}, written)) {
    FUZZ_CHECK(before->Get(section, key) == value);
    return 0;
  }
  const std::optional<IniDocument> after = IniDocument::Parse(written);
  FUZZ_CHECK(after && after->Get(section, key) == value);

  // Apart from the changed line (or the added key line, with its section header and the
  // line ending of an unterminated last line), the lines are the old ones.
  // A byte order mark stays at the start of the file, before any added line.
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  FUZZ_CHECK(!file.starts_with(kBom) || written.starts_with(kBom));
  const std::size_t bom = file.starts_with(kBom) ? kBom.size() : 0;
  const std::vector<std::string_view> old = Lines(std::string_view(file).substr(bom)),
                                      now = Lines(std::string_view(written).substr(bom));
  const auto common = std::mismatch(old.begin(), old.end(), now.begin(), now.end());
  const std::size_t prefix = common.first - old.begin();
  std::size_t suffix = 0;
  while (suffix < old.size() - prefix && suffix < now.size() - prefix &&
         old[old.size() - 1 - suffix] == now[now.size() - 1 - suffix])
    ++suffix;
  const std::size_t removed = old.size() - prefix - suffix, added = now.size() - prefix - suffix;
  FUZZ_CHECK((removed == 1 && added == 1) || (removed == 0 && added >= 1 && added <= 3));
  return 0;
}
