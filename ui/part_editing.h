#pragma once
// Editing the parts of a document the editor does not show as text: notes
// (footnotes, endnotes) and headers and footers. A note's mark shows its text
// when the pointer rests on it and opens an editor when double-clicked; the
// headers and footers are listed in a dialog of their own. Each part is
// edited in a small dialog holding a RichTextBox; OK puts the content back
// into the main document as one undo step.
#include <QDialog>
#include <functional>
#include <optional>
#include <string>

#include "richtext/carried_parts.h"

class QComboBox;
class QFontComboBox;
class QListWidget;

namespace yig::ui {

class InterfaceLanguage;
class RichTextBox;

/// The caption of a part in the interface language: "脚注", "第2节 页眉（首页）"...
QString partCaption(const rt::PartRef& part, const InterfaceLanguage& language);

/// A dialog that edits the content of one part.
class PartEditorDialog : public QDialog {
  Q_OBJECT
 public:
  PartEditorDialog(const QString& title, const std::string& contentRtf, const InterfaceLanguage& language,
                   QWidget* parent = nullptr);
  RichTextBox* editor() const { return editor_; }
  /// Whether the user changed the content.
  bool changed() const;

 private:
  RichTextBox* editor_;
  QFontComboBox* fontBox_;
  QComboBox* sizeBox_;
};

/// The commands on parts for the main editor.
class PartCommands : public QObject {
  Q_OBJECT
 public:
  PartCommands(RichTextBox& editor, const InterfaceLanguage& language, QWidget* dialogParent);

  /// Runs the editor dialog for a part: the edited content, or nothing when
  /// cancelled or unchanged. Tests replace it (no modal dialog runs then).
  std::function<std::optional<rt::Document>(const QString& title, const std::string& contentRtf)> runEditor;
  /// Shows an information message (a Chinese text, translated for display).
  std::function<void(const QString& chinese)> showInfo;
  /// Runs after the document was changed through a dialog.
  std::function<void()> documentChanged;

  /// The note whose mark stands at or just before the caret.
  std::optional<rt::PartRef> noteAtCaret();
  /// Edits the note at model unit `unit`; true when the document changed.
  bool editNote(std::size_t unit);
  /// Edits the part `ref` names; true when the document changed.
  bool editPart(const rt::PartRef& ref);
  /// Puts `edited` into the part `ref` names, as one undo step.
  bool applyEdit(const rt::PartRef& ref, const rt::Document& edited);
  /// The command that lists the headers and footers (an information message when there are none).
  void headersAndFootersCommand();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QObject* viewport_ = nullptr;  ///< the editor's, remembered: while the editor is destroyed it cannot be asked
  RichTextBox& editor_;
  const InterfaceLanguage& language_;
  QWidget* dialogParent_;
};

/// The list of a document's headers and footers, each edited with a double
/// click or the edit button.
class HeadersFootersDialog : public QDialog {
  Q_OBJECT
 public:
  HeadersFootersDialog(PartCommands& commands, RichTextBox& editor, const InterfaceLanguage& language,
                       QWidget* parent = nullptr);
  QListWidget* list() const { return list_; }
  /// Edits the part in row `row`; true when the document changed.
  bool editRow(int row);
  /// Lists the parts anew (their places move when one of them changes).
  void refresh();

 private:
  PartCommands& commands_;
  RichTextBox& editor_;
  const InterfaceLanguage& language_;
  QListWidget* list_;
  std::vector<rt::PartRef> parts_;
};

}  // namespace yig::ui
