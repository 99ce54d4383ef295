#pragma once
// An open POSIX file descriptor, closed when its owner goes. Move-only.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>

namespace corvel {

class FileDescriptor {
 public:
  FileDescriptor() = default;
  // Takes ownership of `fd`; a negative value owns nothing (a failed open).
  explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
  ~FileDescriptor();
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }

  // Closes now so that the error a delayed write may only show here is seen: 0, or -1
  // with errno set. Owns nothing afterwards.
  int Close();

  // Reads up to `size` bytes at `offset`, retrying interrupted and short reads until
  // end of file: the count read (less than `size` only at end of file), or -1 with
  // errno set.
  ssize_t ReadAt(void* data, std::size_t size, std::uint64_t offset) const;

  // Writes all `size` bytes at `offset`, retrying interrupted and short writes: 0, or -1
  // with errno set.
  int WriteAt(const void* data, std::size_t size, std::uint64_t offset) const;

 private:
  int fd_ = -1;
};

}  // namespace corvel
