#pragma once
// What the operating system does differently, in one place: files by UTF-8
// name, replacing a file, file modes, processes, the terminal and the
// command line. platform_posix.cpp serves Linux, platform_windows.cpp Windows;
// the rest of the program calls only these.
//
// File descriptors are the C runtime's: read(), write() and close() work on
// them everywhere (on Windows they are opened in binary mode and not inherited).
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace yig::platform {

/// True on Windows builds.
bool isWindows();

// --- names ------------------------------------------------------------------

/// A path from a UTF-8 name (a narrow std::filesystem::path on Windows would
/// read it in the local code page).
std::filesystem::path toPath(std::string_view utf8);
/// A path's name in UTF-8.
std::string fromPath(const std::filesystem::path& path);
/// True for a character that separates folders in a path ('/', and '\' on Windows).
bool isSeparator(char c);
/// The position of the last separator in `path`, npos when there is none.
std::size_t lastSeparator(std::string_view path);

// --- files ------------------------------------------------------------------

struct FileStatus {
  enum class Kind { Regular, Folder, Link, Other };
  Kind kind = Kind::Other;
  std::uint64_t size = 0;
  unsigned mode = 0;            ///< permission bits (07777)
  bool ownedByMe = true;        ///< owned by the user running the program
};

/// The status of the file `path` names (of a link itself with `followLinks`
/// false); false with errno set when there is none.
bool statusOf(const std::string& path, FileStatus& status, bool followLinks = true);
/// The same for an open descriptor.
bool statusOf(int fd, FileStatus& status);

/// Opens `path` for reading without blocking on a pipe and without taking a
/// terminal; -1 with errno set on failure.
int openForReading(const std::string& path);
/// Creates `path`, which must not exist (no link followed), for writing,
/// readable by its owner only; -1 with errno set on failure.
int createNew(const std::string& path);
/// A file in `folder` that has no name until nameUnnamed() gives it one;
/// -1 where the file system or the system cannot (the caller then uses a named one).
int openUnnamed(const std::string& folder);
/// Gives the unnamed file `fd` the name `name`; false with errno set when it cannot.
bool nameUnnamed(int fd, const std::string& name);
/// Gives the open file the permission bits `mode` (where the system has them).
bool setMode(int fd, unsigned mode);
/// The permission bits a new file gets (0666 less the umask).
unsigned newFileMode();
/// Writes what the system holds of the file to disk.
bool flushToDisk(int fd);
/// Gives the file `from` the name `to`, replacing a file that has it.
bool replaceFile(const std::string& from, const std::string& to);
/// Removes the file; false with errno set on failure.
bool removeFile(const std::string& path);
/// True when both names lead to one existing file.
bool isSameFile(const std::string& a, const std::string& b);
/// True for a regular file this user may run.
bool isExecutable(const std::string& path);
/// Makes a folder `prefix` + a random part, open to its owner only; its
/// name, or empty on failure.
std::string makePrivateFolder(const std::string& prefix);
/// Makes the folder `path`, open to its owner only.
bool makeFolder(const std::string& path);

/// Calls `visit` with the name and status (links not followed) of every entry
/// of `folder`; where it answers true the entry is removed (a folder with all
/// it holds).
void removeEntriesWhere(const std::string& folder,
                        const std::function<bool(std::string_view name, const FileStatus& status)>& visit);

// --- processes ----------------------------------------------------------------

int processId();
/// True while process `pid` runs (or cannot be told apart from one that does).
bool processRuns(int pid);
/// This process's environment, "NAME=value" each.
std::vector<std::string> environment();
/// The separator of folders in PATH.
char pathListSeparator();
/// The name of program `name` as it is found in a folder ("soffice.exe" on Windows).
std::string programFileName(std::string_view name);

struct RunOutcome {
  int status = -1;      ///< exit status, -1 when it could not run or was killed
  bool timedOut = false;
  std::string error;    ///< could not start
};
/// Runs argv (argv[0] a full path) with `environment`, standard input empty,
/// standard output and error into `logFile`, in a group of its own that is
/// killed whole when it outlives `deadlineSeconds`, and afterwards.
RunOutcome runProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                      const std::string& logFile, int deadlineSeconds);

// --- terminal and command line --------------------------------------------------

/// True when `fd` is a terminal.
bool isTerminal(int fd);
/// The width of the terminal at `fd`, 0 when unknown.
int terminalColumns(int fd);
/// Sets standard streams to pass bytes as they are and the console to show
/// UTF-8; the program's arguments in UTF-8 (on Windows read from the wide
/// command line, since the local code page cannot hold Tibetan).
std::vector<std::string> prepareProcess(int argc, char** argv);

}  // namespace yig::platform
