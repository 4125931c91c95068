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
  if (!text.empty()) editor.replaceSelectionRtf(BuildUnicodeTextRtf(text, red));
  text.clear();
}

}  // namespace yig
