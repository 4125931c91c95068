#pragma once
// A file written piece by piece that appears under its name only when it is
// complete: the pieces go to a temporary file in the target's folder (see
// TemporaryFile: 0600, unnamed where the file system allows), which commit()
// puts in place of the target. A writer destroyed without commit() removes
// its temporary file, so a failed or stopped conversion leaves neither a
// partial output nor a stray file.
#include <memory>
#include <string>
#include <string_view>

#include "documents/file_io.h"

namespace yig::docs {

class AtomicWriter {
 public:
  AtomicWriter() = default;
  ~AtomicWriter();
  AtomicWriter(const AtomicWriter&) = delete;
  AtomicWriter& operator=(const AtomicWriter&) = delete;

  /// Starts writing `path`; the reason of a failure, empty on success.
  std::string open(const std::string& path);
  /// Appends bytes; false after the first failure (error() says why).
  bool write(std::string_view bytes);
  /// Flushes the file to disk and puts it in place of `path`.
  std::string commit();
  const std::string& error() const { return error_; }

 private:
  void discard();
  bool writeOut(std::string_view bytes);

  std::string path_;
  std::unique_ptr<TemporaryFile> file_;
  std::string buffer_;
  std::string error_;
};

}  // namespace yig::docs
