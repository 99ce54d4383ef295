#include "station/product_file_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <filesystem>

#include "common/errors.h"

namespace corvel {

FileDescriptor LockProductFile(const std::string& path) {
  // flock() and not fcntl() locks: the station opens and closes the file for every
  // write, and closing any descriptor of a file drops the process's fcntl() locks on it.
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644));
  if (!file.valid()) return file;
  int locked;
  do
    locked = ::flock(file.get(), LOCK_EX | LOCK_NB);
  while (locked != 0 && errno == EINTR);
  if (locked != 0 && errno == EWOULDBLOCK) {
    std::error_code ignored;
    const std::string shown = std::filesystem::absolute(path, ignored).string();
    throw Failure("Another station is already working on the product file \"" + shown +
                  "\". Two stations on one file would overwrite each other's edits, so this "
                  "one does not start. Close the other station first, or start this one in "
                  "another folder.");
  }
  return file;
}

}  // namespace corvel
