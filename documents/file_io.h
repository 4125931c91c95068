#pragma once
// Whole-file reading and atomic writing for the document commands. Failures
// come back as a one-line reason naming the file.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace yig::docs {

/// The largest file read whole: 128 MiB, or the number of bytes the
/// environment variable YIGSGYUR_MAX_INPUT_BYTES gives. Larger files are
/// refused before they are read, so that a document never outgrows memory.
std::uint64_t maxInputBytes();

/// The message for a file over the limit.
std::string tooLargeMessage(const std::string& path, std::uint64_t size);

/// A file name as it may be shown on a terminal or in a log: control
/// characters (C0, DEL, C1) and bytes that are not UTF-8 are written as
/// \xNN, so a name cannot move the cursor, clear the screen or split a line.
std::string printableName(std::string_view name);

/// `printableName` between single quotes, as messages name files.
std::string quotedName(std::string_view name);

/// Bytes of a file, or why they could not be read.
struct FileRead {
  std::string bytes;
  std::string error;  ///< empty on success
  bool ok() const { return error.empty(); }
};

/// Reads the whole file at `path`. Only regular files are read: the file is
/// opened without blocking, so a named pipe, socket or device is refused as
/// "not a regular file" instead of hanging the reader.
FileRead readWholeFile(const std::string& path);

/// Reads an already open descriptor to its end (standard input, for one).
FileRead readWholeDescriptor(int fd, const std::string& name);

/// True when both names lead to one existing file (the same device and
/// inode, whatever symbolic or hard links lie between).
bool isSameFile(const std::string& a, const std::string& b);

/// Writes `bytes` to `path` through a temporary file in the same folder that
/// takes the target's name only once complete: an existing file is either
/// replaced whole or left as it was. The temporary file is created 0600 with a
/// short name (any name the file system takes can be written); where the file
/// system supports it, it has no name at all until it is complete, so a
/// killed process leaves nothing behind. The written file keeps the mode of
/// the file it replaces (a new one gets 0666 less the umask), limited to
/// `modeLimit`. Returns the reason of a failure, empty on success.
std::string writeFileAtomically(const std::string& path, std::string_view bytes, mode_t modeLimit = 07777);

/// A file written beside `target` that takes its place only when complete.
/// It is created 0600 with a short name, or with no name at all where the
/// file system supports it (O_TMPFILE), so a killed process leaves nothing;
/// a named one is removed when the object goes without commit(), and stale
/// ones of killed processes are removed the first time a folder is written.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& target);
  ~TemporaryFile();
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int fd() const { return fd_; }
  /// Why the file could not be made, or commit() failed; empty when fine.
  const std::string& error() const { return error_; }
  /// Flushes the file to disk, gives it the target's mode (that of the file
  /// it replaces, else 0666 less the umask) limited to `modeLimit`, and puts
  /// it in place of the target. The reason of a failure, empty on success.
  std::string commit(mode_t modeLimit = 07777);

 private:
  std::string target_, folder_, name_;  // name_: empty while the file has none
  std::string error_;
  int fd_ = -1;
};

/// Copies the file `from` over `to` the same way (used for files that another
/// program wrote into a temporary folder, possibly on another file system).
std::string copyFileAtomically(const std::string& from, const std::string& to, mode_t modeLimit = 07777);

/// Removes temporary files of this program in `folder` that a killed process
/// left behind (only those owned by this user whose process is gone).
void removeStaleTemporaries(const std::string& folder);

/// The same for entries named `prefix`, a process id, "-" and anything:
/// regular files, or with `folders` folders and all they hold.
void removeLeftovers(const std::string& folder, std::string_view prefix, bool folders);

}  // namespace yig::docs
