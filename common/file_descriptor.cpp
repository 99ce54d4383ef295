#include "common/file_descriptor.h"

#include <unistd.h>

#include <cerrno>

namespace corvel {

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) ::close(fd_);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

int FileDescriptor::Close() {
  const int fd = fd_;
  fd_ = -1;
  return ::close(fd);
}

ssize_t FileDescriptor::ReadAt(void* data, std::size_t size, std::uint64_t offset) const {
  auto* bytes = static_cast<unsigned char*>(data);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = ::pread(fd_, bytes + done, size - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return static_cast<ssize_t>(done);
}

int FileDescriptor::WriteAt(const void* data, std::size_t size, std::uint64_t offset) const {
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t put = ::pwrite(fd_, bytes + done, size - done, static_cast<off_t>(offset + done));
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return -1;
    if (put == 0) {
      errno = EIO;
      return -1;
    }
    done += static_cast<std::size_t>(put);
  }
  return 0;
}

}  // namespace corvel
