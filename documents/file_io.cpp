#include "documents/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <set>

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

constexpr std::string_view kTemporaryPrefix = ".~yig";

// A short name for a temporary file in `folder`: the prefix, our process id
// (so that stale ones can be told from live ones) and a random part.
std::string temporaryName(const std::string& folder) {
  // One generator per thread: batch conversions save from several threads.
  thread_local std::mt19937_64 random{std::random_device{}()};
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  std::string name = std::string(kTemporaryPrefix) + std::to_string(::getpid()) + "-";
  std::uint64_t r = random();
  for (int i = 0; i < 6; ++i, r /= 36) name += kDigits[r % 36];
  return folder + "/" + name;
}

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// Each folder written into is cleared of stale temporary files once per process.
void removeStaleTemporariesOnce(const std::string& folder) {
  static std::mutex mutex;
  static std::set<std::string> done;
  {
    std::lock_guard lock(mutex);
    if (!done.insert(folder).second) return;
  }
  removeStaleTemporaries(folder);
}

// The process's umask. Reading it by setting it would, for a moment, let
// files and folders that other threads create be made without it, so it is
// read where the kernel reports it; only without that, it is set and put back.
mode_t processUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0) return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
  }
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return mask;
}

// An unnamed file in `folder` (O_TMPFILE), or -1 where the file system has none.
int openUnnamed(const std::string& folder) {
#ifdef O_TMPFILE
  return ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
#else
  (void)folder;
  errno = EOPNOTSUPP;
  return -1;
#endif
}

// Gives the unnamed file `fd` the name `name`; false with errno set when it cannot.
bool nameUnnamed(int fd, const std::string& name) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
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
  return "cannot read " + quotedName(path) + ": the file is too large (" + mb(size) + "; the limit is " + mb(maxInputBytes()) + ")";
}

std::string printableName(std::string_view name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(name.size());
  auto escape = [&](unsigned char c) {
    out += "\\x";
    out += kHex[c >> 4];
    out += kHex[c & 0xF];
  };
  std::size_t i = 0;
  while (i < name.size()) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c < 0x20 || c == 0x7F) {
      escape(c);
      ++i;
      continue;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    // The length of a well-formed UTF-8 sequence starting here, 0 when none.
    std::size_t length = 0;
    char32_t code = 0;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
      code = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      code = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      code = c & 0x07;
    }
    bool valid = length != 0 && i + length <= name.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(name[i + k]);
      if ((next & 0xC0) != 0x80) valid = false;
      code = (code << 6) | (next & 0x3F);
    }
    if (valid) {
      const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
      const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
      const bool control = code >= 0x80 && code <= 0x9F;  // C1: ESC's eight-bit forms
      valid = !overlong && !surrogate && code <= 0x10FFFF && !control;
    }
    if (!valid) {
      escape(c);
      ++i;
      continue;
    }
    out.append(name.substr(i, length));
    i += length;
  }
  return out;
}

std::string quotedName(std::string_view name) { return "'" + printableName(name) + "'"; }

FileRead readWholeDescriptor(int fd, const std::string& name) {
  FileRead result;
  const std::uint64_t limit = maxInputBytes();
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      result.error = "cannot read " + quotedName(name) + ": " + reason(errno);
      result.bytes.clear();
      break;
    }
    if (n == 0) break;
    result.bytes.append(buffer, static_cast<std::size_t>(n));
    if (result.bytes.size() > limit) {  // a file that grows while it is read, or a pipe
      result.error = tooLargeMessage(name, result.bytes.size());
      std::string().swap(result.bytes);
      break;
    }
  }
  return result;
}

FileRead readWholeFile(const std::string& path) {
  FileRead result;
  // Without blocking: opening a named pipe would otherwise wait for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    result.error = "cannot open " + quotedName(path) + ": " + reason(errno);
    return result;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    result.error = "cannot read " + quotedName(path) + ": " + reason(errno);
    ::close(fd);
    return result;
  }
  if (S_ISDIR(info.st_mode)) {
    ::close(fd);
    result.error = "cannot read " + quotedName(path) + ": it is a folder, not a file";
    return result;
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(fd);
    result.error = "cannot read " + quotedName(path) + ": not a regular file (pipes, sockets and devices are not read)";
    return result;
  }
  const std::uint64_t limit = maxInputBytes();
  if (info.st_size > 0 && static_cast<std::uint64_t>(info.st_size) > limit) {
    ::close(fd);
    result.error = tooLargeMessage(path, static_cast<std::uint64_t>(info.st_size));
    return result;
  }
  FileRead read = readWholeDescriptor(fd, path);
  ::close(fd);
  return read;
}

bool isSameFile(const std::string& a, const std::string& b) {
  struct stat first {}, second {};
  if (::stat(a.c_str(), &first) != 0 || ::stat(b.c_str(), &second) != 0) return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

TemporaryFile::TemporaryFile(const std::string& target) : target_(target) {
  const std::size_t slash = target.find_last_of('/');
  if (target.empty() || slash + 1 == target.size()) {
    error_ = "cannot write " + quotedName(target) + ": not a file name";
    return;
  }
  struct stat info {};
  if (::stat(target.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) {
      error_ = "cannot write " + quotedName(target) + ": it is a folder";
      return;
    }
    if (!S_ISREG(info.st_mode)) {
      error_ = "cannot write " + quotedName(target) + ": it is not a regular file";
      return;
    }
  }
  folder_ = folderOf(target);
  removeStaleTemporariesOnce(folder_);
  fd_ = openUnnamed(folder_);
  if (fd_ >= 0) return;
  // No unnamed files on this file system: a named one, removed on failure
  // (and by the next process that writes here when this one is killed).
  for (int attempt = 0; attempt < 10 && fd_ < 0; ++attempt) {
    name_ = temporaryName(folder_);
    fd_ = ::open(name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    error_ = "cannot write in the folder of " + quotedName(target) + ": " + reason(errno);
    name_.clear();
  }
}

TemporaryFile::~TemporaryFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!name_.empty()) ::unlink(name_.c_str());
}

std::string TemporaryFile::commit(mode_t modeLimit) {
  if (!error_.empty()) return error_;
  auto fail = [&](int error) {
    error_ = "cannot write " + quotedName(target_) + ": " + reason(error);
    return error_;
  };
  // The target keeps the permissions of the file it replaces; a new one gets
  // those a new file gets.
  struct stat info {};
  const bool exists = ::stat(target_.c_str(), &info) == 0;
  mode_t mode = 0;
  if (exists) {
    mode = info.st_mode & 07777;
  } else {
    mode = 0666 & ~processUmask();
  }
  if (::fchmod(fd_, mode & modeLimit) != 0) return fail(errno);
  if (::fsync(fd_) != 0 && errno != EINVAL) return fail(errno);
  if (name_.empty()) {
    // A new file takes its name directly (linkat never replaces a file); an
    // existing one is replaced through a short-lived temporary name.
    if (!exists && nameUnnamed(fd_, target_)) {
      ::close(fd_);
      fd_ = -1;
      return {};
    }
    for (int attempt = 0; attempt < 10 && name_.empty(); ++attempt) {
      const std::string candidate = temporaryName(folder_);
      if (nameUnnamed(fd_, candidate)) {
        name_ = candidate;
      } else if (errno != EEXIST) {
        return fail(errno);
      }
    }
    if (name_.empty()) return fail(EEXIST);
  }
  const int closed = ::close(fd_);
  fd_ = -1;
  if (closed != 0) return fail(errno);
  if (::rename(name_.c_str(), target_.c_str()) != 0) {
    const int error = errno;
    error_ = "cannot replace " + quotedName(target_) + ": " + reason(error);
    return error_;
  }
  name_.clear();
  return {};
}

std::string writeFileAtomically(const std::string& path, std::string_view bytes, mode_t modeLimit) {
  if (path.empty()) return "no file name given";
  TemporaryFile file(path);
  if (!file.error().empty()) return file.error();
  if (!writeAll(file.fd(), bytes)) return "cannot write " + quotedName(path) + ": " + reason(errno);
  return file.commit(modeLimit);
}

std::string copyFileAtomically(const std::string& from, const std::string& to, mode_t modeLimit) {
  FileRead read = readWholeFile(from);
  if (!read.ok()) return read.error;
  return writeFileAtomically(to, read.bytes, modeLimit);
}

void removeLeftovers(const std::string& folder, std::string_view prefix, bool folders) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  const uid_t me = ::geteuid();
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (!name.starts_with(prefix)) continue;
    const std::string_view rest = name.substr(prefix.size());
    const std::size_t dash = rest.find('-');
    if (dash == std::string_view::npos || dash == 0 || dash > 9) continue;
    pid_t pid = 0;
    bool digits = true;
    for (const char c : rest.substr(0, dash)) {
      if (c < '0' || c > '9') digits = false;
      pid = pid * 10 + (c - '0');
    }
    if (!digits || pid <= 0) continue;
    if (pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH) continue;  // its process still runs
    struct stat info {};
    if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0 || info.st_uid != me) continue;
    if (folders && S_ISDIR(info.st_mode)) {
      std::error_code ec;
      fs::remove_all(fs::path(folder) / entry->d_name, ec);
    } else if (!folders && S_ISREG(info.st_mode)) {
      ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
  }
  ::closedir(dir);
}

void removeStaleTemporaries(const std::string& folder) { removeLeftovers(folder, kTemporaryPrefix, false); }

}  // namespace yig::docs
