#pragma once
// Progress of a run over many files. On a terminal one line is redrawn in
// place: a bar, files done of all, bytes done of all, the rate and the time
// left; lines about single files (failures, red marks) are printed above it.
// Elsewhere (a pipe, a log file) every finished file gets a plain line and
// nothing is redrawn.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <iosfwd>
#include <mutex>
#include <string>
#include <thread>

namespace yig::cli {

/// "512 B", "3.4 KB", "12.0 MB", "1.25 GB" (1 KB = 1024 bytes).
std::string formatBytes(std::uintmax_t bytes);
/// "0:07", "12:30", "1:02:03".
std::string formatDuration(double seconds);

/// What the progress line shows at one moment.
struct ProgressSnapshot {
  std::size_t filesDone = 0, filesTotal = 0;
  std::uintmax_t bytesDone = 0, bytesTotal = 0;
  double elapsedSeconds = 0;
};

/// The progress line for a snapshot, at most `width` characters:
/// "[#######.......]  12/100 files  3.4 MB/20.0 MB  2.1 MB/s  0:08 left".
/// The rate and the time left are left out until some bytes are done.
std::string renderProgressLine(const ProgressSnapshot& s, std::size_t width);

class BatchProgress {
 public:
  /// `terminal`: redraw one line on `out` (a terminal); else plain lines.
  BatchProgress(std::ostream& out, bool terminal, std::size_t filesTotal, std::uintmax_t bytesTotal);
  ~BatchProgress();
  BatchProgress(const BatchProgress&) = delete;
  BatchProgress& operator=(const BatchProgress&) = delete;

  /// Starts the clock (and on a terminal the redrawing).
  void start();
  /// A file is finished. `line` describes it; on a terminal it is printed
  /// only when `notable` (a failure or red marks). Safe from any thread.
  void fileDone(std::uintmax_t bytes, const std::string& line, bool notable);
  /// Stops redrawing and clears the progress line.
  void finish();

 private:
  void drawLocked();
  void clearLocked();
  ProgressSnapshot snapshotLocked() const;

  std::ostream& out_;
  const bool terminal_;
  std::size_t width_ = 80;
  std::mutex mutex_;
  std::condition_variable wake_;
  ProgressSnapshot state_;
  std::chrono::steady_clock::time_point started_;
  bool running_ = false;
  bool drawn_ = false;
  std::thread ticker_;
};

}  // namespace yig::cli
