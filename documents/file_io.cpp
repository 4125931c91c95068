#include "documents/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>

namespace yig::docs {
namespace fs = std::filesystem;

namespace {

std::string reason(int error) { return std::strerror(error); }

// Writes all of `bytes` to `fd`; false with errno set on failure.
bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::string temporarySibling(const fs::path& target) {
  // One generator per thread: batch conversions save from several threads.
  thread_local std::mt19937_64 random{std::random_device{}()};
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  return (folder / ("." + target.filename().string() + ".part-" + std::to_string(::getpid()) + "-" +
                    std::to_string(random() % 1000000)))
      .string();
}

}  // namespace

std::uint64_t maxInputBytes() {
  if (const char* given = std::getenv("YIGSGYUR_MAX_INPUT_BYTES")) {
    char* end = nullptr;
    const unsigned long long n = std::strtoull(given, &end, 10);
    if (end != given && *end == '\0' && n > 0) return n;
  }
  return std::uint64_t{128} << 20;
}

std::string tooLargeMessage(const std::string& path, std::uint64_t size) {
  const auto mb = [](std::uint64_t n) { return std::to_string((n + (1 << 20) - 1) >> 20) + " MB"; };
  return "cannot read '" + path + "': the file is too large (" + mb(size) + "; the limit is " + mb(maxInputBytes()) + ")";
}

FileRead readWholeFile(const std::string& path) {
  FileRead result;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    result.error = "cannot open '" + path + "': " + reason(errno);
    return result;
  }
  struct stat info {};
  if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
    ::close(fd);
    result.error = "'" + path + "' is a folder, not a file";
    return result;
  }
  const std::uint64_t limit = maxInputBytes();
  if (info.st_size > 0 && static_cast<std::uint64_t>(info.st_size) > limit) {
    ::close(fd);
    result.error = tooLargeMessage(path, static_cast<std::uint64_t>(info.st_size));
    return result;
  }
  if (info.st_size > 0) result.bytes.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      result.error = "cannot read '" + path + "': " + reason(errno);
      result.bytes.clear();
      break;
    }
    if (n == 0) break;
    result.bytes.append(buffer, static_cast<std::size_t>(n));
    if (result.bytes.size() > limit) {  // a file that grows while it is read, or a pipe
      result.error = tooLargeMessage(path, result.bytes.size());
      std::string().swap(result.bytes);
      break;
    }
  }
  ::close(fd);
  return result;
}

std::string writeFileAtomically(const std::string& path, std::string_view bytes) {
  if (path.empty()) return "no file name given";
  const fs::path target(path);
  std::error_code ec;
  if (fs::is_directory(target, ec)) return "'" + path + "' is a folder";
  const std::string temp = temporarySibling(target);
  mode_t mode = 0666;
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) mode = info.st_mode & 07777;  // keep an existing file's permissions
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) return "cannot write in the folder of '" + path + "': " + reason(errno);
  if (!writeAll(fd, bytes) || ::fsync(fd) != 0) {
    const int error = errno;
    ::close(fd);
    ::unlink(temp.c_str());
    return "cannot write '" + path + "': " + reason(error);
  }
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    return "cannot write '" + path + "': " + reason(error);
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(temp.c_str());
    return "cannot replace '" + path + "': " + reason(error);
  }
  return {};
}

std::string copyFileAtomically(const std::string& from, const std::string& to) {
  FileRead read = readWholeFile(from);
  if (!read.ok()) return read.error;
  return writeFileAtomically(to, read.bytes);
}

}  // namespace yig::docs
