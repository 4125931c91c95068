#pragma once
// The command-line tool's EngineHost: two in-memory documents (editor and work
// area), the chosen source font list and Sambhota family, messages printed as
// UTF-8 lines in Chinese or Tibetan, an optional one-line progress display, and
// the elapsed-time caption kept for the caller.
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "engine/host.h"
#include "richtext/document.h"

namespace yig::cli {

/// UTF-16 to UTF-8 (unpaired surrogates become U+FFFD).
std::string toUtf8(std::u16string_view text);
/// UTF-8 to UTF-16; nothing-like results are avoided: invalid bytes become U+FFFD
/// and `ok` (when given) is set to false.
std::u16string fromUtf8(std::string_view text, bool* ok = nullptr);

/// The standard source font list of an encoding code, as the conversion panel
/// keeps it ("BZD" gives " BZD;"); empty for an unknown code.
std::u16string standardSourceFontList(std::u16string_view code);

/// True for the seven encoding codes (upper case).
bool isEncodingCode(std::u16string_view code);

class CliHost final : public EngineHost {
 public:
  struct Options {
    bool tibetan = false;              ///< messages in Tibetan (else Chinese)
    std::u16string sourceFontList;     ///< SourceFontList
    std::u16string sambhotaFamily = u"Ededris";
    bool showProgress = false;         ///< draw "NN%" on one terminal line
  };

  /// Messages go to `messages`; the progress line, when shown, to `progress`.
  CliHost(std::ostream& messages, std::ostream& progress, Options options);

  rt::Document& editor() override { return editor_; }
  rt::Document& workArea() override { return workArea_; }
  std::u16string sourceFontList() const override { return options_.sourceFontList; }
  std::u16string sambhotaFamily() const override { return options_.sambhotaFamily; }
  bool tibetanInterface() const override { return options_.tibetan; }
  std::u16string translateForDisplay(const std::u16string& chinese) const override;
  void showMessage(const std::u16string& text) override;
  void progressStarted() override;
  void progressStopped() override;
  void setProgress(int percent) override;
  void setElapsedTime(const std::u16string& caption) override { elapsed_ = caption; }
  std::size_t savedSelectionStart() const override { return selStart_; }
  std::size_t savedSelectionLength() const override { return selLength_; }

  /// Sets SavedSelection.
  void setSavedSelection(std::size_t start, std::size_t length) {
    selStart_ = start;
    selLength_ = length;
  }
  /// Messages shown so far (already translated).
  const std::vector<std::u16string>& messages() const { return shown_; }
  /// The last elapsed-time caption ("0.25s").
  const std::u16string& elapsed() const { return elapsed_; }
  /// Prints a fixed Chinese text, translated in the Tibetan interface, as one line.
  void say(std::u16string_view chinese);

 private:
  std::ostream& messages_;
  std::ostream& progress_;
  Options options_;
  rt::Document editor_, workArea_;
  std::vector<std::u16string> shown_;
  std::u16string elapsed_;
  std::size_t selStart_ = 0, selLength_ = 0;
  int lastPercent_ = -1;
};

}  // namespace yig::cli
