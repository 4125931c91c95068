#pragma once
// The editor: a QTextEdit that shows and edits a rich-text model (rt::Document).
//
// The widget's own QTextDocument is what the user edits. model() brings the
// model up to date with the widget (only when the widget changed since the last
// call) and returns it; after changing the model directly, call modelChanged()
// to show it. Table rows show as tables. Positions and lengths of the public
// interface count model units (a paragraph break one, each cell's end one, each
// row's end one more): the widget's table separators are mapped onto them.
#include <QTextCharFormat>
#include <QTextEdit>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "richtext/document.h"

namespace yig::ui {

/// Converts one character format between the model and Qt. Font charset, family
/// and pitch travel in user properties so that a round trip keeps them.
QTextCharFormat toQtFormat(const rt::CharFormat& format);
/// Text Qt formatted itself (typed into the cells of a table it made, pasted
/// from a web page) may name no font or size; given `editor`, it takes the editor's.
rt::CharFormat fromQtFormat(const QTextCharFormat& format, const rt::CharFormat* editor = nullptr);

/// Fills `target` with the content of `source` (formats, paragraphs).
/// `betweenPieces`, when given, runs every few thousand runs (to keep a window painting).
/// `withLayout` false leaves the document without a layout (a worker thread builds it).
void modelToQt(const rt::Document& source, QTextDocument& target, const std::function<void()>& betweenPieces = {},
               bool withLayout = true);
/// Fills `target` with the content of `source`; the selection is left at 0.
void qtToModel(const QTextDocument& source, rt::Document& target, const std::function<void()>& betweenPieces = {});

class RichTextBox : public QTextEdit {
  Q_OBJECT
 public:
  explicit RichTextBox(QWidget* parent = nullptr);

  /// The model, up to date with the widget, its selection the widget's selection.
  rt::Document& model();
  /// Shows the model after it was changed directly; its selection becomes the widget's.
  void modelChanged();

  /// The widget document for `model`, built on the calling thread (long work
  /// builds it on its worker, so the window need not) and handed over to
  /// `editorThread`. Show it with showBuilt().
  /// Nothing when `cancelled` stopped it; `progress` hears how far it got (0..100).
  static std::unique_ptr<QTextDocument> buildDocument(const rt::Document& model, const QFont& defaultFont,
                                                      QThread* editorThread,
                                                      const std::function<bool()>& cancelled = {},
                                                      const std::function<void(int)>& progress = {});
  /// Shows `model` through a document buildDocument() made for it.
  void showBuilt(rt::Document model, std::unique_ptr<QTextDocument> built);

  // Undo of whole-document changes (conversion, sort, paste through the model,
  // size scaling): the widget's own undo covers typing and formatting, and is
  // emptied when the model is shown again. Ctrl+Z first undoes the widget's
  // steps, then the remembered documents, newest first.
  /// Remembers the document as it is now, before a whole-document change.
  void rememberForUndo();
  /// Remembers `before`, the document as it was before a change already made to the model.
  void rememberForUndo(rt::Document before);
  /// Forgets every step (a new document was opened).
  void forgetUndoSteps();
  bool canUndoStep() const;
  bool canRedoStep() const;
  void undoStep();
  void redoStep();

  // Rich-edit style operations used throughout the window.
  std::string rtf();
  void setRtf(const std::string& rtf);
  std::string selectionRtf();
  void replaceSelectionRtf(const std::string& rtf);
  QString plainText() const;  ///< paragraphs separated by CR LF
  int plainTextLength() const;  ///< plainText().size(), without making it
  int textLength() const;     ///< units, a paragraph break counts one
  QString selectedText() const;
  int selStart() const;
  int selLength() const;
  void select(int start, int length);

  /// The selection's font name and size; empty when the selection mixes them.
  std::optional<QString> selectionFontName() const;
  std::optional<double> selectionFontPoints() const;
  /// The font name a caret at `position` reports (the character before it).
  QString fontNameAtCaret(int position) const;
  void setSelectionFontName(const QString& name);
  void setSelectionFontPoints(double points);
  void setSelectionEffects(bool bold, bool italic, bool underline, bool strike);
  void setSelectionColor(const QColor& color);

  /// The model unit of the carried object (a note's mark, a picture...) drawn
  /// at `point` of the viewport; nothing when no object is there.
  std::optional<int> objectUnitAt(const QPoint& point) const;

  /// Runs now and then while a large document is converted to or from the
  /// widget, so that the window keeps painting (the main window lets events run).
  std::function<void()> betweenPieces;

  /// The control's default font (the font of new text in an empty document).
  QString defaultFontName() const { return defaultFontName_; }
  void setDefaultFontName(const QString& name);

 signals:
  /// A mouse button was released in the editor (the position already follows it).
  void mouseReleased(Qt::MouseButton button);
  void mousePressed(Qt::MouseButton button);
  /// Files from the file manager were dropped on the editor.
  void filesDropped(const QStringList& paths);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  void applyToSelection(const QTextCharFormat& change);
  // Positions between the widget and the model: where a table's separators
  // stand for more or fewer units than one, the difference from there on.
  // Each separator's anchor also keeps the text it stands for in plain text
  // (tabs and paragraph ends) and whether it opens a table.
  struct Anchor {
    int position, delta;
    std::u16string shown;
    bool tableStart;
  };
  const std::vector<Anchor>& anchors() const;
  /// Follows an edit of the widget's document: the anchors move with it, or are
  /// made again when the edit touched a separator or what one stands for.
  void followChange(int position, int removed, int added);
  int toModel(int position) const;
  int toWidget(int position) const;
  /// The selection in the widget; cells selected across a table, their rows whole.
  std::pair<int, int> selectionRange() const;
  /// The widget's text of [from, to) with tables as tabs and line ends.
  QString modelText(int from, int to) const;
  void watchDocument();

  void adoptDocument(QTextDocument* built, std::size_t start, std::size_t length);
  void paceLayout();
  void takeStep(bool back);
  void restoreStep(std::vector<rt::Document>& from, std::vector<rt::Document>& to);
  void trimUndoSteps();

  rt::Document model_;
  std::vector<rt::Document> undoSteps_, redoSteps_;
  QTimer layoutPacer_;  // keeps Qt's background layout of a large document in small steps
  bool widgetDirty_ = true;
  mutable std::vector<Anchor> anchors_;
  mutable bool anchorsStale_ = true;
  bool changeFollowed_ = false;  // contentsChange came before this contentsChanged
  bool loading_ = false;
  QString defaultFontName_;
};

}  // namespace yig::ui
