#pragma once
// The editor's context menu: nine caption entries over a light panel, a hover
// bar behind the entry under the pointer, and the enabling rules that depend on
// the selection, the clipboard and the text.
#include <QFrame>
#include <array>

namespace yig::ui {

class ClickableLabel;

class ContextMenu : public QFrame {
  Q_OBJECT
 public:
  enum Entry { Undo = 0, Cut, Copy, Paste, Delete, SelectAll, FontDialog, EditNote, HeadersFooters, kEntryCount };

  /// The entries' Chinese captions, blanks included.
  static const std::array<QString, kEntryCount>& captions();

  explicit ContextMenu(QWidget* parent = nullptr);

  ClickableLabel* entry(int index) const { return entries_.at(static_cast<std::size_t>(index)); }
  QWidget* hoverBar() const { return bar_; }

  /// Enables the entries for the editor's state: Cut, Copy and Delete need a
  /// selection, Paste text on the clipboard, Select all text in the editor;
  /// the note entry a note's mark at the caret; Undo, the font entry and the
  /// headers and footers entry are always enabled.
  void setEnabling(bool hasSelection, bool clipboardHasText, bool editorHasText, bool onNote = false);
  /// Shows the menu with its top-left corner at `pos` (parent coordinates),
  /// kept inside the parent.
  void popup(QPoint pos);
  /// Hides the menu and the hover bar, entries back to their normal colour.
  void dismiss();
  /// Fits the panel to its captions (after a change of interface language).
  void layoutContent();

  /// Moves the hover bar behind entry `index` (-1 hides it), as the pointer does.
  void hoverEntry(int index);

 signals:
  void triggered(int index);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool event(QEvent* event) override;

 private:
  std::array<ClickableLabel*, kEntryCount> entries_{};
  QWidget* bar_;
};

}  // namespace yig::ui
