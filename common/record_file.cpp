#include "common/record_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/errors.h"

namespace corvel {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error) {
  throw IoError(what + " " + path + ": " + std::strerror(error));
}

// An open file descriptor, closed when the operation ends.
class FileHandle {
 public:
  FileHandle(const std::string& path, int flags) : path_(path) {
    fd_ = OpenRetrying(flags);
    // Like random access on other systems, an existing file we may only read still
    // opens for reading; a write to it then fails and says so.
    if (fd_ < 0 && (errno == EACCES || errno == EROFS) && (flags & O_ACCMODE) == O_RDWR)
      fd_ = OpenRetrying(O_RDONLY);
    if (fd_ < 0) Fail("cannot open", path, errno);
  }
  ~FileHandle() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;

  int fd() const { return fd_; }

  // Closes now so that a failure to close (a delayed write error) is reported.
  void Close() {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) Fail("cannot close", path_, errno);
  }

 private:
  int OpenRetrying(int flags) const {
    int fd;
    do
      fd = ::open(path_.c_str(), flags | O_CLOEXEC, 0644);
    while (fd < 0 && errno == EINTR);
    return fd;
  }

  std::string path_;
  int fd_ = -1;
};

}  // namespace

RecordFile::RecordFile(std::string path, std::size_t recordLength)
    : path_(std::move(path)), recordLength_(recordLength) {}

void RecordFile::Create() const {
  FileHandle file(path_, O_RDWR | O_CREAT);
  file.Close();
}

std::uint64_t RecordFile::Length() const {
  FileHandle file(path_, O_RDWR | O_CREAT);
  struct stat info {};
  if (::fstat(file.fd(), &info) != 0) Fail("cannot read the size of", path_, errno);
  file.Close();
  return static_cast<std::uint64_t>(info.st_size);
}

RecordBytes RecordFile::Read(std::uint64_t n) const {
  if (n == 0) throw IoError("record numbers start at 1: " + path_);
  RecordBytes record(recordLength_, 0);
  FileHandle file(path_, O_RDWR | O_CREAT);
  const off_t start = static_cast<off_t>((n - 1) * recordLength_);
  std::size_t done = 0;
  while (done < recordLength_) {
    const ssize_t got = ::pread(file.fd(), record.data() + done, recordLength_ - done,
                                start + static_cast<off_t>(done));
    if (got < 0) {
      if (errno == EINTR) continue;
      Fail("cannot read", path_, errno);
    }
    if (got == 0) break;  // end of file: the rest stays zero
    done += static_cast<std::size_t>(got);
  }
  file.Close();
  return record;
}

void RecordFile::Write(std::uint64_t n, const RecordBytes& record) const {
  if (n == 0) throw IoError("record numbers start at 1: " + path_);
  if (record.size() != recordLength_) throw IoError("record of the wrong length for " + path_);
  FileHandle file(path_, O_RDWR | O_CREAT);
  const off_t start = static_cast<off_t>((n - 1) * recordLength_);
  std::size_t done = 0;
  while (done < recordLength_) {
    const ssize_t put = ::pwrite(file.fd(), record.data() + done, recordLength_ - done,
                                 start + static_cast<off_t>(done));
    if (put < 0) {
      if (errno == EINTR) continue;
      Fail("cannot write", path_, errno);
    }
    done += static_cast<std::size_t>(put);
  }
  if (::fsync(file.fd()) != 0 && errno != EINVAL) Fail("cannot write", path_, errno);
  file.Close();
}

}  // namespace corvel
