#pragma once
// The paste pipeline (context-menu Paste and Ctrl+V): rich text from the
// clipboard goes through our RTF reader; plain text with a character from
// U+0100 to U+2018 among its first 50 becomes RTF with fonts by character
// range; any other plain text is pasted as it is. The two plain-text routes
// then pre-select the source encoding from the pasted text.
#include <QString>

#include "ui/clipboard_bridge.h"

namespace yig::ui {

class MainForm;

enum class PasteRoute { Nothing, RichText, UnicodeText, PlainText };

/// How many leading characters decide between Unicode and plain text.
inline constexpr int kPastePrefixLength = 50;

/// True when one of the first `prefix` characters lies in U+0100..U+2018.
bool hasUnicodeTextCharacter(const QString& text, int prefix = kPastePrefixLength);

PasteRoute choosePasteRoute(const ClipboardContent& content);

/// The (Chinese) status text a route shows; empty for Nothing.
QString pasteStatusText(PasteRoute route);

/// Line ends as the Unicode-text builder reads them: every CR LF, lone LF and
/// lone CR becomes CR LF.
QString normalisedLineEnds(const QString& text);

/// Runs the pipeline on `content` into the form's editor; StatusCaption shows
/// the route (translated in the Tibetan interface). Rich text that our reader
/// refuses is pasted as plain text instead.
PasteRoute runPastePipeline(MainForm& form, const ClipboardContent& content);
/// The same with the system clipboard.
PasteRoute runPastePipeline(MainForm& form);

}  // namespace yig::ui
