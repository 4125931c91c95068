#include "documents/file_io.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <set>

#include "platform/platform.h"

namespace yig::docs {
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
  std::string name = std::string(kTemporaryPrefix) + std::to_string(platform::processId()) + "-";
  std::uint64_t r = random();
  for (int i = 0; i < 6; ++i, r /= 36) name += kDigits[r % 36];
  return folder + "/" + name;
}

std::string folderOf(const std::string& path) {
  const std::size_t slash = platform::lastSeparator(path);
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
  const int fd = platform::openForReading(path);
  if (fd < 0) {
    const int error = errno;
    platform::FileStatus info;
    const bool folder = platform::statusOf(path, info) && info.kind == platform::FileStatus::Kind::Folder;
    result.error = folder ? "cannot read " + quotedName(path) + ": it is a folder, not a file"  // Windows opens none
                          : "cannot open " + quotedName(path) + ": " + reason(error);
    return result;
  }
  platform::FileStatus info;
  if (!platform::statusOf(fd, info)) {
    result.error = "cannot read " + quotedName(path) + ": " + reason(errno);
    ::close(fd);
    return result;
  }
  if (info.kind == platform::FileStatus::Kind::Folder) {
    ::close(fd);
    result.error = "cannot read " + quotedName(path) + ": it is a folder, not a file";
    return result;
  }
  if (info.kind != platform::FileStatus::Kind::Regular) {
    ::close(fd);
    result.error = "cannot read " + quotedName(path) + ": not a regular file (pipes, sockets and devices are not read)";
    return result;
  }
  const std::uint64_t limit = maxInputBytes();
  if (info.size > limit) {
    ::close(fd);
    result.error = tooLargeMessage(path, info.size);
    return result;
  }
  FileRead read = readWholeDescriptor(fd, path);
  ::close(fd);
  return read;
}

bool isSameFile(const std::string& a, const std::string& b) { return platform::isSameFile(a, b); }

TemporaryFile::TemporaryFile(const std::string& target) : target_(target) {
  const std::size_t slash = platform::lastSeparator(target);
  if (target.empty() || slash + 1 == target.size()) {
    error_ = "cannot write " + quotedName(target) + ": not a file name";
    return;
  }
  platform::FileStatus info;
  if (platform::statusOf(target, info)) {
    if (info.kind == platform::FileStatus::Kind::Folder) {
      error_ = "cannot write " + quotedName(target) + ": it is a folder";
      return;
    }
    if (info.kind != platform::FileStatus::Kind::Regular) {
      error_ = "cannot write " + quotedName(target) + ": it is not a regular file";
      return;
    }
  }
  folder_ = folderOf(target);
  removeStaleTemporariesOnce(folder_);
  fd_ = platform::openUnnamed(folder_);
  if (fd_ >= 0) return;
  // No unnamed files on this file system: a named one, removed on failure
  // (and by the next process that writes here when this one is killed).
  for (int attempt = 0; attempt < 10 && fd_ < 0; ++attempt) {
    name_ = temporaryName(folder_);
    fd_ = platform::createNew(name_);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    error_ = "cannot write in the folder of " + quotedName(target) + ": " + reason(errno);
    name_.clear();
  }
}

TemporaryFile::~TemporaryFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!name_.empty()) platform::removeFile(name_);
}

std::string TemporaryFile::commit(mode_t modeLimit) {
  if (!error_.empty()) return error_;
  auto fail = [&](int error) {
    error_ = "cannot write " + quotedName(target_) + ": " + reason(error);
    return error_;
  };
  // The target keeps the permissions of the file it replaces; a new one gets
  // those a new file gets.
  platform::FileStatus info;
  const bool exists = platform::statusOf(target_, info);
  const unsigned mode = exists ? info.mode : platform::newFileMode();
  if (!platform::setMode(fd_, mode & modeLimit)) return fail(errno);
  if (!platform::flushToDisk(fd_)) return fail(errno);
  if (name_.empty()) {
    // A new file takes its name directly (linkat never replaces a file); an
    // existing one is replaced through a short-lived temporary name.
    if (!exists && platform::nameUnnamed(fd_, target_)) {
      ::close(fd_);
      fd_ = -1;
      return {};
    }
    for (int attempt = 0; attempt < 10 && name_.empty(); ++attempt) {
      const std::string candidate = temporaryName(folder_);
      if (platform::nameUnnamed(fd_, candidate)) {
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
  if (!platform::replaceFile(name_, target_)) {
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
  platform::removeEntriesWhere(folder, [&](std::string_view name, const platform::FileStatus& status) {
    if (!name.starts_with(prefix)) return false;
    const std::string_view rest = name.substr(prefix.size());
    const std::size_t dash = rest.find('-');
    if (dash == std::string_view::npos || dash == 0 || dash > 9) return false;
    int pid = 0;
    for (const char c : rest.substr(0, dash)) {
      if (c < '0' || c > '9') return false;
      pid = pid * 10 + (c - '0');
    }
    if (pid <= 0 || platform::processRuns(pid) || !status.ownedByMe) return false;
    return folders ? status.kind == platform::FileStatus::Kind::Folder : status.kind == platform::FileStatus::Kind::Regular;
  });
}

void removeStaleTemporaries(const std::string& folder) { removeLeftovers(folder, kTemporaryPrefix, false); }

}  // namespace yig::docs
