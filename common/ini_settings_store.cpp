#include "common/ini_settings_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>

#include "common/errors.h"
#include "common/text.h"

namespace corvel {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// A cached parse is trusted only once the file's modification time lies this far before
// the moment it was read. Closer than that, a later rewrite could reuse the inode and get
// the same size and the same (coarse) timestamp, and the change would go unnoticed.
constexpr std::int64_t kRacyMarginNs = 2'000'000'000;

// ---------------------------------------------------------------------------------------
// The file as lines

struct Line {
  std::string text;    // the bytes without the line ending
  std::string ending;  // "\r\n", "\n", or "" for a last line without one
};

std::vector<Line> SplitLines(std::string_view bytes) {
  std::vector<Line> lines;
  while (!bytes.empty()) {
    std::size_t lf = bytes.find('\n');
    if (lf == std::string_view::npos) {
      lines.push_back({std::string(bytes), ""});
      break;
    }
    std::size_t end = lf;
    if (end > 0 && bytes[end - 1] == '\r') --end;
    lines.push_back(
        {std::string(bytes.substr(0, end)), std::string(bytes.substr(end, lf + 1 - end))});
    bytes.remove_prefix(lf + 1);
  }
  return lines;
}

std::string JoinLines(const std::vector<Line>& lines) {
  std::string bytes;
  for (const Line& line : lines) {
    bytes += line.text;
    bytes += line.ending;
  }
  return bytes;
}

// The ending most lines use, for lines this store adds. A file with none uses LF.
std::string DominantEnding(const std::vector<Line>& lines) {
  std::size_t crlf = 0;
  std::size_t lf = 0;
  for (const Line& line : lines) {
    if (line.ending == "\r\n") ++crlf;
    if (line.ending == "\n") ++lf;
  }
  return crlf > lf ? "\r\n" : "\n";
}

// Text to store, as UTF-8. Bytes that are not UTF-8 are taken as Windows-1252, as they
// would be read back, so the file stays UTF-8 and an unchanged value is seen as such.
std::string AsUtf8(std::string_view text) {
  return IsValidUtf8(text) ? std::string(text) : Cp1252ToUtf8(text);
}

// ---------------------------------------------------------------------------------------
// What a line means

enum class LineKind { Blank, Comment, Section, Entry, Other };

struct LineMeaning {
  LineKind kind = LineKind::Other;
  std::string name;   // the section name (Section) or the key (Entry)
  std::string value;  // Entry only: everything after the first '='
};

LineMeaning ParseLine(std::string_view raw, bool firstLine) {
  if (firstLine && raw.substr(0, kUtf8Bom.size()) == kUtf8Bom) raw.remove_prefix(kUtf8Bom.size());
  const std::string text = AsUtf8(raw);
  const std::string_view trimmed = TrimBlanks(text);
  LineMeaning meaning;
  if (trimmed.empty()) {
    meaning.kind = LineKind::Blank;
  } else if (trimmed.front() == ';' || trimmed.front() == '#') {
    meaning.kind = LineKind::Comment;
  } else if (trimmed.front() == '[' && trimmed.find(']') != std::string_view::npos) {
    meaning.kind = LineKind::Section;
    meaning.name = std::string(trimmed.substr(1, trimmed.find(']') - 1));
  } else if (std::size_t eq = text.find('='); eq != std::string::npos) {
    const std::string_view key = TrimBlanks(std::string_view(text).substr(0, eq));
    if (!key.empty()) {
      meaning.kind = LineKind::Entry;
      meaning.name = std::string(key);
      meaning.value = text.substr(eq + 1);
    }
  }
  return meaning;
}

// ---------------------------------------------------------------------------------------
// A whole file, editable

class IniDocument {
 public:
  explicit IniDocument(std::string_view bytes) : lines_(SplitLines(bytes)) {
    std::string section;  // lines before the first header belong to the section ""
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      LineMeaning meaning = ParseLine(lines_[i].text, i == 0);
      if (meaning.kind == LineKind::Section) section = meaning.name;
      sections_.push_back(section);
      meanings_.push_back(std::move(meaning));
    }
  }

  std::string Bytes() const { return JoinLines(lines_); }

  // Every key's value, the first occurrence winning, keyed "section\nkey".
  std::map<std::string, std::string, std::less<>> Values() const {
    std::map<std::string, std::string, std::less<>> values;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      if (meanings_[i].kind == LineKind::Entry) {
        values.emplace(sections_[i] + '\n' + meanings_[i].name, meanings_[i].value);
      }
    }
    return values;
  }

  // Sets the key's value; false when it already had exactly this value.
  bool Set(const std::string& section, const std::string& key, std::string_view value) {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      const LineMeaning& meaning = meanings_[i];
      if (meaning.kind != LineKind::Entry || sections_[i] != section || meaning.name != key) {
        continue;
      }
      if (meaning.value == value) return false;
      ReplaceValue(i, value);
      return true;
    }
    if (std::optional<std::size_t> at = EndOfSection(section)) {
      InsertLine(*at, key + "=" + std::string(value), section, LineKind::Entry, key, value);
    } else {
      InsertLine(lines_.size(), "[" + section + "]", section, LineKind::Section, section, "");
      InsertLine(lines_.size(), key + "=" + std::string(value), section, LineKind::Entry, key,
                 value);
    }
    return true;
  }

 private:
  // Keeps the line's key part byte for byte and puts the new value after the first '='.
  void ReplaceValue(std::size_t i, std::string_view value) {
    std::string& text = lines_[i].text;
    std::string prefix = text.substr(0, text.find('=') + 1);
    // A Windows-1252 line becomes UTF-8 as a whole, so it stays one encoding.
    if (!IsValidUtf8(text)) prefix = Cp1252ToUtf8(prefix);
    text = prefix + std::string(value);
    meanings_[i].value = std::string(value);
  }

  // Where a new key of `section` goes: after the section's last line that is not blank
  // or a comment (comments at its end usually describe the next section). Nothing when
  // the file has no such section.
  std::optional<std::size_t> EndOfSection(const std::string& section) const {
    std::optional<std::size_t> at;
    if (section.empty()) at = 0;  // the lines before the first header
    for (std::size_t i = 0; i < lines_.size(); ++i) {
      if (sections_[i] != section) {
        if (at && meanings_[i].kind == LineKind::Section) break;  // first such section only
        continue;
      }
      const LineKind kind = meanings_[i].kind;
      if (kind != LineKind::Blank && kind != LineKind::Comment) at = i + 1;
    }
    return at;
  }

  void InsertLine(std::size_t at, std::string text, const std::string& section, LineKind kind,
                  std::string_view name, std::string_view value) {
    const std::string ending = DominantEnding(lines_);
    if (at > 0 && lines_[at - 1].ending.empty()) lines_[at - 1].ending = ending;
    // A byte order mark stays at the very start of the file.
    if (at == 0 && !lines_.empty() && lines_[0].text.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
      lines_[0].text.erase(0, kUtf8Bom.size());
      text.insert(0, kUtf8Bom);
    }
    lines_.insert(lines_.begin() + at, Line{std::move(text), ending});
    sections_.insert(sections_.begin() + at, section);
    meanings_.insert(meanings_.begin() + at,
                     LineMeaning{kind, std::string(name), std::string(value)});
  }

  std::vector<Line> lines_;
  std::vector<std::string> sections_;  // the section each line lies in
  std::vector<LineMeaning> meanings_;
};

// ---------------------------------------------------------------------------------------
// Files

[[noreturn]] void ThrowIo(const std::string& what, const std::string& path, int error) {
  throw IoError("cannot " + what + " " + path + ": " + std::strerror(error));
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now, reporting the error a delayed write may only show here.
  int Close() {
    int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

std::string ReadAll(int fd, const std::string& path) {
  std::string bytes;
  char buffer[16384];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowIo("read", path, errno);
    if (n == 0) return bytes;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
}

void WriteAll(int fd, std::string_view bytes, const std::string& path) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowIo("write", path, errno);
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

std::string ParentFolder(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Creates the folder and any missing parents (private to the user).
void EnsureFolder(const std::string& folder) {
  struct stat info;
  if (::stat(folder.c_str(), &info) == 0) {
    if (!S_ISDIR(info.st_mode)) ThrowIo("create folder", folder, ENOTDIR);
    return;
  }
  if (errno != ENOENT) ThrowIo("create folder", folder, errno);
  const std::string parent = ParentFolder(folder);
  if (parent != folder) EnsureFolder(parent);
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    ThrowIo("create folder", folder, errno);
  }
}

// The file the store really writes: a symbolic link is followed so that replacing the
// file keeps the link.
std::string WriteTarget(const std::string& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;
  std::string target(resolved);
  std::free(resolved);
  return target;
}

std::int64_t Nanoseconds(const struct timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

std::int64_t NowNs() {
  struct timespec now;
  ::clock_gettime(CLOCK_REALTIME, &now);
  return Nanoseconds(now);
}

struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  std::int64_t mtimeNs = 0;

  explicit FileIdentity(const struct stat& info)
      : device(info.st_dev),
        inode(info.st_ino),
        size(info.st_size),
        mtimeNs(Nanoseconds(info.st_mtim)) {}
  bool operator==(const FileIdentity&) const = default;
};

void CheckWritable(std::string_view section, std::string_view key, std::string_view value,
                   const std::string& path) {
  auto refuse = [&](const std::string& reason) {
    throw IoError("cannot store " + std::string(section) + "/" + std::string(key) + " in " + path +
                  ": " + reason);
  };
  if (value.find_first_of("\r\n") != std::string_view::npos) {
    refuse("the value contains a line break");
  }
  if (section.find_first_of("]\r\n") != std::string_view::npos) {
    refuse("the section name contains ']' or a line break");
  }
  if (key.empty() || key.find_first_of("=\r\n") != std::string_view::npos ||
      TrimBlanks(key) != key || key.front() == ';' || key.front() == '#' || key.front() == '[') {
    refuse("the key name cannot be stored in a line of its own");
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------

struct IniSettingsStore::Cache {
  std::mutex mutex;
  std::optional<FileIdentity> identity;  // of the parsed file, when the parse may be reused
  std::map<std::string, std::string, std::less<>> values;
};

IniSettingsStore::IniSettingsStore(std::string path)
    : path_(std::move(path)), cache_(std::make_shared<Cache>()) {}

std::string IniSettingsStore::DefaultPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::string folder;
  if (config != nullptr && *config != '\0') {
    folder = config;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
      const struct passwd* user = ::getpwuid(::getuid());
      home = user != nullptr ? user->pw_dir : "";
    }
    folder = std::string(home) + "/.config";
  }
  return folder + "/Corvel/Corvel.ini";
}

bool IniSettingsStore::Refresh() const {
  struct stat info;
  if (::stat(path_.c_str(), &info) != 0) {
    if (errno != ENOENT) ThrowIo("read", path_, errno);
    cache_->identity.reset();
    return false;  // a missing file holds no settings
  }
  if (!cache_->identity || !(*cache_->identity == FileIdentity(info))) {
    const std::int64_t readAt = NowNs();
    FileDescriptor fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
      if (errno != ENOENT) ThrowIo("read", path_, errno);
      cache_->identity.reset();
      return false;
    }
    if (::fstat(fd.get(), &info) != 0) ThrowIo("read", path_, errno);
    cache_->identity.reset();
    cache_->values = IniDocument(ReadAll(fd.get(), path_)).Values();
    FileIdentity identity(info);
    if (identity.mtimeNs + kRacyMarginNs < readAt) cache_->identity = identity;
  }
  return true;
}

std::optional<std::string> IniSettingsStore::Get(std::string_view section,
                                                 std::string_view key) const {
  std::lock_guard<std::mutex> guard(cache_->mutex);
  if (!Refresh()) return std::nullopt;
  std::string name(section);
  name += '\n';
  name += key;
  auto found = cache_->values.find(name);
  if (found == cache_->values.end()) return std::nullopt;
  return found->second;
}

std::vector<std::string> IniSettingsStore::Keys(std::string_view section) const {
  std::lock_guard<std::mutex> guard(cache_->mutex);
  if (!Refresh()) return {};
  const std::string prefix = std::string(section) + '\n';
  std::vector<std::string> keys;
  for (auto entry = cache_->values.lower_bound(prefix);
       entry != cache_->values.end() && entry->first.starts_with(prefix); ++entry) {
    keys.push_back(entry->first.substr(prefix.size()));
  }
  return keys;
}

void IniSettingsStore::Save(std::string_view section, std::string_view key,
                            std::string_view value) {
  SaveMany(section, {{std::string(key), std::string(value)}});
}

void IniSettingsStore::SaveMany(std::string_view section,
                                const std::vector<std::pair<std::string, std::string>>& values) {
  for (const auto& [key, value] : values)
    CheckWritable(section, key, value, path_);
  if (values.empty()) return;

  const std::string target = WriteTarget(path_);
  EnsureFolder(ParentFolder(target));

  // Other processes read-modify-write the same file: hold the lock for the whole update.
  const std::string lockPath = path_ + ".lock";
  FileDescriptor lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (lock.get() < 0) ThrowIo("write", lockPath, errno);
  while (::flock(lock.get(), LOCK_EX) != 0) {
    if (errno != EINTR) ThrowIo("lock", lockPath, errno);
  }

  std::string old;
  mode_t mode = 0600;
  {
    FileDescriptor fd(::open(target.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() >= 0) {
      struct stat info;
      if (::fstat(fd.get(), &info) != 0) ThrowIo("read", target, errno);
      mode = info.st_mode & 07777;
      old = ReadAll(fd.get(), target);
    } else if (errno != ENOENT) {
      ThrowIo("read", target, errno);
    }
  }

  IniDocument document(old);
  const std::string sectionName = AsUtf8(section);
  bool changed = false;
  for (const auto& [key, value] : values) {
    changed |= document.Set(sectionName, AsUtf8(key), AsUtf8(value));
  }
  if (!changed) return;  // leave the file, its time stamp and its readers' caches alone

  // Write the whole new file beside the old one and rename it over: readers and a crash
  // see either the old or the new file, never a part of one. Only the lock holder uses
  // the temporary name, so one left by a crashed writer is simply replaced.
  const std::string temporary = target + ".tmp";
  try {
    if (::unlink(temporary.c_str()) != 0 && errno != ENOENT) ThrowIo("write", temporary, errno);
    FileDescriptor fd(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (fd.get() < 0) ThrowIo("write", temporary, errno);
    ::fchmod(fd.get(), mode);  // open() applied the umask
    WriteAll(fd.get(), document.Bytes(), temporary);
    if (::fsync(fd.get()) != 0) ThrowIo("write", temporary, errno);
    if (fd.Close() != 0) ThrowIo("write", temporary, errno);
    if (::rename(temporary.c_str(), target.c_str()) != 0) ThrowIo("write", target, errno);
  } catch (...) {
    ::unlink(temporary.c_str());
    throw;
  }
  // Make the rename itself durable; the file is already complete either way.
  FileDescriptor folder(::open(ParentFolder(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0) ::fsync(folder.get());

  std::lock_guard<std::mutex> guard(cache_->mutex);
  cache_->identity.reset();
}

}  // namespace corvel
