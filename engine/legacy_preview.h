#pragma once
// A reading view of a document in legacy Tibetan fonts: the runs in
// national-standard and Sambhota fonts shown as Unicode Tibetan, through the
// same tables as a conversion, for a machine that lacks those fonts. The
// document itself is never changed.
#include <functional>
#include <vector>

#include "engine/encodings.h"
#include "richtext/document.h"

namespace yig {

/// The legacy encodings (every one but HIMA) whose fonts the document's runs
/// use, in registry order, with the font names seen for each.
struct LegacyFonts {
  Encoding encoding;
  std::vector<std::u16string> fontNames;
};
std::vector<LegacyFonts> legacyFontsIn(const rt::Document& document);

/// `document` with the text of every legacy run converted to Unicode Tibetan
/// (characters without a Unicode form marked red, as a conversion marks them);
/// everything else as it was. Nothing when there is nothing to convert or
/// `cancelled` stopped it.
std::optional<rt::Document> unicodePreview(const rt::Document& document, const std::function<bool()>& cancelled = {});

}  // namespace yig
