#include "ui/paste_pipeline.h"

#include <QTextCursor>

#include "engine/unicode_text_rtf.h"
#include "ui/interface_language.h"
#include "ui/main_form.h"
#include "ui/rich_text_box.h"

namespace yig::ui {

bool hasUnicodeTextCharacter(const QString& text, int prefix) {
  const qsizetype n = std::min<qsizetype>(text.size(), prefix);
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t c = text.at(i).unicode();
    if (c >= 0x0100 && c <= 0x2018) return true;
  }
  return false;
}

PasteRoute choosePasteRoute(const ClipboardContent& content) {
  if (content.rtf) return PasteRoute::RichText;
  if (!content.text) return PasteRoute::Nothing;
  return hasUnicodeTextCharacter(*content.text) ? PasteRoute::UnicodeText : PasteRoute::PlainText;
}

QString pasteStatusText(PasteRoute route) {
  switch (route) {
    case PasteRoute::RichText: return QStringLiteral("RTF格式文本");
    case PasteRoute::UnicodeText: return QStringLiteral("Unicode文本");
    case PasteRoute::PlainText: return QStringLiteral("普通txt文本");
    case PasteRoute::Nothing: break;
  }
  return {};
}

QString normalisedLineEnds(const QString& text) {
  QString out = text;
  out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  out.replace(QChar(u'\r'), QChar(u'\n'));
  out.replace(QChar(u'\n'), QStringLiteral("\r\n"));
  return out;
}

namespace {

bool pasteRichText(RichTextBox& editor, const std::string& rtf) {
  // A paste through the model is one step for undo, as a typed one is.
  rt::Document before = editor.model();
  rt::Document& doc = editor.model();
  if (!doc.replaceSelectionRtf(rtf).ok) return false;
  editor.rememberForUndo(std::move(before));
  doc.select(doc.selStart(), 0);
  editor.modelChanged();
  return true;
}

void pasteUnicodeText(RichTextBox& editor, const QString& text) {
  QString lines = normalisedLineEnds(text);
  // The RTF reader takes a paragraph mark right before the end of the pasted
  // document as the document's end: a text that ends with a line break gets
  // one more, so that its own line break arrives.
  if (lines.endsWith(QStringLiteral("\r\n"))) lines += QStringLiteral("\r\n");
  std::u16string s = toU16(lines);
  editor.rememberForUndo();
  rt::Document& doc = editor.model();
  InsertUnicodeText(doc, s, false);
  editor.modelChanged();
}

void pastePlainText(RichTextBox& editor, const QString& text) {
  QTextCursor cursor = editor.textCursor();
  QString t = text;
  t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  cursor.insertText(t);
  editor.setTextCursor(cursor);
}

}  // namespace

PasteRoute runPastePipeline(MainForm& form, const ClipboardContent& content) {
  RichTextBox& editor = *form.RichTextBox1;
  PasteRoute route = choosePasteRoute(content);
  if (route == PasteRoute::RichText && !pasteRichText(editor, *content.rtf)) {
    // Not RTF after all: take what the clipboard offers as text.
    ClipboardContent textOnly{std::nullopt, content.text};
    route = choosePasteRoute(textOnly);
  }
  if (route == PasteRoute::Nothing) return route;
  const QString& text = *content.text;
  if (route == PasteRoute::UnicodeText) pasteUnicodeText(editor, text);
  if (route == PasteRoute::PlainText) pastePlainText(editor, text);
  form.StatusCaption->setText(form.language().translateForDisplay(pasteStatusText(route)));
  form.StatusCaption->show();
  if (route != PasteRoute::RichText) form.Change(text);
  editor.ensureCursorVisible();
  form.trimWorkingSet();
  return route;
}

PasteRoute runPastePipeline(MainForm& form) { return runPastePipeline(form, readClipboard()); }

}  // namespace yig::ui
