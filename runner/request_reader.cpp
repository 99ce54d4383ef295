#include "runner/request_reader.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "common/errors.h"
#include "common/regular_file.h"
#include "common/settings_sections.h"
#include "common/text.h"

namespace corvel {
namespace {
// A path as text for a message: a folder named in the suite's single-byte code page is
// shown as what it reads.
std::string Shown(const std::string& path) {
  return IsValidUtf8(path) ? path : Cp1252ToUtf8(path);
}

std::string Reason(const std::string& what, const std::string& path, int error) {
  return what + " " + Shown(path) + ": " + std::strerror(error);
}

bool Exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0;
}

// Why `path` could not be opened (or created when missing), naming the file or folder
// at fault rather than only the system's word for it.
std::string OpenFailure(const std::string& path, int error) {
  const std::size_t slash = path.rfind('/');
  const std::string folder =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  const std::string file = "request file " + Shown(path);
  const std::string where =
      "the folder " + Shown(folder) + " (setting " + std::string(kRunnerSection) + "/Path)";
  switch (error) {
    case ENOENT:
      return "cannot open " + file + ": " + where + " does not exist";
    case ENOTDIR:
      return "cannot open " + file + ": " + where + " is not a folder";
    case EROFS:
      return file + " is missing and cannot be created: " + where +
             " is on a read-only file system";
    case EACCES:
      if (Exists(path)) return "no permission to read " + file;
      if (!Exists(folder) || ::access(folder.c_str(), X_OK) != 0)
        return "cannot open " + file + ": no permission to enter " + where;
      return file + " is missing and cannot be created: no permission to write in " + where;
    default:
      return Reason("cannot open request file", path, error);
  }
}
// True when no program holds a write lock on `fd`'s file, of either kind: flock() (then
// this reader holds a shared one until it closes) or fcntl()/lockf() (only looked at:
// such a lock of ours would go with any close of the file).
bool FreeOfWriters(int fd) {
  if (::flock(fd, LOCK_SH | LOCK_NB) != 0) return errno != EWOULDBLOCK && errno != EINTR;
  struct flock probe {};
  probe.l_type = F_RDLCK;
  probe.l_whence = SEEK_SET;
  return ::fcntl(fd, F_GETLK, &probe) != 0 || probe.l_type == F_UNLCK;
}

}  // namespace

RequestFileReader::RequestFileReader(const std::string& path, std::size_t recordLength)
    : path_(path), recordLength_(recordLength) {
  // Created when missing, never truncated: an existing file is left exactly as it is.
  // Read-only, so a request the suite made read-only still reads. Opened without
  // blocking, so a named pipe in the request's place cannot hang the run; it is refused,
  // as is anything else that is not a regular file, and a symbolic link to a missing
  // file (its target is never created).
  try {
    file_ = OpenRegularFile(path, O_RDONLY, IfMissing::Create);
  } catch (const IoError& refused) {
    throw IoError("request file " + std::string(refused.what()));
  }
  if (!file_.valid()) throw IoError(OpenFailure(path, errno));
  struct stat info {};
  const auto deadline = std::chrono::steady_clock::now() + kWriterLockWait;
  while (!FreeOfWriters(file_.get())) {
    if (std::chrono::steady_clock::now() >= deadline) {
      throw IoError("request file " + Shown(path) +
                    " is locked by the program writing it (waited " +
                    std::to_string(kWriterLockWait.count() / 1000) + " s)");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  // The length once the writer is done.
  if (::fstat(file_.get(), &info) != 0)
    throw IoError(Reason("cannot read request file", path, errno));
  length_ = static_cast<std::uint64_t>(info.st_size);
}

RecordBytes RequestFileReader::Read(std::uint64_t n) const {
  if (n < 1 || n > WholeRecords())
    throw IoError("record " + std::to_string(n) + " is beyond the end of " + Shown(path_));
  RecordBytes record(recordLength_);
  const ssize_t got = file_.ReadAt(record.data(), recordLength_, (n - 1) * recordLength_);
  if (got < 0) throw IoError(Reason("cannot read request file", path_, errno));
  if (static_cast<std::size_t>(got) < recordLength_)
    throw IoError("request file " + Shown(path_) + " became shorter while it was read");
  return record;
}

}  // namespace corvel
