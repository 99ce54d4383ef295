#pragma once
// Read-only access to a request file of fixed-length records. The file is opened once,
// created empty when it does not exist, and never written, truncated or deleted.
// A writer that locks the file while it writes (flock or fcntl) is waited for a bounded
// time, so a request still being written is never read half way.
#include <chrono>
#include <cstdint>
#include <string>

#include "common/file_descriptor.h"
#include "common/fixed_record.h"

namespace corvel {

class RequestFileReader {
 public:
  // How long a writer's lock on the file is waited for.
  static constexpr std::chrono::milliseconds kWriterLockWait{5000};

  // Opens `path` for reading, creating it empty when missing. Throws IoError when it
  // cannot be opened or created (a missing folder), is not a regular file, or is still
  // locked by its writer after kWriterLockWait.
  RequestFileReader(const std::string& path, std::size_t recordLength);

  const std::string& Path() const { return path_; }
  std::uint64_t Length() const { return length_; }
  // File length divided by the record length, as a real number (200 / 66 = 3.03...).
  double Count() const { return static_cast<double>(length_) / static_cast<double>(recordLength_); }
  // Number of whole records.
  std::uint64_t WholeRecords() const { return length_ / recordLength_; }

  // Record n (from 1); n must be a whole record. Throws IoError on a read failure.
  RecordBytes Read(std::uint64_t n) const;

 private:
  std::string path_;
  std::size_t recordLength_;
  std::uint64_t length_ = 0;
  FileDescriptor file_;
};

}  // namespace corvel
