#include "cli/cli_host.h"

#include <optional>
#include <ostream>
#include <utility>

#include "documents/text_decoding.h"
#include "engine/encodings.h"
#include "engine/message_map.h"

namespace yig::cli {

std::string toUtf8(std::u16string_view text) { return docs::encodeUtf8(text); }

std::u16string fromUtf8(std::string_view text, bool* ok) {
  std::size_t bad = 0;
  std::u16string decoded = docs::decodeUtf8Lenient(text, &bad);
  if (ok) *ok = bad == std::string_view::npos;
  return decoded;
}

std::u16string standardSourceFontList(std::u16string_view code) {
  for (const EncodingInfo& e : encodings()) {
    if (e.code == code) return std::u16string(e.sourceFontList);
  }
  return {};
}

bool isEncodingCode(std::u16string_view code) { return !standardSourceFontList(code).empty(); }

CliHost::CliHost(std::ostream& messages, std::ostream& progress, Options options)
    : messages_(messages), progress_(progress), options_(std::move(options)) {}

std::u16string CliHost::translateForDisplay(const std::u16string& chinese) const {
  return TranslateForDisplay(chinese, options_.tibetan);
}

void CliHost::showMessage(const std::u16string& text) {
  if (lastPercent_ >= 0) {
    progress_ << '\r' << std::string(8, ' ') << '\r';
    lastPercent_ = -1;
  }
  shown_.push_back(text);
  messages_ << toUtf8(text) << '\n';
  messages_.flush();
}

void CliHost::say(std::u16string_view chinese) { showMessage(translateForDisplay(std::u16string(chinese))); }

void CliHost::progressStarted() { lastPercent_ = -1; }

void CliHost::progressStopped() {
  if (options_.showProgress && lastPercent_ >= 0) {
    progress_ << '\r' << std::string(8, ' ') << '\r';
    progress_.flush();
  }
  lastPercent_ = -1;
}

void CliHost::setProgress(int percent) {
  if (!options_.showProgress || percent == lastPercent_) return;
  lastPercent_ = percent;
  progress_ << '\r' << percent << '%';
  progress_.flush();
}

}  // namespace yig::cli
