#pragma once
// A file of fixed-length records, numbered from 1. Every operation opens the file,
// does its work and closes it again, so no handle stays open between operations.
// Failures throw IoError with the path and the system's reason; nothing is swallowed.
#include <cstdint>
#include <string>
#include <vector>

#include "common/fixed_record.h"

namespace corvel {

class RecordFile {
 public:
  RecordFile(std::string path, std::size_t recordLength);

  const std::string& Path() const { return path_; }
  std::size_t RecordLength() const { return recordLength_; }

  // Length of the file in bytes (creating it empty when missing).
  std::uint64_t Length() const;

  // Record n (from 1). A record that runs past the end of the file is completed with
  // zero bytes; one wholly past the end reads as all zeros.
  RecordBytes Read(std::uint64_t n) const;

  // Records `first`..`last` (from 1; none when last < first) as Read gives them, in one
  // pass over the file.
  std::vector<RecordBytes> ReadRange(std::uint64_t first, std::uint64_t last) const;

  // Writes record n (from 1) in place, creating the file when missing; `record` must
  // be exactly RecordLength() bytes. The data is flushed before the file is closed.
  void Write(std::uint64_t n, const RecordBytes& record) const;

 private:
  std::string path_;
  std::size_t recordLength_;
};

}  // namespace corvel
