#pragma once
// One station per product file. Two stations writing one "pdlist" would each keep their
// own copy of the table and overwrite the other's edits record by record, so the station
// holds an advisory lock on the file for as long as it runs; a second one is refused.
// `corvel products import` takes the same lock while it replaces the file, so it never
// replaces a file a station is working on, and a station started meanwhile waits for it.
// The lock goes with the process, so a station that crashed never blocks the next.
#include <chrono>
#include <string>

#include "common/file_descriptor.h"

namespace corvel {

// How long a station waits for a product file another program holds: an import takes
// well under a second; a station that is still running there after this is refused.
inline constexpr std::chrono::milliseconds kProductLockWait{3000};

// Locks the product file at `path` (creating it empty when missing), waiting up to
// `wait` for a holder to let go. Throws Failure, with a message for the operator, when
// another program still holds the lock. A file that cannot be opened at all (a folder in
// its place, no permission) is not locked and no error: loading it then says what is
// wrong. The lock is always on the file that stands at `path` when this returns, also
// when the holder replaced it meanwhile.
FileDescriptor LockProductFile(const std::string& path,
                               std::chrono::milliseconds wait = kProductLockWait);

}  // namespace corvel
