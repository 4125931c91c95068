#include "documents/atomic_writer.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace yig::docs {
namespace {

constexpr std::size_t kBuffer = 1 << 20;

}  // namespace

AtomicWriter::~AtomicWriter() { discard(); }

void AtomicWriter::discard() { file_.reset(); }

std::string AtomicWriter::open(const std::string& path) {
  discard();
  path_ = path;
  error_.clear();
  file_ = std::make_unique<TemporaryFile>(path);
  error_ = file_->error();
  if (!error_.empty()) file_.reset();
  buffer_.reserve(kBuffer);
  return error_;
}

bool AtomicWriter::writeOut(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(file_->fd(), bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = "cannot write " + quotedName(path_) + ": " + std::strerror(errno);
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool AtomicWriter::write(std::string_view bytes) {
  if (!file_ || !error_.empty()) return false;
  if (buffer_.size() + bytes.size() < kBuffer) {
    buffer_.append(bytes);
    return true;
  }
  if (!writeOut(buffer_)) return false;
  buffer_.clear();
  return writeOut(bytes);
}

std::string AtomicWriter::commit() {
  if (!file_ && error_.empty()) error_ = "cannot write " + quotedName(path_) + ": not opened";
  if (error_.empty() && writeOut(buffer_)) buffer_.clear();
  if (error_.empty()) error_ = file_->commit();
  discard();
  return error_;
}

}  // namespace yig::docs
