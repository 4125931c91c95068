#pragma once
// Plain Unicode text to RTF: every character becomes an upper-case "\U" escape,
// with a font chosen by the character's range (Tibetan in "Microsoft Himalaya"
// at 24 points, characters below U+2019 in "Tahoma" at 12, the rest, Chinese
// included, in "宋体" at 12).
#include <string>
#include <string_view>

#include "richtext/document.h"

namespace yig {

/// The fixed header every built RTF starts with (after its leading "{").
extern const std::string_view kUnicodeTextRtfHeader;

/// Builds the RTF for `text`: lines are split at CR LF and joined by "\par ",
/// a font switch is written only where the character class changes (also
/// across lines), and in red mode "\cf1" precedes every character. The result
/// is "{" + header + body + "}" + "}"; an empty text gives "{}}".
std::string BuildUnicodeTextRtf(std::u16string_view text, bool red);

/// Replaces the editor's selection (or inserts at the caret) by the RTF built
/// from `text`, then empties `text`. An empty text inserts nothing.
inline void InsertUnicodeText(rt::Document& editor, std::u16string& text, bool red) {
  if (!text.empty()) {
    // The built RTF wraps the "{\rtf1" group in one more pair of braces; the
    // model reads a document that starts with "{\rtf", so the outer pair is
    // left out (it holds nothing else).
    const std::string rtf = BuildUnicodeTextRtf(text, red);
    editor.replaceSelectionRtf(std::string_view(rtf).substr(1, rtf.size() - 2));
  }
  text.clear();
}

}  // namespace yig
