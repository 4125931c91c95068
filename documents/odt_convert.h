#pragma once
// OpenDocument text (.odt, and flat .fodt) converted in its own XML.
//
// The text of content.xml and styles.xml (headers and footers) is read with
// the fonts its paragraph and span styles give it, each slot (Western, Asian,
// complex) inheriting on its own through parent styles and the default
// style. Converted text is wrapped in a span of a new automatic style that
// names the target font in every slot (and red where it is marked); the
// target fonts are declared among the part's font faces. Every other byte of
// the parts, and every other entry of the package, stays as it was.
#include <string>
#include <string_view>
#include <vector>

#include "documents/docx_convert.h"

namespace yig::docs::odt {

/// Converts an .odt package; `out` is left empty when the outcome is an error.
docx::Outcome convertOdt(std::string_view odt, Encoding from, Encoding to, const conv::Options& options,
                         std::string& out);

/// Converts a flat OpenDocument text (.fodt): one XML document.
docx::Outcome convertFodt(std::string_view fodt, Encoding from, Encoding to, const conv::Options& options,
                          std::string& out);

/// The Tibetan encodings of the text in styles.xml and content.xml (for a
/// flat document, one part named "content"); nothing, with `error` set, when
/// the document cannot be read.
std::vector<docx::PartEncodings> odtEncodings(std::string_view odt, std::string& error);
std::vector<docx::PartEncodings> fodtEncodings(std::string_view fodt, std::string& error);

/// Names ending in .odt or .ott, and in .fodt (any letter case).
bool isOdtName(std::string_view path);
bool isFodtName(std::string_view path);

}  // namespace yig::docs::odt
