#include "common/ini_settings_store.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "common/errors.h"
#include "common/file_descriptor.h"
#include "common/ini_document.h"
#include "common/number_text.h"
#include "common/regular_file.h"
#include "common/text.h"
#include "common/whole_file.h"

namespace corvel {

namespace {

// A cached parse is trusted only once the file's modification time lies this far before
// the moment it was read. Closer than that, a later rewrite could reuse the inode and get
// the same size and the same (coarse) timestamp, and the change would go unnoticed.
constexpr std::int64_t kRacyMarginNs = 2'000'000'000;

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
// The wait blocks in flock(), on a helper thread so that it can be given up: a blocked
// waiter is woken the moment the lock is free, where one that polled could be overtaken
// again and again by a busy writer and fail although the lock was free many times.
void LockWithin(int lock, const std::string& lockPath, const std::string& path,
                std::chrono::milliseconds wait) {
  if (::flock(lock, LOCK_EX | LOCK_NB) == 0) return;
  if (errno != EWOULDBLOCK && errno != EINTR) ThrowIo("lock", lockPath, errno);
  struct Waiter {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false, abandoned = false;
    int result = -1, error = 0;
    FileDescriptor fd;  // shares `lock`'s open file, and so the lock taken through it
  };
  auto waiter = std::make_shared<Waiter>();
  waiter->fd = FileDescriptor(::fcntl(lock, F_DUPFD_CLOEXEC, 0));
  if (!waiter->fd.valid()) ThrowIo("lock", lockPath, errno);
  std::thread([waiter] {
    int result;
    do
      result = ::flock(waiter->fd.get(), LOCK_EX);
    while (result != 0 && errno == EINTR);
    const int error = errno;
    std::lock_guard<std::mutex> guard(waiter->mutex);
    if (waiter->abandoned && result == 0) ::flock(waiter->fd.get(), LOCK_UN);
    waiter->result = result;
    waiter->error = error;
    waiter->done = true;
    waiter->finished.notify_one();
  }).detach();
  std::unique_lock<std::mutex> guard(waiter->mutex);
  if (!waiter->finished.wait_for(guard, wait, [&waiter] { return waiter->done; })) {
    waiter->abandoned = true;  // the helper gives the lock up should it still come
    throw IoError("cannot write " + path + ": another program holds its lock file " + lockPath +
                  " (waited " + GeneralNumber(static_cast<double>(wait.count()) / 1000) + " s)");
  }
  if (waiter->result != 0) ThrowIo("lock", lockPath, waiter->error);
}

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
  // A key led by a byte order mark would lose it when its line is the file's first,
  // where the mark is read as the file's own, and could not be read back.
  if (key.empty() || key.find_first_of("=\r\n") != std::string_view::npos ||
      TrimBlanks(key) != key || key.front() == ';' || key.front() == '#' || key.front() == '[' ||
      key.starts_with("\xEF\xBB\xBF")) {
    refuse("the key name cannot be stored in a line of its own");
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------

struct IniSettingsStore::Cache {
  std::mutex mutex;
  std::optional<FileIdentity> identity;  // of the parsed file, when the parse may be reused
  IniDocument document;                  // the file parsed
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
    cache.document.Clear();
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
  // Never blocks: a named pipe in the file's place is refused, not waited on.
  FileDescriptor fd = OpenRegularFile(path_, O_RDONLY, IfMissing::Fail);
  if (fd.get() < 0) {
    if (errno != ENOENT) ThrowIo("read", path_, errno);
    return false;
  }
  if (::fstat(fd.get(), &info) != 0) ThrowIo("read", path_, errno);
  RefuseFolder("read", path_, info);
  std::optional<IniDocument> document = IniDocument::Parse(ReadAll(fd.get(), path_, info.st_size));
  if (!document)
    throw IoError("cannot read " + path_ + ": the file is too large for a settings file");
  cache.document = std::move(*document);
  const FileIdentity identity(info);
  if (identity.mtimeNs + kRacyMarginNs < readAt) cache.identity = identity;
  return true;
}

std::optional<std::string> IniSettingsStore::Get(std::string_view section,
                                                 std::string_view key) const {
  std::lock_guard<std::mutex> guard(cache_->mutex);
  if (!Refresh()) return std::nullopt;
  const std::optional<std::string_view> value = cache_->document.Get(section, key);
  if (!value) return std::nullopt;
  return std::string(*value);
}

std::vector<std::string> IniSettingsStore::Keys(std::string_view section) const {
  std::lock_guard<std::mutex> guard(cache_->mutex);
  if (!Refresh()) return {};
  return cache_->document.Keys(section);
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

  Rewrite([&](std::string_view old, std::string& updated) {
    return ApplyIniValues(old, AsUtf8(section), wanted, updated);
  });
}

void IniSettingsStore::Remove(std::string_view section, const std::vector<std::string>& keys) {
  std::vector<std::string> names;
  for (const std::string& key : keys)
    names.push_back(AsUtf8(key));
  Rewrite([&](std::string_view old, std::string& updated) {
    return RemoveIniKeys(old, AsUtf8(section), names, updated);
  });
}

void IniSettingsStore::Rewrite(
    const std::function<bool(std::string_view old, std::string& updated)>& change) {
  // A symbolic link is followed so that replacing the file keeps the link.
  const std::string target = WholeFileTarget(path_);
  EnsureFolder(ParentFolder(target), path_);

  // Other processes read-modify-write the same file: hold the lock for the whole update.
  // Only a regular file serves: a named pipe there would let the lock go unnoticed.
  const std::string lockPath = path_ + ".lock";
  FileDescriptor lock = OpenRegularFile(lockPath, O_RDWR, IfMissing::Create, 0600);
  if (lock.get() < 0) {
    throw IoError("cannot write " + path_ + ": cannot open its lock file " + lockPath + ": " +
                  Cause(lockPath, errno));
  }
  LockWithin(lock.get(), lockPath, path_, lockWait_);

  std::string old;
  {
    struct stat info;
    if (::stat(target.c_str(), &info) == 0) RefuseFolder("write", target, info);
    FileDescriptor fd = OpenRegularFile(target, O_RDONLY, IfMissing::Fail);
    if (fd.get() >= 0) {
      if (::fstat(fd.get(), &info) != 0) ThrowIo("read", target, errno);
      old = ReadAll(fd.get(), target, info.st_size);
    } else if (errno != ENOENT) {
      ThrowIo("read", target, errno);
    }
  }

  std::string updated;
  if (!change(old, updated)) {
    return;  // leave the file, its time stamp and its readers' caches alone
  }
  std::string().swap(old);

  // The whole new file goes beside the old one and is renamed over it: readers and a
  // crash see either the old or the new file, never a part of one. Only the lock holder
  // uses the temporary name, so one left by a crashed writer is simply replaced.
  WholeFileWriter file(target, 0600, target + ".tmp");
  file.Write(updated);
  file.Commit();

  std::lock_guard<std::mutex> guard(cache_->mutex);
  cache_->identity.reset();
}

}  // namespace corvel
