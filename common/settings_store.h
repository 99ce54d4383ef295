#pragma once
// The per-user settings store: text values addressed by section and key. Numbers are
// stored as decimal text, booleans as the words True and False.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvel {

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  // The stored text, exactly as written, or nothing when the key is absent.
  virtual std::optional<std::string> Get(std::string_view section, std::string_view key) const = 0;

  // The names of the keys stored in a section, in no particular order.
  virtual std::vector<std::string> Keys(std::string_view section) const = 0;

  // Stores `value` under the key. Throws IoError when the store cannot be written.
  virtual void Save(std::string_view section, std::string_view key, std::string_view value) = 0;

  // Stores several keys of one section in one update (one rewrite of the file).
  virtual void SaveMany(std::string_view section,
                        const std::vector<std::pair<std::string, std::string>>& values);

  // Removes `keys` of `section` in one update, so that they read as absent again. Throws
  // IoError when the store cannot be written.
  virtual void Remove(std::string_view section, const std::vector<std::string>& keys) = 0;

  // The stored text, or `fallback` when the key is absent.
  std::string GetOr(std::string_view section, std::string_view key,
                    std::string_view fallback) const;
};

// The store's text for a boolean.
inline const char* BoolText(bool value) {
  return value ? "True" : "False";
}

// Reads a stored boolean: "True"/"False" in any letter case, or a number (non-zero is
// true). Anything else gives nothing.
std::optional<bool> ParseBoolText(std::string_view text);

// A store held in memory, for tests and for programs run without a settings file.
class MemorySettingsStore : public SettingsStore {
 public:
  std::optional<std::string> Get(std::string_view section, std::string_view key) const override;
  std::vector<std::string> Keys(std::string_view section) const override;
  void Save(std::string_view section, std::string_view key, std::string_view value) override;
  void Remove(std::string_view section, const std::vector<std::string>& keys) override;

 private:
  std::vector<std::pair<std::string, std::string>> entries_;  // "section\nkey" -> value
};

}  // namespace corvel
