#include "platform/platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <thread>

extern char** environ;

namespace yig::platform {
namespace fs = std::filesystem;

namespace {

FileStatus fromStat(const struct stat& info) {
  FileStatus status;
  if (S_ISREG(info.st_mode)) {
    status.kind = FileStatus::Kind::Regular;
  } else if (S_ISDIR(info.st_mode)) {
    status.kind = FileStatus::Kind::Folder;
  } else if (S_ISLNK(info.st_mode)) {
    status.kind = FileStatus::Kind::Link;
  }
  status.size = info.st_size > 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
  status.mode = info.st_mode & 07777;
  status.ownedByMe = info.st_uid == ::geteuid();
  return status;
}

}  // namespace

bool isWindows() { return false; }

fs::path toPath(std::string_view utf8) { return fs::path(utf8); }
std::string fromPath(const fs::path& path) { return path.string(); }
bool isSeparator(char c) { return c == '/'; }
std::size_t lastSeparator(std::string_view path) { return path.find_last_of('/'); }

bool statusOf(const std::string& path, FileStatus& status, bool followLinks) {
  struct stat info {};
  if ((followLinks ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info)) != 0) return false;
  status = fromStat(info);
  return true;
}

bool statusOf(int fd, FileStatus& status) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return false;
  status = fromStat(info);
  return true;
}

int openForReading(const std::string& path) { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY); }

int createNew(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
}

int openUnnamed(const std::string& folder) {
#ifdef O_TMPFILE
  return ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
#else
  (void)folder;
  errno = EOPNOTSUPP;
  return -1;
#endif
}

bool nameUnnamed(int fd, const std::string& name) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  return ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

bool setMode(int fd, unsigned mode) { return ::fchmod(fd, static_cast<mode_t>(mode)) == 0; }

// Reading the umask by setting it would, for a moment, let files and folders
// that other threads create be made without it, so it is read where the
// kernel reports it; only without that, it is set and put back.
unsigned newFileMode() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Umask:", 0) == 0) return 0666 & ~static_cast<unsigned>(std::strtoul(line.c_str() + 6, nullptr, 8));
  }
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return 0666 & ~static_cast<unsigned>(mask);
}

bool flushToDisk(int fd) { return ::fsync(fd) == 0 || errno == EINVAL; }

bool replaceFile(const std::string& from, const std::string& to) { return ::rename(from.c_str(), to.c_str()) == 0; }

bool removeFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool isSameFile(const std::string& a, const std::string& b) {
  struct stat first {}, second {};
  if (::stat(a.c_str(), &first) != 0 || ::stat(b.c_str(), &second) != 0) return false;
  return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

bool isExecutable(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

std::string makePrivateFolder(const std::string& prefix) {
  std::string name = prefix + "XXXXXX";
  return ::mkdtemp(name.data()) != nullptr ? name : std::string();  // mkdtemp makes it 0700
}

bool makeFolder(const std::string& path) { return ::mkdir(path.c_str(), 0700) == 0; }

// Entries are looked at and removed relative to the open folder, so that a
// folder swapped for a link meanwhile leads nowhere else.
void removeEntriesWhere(const std::string& folder,
                        const std::function<bool(std::string_view, const FileStatus&)>& visit) {
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat info {};
    if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    const FileStatus status = fromStat(info);
    if (!visit(name, status)) continue;
    if (status.kind == FileStatus::Kind::Folder) {
      std::error_code ec;
      fs::remove_all(fs::path(folder) / entry->d_name, ec);
    } else {
      ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
  }
  ::closedir(dir);
}

int processId() { return static_cast<int>(::getpid()); }

bool processRuns(int pid) { return pid == ::getpid() || ::kill(pid, 0) == 0 || errno != ESRCH; }

std::vector<std::string> environment() {
  std::vector<std::string> env;
  for (char** e = environ; e != nullptr && *e != nullptr; ++e) env.emplace_back(*e);
  return env;
}

char pathListSeparator() { return ':'; }

std::string programFileName(std::string_view name) { return std::string(name); }

RunOutcome runProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                      const std::string& logFile, int deadlineSeconds) {
  RunOutcome outcome;
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<char*> env;
  for (const auto& e : environment) env.push_back(const_cast<char*>(e.c_str()));
  env.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  pid_t pid = 0;
  const int rc = ::posix_spawn(&pid, args[0], &actions, &attributes, args.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  if (rc != 0) {
    outcome.error = "cannot start '" + argv[0] + "'";
    return outcome;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(deadlineSeconds);
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) return outcome;
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(-pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      outcome.timedOut = true;
      return outcome;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (WIFEXITED(status)) outcome.status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) outcome.timedOut = true;
  // Whatever the program left behind in its group goes too.
  ::kill(-pid, SIGKILL);
  return outcome;
}

bool isTerminal(int fd) { return ::isatty(fd) != 0; }

int terminalColumns(int fd) {
  struct winsize size {};
  return ::ioctl(fd, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

std::vector<std::string> prepareProcess(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }

}  // namespace yig::platform
