#include "platform/platform.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <shellapi.h>
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cwctype>
#include <random>
#include <thread>

namespace yig::platform {
namespace fs = std::filesystem;

namespace {

std::wstring wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string narrow(std::wstring_view text) {
  if (text.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

// errno for the last Windows error, for messages made with strerror.
void setErrnoFromLastError() {
  switch (::GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: errno = ENOENT; break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: errno = EACCES; break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: errno = EEXIST; break;
    case ERROR_NOT_SAME_DEVICE: errno = EXDEV; break;
    case ERROR_DISK_FULL: errno = ENOSPC; break;
    default: errno = EIO; break;
  }
}

FileStatus fromAttributes(DWORD attributes, std::uint64_t size) {
  FileStatus status;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    status.kind = FileStatus::Kind::Link;
  } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    status.kind = FileStatus::Kind::Folder;
  } else if (attributes & FILE_ATTRIBUTE_DEVICE) {
    status.kind = FileStatus::Kind::Other;
  } else {
    status.kind = FileStatus::Kind::Regular;
  }
  status.size = size;
  status.mode = (attributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
  return status;
}

// A handle to the file itself (a folder too), for identity and status.
HANDLE openHandle(const std::string& path, bool followLinks) {
  DWORD flags = FILE_FLAG_BACKUP_SEMANTICS;
  if (!followLinks) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
  return ::CreateFileW(wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, flags, nullptr);
}

bool statusOfHandle(HANDLE handle, FileStatus& status) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileType(handle) != FILE_TYPE_DISK) {
    status = FileStatus{};
    return true;
  }
  if (!::GetFileInformationByHandle(handle, &info)) {
    setErrnoFromLastError();
    return false;
  }
  status = fromAttributes(info.dwFileAttributes, (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow);
  return true;
}

// Quotes one argument the way the C runtime splits a command line again.
std::wstring quoted(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
  std::wstring out = L"\"";
  for (std::size_t i = 0;; ++i) {
    std::size_t backslashes = 0;
    while (i < argument.size() && argument[i] == L'\\') {
      ++i;
      ++backslashes;
    }
    if (i == argument.size()) {
      out.append(backslashes * 2, L'\\');
      break;
    }
    if (argument[i] == L'"') {
      out.append(backslashes * 2 + 1, L'\\');
    } else {
      out.append(backslashes, L'\\');
    }
    out += argument[i];
  }
  return out + L"\"";
}

}  // namespace

bool isWindows() { return true; }

fs::path toPath(std::string_view utf8) { return fs::path(wide(utf8)); }
std::string fromPath(const fs::path& path) { return narrow(path.native()); }
bool isSeparator(char c) { return c == '/' || c == '\\'; }
std::size_t lastSeparator(std::string_view path) { return path.find_last_of("/\\"); }

bool statusOf(const std::string& path, FileStatus& status, bool followLinks) {
  const HANDLE handle = openHandle(path, followLinks);
  if (handle == INVALID_HANDLE_VALUE) {
    setErrnoFromLastError();
    return false;
  }
  const bool ok = statusOfHandle(handle, status);
  ::CloseHandle(handle);
  return ok;
}

bool statusOf(int fd, FileStatus& status) {
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
  if (handle == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return false;
  }
  return statusOfHandle(handle, status);
}

// Windows has no pipes or terminals with file names a document could carry
// (devices such as CON or \\.\pipe\ are turned away by the status check).
int openForReading(const std::string& path) {
  return ::_wopen(wide(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

int createNew(const std::string& path) {
  return ::_wopen(wide(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
}

int openUnnamed(const std::string&) {
  errno = EOPNOTSUPP;
  return -1;
}

bool nameUnnamed(int, const std::string&) {
  errno = EOPNOTSUPP;
  return false;
}

// Windows keeps who may read a file in its folder's access lists, which a new
// file inherits; the only mode bit it has is read-only, left as it is.
bool setMode(int, unsigned) { return true; }

unsigned newFileMode() { return 0666; }

bool flushToDisk(int fd) { return ::_commit(fd) == 0; }

bool replaceFile(const std::string& from, const std::string& to) {
  if (::MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
  setErrnoFromLastError();
  return false;
}

bool removeFile(const std::string& path) {
  if (::DeleteFileW(wide(path).c_str())) return true;
  setErrnoFromLastError();
  return false;
}

bool isSameFile(const std::string& a, const std::string& b) {
  BY_HANDLE_FILE_INFORMATION first{}, second{};
  auto identify = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
    const HANDLE handle = openHandle(path, true);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const bool ok = ::GetFileInformationByHandle(handle, &info) != 0;
    ::CloseHandle(handle);
    return ok;
  };
  if (!identify(a, first) || !identify(b, second)) return false;
  return first.dwVolumeSerialNumber == second.dwVolumeSerialNumber && first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

bool isExecutable(const std::string& path) {
  std::error_code ec;
  const fs::path p = toPath(path);
  std::wstring ending = p.extension().native();
  for (wchar_t& c : ending) c = static_cast<wchar_t>(std::towlower(c));
  return (ending == L".exe" || ending == L".com") && fs::is_regular_file(p, ec);
}

std::string makePrivateFolder(const std::string& prefix) {
  thread_local std::mt19937_64 random{std::random_device{}()};
  static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
  for (int attempt = 0; attempt < 20; ++attempt) {
    std::string name = prefix;
    std::uint64_t r = random();
    for (int i = 0; i < 6; ++i, r /= 36) name += kDigits[r % 36];
    if (::CreateDirectoryW(wide(name).c_str(), nullptr)) return name;
    if (::GetLastError() != ERROR_ALREADY_EXISTS) break;
  }
  return {};
}

bool makeFolder(const std::string& path) { return ::CreateDirectoryW(wide(path).c_str(), nullptr) != 0; }

void removeEntriesWhere(const std::string& folder,
                        const std::function<bool(std::string_view, const FileStatus&)>& visit) {
  std::error_code ec;
  std::vector<fs::path> doomed;
  for (fs::directory_iterator it(toPath(folder), ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = fromPath(it->path().filename());
    FileStatus status;
    if (!statusOf(fromPath(it->path()), status, false)) continue;
    if (visit(name, status)) doomed.push_back(it->path());
  }
  for (const fs::path& p : doomed) fs::remove_all(p, ec);
}

int processId() { return static_cast<int>(::GetCurrentProcessId()); }

bool processRuns(int pid) {
  if (pid == processId()) return true;
  const HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  if (process == nullptr) return ::GetLastError() == ERROR_ACCESS_DENIED;  // someone else's, still running
  const bool running = ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  ::CloseHandle(process);
  return running;
}

std::vector<std::string> environment() {
  std::vector<std::string> env;
  wchar_t* block = ::GetEnvironmentStringsW();
  if (block == nullptr) return env;
  for (const wchar_t* e = block; *e != L'\0'; e += std::wcslen(e) + 1) env.push_back(narrow(e));
  ::FreeEnvironmentStringsW(block);
  return env;
}

char pathListSeparator() { return ';'; }

std::string programFileName(std::string_view name) { return std::string(name) + ".exe"; }

RunOutcome runProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                      const std::string& logFile, int deadlineSeconds) {
  RunOutcome outcome;
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const HANDLE log = ::CreateFileW(wide(logFile).c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
  const HANDLE nothing = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
  std::wstring commandLine;
  for (const std::string& a : argv) commandLine += (commandLine.empty() ? L"" : L" ") + quoted(wide(a));
  std::wstring block;
  for (const std::string& e : environment) block += wide(e) + L'\0';
  block += L'\0';
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nothing;
  startup.hStdOutput = log;
  startup.hStdError = log;
  PROCESS_INFORMATION process{};
  // A job object holds the program and everything it starts, so that all of
  // it ends together.
  const HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (job != nullptr) ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  const bool started = log != INVALID_HANDLE_VALUE &&
                       ::CreateProcessW(wide(argv[0]).c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                        CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW | CREATE_SUSPENDED,
                                        block.data(), nullptr, &startup, &process);
  if (log != INVALID_HANDLE_VALUE) ::CloseHandle(log);
  if (nothing != INVALID_HANDLE_VALUE) ::CloseHandle(nothing);
  if (!started) {
    if (job != nullptr) ::CloseHandle(job);
    outcome.error = "cannot start '" + argv[0] + "'";
    return outcome;
  }
  if (job != nullptr) ::AssignProcessToJobObject(job, process.hProcess);
  ::ResumeThread(process.hThread);
  ::CloseHandle(process.hThread);
  const DWORD waited = ::WaitForSingleObject(process.hProcess, static_cast<DWORD>(deadlineSeconds) * 1000);
  if (waited == WAIT_TIMEOUT) {
    ::TerminateProcess(process.hProcess, 1);
    ::WaitForSingleObject(process.hProcess, INFINITE);
    outcome.timedOut = true;
  } else {
    DWORD code = 0;
    if (::GetExitCodeProcess(process.hProcess, &code)) outcome.status = static_cast<int>(code);
  }
  ::CloseHandle(process.hProcess);
  if (job != nullptr) ::CloseHandle(job);  // ends whatever is left of it
  return outcome;
}

bool isTerminal(int fd) {
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != 0;
}

int terminalColumns(int fd) {
  const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (handle == INVALID_HANDLE_VALUE || !::GetConsoleScreenBufferInfo(handle, &info)) return 0;
  return info.srWindow.Right - info.srWindow.Left + 1;
}

std::vector<std::string> prepareProcess(int argc, char** argv) {
  // Documents pass through standard streams byte for byte: no CR added, no
  // end at a Ctrl-Z.
  ::_setmode(0, _O_BINARY);
  ::_setmode(1, _O_BINARY);
  ::_setmode(2, _O_BINARY);
  // Messages are UTF-8; the console shows them as such, and the progress
  // line's escape sequence is understood.
  ::SetConsoleOutputCP(CP_UTF8);
  const auto console = ::GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (::GetConsoleMode(console, &mode)) ::SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
  std::vector<std::string> args;
  int count = 0;
  wchar_t** words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (words == nullptr) return std::vector<std::string>(argv + 1, argv + argc);
  for (int i = 1; i < count; ++i) args.push_back(narrow(words[i]));
  ::LocalFree(words);
  return args;
}

}  // namespace yig::platform
