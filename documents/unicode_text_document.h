#pragma once
// Plain Unicode text straight into a document, with the fonts InsertUnicodeText
// gives each character range (Tibetan, Latin and other, Chinese and other),
// without building and reading back the RTF in between: for large text files
// that RTF is several times the text and dominates the time of opening them.
#include <string_view>

#include "richtext/document.h"

namespace yig::docs {

/// Replaces the document's content by `text` (lines ending in CR LF) as
/// InsertUnicodeText into an empty document would leave it, caret at the end.
void setUnicodeText(rt::Document& document, std::u16string_view text);

}  // namespace yig::docs
