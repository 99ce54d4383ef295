#include "station/product_file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <thread>

#include "common/errors.h"
#include "common/regular_file.h"

namespace corvel {
namespace {

// True when `file` is still the file at `path`: a holder that replaced the file (an
// import renames a new one into place) leaves the old one locked in nobody's way.
bool StillAt(const FileDescriptor& file, const std::string& path) {
  struct stat open {
  }, named{};
  return ::fstat(file.get(), &open) == 0 && ::stat(path.c_str(), &named) == 0 &&
         open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

}  // namespace

FileDescriptor LockProductFile(const std::string& path, std::chrono::milliseconds wait) {
  // flock() and not fcntl() locks: the station opens and closes the file for every
  // write, and closing any descriptor of a file drops the process's fcntl() locks on it.
  // Never blocks (a named pipe in the file's place would hold the station before its
  // window); what is no regular file is not locked, and loading it says what it is.
  // flock() has no time limit of its own, so a held lock is tried again every few
  // milliseconds until the wait is over.
  const auto until = std::chrono::steady_clock::now() + wait;
  for (;;) {
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
    if (locked == 0 && StillAt(file, path)) return file;
    if (locked != 0 && errno != EWOULDBLOCK) return file;
    if (locked != 0 && std::chrono::steady_clock::now() >= until) break;
    if (locked != 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  std::error_code ignored;
  const std::string shown = std::filesystem::absolute(path, ignored).string();
  throw Failure("Another program is working on the product file \"" + shown +
                "\" (another station, or an import). Two at once would overwrite each "
                "other's edits, so this one does not go on. Close the other station first, "
                "or start this one in another folder.");
}

}  // namespace corvel
