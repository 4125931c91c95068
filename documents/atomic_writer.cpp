#include "documents/atomic_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

namespace yig::docs {
namespace {

constexpr std::size_t kBuffer = 1 << 20;

std::string folderOf(const std::string& path) {
  const std::filesystem::path p(path);
  return p.has_parent_path() ? p.parent_path().string() : std::string(".");
}

}  // namespace

AtomicWriter::~AtomicWriter() { discard(); }

void AtomicWriter::discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
}

std::string AtomicWriter::open(const std::string& path) {
  discard();
  path_ = path;
  error_.clear();
  thread_local std::mt19937_64 random{std::random_device{}()};
  // A short name, so that any name the file system takes can be written.
  for (int attempt = 0; attempt < 16 && fd_ < 0; ++attempt) {
    temporary_ = folderOf(path) + "/.yig-" + std::to_string(::getpid()) + "-" + std::to_string(random() % 1000000);
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    error_ = "cannot write '" + path + "': " + std::strerror(errno);
    temporary_.clear();
  }
  buffer_.reserve(kBuffer);
  return error_;
}

bool AtomicWriter::writeOut(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      error_ = "cannot write '" + path_ + "': " + std::strerror(errno);
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool AtomicWriter::write(std::string_view bytes) {
  if (fd_ < 0 || !error_.empty()) return false;
  if (buffer_.size() + bytes.size() < kBuffer) {
    buffer_.append(bytes);
    return true;
  }
  if (!writeOut(buffer_)) return false;
  buffer_.clear();
  return writeOut(bytes);
}

std::string AtomicWriter::commit() {
  if (fd_ < 0 && error_.empty()) error_ = "cannot write '" + path_ + "': not opened";
  if (error_.empty() && writeOut(buffer_)) buffer_.clear();
  if (error_.empty() && ::fsync(fd_) != 0) error_ = "cannot write '" + path_ + "': " + std::strerror(errno);
  if (error_.empty()) {
    // The output keeps the permissions a new file gets (the temporary file is 0600).
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd_, 0666 & ~mask);
  }
  if (fd_ >= 0 && ::close(fd_) != 0 && error_.empty()) error_ = "cannot write '" + path_ + "': " + std::strerror(errno);
  fd_ = -1;
  if (error_.empty() && ::rename(temporary_.c_str(), path_.c_str()) != 0) {
    error_ = "cannot write '" + path_ + "': " + std::strerror(errno);
  }
  if (error_.empty()) temporary_.clear();
  discard();
  return error_;
}

}  // namespace yig::docs
