#include "cli/cli_progress.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>

#include "platform/platform.h"

namespace yig::cli {

std::string formatBytes(std::uintmax_t bytes) {
  char buffer[32];
  if (bytes < 1024) {
    std::snprintf(buffer, sizeof buffer, "%ju B", bytes);
    return buffer;
  }
  const char* units[] = {"KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes) / 1024.0;
  int unit = 0;
  while (value >= 1024.0 && unit < 3) {
    value /= 1024.0;
    ++unit;
  }
  std::snprintf(buffer, sizeof buffer, unit >= 2 ? "%.2f %s" : "%.1f %s", value, units[unit]);
  return buffer;
}

std::string formatDuration(double seconds) {
  if (!(seconds >= 0)) seconds = 0;  // also NaN
  if (seconds > 359999) seconds = 359999;
  const auto total = static_cast<long>(std::lround(seconds));
  const long h = total / 3600, m = total / 60 % 60, s = total % 60;
  char buffer[32];
  if (h > 0) {
    std::snprintf(buffer, sizeof buffer, "%ld:%02ld:%02ld", h, m, s);
  } else {
    std::snprintf(buffer, sizeof buffer, "%ld:%02ld", m, s);
  }
  return buffer;
}

std::string renderProgressLine(const ProgressSnapshot& s, std::size_t width) {
  std::string counts = std::to_string(s.filesDone) + "/" + std::to_string(s.filesTotal) + " files  " +
                       formatBytes(s.bytesDone) + "/" + formatBytes(s.bytesTotal);
  if (s.bytesDone > 0 && s.elapsedSeconds > 0.05) {
    const double rate = static_cast<double>(s.bytesDone) / s.elapsedSeconds;
    counts += "  " + formatBytes(static_cast<std::uintmax_t>(rate)) + "/s";
    if (s.bytesDone < s.bytesTotal) {
      counts += "  " + formatDuration(static_cast<double>(s.bytesTotal - s.bytesDone) / rate) + " left";
    }
  }
  // The bar follows the bytes (files differ in size), or the files when
  // there are no bytes to count.
  double fraction = s.bytesTotal > 0   ? static_cast<double>(s.bytesDone) / static_cast<double>(s.bytesTotal)
                    : s.filesTotal > 0 ? static_cast<double>(s.filesDone) / static_cast<double>(s.filesTotal)
                                       : 1.0;
  if (fraction > 1) fraction = 1;
  // The bar's width depends on the terminal only, so that it does not
  // jump as the numbers beside it grow.
  const std::size_t barWidth = width >= 100 ? 30 : width >= 80 ? 20 : width >= 60 ? 10 : 0;
  std::string line;
  if (barWidth > 0) {
    const auto filled = static_cast<std::size_t>(fraction * static_cast<double>(barWidth));
    line = "[" + std::string(filled, '#') + std::string(barWidth - filled, '.') + "]  ";
  }
  line += counts;
  if (line.size() > width) line.resize(width);
  return line;
}

BatchProgress::BatchProgress(std::ostream& out, bool terminal, std::size_t filesTotal, std::uintmax_t bytesTotal)
    : out_(out), terminal_(terminal) {
  state_.filesTotal = filesTotal;
  state_.bytesTotal = bytesTotal;
  if (terminal_) {
    const int columns = platform::terminalColumns(STDERR_FILENO);
    if (columns > 20) width_ = static_cast<std::size_t>(columns);
  }
}

BatchProgress::~BatchProgress() { finish(); }

void BatchProgress::start() {
  std::lock_guard lock(mutex_);
  started_ = std::chrono::steady_clock::now();
  if (!terminal_ || running_) return;
  running_ = true;
  drawLocked();
  ticker_ = std::thread([this] {
    std::unique_lock lock(mutex_);
    while (running_) {
      wake_.wait_for(lock, std::chrono::milliseconds(250));
      if (running_) drawLocked();
    }
  });
}

ProgressSnapshot BatchProgress::snapshotLocked() const {
  ProgressSnapshot s = state_;
  s.elapsedSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  return s;
}

void BatchProgress::drawLocked() {
  // One column short of the width: a line that fills the terminal exactly
  // would wrap on some terminals.
  out_ << '\r' << renderProgressLine(snapshotLocked(), width_ - 1) << "\x1b[K";
  out_.flush();
  drawn_ = true;
}

void BatchProgress::clearLocked() {
  if (!drawn_) return;
  out_ << "\r\x1b[K";
  drawn_ = false;
}

void BatchProgress::fileDone(std::uintmax_t bytes, const std::string& line, bool notable) {
  std::lock_guard lock(mutex_);
  ++state_.filesDone;
  state_.bytesDone += bytes;
  if (!terminal_) {
    out_ << '[' << state_.filesDone << '/' << state_.filesTotal << "] " << line << '\n';
    out_.flush();
    return;
  }
  if (notable) {
    clearLocked();
    out_ << line << '\n';
  }
  if (running_) drawLocked();
}

void BatchProgress::finish() {
  {
    std::lock_guard lock(mutex_);
    if (!running_) return;
    running_ = false;
    clearLocked();
    out_.flush();
  }
  wake_.notify_all();
  if (ticker_.joinable()) ticker_.join();
}

}  // namespace yig::cli
