#include "common/ini_settings_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "common/errors.h"
#include "common/number_text.h"
#include "common/text.h"

namespace corvel {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// A cached parse is trusted only once the file's modification time lies this far before
// the moment it was read. Closer than that, a later rewrite could reuse the inode and get
// the same size and the same (coarse) timestamp, and the change would go unnoticed.
constexpr std::int64_t kRacyMarginNs = 2'000'000'000;

// ---------------------------------------------------------------------------------------
// The file as lines. Lines are positions in the file's bytes, never copies, so a large
// file costs little more than its own size.

struct LineSpan {
  std::size_t start = 0;         // of the line's text
  std::size_t length = 0;        // of the text, without the line ending
  std::size_t endingLength = 0;  // 2 for CR LF, 1 for LF, 0 for a last line without one
};

// Calls `visit` with every line of `bytes`, in order. Only CR LF and LF end a line.
template <typename Visit>
void ForEachLine(std::string_view bytes, Visit&& visit) {
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t lf = bytes.find('\n', start);
    if (lf == std::string_view::npos) {
      visit(LineSpan{start, bytes.size() - start, 0});
      return;
    }
    std::size_t end = lf;
    if (end > start && bytes[end - 1] == '\r') --end;
    visit(LineSpan{start, end - start, lf + 1 - end});
    start = lf + 1;
  }
}

// Text to store, as UTF-8. Bytes that are not UTF-8 are taken as Windows-1252, as they
// would be read back, so the file stays UTF-8 and an unchanged value is seen as such.
std::string AsUtf8(std::string_view text) {
  return IsValidUtf8(text) ? std::string(text) : Cp1252ToUtf8(text);
}

// A line's text as UTF-8: the bytes themselves, or their Windows-1252 reading kept in
// `storage`.
std::string_view LineAsUtf8(std::string_view raw, std::string& storage) {
  if (IsValidUtf8(raw)) return raw;
  storage = Cp1252ToUtf8(raw);
  return storage;
}

// ---------------------------------------------------------------------------------------
// What a line means

enum class LineKind { Blank, Comment, Section, Entry, Other };

struct LineMeaning {
  LineKind kind = LineKind::Other;
  std::string_view name;   // the section name (Section) or the key (Entry)
  std::string_view value;  // Entry only: everything after the first '='
};

// `text` is one line as UTF-8 without a byte order mark; the meaning points into it.
LineMeaning ParseLine(std::string_view text) {
  const std::string_view trimmed = TrimBlanks(text);
  LineMeaning meaning;
  if (trimmed.empty()) {
    meaning.kind = LineKind::Blank;
  } else if (trimmed.front() == ';' || trimmed.front() == '#') {
    meaning.kind = LineKind::Comment;
  } else if (trimmed.front() == '[' && trimmed.find(']') != std::string_view::npos) {
    meaning.kind = LineKind::Section;
    meaning.name = trimmed.substr(1, trimmed.find(']') - 1);
  } else if (std::size_t eq = text.find('='); eq != std::string_view::npos) {
    const std::string_view key = TrimBlanks(text.substr(0, eq));
    if (!key.empty()) {
      meaning.kind = LineKind::Entry;
      meaning.name = key;
      meaning.value = text.substr(eq + 1);
    }
  }
  return meaning;
}

// ---------------------------------------------------------------------------------------
// Reading: the whole file as UTF-8 and a sorted index of its entries

// Part of the cached text. 32-bit offsets keep an entry at 24 bytes; larger files are
// refused when read.
struct TextSpan {
  std::uint32_t start = 0;
  std::uint32_t length = 0;
};

struct Entry {
  TextSpan section;
  TextSpan key;
  TextSpan value;
};

std::string_view At(std::string_view text, TextSpan span) {
  return text.substr(span.start, span.length);
}

// The file's bytes as UTF-8 without a leading byte order mark; lines that are not UTF-8
// are read as Windows-1252.
std::string FileAsUtf8(std::string bytes) {
  if (std::string_view(bytes).starts_with(kUtf8Bom)) bytes.erase(0, kUtf8Bom.size());
  if (IsValidUtf8(bytes)) return bytes;
  std::string text;
  text.reserve(bytes.size() + bytes.size() / 4);
  ForEachLine(bytes, [&](const LineSpan& line) {
    const std::string_view raw = std::string_view(bytes).substr(line.start, line.length);
    if (IsValidUtf8(raw))
      text += raw;
    else
      text += Cp1252ToUtf8(raw);
    text.append(bytes, line.start + line.length, line.endingLength);
  });
  return text;
}

// Every entry of `text`, sorted by section, key and then place in the file, so the first
// of several equal keys comes first.
std::vector<Entry> IndexEntries(std::string_view text) {
  std::vector<Entry> entries;
  entries.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
  const auto span = [&](std::string_view part) {
    return TextSpan{static_cast<std::uint32_t>(part.data() - text.data()),
                    static_cast<std::uint32_t>(part.size())};
  };
  TextSpan section;  // lines before the first header belong to the section ""
  ForEachLine(text, [&](const LineSpan& line) {
    const LineMeaning meaning = ParseLine(text.substr(line.start, line.length));
    if (meaning.kind == LineKind::Section) section = span(meaning.name);
    if (meaning.kind == LineKind::Entry)
      entries.push_back({section, span(meaning.name), span(meaning.value)});
  });
  if (entries.size() < entries.capacity() / 2) entries.shrink_to_fit();  // mostly other lines
  std::sort(entries.begin(), entries.end(), [text](const Entry& a, const Entry& b) {
    if (const auto c = At(text, a.section) <=> At(text, b.section); c != 0) return c < 0;
    if (const auto c = At(text, a.key) <=> At(text, b.key); c != 0) return c < 0;
    return a.key.start < b.key.start;
  });
  return entries;
}

// ---------------------------------------------------------------------------------------
// Writing: new values applied to the file's bytes in one pass

// Where a key's line lies in the file.
struct FoundLine {
  std::size_t start = 0;
  std::size_t length = 0;
  bool utf8 = true;
  std::string value;  // the value it holds now, as UTF-8
};

// The file with `values` (UTF-8 keys, each once) stored in `section`, into `out`. Only the
// lines of those keys change; a missing key is added after the last line of its section
// that is not blank or a comment (comments at a section's end usually describe the next
// one), or in a new section at the end. False when every key already held its value.
bool ApplyValues(std::string_view old, const std::string& section,
                 const std::vector<std::pair<std::string, std::string>>& values, std::string& out) {
  std::vector<std::optional<FoundLine>> found(values.size());
  std::string current;  // the section of the line, "" before the first header
  // Where new keys go (a byte offset), found in the section's first block; the file's
  // lines before its first header are the section "".
  std::optional<std::size_t> insertAt;
  if (section.empty()) insertAt = 0;
  bool insertAfterUnterminated = false;
  bool blockEnded = false;
  std::size_t crlf = 0, lf = 0;
  std::string storage;
  ForEachLine(old, [&](const LineSpan& line) {
    crlf += line.endingLength == 2;
    lf += line.endingLength == 1;
    std::string_view raw = old.substr(line.start, line.length);
    if (line.start == 0 && raw.starts_with(kUtf8Bom)) raw.remove_prefix(kUtf8Bom.size());
    const std::string_view text = LineAsUtf8(raw, storage);
    const LineMeaning meaning = ParseLine(text);
    if (meaning.kind == LineKind::Section) current = meaning.name;
    if (current != section) {
      if (insertAt && meaning.kind == LineKind::Section) blockEnded = true;
      return;
    }
    if (!blockEnded && meaning.kind != LineKind::Blank && meaning.kind != LineKind::Comment) {
      insertAt = line.start + line.length + line.endingLength;
      insertAfterUnterminated = line.endingLength == 0;
    }
    if (meaning.kind != LineKind::Entry) return;
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (!found[i] && values[i].first == meaning.name) {
        found[i] = FoundLine{line.start, line.length, text.data() == raw.data(),
                             std::string(meaning.value)};
        break;
      }
    }
  });
  const std::string ending = crlf > lf ? "\r\n" : "\n";

  struct Edit {
    std::size_t at = 0;
    std::size_t erase = 0;
    std::string text;
  };
  std::vector<Edit> edits;
  std::string added;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const auto& [key, value] = values[i];
    if (!found[i]) {
      added += key + "=" + value + ending;
      continue;
    }
    if (found[i]->value == value) continue;
    // The key part stays byte for byte; a Windows-1252 line becomes UTF-8 as a whole, so
    // it stays one encoding (a byte order mark stays as it is).
    const std::string_view line = old.substr(found[i]->start, found[i]->length);
    std::string_view keyPart = line.substr(0, line.find('=') + 1);
    std::string text;
    if (found[i]->start == 0 && keyPart.starts_with(kUtf8Bom)) {
      text = kUtf8Bom;
      keyPart.remove_prefix(kUtf8Bom.size());
    }
    text += found[i]->utf8 ? std::string(keyPart) : Cp1252ToUtf8(keyPart);
    edits.push_back({found[i]->start, found[i]->length, text + value});
  }
  if (!added.empty()) {
    const bool unterminated = !old.empty() && old.back() != '\n';
    if (!insertAt) {
      edits.push_back(
          {old.size(), 0, (unterminated ? ending : "") + "[" + section + "]" + ending + added});
    } else if (*insertAt == 0) {
      // A byte order mark stays at the very start of the file.
      edits.push_back({old.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0, 0, added});
    } else {
      edits.push_back({*insertAt, 0, (insertAfterUnterminated ? ending : "") + added});
    }
  }
  if (edits.empty()) return false;

  std::stable_sort(edits.begin(), edits.end(),
                   [](const Edit& a, const Edit& b) { return a.at < b.at; });
  std::size_t size = old.size();
  for (const Edit& edit : edits)
    size += edit.text.size();
  out.clear();
  out.reserve(size);
  std::size_t from = 0;
  for (const Edit& edit : edits) {
    out.append(old.substr(from, edit.at - from));
    out += edit.text;
    from = edit.at + edit.erase;
  }
  out.append(old.substr(from));
  return true;
}

// ---------------------------------------------------------------------------------------
// Files

std::string ParentFolder(const std::string& path) {
  std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The cause of a failed call on `path` that set `error`. "Not a directory" names the
// part of the path that is a file where a folder should be (a settings folder left
// behind as a file, say).
std::string Cause(const std::string& path, int error) {
  if (error == ENOTDIR) {
    for (std::string folder = ParentFolder(path); folder != "/" && folder != ".";
         folder = ParentFolder(folder)) {
      struct stat info;
      if (::stat(folder.c_str(), &info) == 0 && !S_ISDIR(info.st_mode))
        return folder + " is a file, not a folder";
    }
  }
  return std::strerror(error);
}

[[noreturn]] void ThrowIo(const std::string& what, const std::string& path, int error) {
  throw IoError("cannot " + what + " " + path + ": " + Cause(path, error));
}

// A folder where the settings file should be cannot be read or replaced.
void RefuseFolder(const std::string& what, const std::string& path, const struct stat& info) {
  if (S_ISDIR(info.st_mode))
    throw IoError("cannot " + what + " " + path + ": it is a folder, not a settings file");
}

// Takes the lock on `lock`, waiting at most `wait` for another program to give it up.
void LockWithin(int lock, const std::string& lockPath, const std::string& path,
                std::chrono::milliseconds wait) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + wait;
  for (;;) {
    if (::flock(lock, LOCK_EX | LOCK_NB) == 0) return;
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) ThrowIo("lock", lockPath, errno);
    if (Clock::now() >= deadline) {
      throw IoError("cannot write " + path + ": another program holds its lock file " + lockPath +
                    " (waited " + GeneralNumber(static_cast<double>(wait.count()) / 1000) + " s)");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
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

// Reads the rest of the file; `sizeHint` (its size when opened) saves regrowing.
std::string ReadAll(int fd, const std::string& path, off_t sizeHint) {
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(std::max<off_t>(sizeHint, 0)) + 1);
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

// Creates the folder and any missing parents (private to the user).
// Failures name the settings file `file` and the folder.
void EnsureFolder(const std::string& folder, const std::string& file) {
  const auto fail = [&](const std::string& cause) {
    throw IoError("cannot write " + file + ": cannot create folder " + folder + ": " + cause);
  };
  struct stat info;
  if (::stat(folder.c_str(), &info) == 0) {
    if (!S_ISDIR(info.st_mode))
      throw IoError("cannot write " + file + ": " + folder + " is a file, not a folder");
    return;
  }
  if (errno == ENOTDIR) {
    throw IoError("cannot write " + file + ": " + Cause(folder + "/", ENOTDIR));
  }
  if (errno != ENOENT) fail(std::strerror(errno));
  const std::string parent = ParentFolder(folder);
  if (parent != folder) EnsureFolder(parent, file);
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) fail(std::strerror(errno));
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
  std::string text;                      // the file as UTF-8
  std::vector<Entry> entries;            // its entries, sorted (IndexEntries)

  // The first entry of the section at or after `key`.
  std::vector<Entry>::const_iterator Find(std::string_view section, std::string_view key) const {
    return std::lower_bound(
        entries.begin(), entries.end(), std::pair(section, key),
        [this](const Entry& entry, std::pair<std::string_view, std::string_view> wanted) {
          return std::pair(At(text, entry.section), At(text, entry.key)) < wanted;
        });
  }
};

IniSettingsStore::IniSettingsStore(std::string path, std::chrono::milliseconds lockWait)
    : path_(std::move(path)), lockWait_(lockWait), cache_(std::make_shared<Cache>()) {}

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
  Cache& cache = *cache_;
  struct stat info;
  const auto forget = [&cache] {
    cache.identity.reset();
    std::string().swap(cache.text);
    std::vector<Entry>().swap(cache.entries);
  };
  if (::stat(path_.c_str(), &info) != 0) {
    if (errno != ENOENT) ThrowIo("read", path_, errno);
    forget();
    return false;  // a missing file holds no settings
  }
  RefuseFolder("read", path_, info);
  if (cache.identity && *cache.identity == FileIdentity(info)) return true;
  forget();  // before reading, so the old and the new file are never both held
  const std::int64_t readAt = NowNs();
  FileDescriptor fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    if (errno != ENOENT) ThrowIo("read", path_, errno);
    return false;
  }
  if (::fstat(fd.get(), &info) != 0) ThrowIo("read", path_, errno);
  RefuseFolder("read", path_, info);
  std::string text = FileAsUtf8(ReadAll(fd.get(), path_, info.st_size));
  if (text.size() > std::numeric_limits<std::uint32_t>::max())
    throw IoError("cannot read " + path_ + ": the file is too large for a settings file");
  cache.entries = IndexEntries(text);
  cache.text = std::move(text);
  const FileIdentity identity(info);
  if (identity.mtimeNs + kRacyMarginNs < readAt) cache.identity = identity;
  return true;
}

std::optional<std::string> IniSettingsStore::Get(std::string_view section,
                                                 std::string_view key) const {
  std::lock_guard<std::mutex> guard(cache_->mutex);
  if (!Refresh()) return std::nullopt;
  const Cache& cache = *cache_;
  const auto found = cache.Find(section, key);
  if (found == cache.entries.end() || At(cache.text, found->section) != section ||
      At(cache.text, found->key) != key) {
    return std::nullopt;
  }
  return std::string(At(cache.text, found->value));
}

std::vector<std::string> IniSettingsStore::Keys(std::string_view section) const {
  std::lock_guard<std::mutex> guard(cache_->mutex);
  if (!Refresh()) return {};
  const Cache& cache = *cache_;
  std::vector<std::string> keys;
  for (auto entry = cache.Find(section, "");
       entry != cache.entries.end() && At(cache.text, entry->section) == section; ++entry) {
    const std::string_view key = At(cache.text, entry->key);
    if (keys.empty() || keys.back() != key) keys.emplace_back(key);
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
  // Each key once, at its first place, with its last value.
  std::vector<std::pair<std::string, std::string>> wanted;
  for (const auto& [key, value] : values) {
    std::string name = AsUtf8(key);
    const auto same = std::find_if(wanted.begin(), wanted.end(),
                                   [&name](const auto& entry) { return entry.first == name; });
    if (same != wanted.end())
      same->second = AsUtf8(value);
    else
      wanted.emplace_back(std::move(name), AsUtf8(value));
  }

  const std::string target = WriteTarget(path_);
  EnsureFolder(ParentFolder(target), path_);

  // Other processes read-modify-write the same file: hold the lock for the whole update.
  const std::string lockPath = path_ + ".lock";
  FileDescriptor lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (lock.get() < 0) {
    throw IoError("cannot write " + path_ + ": cannot open its lock file " + lockPath + ": " +
                  Cause(lockPath, errno));
  }
  LockWithin(lock.get(), lockPath, path_, lockWait_);

  std::string old;
  mode_t mode = 0600;
  {
    FileDescriptor fd(::open(target.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() >= 0) {
      struct stat info;
      if (::fstat(fd.get(), &info) != 0) ThrowIo("read", target, errno);
      RefuseFolder("write", target, info);
      mode = info.st_mode & 07777;
      old = ReadAll(fd.get(), target, info.st_size);
    } else if (errno != ENOENT) {
      ThrowIo("read", target, errno);
    }
  }

  std::string updated;
  if (!ApplyValues(old, AsUtf8(section), wanted, updated)) {
    return;  // leave the file, its time stamp and its readers' caches alone
  }
  std::string().swap(old);

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
    WriteAll(fd.get(), updated, temporary);
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
