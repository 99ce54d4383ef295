#include "common/settings_store.h"
#include "common/text.h"

#include <algorithm>

namespace corvel {

void SettingsStore::SaveMany(std::string_view section,
                             const std::vector<std::pair<std::string, std::string>>& values) {
  for (const auto& [key, value] : values)
    Save(section, key, value);
}

std::string SettingsStore::GetOr(std::string_view section, std::string_view key,
                                 std::string_view fallback) const {
  std::optional<std::string> value = Get(section, key);
  return value ? std::move(*value) : std::string(fallback);
}

namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return AsciiLower(x) == AsciiLower(y);
         });
}

// A plain decimal number (optional sign, digits, optional fraction); tells whether it is
// non-zero. Exponents and hexadecimal forms are not boolean spellings anyone writes.
std::optional<bool> ParseDecimalNonZero(std::string_view text) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  bool anyDigit = false;
  bool nonZero = false;
  bool seenPoint = false;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (IsDigit(c)) {
      anyDigit = true;
      if (c != '0') nonZero = true;
    } else if (c == '.' && !seenPoint) {
      seenPoint = true;
    } else {
      return std::nullopt;
    }
  }
  if (!anyDigit) return std::nullopt;
  return nonZero;
}

std::string EntryName(std::string_view section, std::string_view key) {
  std::string name(section);
  name += '\n';
  name += key;
  return name;
}

}  // namespace

std::optional<bool> ParseBoolText(std::string_view text) {
  text = TrimBlanks(text);
  if (EqualsIgnoringCase(text, "True")) return true;
  if (EqualsIgnoringCase(text, "False")) return false;
  return ParseDecimalNonZero(text);
}

std::optional<std::string> MemorySettingsStore::Get(std::string_view section,
                                                    std::string_view key) const {
  const std::string name = EntryName(section, key);
  for (const auto& [entry, value] : entries_) {
    if (entry == name) return value;
  }
  return std::nullopt;
}

std::vector<std::string> MemorySettingsStore::Keys(std::string_view section) const {
  const std::string prefix = EntryName(section, "");
  std::vector<std::string> keys;
  for (const auto& [entry, value] : entries_) {
    if (entry.starts_with(prefix)) keys.push_back(entry.substr(prefix.size()));
  }
  return keys;
}

void MemorySettingsStore::Save(std::string_view section, std::string_view key,
                               std::string_view value) {
  std::string name = EntryName(section, key);
  for (auto& [entry, stored] : entries_) {
    if (entry == name) {
      stored = value;
      return;
    }
  }
  entries_.emplace_back(std::move(name), std::string(value));
}

void MemorySettingsStore::Remove(std::string_view section, const std::vector<std::string>& keys) {
  for (const std::string& key : keys)
    std::erase_if(entries_, [name = EntryName(section, key)](const auto& entry) {
      return entry.first == name;
    });
}

}  // namespace corvel
