#pragma once
// The clipboard as the editor uses it: rich text travels as RTF bytes (our own
// writer's output going out, any program's RTF coming in), plain text as a
// QString. Copying puts both on the clipboard, so that word processors and
// browsers receive fonts and text.
#include <QString>
#include <optional>
#include <string>
#include <string_view>

class QMimeData;

namespace yig::ui {

class RichTextBox;

/// The MIME types under which rich text is offered: the X11/freedesktop name
/// first, then the name Qt gives the Windows clipboard's "Rich Text Format".
inline constexpr const char* kRtfMimeTypes[] = {
    "text/rtf", "application/rtf", "text/richtext",
    "application/x-qt-windows-mime;value=\"Rich Text Format\""};

/// What the clipboard offers.
struct ClipboardContent {
  std::optional<std::string> rtf;  ///< rich text, when offered and not empty
  std::optional<QString> text;     ///< plain text, when offered
  bool hasRichText() const { return rtf.has_value(); }
  bool hasText() const { return rtf.has_value() || text.has_value(); }
};

ClipboardContent readClipboard(const QMimeData* data);
/// The system clipboard's content.
ClipboardContent readClipboard();

/// RTF for other programs: our canonical RTF with the complex-script font and
/// size set beside every font and size switch, so that programs which choose
/// the font of Tibetan text by the associated font keep it.
std::string rtfForOtherPrograms(std::string_view rtf);

/// A MIME payload with the RTF under every rich-text type and the plain text.
QMimeData* makeMimeData(const std::string& rtf, const QString& text);

/// Replaces the clipboard's content by the RTF and the plain text.
void putOnClipboard(const std::string& rtf, const QString& text);
void clearClipboard();

/// Copies the editor's selection (RTF and plain text); nothing when the
/// selection is empty. Returns whether something was copied.
bool copySelection(RichTextBox& editor);
/// Copies the selection, then removes it from the editor.
bool cutSelection(RichTextBox& editor);

}  // namespace yig::ui
