#pragma once
// What the conversion engine needs from the program that hosts it: the editor
// and the work area, the conversion panel's font lists, the interface language,
// the information box, and the progress and elapsed-time displays. The desktop
// program and the command-line tool each supply their own.
#include <cstddef>
#include <string>

namespace yig::rt { class Document; }

namespace yig {

class EngineHost {
 public:
  virtual ~EngineHost() = default;

  /// The editor (RichTextBox1).
  virtual rt::Document& editor() = 0;
  /// The hidden work area (RichTextBox2).
  virtual rt::Document& workArea() = 0;

  /// SourceFontList: the chosen source encoding's font-name patterns, ";"-separated.
  virtual std::u16string sourceFontList() const = 0;
  /// SambhotaFamilyList: "Ededris" or "Dedris".
  virtual std::u16string sambhotaFamily() const = 0;

  /// True when the Tibetan interface is chosen.
  virtual bool tibetanInterface() const = 0;
  /// The Tibetan label for a Chinese message when the Tibetan interface is chosen, else the text itself.
  virtual std::u16string translateForDisplay(const std::u16string& chinese) const = 0;
  /// Shows a message in the information box (already translated by the caller).
  virtual void showMessage(const std::u16string& text) = 0;

  /// Start and stop of a long operation's progress display.
  virtual void progressStarted() {}
  virtual void progressStopped() {}
  /// Progress percentage, always 0..100.
  virtual void setProgress(int percent) = 0;
  /// Lets pending window events run (once per piece of text).
  virtual void processEvents() {}

  /// Polled during long work: true stops it, leaving the editor as it was.
  virtual bool cancelRequested() const { return false; }

  /// The elapsed-time caption ("0.25s", "3.5s", "2:3.5").
  virtual void setElapsedTime(const std::u16string& caption) = 0;

  /// SavedSelection: the editor selection at the convert command (0, 0 when none).
  virtual std::size_t savedSelectionStart() const { return 0; }
  virtual std::size_t savedSelectionLength() const { return 0; }
};

}  // namespace yig
