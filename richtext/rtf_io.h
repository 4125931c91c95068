#pragma once
// The RTF reader and writer behind Document::setRtf(), rtf(), selectionRtf()
// and replaceSelectionRtf(). Internal to the richtext library.
#include <cstddef>
#include <string>
#include <string_view>

#include "richtext/document.h"

namespace yig::rt::detail {

class RtfReader {
 public:
  /// Reads a whole RTF document into `doc`, replacing its content; text without
  /// a font of its own gets `doc`'s default format. On ok == false `doc` is untouched.
  static ReadResult read(std::string_view rtf, Document& doc);
};

class RtfWriter {
 public:
  /// Writes the units [start, end) of `doc` as a whole RTF document; `bodyAt`,
  /// when given, learns where the header ends (the line break before the body).
  static std::string write(const Document& doc, std::size_t start, std::size_t end,
                           std::size_t* bodyAt = nullptr);
};

}  // namespace yig::rt::detail
