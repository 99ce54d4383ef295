#include "common/whole_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>

#include "common/errors.h"

namespace corvel {
namespace {

[[noreturn]] void Fail(const std::string& path, int error) {
  throw IoError("cannot write " + path + ": " + std::strerror(error));
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// ".NAME.XXXXXXXX.tmp" beside `target`, the X a random lower-case letter or digit.
std::string RandomTemporaryName(const std::string& target) {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device random;
  std::string suffix(8, 'x');
  for (char& c : suffix)
    c = kLetters[random() % (sizeof kLetters - 1)];
  return FolderOf(target) + "/." + NameOf(target) + "." + suffix + ".tmp";
}

// Makes the rename itself durable; the file is complete either way.
void SyncFolder(const std::string& path) {
  const int folder = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return;
  ::fsync(folder);
  ::close(folder);
}

// fsync, where the file system can: some (pipes, a few special ones) cannot and say so
// with EINVAL, which loses nothing.
bool Synced(int fd) {
  return ::fsync(fd) == 0 || errno == EINVAL;
}

}  // namespace

std::string WholeFileTarget(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) {
    if (errno != ENOENT) Fail(path, errno);
    std::string link(4096, '\0');
    const ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
    link.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    throw IoError("cannot write " + path + ": it is a symbolic link to " + link +
                  ", which does not exist; it is not created there");
  }
  std::string target(resolved);
  std::free(resolved);
  return target;
}

WholeFileWriter::WholeFileWriter(const std::string& path, mode_t newMode,
                                 const std::string& temporaryName)
    : target_(WholeFileTarget(path)) {
  struct stat old {};
  const bool replacing = ::stat(target_.c_str(), &old) == 0;
  const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  if (!temporaryName.empty()) {
    temporary_ = temporaryName;
    if (::unlink(temporary_.c_str()) != 0 && errno != ENOENT) Fail(temporary_, errno);
    file_ = FileDescriptor(::open(temporary_.c_str(), flags, newMode));
  } else {
    // A name taken by chance (or planted) is passed over for another.
    for (int attempt = 0; attempt < 100 && !file_.valid(); ++attempt) {
      temporary_ = RandomTemporaryName(target_);
      file_ = FileDescriptor(::open(temporary_.c_str(), flags, newMode));
      if (!file_.valid() && errno != EEXIST) break;
    }
  }
  if (!file_.valid()) {
    const int error = errno;
    temporary_.clear();
    Fail(target_, error);
  }
  if (replacing) ::fchmod(file_.get(), old.st_mode & 07777);
}

WholeFileWriter::~WholeFileWriter() {
  if (!committed_ && !temporary_.empty()) ::unlink(temporary_.c_str());
}

void WholeFileWriter::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(file_.get(), bytes.data(), bytes.size());
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) Fail(target_, errno);
    if (put == 0) Fail(target_, EIO);
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
}

void WholeFileWriter::Commit() {
  if (!Synced(file_.get())) Fail(target_, errno);
  if (file_.Close() != 0) Fail(target_, errno);
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) Fail(target_, errno);
  committed_ = true;
  SyncFolder(target_);
}

void WriteWholeFile(const std::string& path, std::string_view bytes, mode_t newMode) {
  WholeFileWriter writer(path, newMode);
  writer.Write(bytes);
  writer.Commit();
}

void ReplaceWithFinishedFile(const std::string& finished, const std::string& path) {
  const std::string target = WholeFileTarget(path);
  FileDescriptor file(::open(finished.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (!file.valid()) Fail(target, errno);
  struct stat old {};
  if (::stat(target.c_str(), &old) == 0) ::fchmod(file.get(), old.st_mode & 07777);
  if (!Synced(file.get())) Fail(target, errno);
  if (file.Close() != 0) Fail(target, errno);
  if (::rename(finished.c_str(), target.c_str()) != 0) Fail(target, errno);
  SyncFolder(target);
}

}  // namespace corvel
