#pragma once
// What the sort command needs from the program that hosts it: the editor, the
// "sort the selection only" choice, the information box with its translation,
// the busy pointer and the progress display. The desktop program and the
// command-line tool each supply one; EngineSortHost adapts an EngineHost.
#include <string>

#include "engine/host.h"

namespace yig::rt { class Document; }

namespace yig::sorting {

class SortHost {
 public:
  virtual ~SortHost() = default;

  /// The editor (RichTextBox1).
  virtual rt::Document& editor() = 0;
  /// SelectionOnlyFlag: sort the selection, not the whole text.
  virtual bool selectionOnly() const = 0;

  /// The Tibetan label for a Chinese message when the Tibetan interface is
  /// chosen, else the text itself.
  virtual std::u16string translateForDisplay(const std::u16string& chinese) const = 0;
  /// Shows a message (already translated) in the information box.
  virtual void showMessage(const std::u16string& text) = 0;

  /// Hides the conversion panel before the text is looked at.
  virtual void hideConversionPanel() {}
  /// The editor's busy (hourglass) pointer on and off.
  virtual void setBusy(bool) {}
  /// Start and stop of the progress display.
  virtual void progressStarted() {}
  virtual void progressStopped() {}
  /// Progress percentage, 0..100; called when it changes.
  virtual void setProgress(int percent) = 0;
  /// Lets pending window events run; called with every progress step.
  virtual void processEvents() {}
  /// Called once when a sort has finished (the desktop program trims its
  /// working set here).
  virtual void sortFinished() {}
};

/// A SortHost over an EngineHost: the editor, messages and progress of the
/// engine's host, with the selection choice given here. A program that also
/// wants the busy pointer, the panel hiding or the end-of-sort hook derives
/// from it and overrides those.
class EngineSortHost : public SortHost {
 public:
  EngineSortHost(EngineHost& host, bool selectionOnly) : host_(host), selectionOnly_(selectionOnly) {}

  rt::Document& editor() override { return host_.editor(); }
  bool selectionOnly() const override { return selectionOnly_; }
  std::u16string translateForDisplay(const std::u16string& chinese) const override {
    return host_.translateForDisplay(chinese);
  }
  void showMessage(const std::u16string& text) override { host_.showMessage(text); }
  void progressStarted() override { host_.progressStarted(); }
  void progressStopped() override { host_.progressStopped(); }
  void setProgress(int percent) override { host_.setProgress(percent); }
  void processEvents() override { host_.processEvents(); }

 private:
  EngineHost& host_;
  bool selectionOnly_;
};

}  // namespace yig::sorting
