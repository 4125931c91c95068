#pragma once
// Whole-file reading and atomic writing for the document commands. Failures
// come back as a one-line reason naming the file.
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

/// Bytes of a file, or why they could not be read.
struct FileRead {
  std::string bytes;
  std::string error;  ///< empty on success
  bool ok() const { return error.empty(); }
};

/// Reads the whole file at `path` (a regular file; folders are refused).
FileRead readWholeFile(const std::string& path);

/// Writes `bytes` to `path` through a temporary file in the same folder that is
/// renamed over the target once complete: an existing file is either replaced
/// whole or left as it was. Returns the reason of a failure, empty on success.
std::string writeFileAtomically(const std::string& path, std::string_view bytes);

/// Copies the file `from` over `to` the same way (used for files that another
/// program wrote into a temporary folder, possibly on another file system).
std::string copyFileAtomically(const std::string& from, const std::string& to);

}  // namespace yig::docs
