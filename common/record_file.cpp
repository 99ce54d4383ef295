#include "common/record_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/errors.h"
#include "common/file_descriptor.h"
#include "common/regular_file.h"

namespace corvel {
namespace {

[[noreturn]] void Fail(const std::string& what, const std::string& path, int error) {
  throw IoError(what + " " + path + ": " + std::strerror(error));
}

// Opens for reading and writing, creating the file when missing. Like random access on
// other systems, an existing file we may only read still opens for reading; a write to
// it then fails and says so. Anything but a regular file is refused (OpenRegularFile).
FileDescriptor OpenRecords(const std::string& path) {
  FileDescriptor file = OpenRegularFile(path, O_RDWR, IfMissing::Create);
  if (!file.valid() && (errno == EACCES || errno == EROFS))
    file = OpenRegularFile(path, O_RDONLY, IfMissing::Fail);
  if (!file.valid()) Fail("cannot open", path, errno);
  return file;
}

// Closes now so that a failure to close (a delayed write error) is reported.
void CloseRecords(FileDescriptor& file, const std::string& path) {
  if (file.Close() != 0) Fail("cannot close", path, errno);
}

}  // namespace

RecordFile::RecordFile(std::string path, std::size_t recordLength)
    : path_(std::move(path)), recordLength_(recordLength) {}

std::uint64_t RecordFile::Length() const {
  FileDescriptor file = OpenRecords(path_);
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) Fail("cannot read the size of", path_, errno);
  CloseRecords(file, path_);
  return static_cast<std::uint64_t>(info.st_size);
}

RecordBytes RecordFile::Read(std::uint64_t n) const {
  if (n == 0) throw IoError("record numbers start at 1: " + path_);
  std::vector<RecordBytes> records = ReadRange(n, n);
  return std::move(records.back());
}

std::vector<RecordBytes> RecordFile::ReadRange(std::uint64_t first, std::uint64_t last) const {
  std::vector<RecordBytes> records;
  if (last < first) return records;
  records.reserve(last - first + 1);
  FileDescriptor file = OpenRecords(path_);
  for (std::uint64_t n = first; n <= last; ++n) {
    RecordBytes record(recordLength_, 0);  // past the end of the file: the rest stays zero
    if (file.ReadAt(record.data(), recordLength_, (n - 1) * recordLength_) < 0)
      Fail("cannot read", path_, errno);
    records.push_back(std::move(record));
  }
  CloseRecords(file, path_);
  return records;
}

void RecordFile::Write(std::uint64_t n, const RecordBytes& record) const {
  if (n == 0) throw IoError("record numbers start at 1: " + path_);
  if (record.size() != recordLength_) throw IoError("record of the wrong length for " + path_);
  // Opened for writing only: a file we may only read fails here with the real cause
  // (permission), not later with a write on a read-only handle.
  FileDescriptor file = OpenRegularFile(path_, O_RDWR, IfMissing::Create);
  if (!file.valid()) Fail("cannot write", path_, errno);
  if (file.WriteAt(record.data(), recordLength_, (n - 1) * recordLength_) != 0)
    Fail("cannot write", path_, errno);
  if (::fsync(file.get()) != 0 && errno != EINVAL) Fail("cannot write", path_, errno);
  CloseRecords(file, path_);
}

}  // namespace corvel
