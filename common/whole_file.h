#pragma once
// Replacing a whole file so that afterwards it is either the complete new file or still
// the old one, never a part of the new: the bytes go into a temporary file beside it,
// every write is checked, the data is flushed to the disk, and only then is the temporary
// file renamed over the old one. A failure at any step removes the temporary file, leaves
// the old file as it was and throws IoError naming the file and the cause (a full disk,
// a file size limit). Every whole file the programs write goes through here: the settings
// file, the request files, drawings. (Qt's QSaveFile is not used: in Qt 6.4 it renames
// even when its last buffered write failed, leaving a file cut short.)
#include <sys/types.h>

#include <string>
#include <string_view>

#include "common/file_descriptor.h"

namespace corvel {

// The file a whole-file write to `path` replaces: `path` itself, or the file a symbolic
// link there leads to (the link stays a link). Throws IoError for a link to a file that
// does not exist: writing would create a file wherever the link points.
std::string WholeFileTarget(const std::string& path);

class WholeFileWriter {
 public:
  // Starts replacing `path` (as WholeFileTarget resolves it). The temporary file is
  // created beside it under an unpredictable name, never following a symbolic link, so
  // nothing planted under that name is written through. A writer that holds a lock of
  // its own may give a fixed `temporaryName` instead (a full path in the same folder);
  // one a crashed writer left there is replaced. The new file gets the old file's
  // permissions, or `newMode` less the umask when there was no old file.
  explicit WholeFileWriter(const std::string& path, mode_t newMode = 0666,
                           const std::string& temporaryName = "");
  ~WholeFileWriter();
  WholeFileWriter(const WholeFileWriter&) = delete;
  WholeFileWriter& operator=(const WholeFileWriter&) = delete;

  const std::string& Target() const { return target_; }

  // Appends all of `bytes`, retrying short and interrupted writes.
  void Write(std::string_view bytes);

  // Flushes the data to the disk, closes the file and renames it over the target.
  void Commit();

 private:
  std::string target_;
  std::string temporary_;
  FileDescriptor file_;
  bool committed_ = false;
};

// Replaces `path` with `bytes` through a WholeFileWriter.
void WriteWholeFile(const std::string& path, std::string_view bytes, mode_t newMode = 0666);

// Puts `finished`, a complete file another writer (a PDF or image library, a helper
// program) made in the same folder as `path`, in place of `path`: its data flushed to the
// disk first, the old file's permissions kept, then renamed over it.
void ReplaceWithFinishedFile(const std::string& finished, const std::string& path);

}  // namespace corvel
