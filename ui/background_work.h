#pragma once
// Long work — opening, saving, converting, sorting — runs on a worker thread
// while the window goes on painting. The worker gets its own copy of the
// editor's model; the result replaces the editor's content only when the work
// finished, and the messages it produced are shown after the editor shows it.
// The progress bar follows the work, and Cancel stops it with the document as
// it was.
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "documents/document_host.h"
#include "engine/host.h"
#include "richtext/document.h"

namespace yig::ui {

class MainForm;

/// What a piece of background work shares with the window.
class WorkControl {
 public:
  explicit WorkControl(MainForm& form) : form_(form) {}

  bool cancelRequested() const { return cancel_.load(std::memory_order_relaxed); }
  void requestCancel() { cancel_.store(true, std::memory_order_relaxed); }
  /// Progress in percent; -1 while the work cannot tell how far it got.
  void setProgress(int percent) { progress_.store(percent, std::memory_order_relaxed); }
  int progress() const { return progress_.load(std::memory_order_relaxed); }

  /// Runs `task` on the window's thread and waits for it (prompts, captions).
  void onWindowThread(const std::function<void()>& task);
  /// Messages for the information box, shown once the work's result is shown.
  void deferMessage(const std::u16string& text) { messages_.push_back(text); }
  const std::vector<std::u16string>& messages() const { return messages_; }

  MainForm& form() { return form_; }

  /// Whether Cancel is offered (a save is written whole or not at all).
  bool cancellable = true;

 private:
  MainForm& form_;
  std::atomic<bool> cancel_{false};
  std::atomic<int> progress_{-1};
  std::vector<std::u16string> messages_;
};

/// Runs `work` on a worker thread and returns when it has finished. Meanwhile
/// the window handles its events (it repaints; Cancel can be clicked) and its
/// commands are locked. An exception thrown by `work` is thrown again here.
void runInBackground(MainForm& form, WorkControl& control, const std::function<void()>& work);

/// The conversion engine's and the sort's host on the worker: the editor and
/// work area are the worker's own copies; the window's settings are read when
/// the host is made.
class WorkerEngineHost final : public EngineHost {
 public:
  WorkerEngineHost(WorkControl& control, rt::Document editorCopy);

  rt::Document& editor() override { return editor_; }
  rt::Document& workArea() override { return workArea_; }
  std::u16string sourceFontList() const override { return sourceFonts_; }
  std::u16string sambhotaFamily() const override { return family_; }
  bool tibetanInterface() const override { return tibetan_; }
  std::u16string translateForDisplay(const std::u16string& chinese) const override;
  void showMessage(const std::u16string& text) override { control_.deferMessage(text); }
  /// The engine's 0..100 shown as `from`..`to` of the whole work (a display follows it).
  void setProgressSpan(int from, int to) {
    spanFrom_ = from;
    spanTo_ = to;
  }
  void setProgress(int percent) override { control_.setProgress(spanFrom_ + percent * (spanTo_ - spanFrom_) / 100); }
  void setElapsedTime(const std::u16string& caption) override { elapsed_ = caption; }
  bool cancelRequested() const override { return control_.cancelRequested(); }
  std::size_t savedSelectionStart() const override { return selStart_; }
  std::size_t savedSelectionLength() const override { return selLength_; }

  const std::u16string& elapsedCaption() const { return elapsed_; }

 private:
  WorkControl& control_;
  rt::Document editor_, workArea_;
  std::u16string sourceFonts_, family_, elapsed_;
  bool tibetan_;
  std::size_t selStart_, selLength_;
  int spanFrom_ = 0, spanTo_ = 100;
};

/// The document commands' host on the worker: its own copy of the editor;
/// captions, font boxes and the proof-file prompt go to the window's own host
/// (`window`) on the window's thread.
class WorkerDocumentHost final : public docs::DocumentHost {
 public:
  WorkerDocumentHost(WorkControl& control, docs::DocumentHost& window, rt::Document editorCopy);

  rt::Document& editor() override { return editor_; }
  void setStatusCaption(const std::u16string& text) override;
  void showMessage(const std::u16string& text) override { control_.deferMessage(text); }
  bool tibetanInterface() const override { return tibetan_; }
  std::u16string fontBox() const override { return fontBox_; }
  void setFontBox(const std::u16string& fontName) override;
  void setSizeBox(int sizeHalfPoints) override;
  void selectSourceEncoding(int index, std::u16string_view code) override;
  docs::ProofChoice askProofMode() override;
  void clearModifiedFlag() override { modifiedCleared_ = true; }

  bool modifiedCleared() const { return modifiedCleared_; }

 private:
  WorkControl& control_;
  docs::DocumentHost& window_;
  rt::Document editor_;
  std::u16string fontBox_;
  bool tibetan_;
  bool modifiedCleared_ = false;
};

}  // namespace yig::ui
