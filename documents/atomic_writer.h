#pragma once
// A file written piece by piece that appears under its name only when it is
// complete: the pieces go to a hidden temporary file in the target's folder
// (created 0600), which commit() renames over the target. A writer destroyed
// without commit() removes its temporary file, so a failed or stopped
// conversion leaves neither a partial output nor a stray file.
#include <string>
#include <string_view>

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

  std::string path_, temporary_;
  std::string buffer_;
  std::string error_;
  int fd_ = -1;
};

}  // namespace yig::docs
