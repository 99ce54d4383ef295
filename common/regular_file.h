#pragma once
// Opening the files the programs keep (the product file, the settings file and its lock,
// the request files) so that whatever stands in their place cannot stall or trick them:
// the open never blocks (a named pipe would wait for a writer forever), anything but a
// regular file is refused with a message naming it, and a missing file is created only
// where its name stands, never at the end of a symbolic link that leads nowhere.
#include <sys/types.h>

#include <optional>
#include <string>

#include "common/file_descriptor.h"

namespace corvel {

// What a file is, for messages: "a folder", "a named pipe", "a device", "a socket",
// "a symbolic link", "a regular file", "something other than a file".
std::string FileKind(mode_t mode);

enum class IfMissing { Fail, Create };

// Opens `path` with `access` (O_RDONLY, O_WRONLY or O_RDWR; close-on-exec, never
// truncating) without blocking, and checks that it is a regular file; the descriptor is
// blocking again when returned. With IfMissing::Create a missing file is created with
// `mode` (less the umask). An open the system refuses gives an invalid descriptor with
// errno set, so callers can say why in their own words. Throws IoError, naming `path`,
// when it is no regular file, or when it is a symbolic link to a missing file and would
// have to be created (the link's target is never created).
FileDescriptor OpenRegularFile(const std::string& path, int access, IfMissing ifMissing,
                               mode_t mode = 0644);

// Everything in `file` from its start to its end; nothing, with errno set, when it cannot
// be read.
std::optional<std::string> ReadWhole(const FileDescriptor& file);

}  // namespace corvel
