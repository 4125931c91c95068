#pragma once
// Word documents (.docx, .docm, .dotx) converted in their own XML.
//
// Only the parts that hold the document's text are rewritten (the body,
// headers, footers, footnotes, endnotes, comments, the glossary); every other
// entry of the package is copied as it is stored. In a rewritten part every
// byte outside the runs that hold converted text stays as it was. A run's
// font is worked out as Word does (direct formatting over the character
// style over the paragraph style over the document defaults, each font slot
// inheriting on its own, theme fonts through the theme); converted text gets
// runs of its own that keep every other property of the run and name the
// target font, and the target fonts are declared in the font table.
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "engine/convert_core.h"
#include "engine/encodings.h"

namespace yig::docs::docx {

struct Outcome {
  std::string error;  ///< empty when the package was converted
  conv::Stats stats;
  std::vector<std::string> changedParts;  ///< entries rewritten, in package order
  bool ok() const { return error.empty(); }
};

/// Converts the package `docx` from `from` to `to`; `out` receives the new
/// package, and is left empty when the outcome is an error.
Outcome convertDocx(std::string_view docx, Encoding from, Encoding to, const conv::Options& options, std::string& out);

/// The Tibetan encodings of the text in each text part.
struct PartEncodings {
  std::string part;
  std::vector<Encoding> encodings;                       ///< those with characters, in registry order
  std::array<std::size_t, kEncodingCount> characters{};  ///< characters drawn in each encoding's fonts
};
PartEncodings partEncodings(std::string part, const std::array<std::size_t, kEncodingCount>& characters);
/// Nothing, with `error` set, when the package cannot be read.
std::vector<PartEncodings> docxEncodings(std::string_view docx, std::string& error);

/// True for names ending in .docx, .docm, .dotx or .dotm (any letter case).
bool isDocxName(std::string_view path);

}  // namespace yig::docs::docx
