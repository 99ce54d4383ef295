#pragma once
// One station per product file. Two stations writing one "pdlist" would each keep their
// own copy of the table and overwrite the other's edits record by record, so the station
// holds an advisory lock on the file for as long as it runs; a second one is refused.
// The lock goes with the process, so a station that crashed never blocks the next.
#include <string>

#include "common/file_descriptor.h"

namespace corvel {

// Locks the product file at `path` (creating it empty when missing). Throws Failure,
// with a message for the operator, when another program holds the lock. A file that
// cannot be opened at all (a folder in its place, no permission) is not locked and no
// error: loading it then says what is wrong.
FileDescriptor LockProductFile(const std::string& path);

}  // namespace corvel
