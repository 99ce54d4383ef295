#pragma once
// The settings store on disk: one INI file per user,
// ${XDG_CONFIG_HOME:-$HOME/.config}/Corvel/Corvel.ini.
//
// - Exact text: everything after the first '=' up to the line end (CR LF or LF) is the
//   value, read back byte for byte (backslashes, commas, quotes, '#', leading and
//   trailing spaces). Section and key names match exactly. Lines starting with ';' or
//   '#' are comments.
// - A write changes only the line of that key (or appends it to its section, or
//   appends the section); every other line, comment, order and line ending stays.
// - Safe under concurrent writers: read-modify-write under flock() on a lock file
//   beside it, written to a temporary file and renamed over the old one. A writer waits
//   a bounded time for a lock another program holds, then fails naming the lock file.
// - Memory stays proportionate to the file: the file's text and a compact index.
// - UTF-8; a line that is not valid UTF-8 is read as Windows-1252.
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "common/settings_store.h"

namespace corvel {

class IniSettingsStore : public SettingsStore {
 public:
  // How long a writer waits for a lock another program holds before it fails.
  static constexpr std::chrono::milliseconds kLockWait{5000};

  explicit IniSettingsStore(std::string path, std::chrono::milliseconds lockWait = kLockWait);

  // The per-user file path described above.
  static std::string DefaultPath();

  const std::string& Path() const { return path_; }

  std::optional<std::string> Get(std::string_view section, std::string_view key) const override;
  std::vector<std::string> Keys(std::string_view section) const override;
  void Save(std::string_view section, std::string_view key, std::string_view value) override;
  void SaveMany(std::string_view section,
                const std::vector<std::pair<std::string, std::string>>& values) override;
  // Removes every line of `keys` in `section`, so that they read as absent again.
  void Remove(std::string_view section, const std::vector<std::string>& keys) override;

 private:
  struct Cache;  // the last parsed file, shared by copies of this store

  // Brings the cache up to date with the file (the cache's mutex held); false when
  // there is no file.
  bool Refresh() const;
  // One read-modify-write of the file under its lock: `change` makes the new bytes from
  // the old ones, or returns false to leave the file alone.
  void Rewrite(const std::function<bool(std::string_view old, std::string& updated)>& change);

  std::string path_;
  std::chrono::milliseconds lockWait_;
  std::shared_ptr<Cache> cache_;
};

}  // namespace corvel
