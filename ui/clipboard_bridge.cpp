#include "ui/clipboard_bridge.h"

#include <QApplication>
#include <QClipboard>
#include <QMimeData>
#include <QTextCursor>

#include "documents/office_bridge.h"
#include "ui/rich_text_box.h"

namespace yig::ui {

ClipboardContent readClipboard(const QMimeData* data) {
  ClipboardContent content;
  if (!data) return content;
  for (const char* type : kRtfMimeTypes) {
    const QString name = QString::fromLatin1(type);
    if (!data->hasFormat(name)) continue;
    const QByteArray bytes = data->data(name);
    // Some programs offer the type with nothing behind it.
    if (bytes.trimmed().isEmpty()) continue;
    content.rtf = bytes.toStdString();
    break;
  }
  if (data->hasText()) content.text = data->text();
  return content;
}

ClipboardContent readClipboard() { return readClipboard(QApplication::clipboard()->mimeData()); }

std::string rtfForOtherPrograms(std::string_view rtf) { return docs::addAssociatedFonts(rtf); }

QMimeData* makeMimeData(const std::string& rtf, const QString& text) {
  auto* data = new QMimeData;
  const QByteArray bytes = QByteArray::fromStdString(rtf);
  for (const char* type : kRtfMimeTypes) data->setData(QString::fromLatin1(type), bytes);
  data->setText(text);
  return data;
}

void putOnClipboard(const std::string& rtf, const QString& text) {
  QApplication::clipboard()->setMimeData(makeMimeData(rtf, text));
}

void clearClipboard() { QApplication::clipboard()->clear(); }

bool copySelection(RichTextBox& editor) {
  clearClipboard();
  if (editor.selLength() == 0) return false;
  putOnClipboard(rtfForOtherPrograms(editor.selectionRtf()), editor.selectedText());
  return true;
}

bool cutSelection(RichTextBox& editor) {
  if (!copySelection(editor)) return false;
  QTextCursor cursor = editor.textCursor();
  cursor.removeSelectedText();
  editor.setTextCursor(cursor);
  return true;
}

}  // namespace yig::ui
