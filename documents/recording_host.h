#pragma once
// A DocumentHost without a window: it keeps the editor in memory and records
// what the document commands show (status caption, messages, font and size
// boxes, the source choice). The command-line tool and the tests use it.
#include <optional>
#include <string>
#include <vector>

#include "documents/document_host.h"

namespace yig::docs {

class RecordingHost : public DocumentHost {
 public:
  explicit RecordingHost(bool tibetan = false, ProofChoice proofAnswer = ProofChoice::DropCommands)
      : tibetan_(tibetan), proofAnswer_(proofAnswer) {}

  rt::Document& editor() override { return editor_; }
  void setStatusCaption(const std::u16string& text) override { statusCaption = text; }
  void showMessage(const std::u16string& text) override { messages.push_back(text); }
  bool tibetanInterface() const override { return tibetan_; }
  std::u16string fontBox() const override { return fontBoxText; }
  void setFontBox(const std::u16string& fontName) override { fontBoxText = fontName; }
  void setSizeBox(int sizeHalfPoints) override { sizeBox = sizeHalfPoints; }
  void selectSourceEncoding(int index, std::u16string_view code) override {
    sourceIndex = index;
    sourceCode = std::u16string(code);
  }
  ProofChoice askProofMode() override {
    ++proofPrompts;
    return proofAnswer_;
  }
  void clearModifiedFlag() override { modified = false; }

  void setProofAnswer(ProofChoice answer) { proofAnswer_ = answer; }

  // What was shown, for the caller to print or check.
  std::u16string statusCaption;
  std::vector<std::u16string> messages;
  std::u16string fontBoxText;
  std::optional<int> sizeBox;
  std::optional<int> sourceIndex;
  std::u16string sourceCode;
  int proofPrompts = 0;
  bool modified = true;

 private:
  rt::Document editor_;
  bool tibetan_;
  ProofChoice proofAnswer_;
};

}  // namespace yig::docs
