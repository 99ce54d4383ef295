#include "station/product_file_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <filesystem>

#include "common/errors.h"
#include "common/regular_file.h"

namespace corvel {

FileDescriptor LockProductFile(const std::string& path) {
  // flock() and not fcntl() locks: the station opens and closes the file for every
  // write, and closing any descriptor of a file drops the process's fcntl() locks on it.
  // Never blocks (a named pipe in the file's place would hold the station before its
  // window); what is no regular file is not locked, and loading it says what it is.
  FileDescriptor file;
  try {
    file = OpenRegularFile(path, O_RDONLY, IfMissing::Create);
  } catch (const IoError&) {
    return file;
  }
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
