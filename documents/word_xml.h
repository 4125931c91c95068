#pragma once
// A reader for Word 2003 XML documents (<w:wordDocument>): paragraphs, runs
// and their character formats (fonts, size, colour, bold, italic, underline,
// strike-through), direct or through styles, tabs and line breaks. LibreOffice
// imports such files without their run fonts, so they are read here instead.
#include <optional>
#include <string_view>

#include "richtext/document.h"

namespace yig::docs {

/// True when the bytes are a Word 2003 XML document.
bool isWordXml(std::string_view xml);

/// The document the XML describes; nothing when it is not Word 2003 XML.
std::optional<rt::Document> readWordXml(std::string_view xml);

}  // namespace yig::docs
