#pragma once
// What the document commands (open, text reading and encoding guess, save,
// proof-file import) need from the program around them: the editor, the status
// caption above it, the font and size boxes, the source-encoding choice, the
// information box, the interface language and the proof-file prompt. The
// desktop program and the command-line tool each supply one.
#include <string>
#include <string_view>

#include "richtext/document.h"

namespace yig::docs {

/// The user's answer to the proof-file prompt.
enum class ProofChoice {
  KeepCommands,  ///< "保留原排版命令": proofMode "11"
  DropCommands,  ///< "不保留原排版命令": proofMode "12"
  Cancel,        ///< "取 消": proofMode stays empty
};

class DocumentHost {
 public:
  virtual ~DocumentHost() = default;

  /// The editor (RichTextBox1).
  virtual rt::Document& editor() = 0;

  /// Shows a text in StatusCaption; the text arrives already translated.
  virtual void setStatusCaption(const std::u16string& text) = 0;
  /// Shows a message in the information box; the text arrives already translated.
  virtual void showMessage(const std::u16string& text) = 0;
  /// True when the Tibetan interface is chosen: fixed texts are then passed
  /// through TranslateForDisplay before they reach the two functions above.
  virtual bool tibetanInterface() const = 0;

  /// The font box (Combo1): its text, and setting it without applying it to
  /// the editor (the document commands apply fonts to the editor themselves).
  virtual std::u16string fontBox() const = 0;
  virtual void setFontBox(const std::u16string& fontName) = 0;
  /// The size box (Combo2), in half points as the editor keeps sizes.
  virtual void setSizeBox(int sizeHalfPoints) = 0;

  /// Selects the source-encoding choice `index` (0 BZD, 1 TY, 2 FZ, 3 HG,
  /// 4 HIMA, 5 SAM, 6 HKA), as a click on it would, so SourceFontList follows.
  virtual void selectSourceEncoding(int index, std::u16string_view code) = 0;

  /// Shows the proof-file prompt for the file being opened and returns the
  /// user's answer. `openedFileName()` names the file.
  virtual ProofChoice askProofMode() = 0;

  /// Clears ModifiedFlag (a document was opened).
  virtual void clearModifiedFlag() {}
  /// Lets pending window events run during long work.
  virtual void processEvents() {}

  /// The path of the document being opened; it outlives the open command
  /// (the proof-file import reads it).
  const std::string& openedFileName() const { return openedFileName_; }
  void setOpenedFileName(std::string path) { openedFileName_ = std::move(path); }
  /// The proof-file import mode: "11" keep commands, "12" drop them, "" none chosen.
  const std::string& proofMode() const { return proofMode_; }
  void setProofMode(std::string mode) { proofMode_ = std::move(mode); }

 private:
  std::string openedFileName_;
  std::string proofMode_;
};

}  // namespace yig::docs
