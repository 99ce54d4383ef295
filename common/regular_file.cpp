#include "common/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "common/errors.h"

namespace corvel {
namespace {

int OpenRetrying(const std::string& path, int flags, mode_t mode) {
  int fd;
  do
    fd = ::open(path.c_str(), flags, mode);
  while (fd < 0 && errno == EINTR);
  return fd;
}

[[noreturn]] void RefuseKind(const std::string& path, mode_t mode) {
  throw IoError(path + " is " + FileKind(mode) + ", not a regular file");
}

// Where a symbolic link points, as written in it.
std::string LinkText(const std::string& path) {
  std::vector<char> buffer(4096);
  const ssize_t length = ::readlink(path.c_str(), buffer.data(), buffer.size());
  return length > 0 ? std::string(buffer.data(), static_cast<std::size_t>(length)) : "?";
}

}  // namespace

std::string FileKind(mode_t mode) {
  if (S_ISREG(mode)) return "a regular file";
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a named pipe";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISLNK(mode)) return "a symbolic link";
  return "something other than a file";
}

FileDescriptor OpenRegularFile(const std::string& path, int access, IfMissing ifMissing,
                               mode_t mode) {
  // O_NONBLOCK: a named pipe opens at once instead of waiting for its other end, and is
  // then refused below; O_NOCTTY: a terminal never becomes ours by being opened.
  const int flags = access | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
  for (;;) {
    int fd = OpenRetrying(path, flags, 0);
    if (fd < 0 && errno == ENOENT && ifMissing == IfMissing::Create) {
      // O_EXCL with O_CREAT never follows a symbolic link: a link to a missing file
      // fails with EEXIST rather than creating its target.
      fd = OpenRetrying(path, flags | O_CREAT | O_EXCL, mode);
      if (fd < 0 && errno == EEXIST) {
        struct stat link {};
        if (::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode))
          throw IoError(path + " is a symbolic link to " + LinkText(path) +
                        ", which does not exist; it is not created there");
        continue;  // another program created it meanwhile: open that one
      }
    }
    if (fd < 0) {
      // A named pipe opened for writing without a reader fails (ENXIO) before fstat
      // could tell what it is; say what it is rather than the system's word.
      const int error = errno;
      struct stat info {};
      if (error != ENOENT && ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode) &&
          !S_ISDIR(info.st_mode))
        RefuseKind(path, info.st_mode);
      errno = error;
      return FileDescriptor();
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
      const int error = errno;
      ::close(fd);
      errno = error;
      return FileDescriptor();
    }
    FileDescriptor file(fd);
    if (!S_ISREG(info.st_mode)) RefuseKind(path, info.st_mode);
    const int status = ::fcntl(fd, F_GETFL);
    if (status != -1) ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
    return file;
  }
}

std::optional<std::string> ReadWhole(const FileDescriptor& file) {
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
  const ssize_t got = file.ReadAt(bytes.data(), bytes.size(), 0);
  if (got < 0) return std::nullopt;
  bytes.resize(static_cast<std::size_t>(got));
  return bytes;
}

}  // namespace corvel
